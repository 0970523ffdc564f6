#include "command/RecoveryRecorder.h"

RecoveryRecorder::RecoveryRecorder() : m_started(std::time(nullptr)) {}

void RecoveryRecorder::SetDevice(std::string device, int comNumber) {
    m_device = std::move(device);
    m_comNumber = comNumber;
}

std::optional<RecoveryJournal::Item> RecoveryRecorder::Pending() const {
    if (m_own) return std::nullopt;
    return m_journal.Find(m_device, ResolvedDevicePath(m_device));
}

bool RecoveryRecorder::Store(RecoveryEntry entry, std::string& error) {
    if (!m_journal.Write(entry, error)) return false;
    m_own = std::move(entry);
    return true;
}

RecoveryEntry RecoveryRecorder::Current(const ControllerIdentity& controller,
                                        const std::string& command) const {
    RecoveryEntry entry = m_own.value_or(RecoveryEntry{});
    if (!m_own) {
        entry.device = m_device;
        entry.resolved = ResolvedDevicePath(m_device);
        entry.comNumber = m_comNumber;
        entry.command = command;
        entry.started = m_started;
        entry.writer = CurrentProcessIdentity();
    }
    entry.controllerId = controller.id;
    // An identity known once is kept should a later read fail.
    if (controller.hardware) entry.hardware = controller.hardware;
    return entry;
}

bool RecoveryRecorder::RecordPsf(const CPsfRecord& psf, const ControllerIdentity& controller,
                                 const std::string& command, std::string& error) {
    RecoveryEntry entry = Current(controller, command);
    entry.psf = psf;
    return Store(std::move(entry), error);
}

bool RecoveryRecorder::RecordBlanking(const OriginalBlanking& blanking,
                                      const ControllerIdentity& controller,
                                      const std::string& command, std::string& error) {
    RecoveryEntry entry = Current(controller, command);
    entry.blanking = blanking;
    return Store(std::move(entry), error);
}

void RecoveryRecorder::Adopt(const RecoveryEntry& entry) { m_own = entry; }

void RecoveryRecorder::DropPsf(const CPsfRecord& psf) {
    if (!m_own || !m_own->psf || !(*m_own->psf == psf)) return;
    m_own->psf.reset();
    Rewrite();
}

void RecoveryRecorder::DropBlanking() {
    if (!m_own || !m_own->blanking) return;
    m_own->blanking.reset();
    Rewrite();
}

void RecoveryRecorder::Rewrite() {
    std::string error;
    RecoveryJournal::Item item;
    item.path = m_journal.Folder() + "/" + RecoveryJournal::FileNameFor(m_own->device);
    // A failure here leaves an original that went back in the journal: the
    // next start offers to send it once more, which does no harm.
    if (m_own->Empty()) {
        m_journal.Remove(item, error);
        m_own.reset();
    } else {
        m_journal.Write(*m_own, error);
    }
}
