#pragma once

#include <QSettings>

#include "platform/SettingsStore.h"

// The per-user settings store over QSettings, under the company and
// application names of AppInfo.h. On Linux that is the INI file
// ~/.config/<company>/<application>.conf, the same file the command-line
// tool reads, so every write is synced at once.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();

    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    std::optional<std::string> GetString(const std::string& section,
                                         const std::string& key) override;
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override;

    QString FileName() const { return m_settings.fileName(); }

  private:
    QSettings m_settings;
};
