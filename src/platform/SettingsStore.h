#pragma once

#include <optional>
#include <string>

// The per-user store of named sections with integer and text values that
// outlives a run of the program (the desktop program's two settings and the
// COM-number-to-device map of section "Ports"). The desktop program uses its
// Qt implementation; the core and the command-line tool read the same file.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int GetInt(const std::string& section, const std::string& key, int defaultValue) = 0;
    virtual void SetInt(const std::string& section, const std::string& key, int value) = 0;
    virtual std::optional<std::string> GetString(const std::string& section,
                                                 const std::string& key) = 0;
    virtual void SetString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
};

// The process-wide store; nullptr until the program installs one (the core
// then falls back to defaults where it would have read a setting).
SettingsStore* Settings();
void SetSettings(SettingsStore* store);
