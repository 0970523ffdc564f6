#include "app/QtSettingsStore.h"

#include "platform/AppInfo.h"

namespace {

QString Key(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, kCompanyKey, kAppName) {}

int QtSettingsStore::GetInt(const std::string& section, const std::string& key, int defaultValue) {
    const QVariant value = m_settings.value(Key(section, key));
    if (!value.isValid()) return defaultValue;
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : defaultValue;
}

void QtSettingsStore::SetInt(const std::string& section, const std::string& key, int value) {
    m_settings.setValue(Key(section, key), value);
    m_settings.sync();
}

std::optional<std::string> QtSettingsStore::GetString(const std::string& section,
                                                      const std::string& key) {
    const QVariant value = m_settings.value(Key(section, key));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

void QtSettingsStore::SetString(const std::string& section, const std::string& key,
                                const std::string& value) {
    m_settings.setValue(Key(section, key), QString::fromStdString(value));
    m_settings.sync();
}
