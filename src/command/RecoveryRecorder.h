#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "command/RecoveryJournal.h"

// The journal as one command context sees it: the entry of its own device,
// written before the controller gets a temporary parameter set or temporary
// blanking, and taken apart again as each original goes back.
class RecoveryRecorder {
  public:
    RecoveryRecorder();

    // The device the command talks to; comNumber 0 when it was named by path.
    void SetDevice(std::string device, int comNumber);
    const std::string& Device() const { return m_device; }
    int ComNumber() const { return m_comNumber; }
    const RecoveryJournal& Journal() const { return m_journal; }

    // An entry for this device that this command did not write: left by a
    // run that ended before its original went back.
    std::optional<RecoveryJournal::Item> Pending() const;

    // Store an original in the device's entry, next to what this command
    // stored already. False with a message in error when it is not on disk.
    bool RecordPsf(const CPsfRecord& psf, const ControllerIdentity& controller,
                   const std::string& command, std::string& error);
    bool RecordBlanking(const OriginalBlanking& blanking, const ControllerIdentity& controller,
                        const std::string& command, std::string& error);
    // Takes over an entry of an earlier run, so that sending its originals
    // back takes it apart like one of this command's own.
    void Adopt(const RecoveryEntry& entry);

    // The original went back, or the user decided about it: it leaves the
    // entry (the file goes with its last original). A parameter set is only
    // dropped when it is the one stored.
    void DropPsf(const CPsfRecord& psf);
    void DropBlanking();

    bool HoldsPsf() const { return m_own && m_own->psf.has_value(); }
    bool HoldsBlanking() const { return m_own && m_own->blanking.has_value(); }

  private:
    // The entry to add an original to: this command's own, or a new one.
    RecoveryEntry Current(const ControllerIdentity& controller, const std::string& command) const;
    bool Store(RecoveryEntry entry, std::string& error);
    void Rewrite();

    RecoveryJournal m_journal;
    std::string m_device;
    int m_comNumber = 0;
    std::time_t m_started;
    std::optional<RecoveryEntry> m_own;
};
