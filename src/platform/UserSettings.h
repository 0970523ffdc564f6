#pragma once

#include <memory>

#include "platform/SettingsStore.h"

// The store where the desktop program keeps its settings on this OS, opened
// for the command-line tool, so that both programs share them: the INI file
// of IniSettingsStore on Linux, the registry key
// HKCU\Software\Local AppWizard-Generated Applications\Multiple Output VELTRIX 2.0
// on Windows.
std::unique_ptr<SettingsStore> OpenUserSettings();
