#pragma once

#include <string>
#include <vector>

#include "model/WriteChanges.h"

// How a write meant to stay ended (CControllerCommand::WritePsfVerified and
// its siblings). Show the write's own failure text when Succeeded() is
// false and the status is not Refused, followed by Addendum():
//
//   WriteOutcome sent = command->WritePsfVerified(record, "Send PSF");
//   Message(sent.Succeeded() ? "PSF Accepted" : "PSF Not Accepted" + sent.Addendum());
//
// Refused means nothing was sent because the records could not be written
// and the user (or the tool) chose not to write without them; that was
// reported already.
struct WriteOutcome {
    enum class Status {
        Verified,      // read back, the same bytes
        Unverified,    // acknowledged; read-back turned off (--no-verify)
        Mismatch,      // acknowledged, but the controller holds something else
        NotConfirmed,  // acknowledged, but what it holds could not be read back
        Failed,        // not acknowledged, or nothing could be sent
        Refused,       // nothing sent: the history or audit log cannot be written
    };
    Status status = Status::Failed;
    // Mismatch: {field, sent, held}.
    std::vector<FieldChange> differences;

    bool Succeeded() const { return status == Status::Verified || status == Status::Unverified; }
    // "\n\nThe controller acknowledged the write but holds different
    // settings: Baud Rate 19200 (sent 9600), ..." for a mismatch, a like
    // sentence when the read-back failed; empty otherwise.
    std::string Addendum() const {
        if (status == Status::Mismatch) return MismatchAddendum(differences);
        if (status == Status::NotConfirmed)
            return "\n\nThe controller acknowledged the write, but what it holds could not be read "
                   "back.";
        return {};
    }
};
