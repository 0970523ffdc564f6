#include "report/ReportFile.h"

#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/FreshFileName.h"

std::string DefaultReportName(const std::string& folder, bool json) {
    return FreshStampedName((folder.empty() ? "" : folder + "/") + "veltrix-report-", json ? ".json" : ".html");
}

bool WriteReportFile(const std::string& path, const std::string& text, std::string& error) {
    const AtomicWriteResult result = WriteFileAtomically(path, text.data(), text.size());
    if (result.ok()) return true;
    error = ErrorText(result.error);
    return false;
}
