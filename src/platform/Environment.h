#pragma once

#include <string>

// Changes this process's environment, as std::getenv() reads it (setenv on
// POSIX; on Windows the C library's copy and the system's together).
void SetEnvironmentValue(const std::string& name, const std::string& value);
void UnsetEnvironmentValue(const std::string& name);
