#include "platform/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The configuration is also found for a user whose HOME is unset (a
// service), through the password database.
std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
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

std::string ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    return HomeFolder() + "/.config";
}

std::vector<std::string> ProfileFolders() { return {".", ConfigFolder(), "/etc/veltrix"}; }

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
