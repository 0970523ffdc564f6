#pragma once

#include "command/CControllerCommand.h"

// The command context of one recovery: opens the device a journal entry
// names, reads the identity of the controller there and, when it is the
// one the entry was made for, sends its originals back. The entry is taken
// apart as they go; what does not go back stays in the journal, even when
// the user saved the parameter set to a file (the next start asks again).
class CRecoveryCommand : public CControllerCommand {
public:
    static constexpr int kBaudRate = 9600;

    CRecoveryCommand(void* parentWindow, const RecoveryEntry& entry);
    // 1 when every original went back.
    int Execute() override;
    // Sends without reading the controller's identity first (the user
    // insisted).
    void SkipIdentityCheck() { m_checkIdentity = false; }

private:
    RecoveryEntry m_entry;
    bool m_checkIdentity = true;
};

// At start-up: for every entry whose program is gone, asks the recovery
// question (Yes is the default) and on Yes sends its originals back, asking
// again (No the default) should another controller answer there; No keeps
// the entry for the next start. Entries that cannot be used are reported in
// one message and kept. Returns how many questions were asked.
int OfferPendingRecoveries(void* parentWindow, const RecoveryJournal& journal = RecoveryJournal());
