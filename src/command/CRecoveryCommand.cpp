#include "command/CRecoveryCommand.h"

#include "platform/UiServices.h"

CRecoveryCommand::CRecoveryCommand(void* parentWindow, const RecoveryEntry& entry)
    : CControllerCommand(parentWindow, entry.comNumber > 0 ? entry.comNumber - 1 : 0, kBaudRate),
      m_entry(entry) {
    // The device the temporary settings went to, even if COM n now names another.
    SetDevicePath(entry.device, entry.comNumber);
}

int CRecoveryCommand::Execute() { return SendBackPending(m_entry, m_checkIdentity) ? 1 : 0; }

int OfferPendingRecoveries(void* parentWindow, const RecoveryJournal& journal) {
    int asked = 0;
    std::string unusable;
    for (const RecoveryJournal::Item& item : journal.List()) {
        if (item.problem != EntryProblem::None) {
            unusable += "\n" + item.path + ": " + item.why;
            continue;
        }
        // A run that still goes on will send its own originals back.
        if (StateOf(item.entry->writer) != ProcessState::Gone) continue;
        ++asked;
        if (Ui().MessageBox(RecoveryQuestion(*item.entry), MsgButtons::YesNo, MsgIcon::Question) !=
            MsgResult::Yes)
            continue;
        CRecoveryCommand command(parentWindow, *item.entry);
        command.Run();
    }
    if (!unusable.empty()) {
        Ui().MessageBox("These recovery entries cannot be used; they were kept, and nothing was sent "
                        "from them:" + unusable,
                        MsgButtons::Ok, MsgIcon::Exclamation);
    }
    return asked;
}
