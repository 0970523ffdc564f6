#include "platform/Folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace {

// An XDG base directory from the environment, or HOME/fallback.
std::string BaseFolder(const char* variable, const char* underHome) {
    if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + underHome;
    return {};
}

}  // namespace

std::string StateFolder() {
    const std::string base = BaseFolder("XDG_STATE_HOME", "/.local/state");
    return base.empty() ? base : base + "/veltrix";
}

std::string DataFolder() {
    const std::string base = BaseFolder("XDG_DATA_HOME", "/.local/share");
    return base.empty() ? base : base + "/veltrix";
}

bool MakeFolders(const std::string& path, int& error) {
    error = 0;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string partial = path.substr(0, slash);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = errno;
            return false;
        }
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = ENOTDIR;
        return false;
    }
    return true;
}
