#pragma once

#include <string>

// prefix + "YYYYMMDD-HHMMSS" (local time now) + extension, for files the tool
// names itself. A name that holds a file already gets "-2", "-3", ... before
// the extension, so that nothing written earlier is ever replaced.
std::string FreshStampedName(const std::string& prefix, const std::string& extension);
