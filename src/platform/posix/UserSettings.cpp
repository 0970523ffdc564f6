#include "platform/UserSettings.h"

#include "platform/IniFile.h"

std::unique_ptr<SettingsStore> OpenUserSettings() { return std::make_unique<IniSettingsStore>(); }
