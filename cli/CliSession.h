#pragma once

#include <string>

#include "CommandEnv.h"
#include "ConsoleUi.h"
#include "command/CControllerCommand.h"
#include "model/CDiagnosticsRecord.h"

// The command context of one veltrixctl command: the same owner of port and
// link as the desktop program's commands, so the original parameter set is
// journaled and restored (or offered for saving) by the same code.
//
// Where the desktop asks, the tool refuses: a command that would change a
// controller whose earlier settings still wait in the recovery journal, or
// that cannot journal what it is about to change, changes nothing.
class CliSession : public CControllerCommand {
public:
    CliSession(const GlobalOptions& options, ConsoleUi& ui);
    // A run whose device went away ends by saying so, and by pointing at
    // 'veltrixctl recover' when an original is still in the journal.
    ~CliSession() override;

    // Opens the port the options name and the link over it, after a warning
    // when the device has settings waiting to be recovered. Reports the
    // failure and returns kExitPort when the port cannot be opened.
    int Open();
    // Not used: each command drives the link itself.
    int Execute() override { return 1; }

    // Diagnostics of an operational controller, as the Alignment command
    // checks before touching blanking or beams. Reports and returns
    // kExitController otherwise.
    int ReadOperationalDiagnostics(CDiagnosticsRecord& record);

    // Reads the controller's parameter set as the original to restore later,
    // its checksum checked; reports failureText and returns kExitController
    // when it cannot be read.
    int ReadOriginal(const char* failureText = "Unable to input PSF.");
    // Journals that original before the controller is changed; reports and
    // returns the exit code when the command must not go on.
    int JournalOriginal(const std::string& commandName);
    // Both, as the commands that prepare for alignment need them.
    int ReadAndJournalOriginal(const std::string& commandName);

    // When the command changed the controller's parameter set: sends the
    // original back and, should that fail, saves it to savePath (the caller
    // picks a path that holds no file yet unless the user named it). Returns
    // false when the original could not be restored. Stop signals do not
    // cut it short.
    bool RestoreIfChanged(const std::string& savePath);

    // The exit code of a write meant to stay, reporting failureText and what
    // the read-back found when it failed ("Unable to output PSF.\n\nThe
    // controller acknowledged the write but holds different settings:
    // ..."): kExitController for a failure, the refusal's code when the
    // history or audit log could not be written (nothing was sent),
    // kExitFile when the write went well but its audit line was lost.
    int WriteResult(const WriteOutcome& outcome, const std::string& failureText);

protected:
    void ReportOpenFailure(const char* errorName) override;
    bool OfferPendingEntry(const RecoveryEntry& pending) override;
    bool ContinueWithoutJournal(const std::string& reason) override;
    bool WriteWithoutRecords(const std::string& reason) override;
    void ReportRecordsFailure(const std::string& reason) override;

private:
    void WarnAboutPendingEntry();

    const GlobalOptions& m_options;
    ConsoleUi& m_ui;
    int m_refusal = 0;  // the exit code of a journal refusal
    // An audit line that could not be written, reported with the result
    // of its write (or at the end, for the restores).
    std::string m_recordsError;
};

// The COM index the desktop program saved last (section "Communication",
// value "Port"), or index 1 (COM2) when there is none.
int SavedPortIndex();

// Sends the context's original parameter set back; should that fail, the
// question to save it is answered with savePath. False when it did not go
// back (saying where it was saved, when it was).
bool RestoreOriginal(CControllerCommand& context, ConsoleUi& ui, const std::string& savePath);
