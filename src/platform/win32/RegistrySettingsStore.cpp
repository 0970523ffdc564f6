#include "platform/win32/RegistrySettingsStore.h"

#include <windows.h>

#include <charconv>
#include <cstdint>
#include <utility>

#include "platform/win32/WideText.h"

namespace {

// A setting as stored: its type and raw bytes; nothing when it is missing.
struct RawValue {
    DWORD type = REG_NONE;
    std::wstring text;
    uint32_t number = 0;
};

std::optional<RawValue> ReadValue(const std::wstring& key, const std::string& name) {
    const std::wstring value = Widen(name);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_DWORD | RRF_RT_REG_SZ, &type,
                     nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    RawValue raw;
    raw.type = type;
    if (type == REG_DWORD) {
        DWORD number = 0;
        bytes = sizeof number;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_DWORD, nullptr, &number,
                         &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        raw.number = number;
        return raw;
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    raw.text = std::move(text);
    return raw;
}

// Settings that cannot be written are dropped, as a settings file that
// cannot be written is: there is no one to tell.
void WriteValue(const std::wstring& key, const std::string& name, DWORD type, const void* data, DWORD bytes) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(handle, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(handle);
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::wstring keyPath) : m_keyPath(std::move(keyPath)) {}

std::wstring RegistrySettingsStore::SectionKey(const std::string& section) const {
    return m_keyPath + L"\\" + Widen(section);
}

int RegistrySettingsStore::GetInt(const std::string& section, const std::string& key, int defaultValue) {
    const std::optional<RawValue> raw = ReadValue(SectionKey(section), key);
    if (!raw) return defaultValue;
    if (raw->type == REG_DWORD) return static_cast<int>(static_cast<int32_t>(raw->number));
    const std::string text = Narrow(raw->text);
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    int value = 0;
    auto [stop, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && stop == end && begin != end ? value : defaultValue;
}

void RegistrySettingsStore::SetInt(const std::string& section, const std::string& key, int value) {
    const DWORD number = static_cast<DWORD>(value);
    WriteValue(SectionKey(section), key, REG_DWORD, &number, sizeof number);
}

std::optional<std::string> RegistrySettingsStore::GetString(const std::string& section, const std::string& key) {
    const std::optional<RawValue> raw = ReadValue(SectionKey(section), key);
    if (!raw) return std::nullopt;
    if (raw->type == REG_DWORD) return std::to_string(static_cast<int32_t>(raw->number));
    return Narrow(raw->text);
}

void RegistrySettingsStore::SetString(const std::string& section, const std::string& key, const std::string& value) {
    const std::wstring text = Widen(value);
    WriteValue(SectionKey(section), key, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
