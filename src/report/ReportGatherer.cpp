#include "report/ReportGatherer.h"

#include "command/AlignmentPsf.h"
#include "serial/net/NetDeviceName.h"

namespace {

constexpr const char* kScanNotAsked =
    "Not taken: a scan puts the alignment settings into the controller for a moment.";

void Fail(SectionStatus& status, const std::string& message, const std::string& detail = {}) {
    status = {SectionState::Failed, message, detail};
}

void Skip(SectionStatus& status, const std::string& detail) {
    status = {SectionState::Skipped, "", detail};
}

void Succeed(SectionStatus& status) { status = {SectionState::Ok, "", ""}; }

class Gathering {
  public:
    Gathering(CControllerCommand& context, const ReportRequest& request, ServiceReport& report)
        : m_context(context), m_link(*context.Link()), m_request(request), m_report(report) {}

    void Run() {
        m_report.scan.requested = m_request.withScan;
        if (!m_request.withScan) Skip(m_report.scan.status, kScanNotAsked);
        if (!Probe()) {
            SkipAfterProbe();
            return;
        }
        ReadDiagnostics();
        const bool scanning = ScanAllowed();
        if (scanning) CControllerLink::DelayMs(1000);  // as the Alignment command waits here
        ReadPsf();
        bool prepared = false;
        if (scanning && !m_report.psf.status.Ok()) {
            Skip(m_report.scan.status, "Without its parameter set the controller could not be restored.");
        } else if (scanning) {
            prepared = SendWorkingPsf();
        }
        ReadBlanking();
        if (prepared) {
            TakeScan();
            Restore();
        }
    }

  private:
    void Step(const char* text) {
        if (m_request.progress) m_request.progress(text);
    }

    bool Probe() {
        Step("Probing for the controller...");
        ProbeInfo info;
        if (!m_link.Connect(info)) {
            Fail(m_report.probe.status, NoControllerText(m_report.port.devicePath));
            return false;
        }
        m_report.probe.baud = kLinkBaudRates[m_link.BaudIndex()];
        m_report.probe.serversRate = RateIsTheServers(m_report.port.devicePath);
        m_report.probe.id = static_cast<char>(info.id);
        Succeed(m_report.probe.status);
        return true;
    }

    void SkipAfterProbe() {
        for (SectionStatus* status : {&m_report.diagnostics.status, &m_report.psf.status,
                                      &m_report.blanking.status}) {
            Skip(*status, NoControllerText(m_report.port.devicePath));
        }
        if (m_request.withScan) Skip(m_report.scan.status, NoControllerText(m_report.port.devicePath));
    }

    void ReadDiagnostics() {
        Step("Reading diagnostics...");
        if (m_link.RequestDiagnostics(m_report.diagnostics.record)) {
            Succeed(m_report.diagnostics.status);
            m_context.NoteDiagnostics(m_report.diagnostics.record);
            m_report.blanking.channelCount = m_report.diagnostics.record.emitterChannelTotal;
        } else {
            Fail(m_report.diagnostics.status, "Error reading diagnostics");
        }
    }

    bool ScanAllowed() {
        if (!m_request.withScan) return false;
        if (!m_report.diagnostics.status.Ok()) {
            Skip(m_report.scan.status, "The beam channels are not known without the diagnostics.");
            return false;
        }
        if (m_report.diagnostics.record.systemState != 3) {
            Fail(m_report.scan.status,
                 "Alignment cannot be executed because the device is not in an operational state.");
            return false;
        }
        if (m_report.blanking.channelCount <= 0) {
            Skip(m_report.scan.status, "The diagnostics list no beam channels.");
            return false;
        }
        return true;
    }

    void ReadPsf() {
        Step("Reading the parameter set...");
        if (m_link.ReadPsf(m_report.psf.record)) {
            Succeed(m_report.psf.status);
            m_context.OriginalPsf() = m_report.psf.record;
        } else {
            Fail(m_report.psf.status, "Unable to input PSF.");
        }
    }

    bool SendWorkingPsf() {
        Step("Sending the alignment settings...");
        // The original is on disk before the working set goes out.
        if (!m_context.JournalOriginalPsf("report")) {
            Fail(m_report.scan.status, "The original parameter set could not be kept for recovery.");
            return false;
        }
        CPsfRecord working = MakeAlignmentPsf(m_context.OriginalPsf());
        if (!m_link.SendPsf(working)) {
            Fail(m_report.scan.status, "Unable to output PSF.");
            return false;
        }
        m_context.SetRestoreFlag(1);
        return true;
    }

    void ReadBlanking() {
        Step("Reading the blanking fields...");
        // The whole block, whatever the channel count: bits set beyond the
        // controller's channels are worth seeing too.
        if (m_link.ReadBlanking(m_report.blanking.block)) {
            Succeed(m_report.blanking.status);
        } else {
            Fail(m_report.blanking.status, "Unable to input blanking fields.");
        }
    }

    void TakeScan() {
        Step("Taking a beam scan...");
        CBeamBitScan scan(m_report.blanking.channelCount);
        if (m_link.RequestScan(scan)) {
            m_report.scan.scan = scan;
            Succeed(m_report.scan.status);
        } else {
            Fail(m_report.scan.status, "Unable to Input Scan.");
        }
    }

    void Restore() {
        Step("Restoring the parameter set...");
        const CPsfRecord original = m_context.OriginalPsf();
        bool sent = true;
        if (m_request.restore) {
            sent = m_request.restore();
        } else {
            m_context.RestoreOriginalPsf(original);
        }
        m_context.SetRestoreFlag(0);
        // The restore read the set back itself.
        if (m_context.LastWrite().status == WriteOutcome::Status::Verified) {
            Succeed(m_report.scan.restore);
            return;
        }

        // Read back: the only proof that the controller holds its own set again.
        CPsfRecord now;
        const bool read = m_link.ReadPsf(now);
        if (read && now == original) {
            Succeed(m_report.scan.restore);
            return;
        }
        std::string detail = sent ? "" : "Sending it back failed. ";
        detail += read ? "The controller holds a parameter set other than its own."
                       : "It could not be read again to check what the controller holds.";
        Fail(m_report.scan.restore, "Unable to restore original PSF.", detail);
    }

    CControllerCommand& m_context;
    CControllerLink& m_link;
    const ReportRequest& m_request;
    ServiceReport& m_report;
};

}  // namespace

void ReadControllerSections(CControllerCommand& context, const ReportRequest& request,
                            ServiceReport& report) {
    report.scan.requested = request.withScan;
    if (!context.Link()) {
        SkipControllerSections("The port is not open.", report);
        return;
    }
    Gathering(context, request, report).Run();
}

void SkipControllerSections(const std::string& reason, ServiceReport& report) {
    for (SectionStatus* status : {&report.probe.status, &report.diagnostics.status, &report.psf.status,
                                  &report.blanking.status}) {
        Skip(*status, reason);
    }
    Skip(report.scan.status, report.scan.requested ? reason : kScanNotAsked);
}
