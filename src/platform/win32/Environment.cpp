#include "platform/Environment.h"

#include <windows.h>

#include <cstdlib>

#include "platform/win32/WideText.h"

// Both copies: std::getenv() reads the C library's, the win32/ seams (and
// child processes) the system's.
void SetEnvironmentValue(const std::string& name, const std::string& value) {
    _putenv_s(name.c_str(), value.c_str());
    SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
}

// An empty value removes the variable from the C library's copy.
void UnsetEnvironmentValue(const std::string& name) {
    _putenv_s(name.c_str(), "");
    SetEnvironmentVariableW(Widen(name).c_str(), nullptr);
}
