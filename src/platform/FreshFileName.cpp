#include "platform/FreshFileName.h"

#include <sys/stat.h>

#include <ctime>

std::string FreshStampedName(const std::string& prefix, const std::string& extension) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = prefix + stamp;
    std::string name = base + extension;
    struct stat info {};
    for (int n = 2; ::lstat(name.c_str(), &info) == 0; ++n) name = base + "-" + std::to_string(n) + extension;
    return name;
}
