#include "report/ReportFile.h"

#include <sys/stat.h>

#include <cstring>
#include <ctime>

#include "platform/AtomicFile.h"

std::string DefaultReportName(const std::string& folder, bool json) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string prefix = (folder.empty() ? "" : folder + "/") + "veltrix-report-" + stamp;
    const std::string extension = json ? ".json" : ".html";
    std::string name = prefix + extension;
    struct stat info {};
    for (int n = 2; ::lstat(name.c_str(), &info) == 0; ++n) name = prefix + "-" + std::to_string(n) + extension;
    return name;
}

bool WriteReportFile(const std::string& path, const std::string& text, std::string& error) {
    const AtomicWriteResult result = WriteFileAtomically(path, text.data(), text.size());
    if (result.ok()) return true;
    error = std::strerror(result.error);
    return false;
}
