#include "report/CServiceReportCommand.h"

#include <cstdio>

#include "history/AuditLog.h"
#include "report/ReportEnvironment.h"
#include "serial/PortDeviceList.h"
#include "serial/PortFactory.h"
#include "serial/TraceLog.h"

namespace {

std::string SourceText(ComMapping::Source source, int comNumber) {
    const std::string com = "COM" + std::to_string(comNumber);
    switch (source) {
        case ComMapping::Source::Environment: return "environment variable VELTRIX_" + com;
        case ComMapping::Source::Stored: return "Options > Port Devices (" + com + ")";
        case ComMapping::Source::Default: break;
    }
    return "default device of " + com;
}

}  // namespace

CServiceReportCommand::CServiceReportCommand(void* parentWindow, int portIndex, int baudRate,
                                             std::string toolVersion)
    : CControllerCommand(parentWindow, portIndex, baudRate), m_toolVersion(std::move(toolVersion)) {}

ServiceReport CServiceReportCommand::Gather(const ReportRequest& request, const DeviceOrigin& origin) {
    ServiceReport report;
    report.host = DescribeHost(m_toolVersion);
    const int comNumber = m_portIndex + 1;
    if (origin.path.empty()) {
        const ComMapping mapping = CurrentComMapping(comNumber);
        report.port = DescribePort(comNumber, mapping.path, SourceText(mapping.source, comNumber));
    } else {
        report.port = DescribePort(0, origin.path, origin.source);
    }
    report.scan.requested = request.withScan;

    if (OpenForReport(report.port)) {
        m_request = &request;
        m_report = &report;
        Execute();
        m_request = nullptr;
        m_report = nullptr;
        if (m_restoreFlag == 1) RestoreOriginalPsf(m_originalPsf);  // only after a step gave up half-way
        m_restoreFlag = 0;
    } else {
        SkipControllerSections("The port could not be opened.", report);
    }

    report.trace.file = WantedTraceFile();
    report.trace.lines = RecentTraceLines();
    ReadAuditLines(report);
    return report;
}

void CServiceReportCommand::ReadAuditLines(ServiceReport& report) const {
    const AuditLog log;
    report.audit.file = log.Path();
    std::vector<std::string> lines;
    if (!log.ReadLines(lines, report.audit.problem)) return;
    const std::string device = report.port.devicePath.empty() ? DevicePath() : report.port.devicePath;
    report.audit.lines = AuditLinesOfDevice(lines, device, report.port.target, kAuditLines);
}

int CServiceReportCommand::Execute() {
    if (!m_request || !m_report) return 0;
    ReadControllerSections(*this, *m_request, *m_report);
    return m_report->AllOk() ? 1 : 0;
}

bool CServiceReportCommand::OpenForReport(PortSection& port) {
    // Opened as every command context opens its port (OpenPort, at the
    // command's baud rate), but a failure goes into the report instead of a
    // message box.
    std::unique_ptr<RS232> opened = OpenPort(m_portIndex, m_baudRate);
    const int status = opened ? opened->Status() : kSerialGeneralError;
    const char* name = opened ? opened->ErrorName(status) : BaseErrorName(status);
    port.openResult = name;
    if (status != 0) {
        // A device given by its path is named by it, as the command-line tool does.
        char text[256];
        if (port.comNumber == 0) {
            std::snprintf(text, sizeof text, "Unable to open %s\n%s\n", port.devicePath.c_str(), name);
        } else {
            std::snprintf(text, sizeof text, "Unable to open %d\n%s\n", m_portIndex + 1, name);
        }
        port.status = {SectionState::Failed, text, ""};
        return false;
    }
    port.status = {SectionState::Ok, "", ""};
    m_link = std::make_unique<CControllerLink>(std::move(opened));
    return true;
}
