#include "dialogs/history/CHistoryRestoreCommand.h"

#include <QWidget>
#include <cctype>

#include "platform/ExchangeScope.h"
#include "platform/UiServices.h"

namespace {

void Message(const std::string& text) {
    Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
}

}  // namespace

CHistoryRestoreCommand::CHistoryRestoreCommand(QWidget* parent, int portIndex, int baudRate,
                                               WriteRecord entry, int number)
    : CControllerCommand(parent, portIndex, baudRate), m_entry(std::move(entry)), m_number(number) {}

int CHistoryRestoreCommand::Execute() {
    const std::optional<CPsfRecord> psf = m_entry.ReplacedPsf();
    const std::optional<CBlankingMap> map = m_entry.ReplacedBlanking();
    uint32_t partNumber = 0;
    uint16_t dateCode = 0;
    const std::string what = WriteKindText(m_entry.kind);
    if (!psf && !map && !m_entry.ReplacedPartNumber(partNumber, dateCode)) {
        Message("This history entry holds no complete " + what + ". Nothing was sent.");
        return 1;
    }

    const ExchangeScope busy;
    // What one controller held is not for another, unless the user says so.
    IdentifyController();
    if (const std::string difference = IdentityDifference(m_entry.IdentityAfter(), Identity());
        !difference.empty() &&
        Ui().MessageBox("The controller on " + PortName() +
                            " is not the one this history entry was made for (" + difference +
                            "). Send the " + what + " to it all the same?",
                        MsgButtons::YesNo, MsgIcon::Exclamation, MsgResult::No) != MsgResult::Yes)
        return 1;

    const std::string command = "Change History: restore " + std::to_string(m_number);
    // The read before, the write and the read-back take a few seconds at 9600 baud.
    Ui().ShowProgress("Sending the " + what + " of history entry " + std::to_string(m_number) +
                      " back to " + PortName() + "...");
    WriteOutcome outcome;
    std::string failure;
    if (psf) {
        outcome = WritePsfVerified(*psf, command);
        failure = "PSF Not Accepted";
    } else if (map) {
        outcome = WriteBlankingVerified(*map, command);
        failure = "Unable to download blanking fields to controller.";
    } else {
        outcome = WritePartNumberVerified(partNumber, dateCode, command);
        failure = "Error setting Part Number and Date Code.";
    }
    Ui().ShowProgress({});
    // A refusal (the records could not be written) was reported already.
    if (outcome.status == WriteOutcome::Status::Refused) return 1;
    m_restored = outcome.Succeeded();
    if (m_restored) {
        std::string text = what + " " + m_entry.fingerprintBefore + " restored.";
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        Message(text);
    } else {
        Message(failure + outcome.Addendum());
    }
    return 1;
}
