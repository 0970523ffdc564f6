#pragma once

#include <string>

#include "platform/SettingsStore.h"

// The settings store in the registry, laid out as the desktop program's
// settings library keeps it on Windows: one subkey per section below the
// program's key in HKEY_CURRENT_USER, one value per setting. Integers are
// written as REG_DWORD and texts as REG_SZ; either kind is read as either
// (a text that is not a whole number reads as absent for an integer).
class RegistrySettingsStore : public SettingsStore {
public:
    // keyPath: below HKEY_CURRENT_USER, e.g. L"Software\\Company\\Program".
    explicit RegistrySettingsStore(std::wstring keyPath);

    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    std::optional<std::string> GetString(const std::string& section, const std::string& key) override;
    void SetString(const std::string& section, const std::string& key, const std::string& value) override;

private:
    std::wstring SectionKey(const std::string& section) const;

    std::wstring m_keyPath;
};
