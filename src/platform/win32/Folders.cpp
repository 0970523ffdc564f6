#include "platform/Folders.h"

#include <windows.h>

#include <cerrno>

#include "platform/win32/Win32Errors.h"
#include "platform/win32/WideText.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "C:\x", "\\server\share" and "\x" (the current drive's root); XDG values
// written the POSIX way ("/tmp/state") are rooted too.
bool IsRooted(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return true;
    return !path.empty() && IsSeparator(path[0]);
}

// An XDG variable when it is set to a rooted path, else the Windows folder.
std::string BaseFolder(const wchar_t* xdgVariable, const wchar_t* windowsVariable, const char* below) {
    if (const std::string xdg = EnvironmentText(xdgVariable); IsRooted(xdg)) return xdg + "\\veltrix";
    const std::string folder = EnvironmentText(windowsVariable);
    return folder.empty() ? folder : folder + below;
}

// Where the name of the first folder below the root starts: after "C:\",
// after "\\server\share\", after a leading separator.
size_t FirstFolderStart(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() > 2 && IsSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t separators = 0;
        for (size_t i = 2; i < path.size(); ++i)
            if (IsSeparator(path[i]) && ++separators == 2) return i + 1;
        return path.size();
    }
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

std::string StateFolder() { return BaseFolder(L"XDG_STATE_HOME", L"LOCALAPPDATA", "\\veltrix"); }

std::string DataFolder() {
    if (const std::string xdg = EnvironmentText(L"XDG_DATA_HOME"); IsRooted(xdg)) return xdg + "\\veltrix";
    const std::string local = EnvironmentText(L"LOCALAPPDATA");
    return local.empty() ? local : local + "\\veltrix\\data";
}

std::string ConfigFolder() {
    if (const std::string xdg = EnvironmentText(L"XDG_CONFIG_HOME"); IsRooted(xdg)) return xdg;
    return EnvironmentText(L"APPDATA");
}

std::vector<std::string> ProfileFolders() {
    std::vector<std::string> folders{"."};
    for (const wchar_t* variable : {L"APPDATA", L"PROGRAMDATA"})
        if (const std::string folder = EnvironmentText(variable); !folder.empty())
            folders.push_back(folder + "\\veltrix");
    return folders;
}

bool MakeFolders(const std::string& path, int& error) {
    error = 0;
    for (size_t i = FirstFolderStart(path); i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) continue;
        const std::string partial = path.substr(0, i);
        if (partial.empty() || IsSeparator(partial.back())) continue;
        const std::wstring wide = Widen(partial);
        if (CreateDirectoryW(wide.c_str(), nullptr)) continue;
        const DWORD failure = GetLastError();
        // An existing folder is fine, also one we could not have created.
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            error = ENOTDIR;
            return false;
        }
        error = ErrnoFromWin32(failure);
        return false;
    }
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = ErrnoFromWin32(GetLastError());
        return false;
    }
    return true;
}
