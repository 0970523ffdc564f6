#include "platform/SettingsStore.h"

namespace {
SettingsStore* g_settings = nullptr;
}

SettingsStore* Settings() { return g_settings; }

void SetSettings(SettingsStore* store) { g_settings = store; }
