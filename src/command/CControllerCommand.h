#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "command/RecoveryRecorder.h"
#include "command/WriteOutcome.h"
#include "history/WriteRecord.h"
#include "platform/UiServices.h"
#include "model/CBlankingMap.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"
#include "protocol/CControllerLink.h"

// CControllerCommand: the context of one controller command from the menu.
// It opens the port (through OpenPort, so tests can supply simulated ports),
// owns the link for the command's duration, runs the derived class's Execute
// and sends the original parameter set back when the command changed it.
// Qt-free: messages, file prompts, the wait cursor and the mouse capture go
// through the UI services; the parent window is an opaque handle for the
// derived classes that build dialogs.
//
// Recovery: a command that is about to put a temporary parameter set or
// temporary blanking into the controller first journals what the controller
// holds (JournalOriginalPsf, JournalOriginalBlanking: one call before the
// send). Should the program die before the original goes back, the journal
// still has it, with the controller's identity. The entry goes once the
// original went back, or once the user saved it to a file; nothing is sent
// back from an entry to a controller that is not the one it was made for
// unless the user says so.
class CControllerCommand {
public:
    CControllerCommand(void* parentWindow, int portIndex, int baudRate);
    virtual ~CControllerCommand();
    CControllerCommand(const CControllerCommand&) = delete;
    CControllerCommand& operator=(const CControllerCommand&) = delete;

    int Run();
    virtual int Execute() = 0;

    int OpenLink();
    void RestoreOriginalPsf(const CPsfRecord& psf);
    // True when the file was written.
    bool SavePsfAs(const CPsfRecord& psf);

    // Journals the original parameter set (OriginalPsf()) before a temporary
    // one is sent; false when the command must not change the controller
    // (the reason was reported). Call it right after reading the original
    // and build the temporary set after it: should an earlier run have left
    // an entry for this device, its original goes back first (when the user
    // agrees) and OriginalPsf() becomes that original.
    bool JournalOriginalPsf(const std::string& commandName);
    // The same for an original the caller keeps itself (a try-out that
    // restores it with RestoreOriginalPsf); original becomes the earlier
    // run's original when that went back first.
    bool JournalOriginalPsf(CPsfRecord& original, const std::string& commandName);
    // The same for the blanking the controller holds before it is cleared
    // or changed for a while.
    bool JournalOriginalBlanking(const CBlankingMap& original, const std::string& commandName);
    // The controller holds the blanking the user wanted again (the original,
    // or what the user accepted): the journal forgets the original.
    void ForgetOriginalBlanking();
    // Sends the original blanking back (input flushed, up to three tries);
    // on success the journal forgets it. Shows nothing.
    bool RestoreOriginalBlanking(const CBlankingMap& original);
    // Writes meant to stay. Each keeps what the controller held in the change
    // history (read first unless the caller passes what it has just read),
    // sends, reads back and compares, and appends the attempt to the audit
    // log. command names the write in the records ("Send PSF", "psf put").
    // See WriteOutcome for what to show. Shows nothing itself, except when
    // the history or audit log cannot be written (WriteWithoutRecords,
    // ReportRecordsFailure). Temporary sets that are journalled and undone
    // (working set, trial set) do not come here.
    WriteOutcome WritePsfVerified(const CPsfRecord& psf, const std::string& command,
                                  const CPsfRecord* held = nullptr);
    WriteOutcome WriteBlankingVerified(const CBlankingMap& map, const std::string& command,
                                       const CBlankingMap* held = nullptr);
    // The date code is sent modulo 65536, as the controller keeps it.
    WriteOutcome WritePartNumberVerified(uint32_t partNumber, uint32_t dateCode, const std::string& command);
    // Read-back off, for scripts that cannot wait for it: writes are still
    // kept in the history and audited, as "unverified".
    void SetVerifyWrites(bool on) { m_verifyWrites = on; }
    // How the last write ended, the restores of originals included (their
    // failure texts take LastWrite().Addendum()).
    const WriteOutcome& LastWrite() const { return m_lastWrite; }

    // The diagnostics this command read: the journal takes the controller's
    // identity from them. A command that has not read them journals the id
    // alone, unless it calls IdentifyController first (which reads them,
    // one exchange more).
    void NoteDiagnostics(const CDiagnosticsRecord& record);
    void IdentifyController();
    // The controller on the line as far as known: the id of the last probe
    // and the hardware of the diagnostics noted.
    ControllerIdentity Identity() const { return IdentityForJournal(); }

    // Opens this device path instead of the one the COM number leads to;
    // comNumber 0 names the port by its path alone.
    void SetDevicePath(const std::string& path, int comNumber);
    // The device the command talks to, and its name for messages ("COM2"
    // or the path).
    std::string DevicePath() const;
    std::string PortName() const;
    // The port could not be opened (the reason has been reported).
    bool OpenFailed() const { return m_openFailed; }
    // The serial device went away during this command (an adapter pulled
    // out); DeviceLost() while it has not been opened again since.
    bool DeviceWasLost() const;
    bool DeviceLost() const;
    // "The serial device /dev/ttyUSB0 was disconnected."
    std::string DeviceLostText() const;

