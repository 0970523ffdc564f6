#include "command/CControllerCommand.h"
#include "station/UnitAccess.h"

namespace {

// Every command starts probing at the first rate, as the menu commands do.
constexpr int kBaudAtStart = 9600;
// The name the history and the audit log know the station's writes by.
constexpr const char* kStationCommand = "Production Station";

// The controller on the station's device, as a command context: the port,
// the link and the verified writes with their history and audit records.
class StationSession : public CControllerCommand, public UnitAccess {
public:
    StationSession(const std::string& device, int comNumber)
        : CControllerCommand(nullptr, comNumber > 0 ? comNumber - 1 : 0, kBaudAtStart) {
        SetDevicePath(device, comNumber);
        m_deviceLostInMessages = false;
    }
    int Execute() override { return 1; }

    bool Probe() override {
        // A line that hung up took its unit with it, even when another one
        // answers at once on the reopened device: that is the next unit.
        if (m_link && m_link->Port().DeviceLost()) {
            Release();
            return false;
        }
        if (!m_link && !OpenLink()) return false;
        ProbeInfo info;
        return m_link->Connect(info) != 0;
    }
    void Release() override { m_link.reset(); }

    bool ReadDiagnostics(CDiagnosticsRecord& record) override {
        if (!m_link || !m_link->RequestDiagnostics(record)) return false;
        NoteDiagnostics(record);
        return true;
    }
    // Read as a set that may be written back: its checksum is checked.
    bool ReadPsf(CPsfRecord& psf) override { return m_link && m_link->ReadPsfChecked(psf) != 0; }
    WriteOutcome WritePsf(const CPsfRecord& psf, const CPsfRecord& held) override {
        m_recordsProblem.clear();
        if (m_link) m_link->Port().FlushInput();
        return WritePsfVerified(psf, kStationCommand, &held);
    }
    WriteOutcome WriteBlanking(const CBlankingMap& map) override {
        m_recordsProblem.clear();
        return WriteBlankingVerified(map, kStationCommand);
    }
    WriteOutcome WritePartNumber(uint32_t partNumber, uint32_t dateCode) override {
        m_recordsProblem.clear();
        return WritePartNumberVerified(partNumber, dateCode, kStationCommand);
    }
    std::string RecordsProblem() const override { return m_recordsProblem; }
    uint8_t ControllerId() const override { return m_link ? m_link->ControllerId() : 0; }
    bool DeviceLost() const override { return DeviceWasLost(); }

protected:
    // No device is the normal state between two units.
    void ReportOpenFailure(const char*) override {}
    // A unit is not written without its history: the write is refused and
    // the unit fails with the reason.
    bool WriteWithoutRecords(const std::string& reason) override {
        m_recordsProblem = reason;
        return false;
    }
    void ReportRecordsFailure(const std::string& reason) override { m_recordsProblem = reason; }

private:
    std::string m_recordsProblem;
};

}  // namespace

std::unique_ptr<UnitAccess> OpenUnitAccess(const std::string& devicePath, int comNumber) {
    return std::make_unique<StationSession>(devicePath, comNumber);
}
