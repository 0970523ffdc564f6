#include <memory>

#include "protocol/CControllerLink.h"
#include "serial/PortFactory.h"
#include "station/UnitAccess.h"

namespace {

// Every command starts probing at the first rate, as the menu commands do.
constexpr long kBaudAtStart = 9600;

class LinkUnitAccess : public UnitAccess {
public:
    LinkUnitAccess(std::string device, int comNumber) : m_device(std::move(device)), m_comNumber(comNumber) {}

    bool Probe() override {
        // A device that went away keeps failing until it is opened again.
        if (m_link && m_link->Port().DeviceLost()) Release();
        if (!m_link) {
            std::unique_ptr<RS232> port =
                OpenPortAt(m_device, m_comNumber > 0 ? m_comNumber - 1 : 0, kBaudAtStart);
            if (!port || port->Status() != 0) return false;
            m_link = std::make_unique<CControllerLink>(std::move(port));
        }
        ProbeInfo info;
        return m_link->Connect(info) != 0;
    }

    void Release() override { m_link.reset(); }

    bool ReadDiagnostics(CDiagnosticsRecord& record) override {
        return m_link && m_link->RequestDiagnostics(record) != 0;
    }
    // Read as an original that may be written back: its checksum is checked.
    bool ReadPsf(CPsfRecord& psf) override { return m_link && m_link->ReadPsfChecked(psf) != 0; }
    bool WritePsf(const CPsfRecord& psf) override {
        if (!m_link) return false;
        m_link->Port().FlushInput();
        CPsfRecord copy = psf;
        return m_link->SendPsf(copy) != 0;
    }
    bool ReadBlanking(CBlankingMap& map) override { return m_link && m_link->ReadBlanking(map) != 0; }
    bool WriteBlanking(const CBlankingMap& map) override { return m_link && m_link->WriteBlanking(map) != 0; }
    bool WritePartNumber(uint32_t partNumber, uint32_t dateCode) override {
        return m_link && m_link->WritePartNumber(partNumber, dateCode) != 0;
    }
    uint8_t ControllerId() const override { return m_link ? m_link->ControllerId() : 0; }
    bool DeviceLost() const override { return m_link && m_link->Port().DeviceLossCount() > 0; }

private:
    std::string m_device;
    int m_comNumber;
    std::unique_ptr<CControllerLink> m_link;
};

}  // namespace

std::unique_ptr<UnitAccess> OpenUnitAccess(const std::string& devicePath, int comNumber) {
    return std::make_unique<LinkUnitAccess>(devicePath, comNumber);
}