    CControllerLink* Link() { return m_link.get(); }
    void* ParentWindow() const { return m_parentWindow; }
    int PortIndex() const { return m_portIndex; }
    CPsfRecord& OriginalPsf() { return m_originalPsf; }
    int RestoreFlag() const { return m_restoreFlag; }
    void SetRestoreFlag(int flag) { m_restoreFlag = flag; }
    const RecoveryRecorder& Recovery() const { return m_recovery; }

protected:
    // The port would not open: the desktop shows "Unable to open %d\n%s\n"
    // with the COM number (or the path) and the port's error name.
    virtual void ReportOpenFailure(const char* errorName);
    // An entry of an earlier run waits for this device. The desktop asks
    // whether to send its originals back now (and does so); true lets the
    // command go on.
    virtual bool OfferPendingEntry(const RecoveryEntry& pending);
    // The journal could not be written: whether to go on without it (the
    // desktop asks, No being the default).
    virtual bool ContinueWithoutJournal(const std::string& reason);
    // The change history or audit log cannot be written before a write:
    // whether to write all the same. The desktop asks, No being the default.
    virtual bool WriteWithoutRecords(const std::string& reason);
    // A write happened but its audit line could not be appended.
    virtual void ReportRecordsFailure(const std::string& reason);
    // Another controller than the one an entry of an earlier run was made
    // for answers on its device; difference says how it differs ("part
    // number 999, not 123456"). The desktop asks, No being the default;
    // true sends the entry's originals all the same.
    virtual bool SendToOtherController(const RecoveryEntry& entry, const std::string& difference);
    // Sends every original of an entry of an earlier run back, once the
    // controller's identity was read and found to be the entry's (or the
    // user chose to send to another one); checkIdentity false skips that.
    // The entry is taken apart as they go, and what could not be sent
    // stays. True when all went back; OriginalPsf() is then the entry's
    // parameter set.
    bool SendBackPending(const RecoveryEntry& entry, bool checkIdentity = true);

    int m_baudRate;
    void* m_parentWindow;
    int m_portIndex;
    std::unique_ptr<CControllerLink> m_link;
    CPsfRecord m_originalPsf;
    int m_restoreFlag = 0;
    RecoveryRecorder m_recovery;
    // Only a successful send takes an original out of the journal, not the
    // user's answer to the save offer (entries of earlier runs; the
    // command-line tool, which answers that offer itself).
    bool m_keepEntryUnlessSent = false;
    // While the device is lost, every message box of the command names it
    // after its own text (the command-line tool says so once, at the end).
    bool m_deviceLostInMessages = true;

private:
    struct PlannedWrite;
    WriteOutcome CarryOut(PlannedWrite& plan);
    // What the controller held could not be read: nothing is sent, and the
    // audit log says why.
    WriteOutcome HeldUnreadable(PlannedWrite& plan);
    // An original goes back (up to three tries, input flushed before each),
    // read back and audited whatever the records say.
    bool RestoreVerified(PlannedWrite& plan, const std::function<bool()>& sendOnce);
    // A record of this command's controller, device and time.
    WriteRecord NewRecord(const std::string& command);
    // "Alignment: restore original", for the records.
    std::string RestoreCommandName() const;

    // True when an original parameter set went back (flushes the input
    // first: late scan replies must not be taken for the acknowledgement).
    bool SendOriginalPsf(const CPsfRecord& psf);
    // An original that did not go back: the failure is reported, and the
    // save offered; what is left in the journal depends on the answer.
    void OriginalNotRestored(const CPsfRecord& psf);
    // The controller on the line, for a journal entry: the id of the last
    // probe and the hardware of the diagnostics noted, if any.
    ControllerIdentity IdentityForJournal() const;
    // Reads the identity of the controller on the line; nothing when its
    // diagnostics do not come.
    std::optional<ControllerIdentity> ReadIdentity();
    // Whether an entry's originals may go to the controller on the line.
    enum class Verdict { Send, Refused, Unreachable };
    Verdict CheckPendingIdentity(const RecoveryEntry& entry);
    // Deals with what another run left for this device before this command
    // writes its own entry.
    bool ClearThePendingEntry();
    void SetJournalDevice();

    std::optional<std::string> m_devicePath;
    int m_comNumber;
    bool m_openFailed = false;
    std::optional<ControllerHardware> m_hardware;
    MessageAddendum m_previousAddendum;
    bool m_addendumInstalled = false;
    bool m_verifyWrites = true;
    WriteOutcome m_lastWrite;
    std::string m_commandName;  // from the journal calls, for the records of restores
};
