#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ProfileFile.h"
#include "platform/SettingsStore.h"

// A parsed INI file: [section] headers and name=value lines, in file order.
// Section and entry names compare without regard to case, as profile files
// always have. Malformed lines are skipped, never fatal.
class IniFile : public ProfileFile {
public:
    static IniFile Parse(const std::string& text);
    // Nothing when the file cannot be read.
    static std::optional<IniFile> Load(const std::string& path);

    std::vector<std::string> EntryNames(const std::string& section) const override;
    // The value as profile files read it: surrounding quotes removed.
    std::string Value(const std::string& section, const std::string& name) const override;
    // The value text exactly as it stands after the '=' (trimmed); nothing
    // when the entry does not exist.
    std::optional<std::string> RawValue(const std::string& section, const std::string& name) const;

    void Set(const std::string& section, const std::string& name, const std::string& value);
    std::string Serialize() const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const Section* FindSection(const std::string& name) const;
    std::vector<Section> m_sections;
};

// Where the part-number profile is looked up, first match wins:
// $VELTRIX_PROFILE; "Multiple Output VELTRIX 2.0" (also with ".ini") in the
// working directory; then in $XDG_CONFIG_HOME (or ~/.config); then
// /etc/veltrix. On Windows the last two are %APPDATA%\veltrix and
// %PROGRAMDATA%\veltrix (ProfileFolders()).
std::string AppProfilePath();
// The profile at AppProfilePath(); an empty profile when there is none.
std::unique_ptr<ProfileFile> OpenAppProfile();

// The settings store as the INI file the desktop program's settings live in
// on Linux ($XDG_CONFIG_HOME or ~/.config, "Local AppWizard-Generated
// Applications/Multiple Output VELTRIX 2.0.conf"), so the command-line tool
// sees what the desktop program saved. Writes replace the file atomically.
// (On Windows those settings live in the registry: UserSettings.h.)
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(std::string path = DefaultPath());
    static std::string DefaultPath();

    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    std::optional<std::string> GetString(const std::string& section,
                                         const std::string& key) override;
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override;

private:
    std::string m_path;
};
