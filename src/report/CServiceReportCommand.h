#pragma once

#include <string>

#include "command/CControllerCommand.h"
#include "report/ReportGatherer.h"
#include "report/ServiceReport.h"

// The command context of a service report, shared by the desktop program
// and the command-line tool. Unlike the menu commands it shows no message:
// a port that does not open, a silent controller and every failed step end
// up in the report, which is the point of it.
class CServiceReportCommand : public CControllerCommand {
public:
    // Where the device path came from, when the caller knows better than the
    // COM mapping (a device given on the command line).
    struct DeviceOrigin {
        std::string path;
        std::string source;
    };

    CServiceReportCommand(void* parentWindow, int portIndex, int baudRate, std::string toolVersion);

    // The whole report: host, the port (described before it is opened, so
    // the processes listed as holding it are others), the controller's
    // sections, and the trace of this run so far.
    ServiceReport Gather(const ReportRequest& request, const DeviceOrigin& origin = {});

    // Reads the controller's sections into the report being gathered.
    int Execute() override;

private:
    // The audit log holds this many of the device's writes for the report.
    static constexpr size_t kAuditLines = 20;

    bool OpenForReport(PortSection& port);
    void ReadAuditLines(ServiceReport& report) const;

    std::string m_toolVersion;
    const ReportRequest* m_request = nullptr;
    ServiceReport* m_report = nullptr;
};
