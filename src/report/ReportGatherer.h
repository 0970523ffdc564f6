#pragma once

#include <functional>
#include <string>

#include "command/CControllerCommand.h"
#include "report/ServiceReport.h"

// Reads what the service report holds from the controller, over the link of
// an opened command context. Nothing is changed in the controller for good:
// the read-only steps come first (probe, diagnostics, parameter set,
// blanking); a beam scan, when asked for, is taken as the Alignment command
// takes one (a one-second pause after the diagnostics, the alignment working
// set sent before the blanking is read) and the original parameter set is
// then sent back and read again to check that it is what the controller
// had. A step that fails leaves its message in its section; the steps that
// depend on it are skipped with the reason.
struct ReportRequest {
    bool withScan = false;
    // Names the step about to run ("Reading diagnostics..."), for a status bar.
    std::function<void(const std::string&)> progress;
    // Sends the original parameter set back; false when it did not go. By
    // default the context's RestoreOriginalPsf, which asks through the UI
    // services whether to save it to a file should it fail.
    std::function<bool()> restore;
};

void ReadControllerSections(CControllerCommand& context, const ReportRequest& request,
                            ServiceReport& report);

// Marks every controller section as not read, for a port that did not open.
void SkipControllerSections(const std::string& reason, ServiceReport& report);
