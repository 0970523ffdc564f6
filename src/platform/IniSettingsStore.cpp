// IniSettingsStore: the desktop program's settings file, read and written in
// the notation its settings library uses on Linux, so both programs see the
// same values: keys and section names escaped as %XX (and %UXXXX), '/' as
// '\', a section named "General" as [%General]; text values with C-style
// escapes, quoted when they hold ';', ',', '=' or edge spaces, with a
// leading '@' doubled.

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/AppInfo.h"
#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

namespace {

const char kHexUpper[] = "0123456789ABCDEF";
// Characters written as a backslash and a letter, and those letters.
const char kNamedControls[] = "\a\b\f\n\r\t\v\"\\";
const char kNamedEscapes[] = "abfnrtv\"\\";

bool IsAsciiAlnum(uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string HexLower(unsigned value) {
    char text[8];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, 16);
    return std::string(text, end);
}

// Decodes one UTF-8 sequence at text[i]; a byte that starts none stands for itself.
uint32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const uint32_t lead = byte(i);
    const size_t extra = lead >= 0xF0 && lead < 0xF5   ? 3
                         : lead >= 0xE0 && lead < 0xF0 ? 2
                         : lead >= 0xC2 && lead < 0xE0 ? 1
                                                       : 0;
    if (extra == 0 || i + extra >= text.size()) {
        ++i;
        return lead;
    }
    uint32_t code = lead & (0x3Fu >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    i += extra + 1;
    return code;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16Escape(std::string& out, uint32_t unit) {
    out += "%U";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHexUpper[unit >> shift & 0xF];
}

std::string EscapeKey(const std::string& key) {
    std::string out;
    for (size_t i = 0; i < key.size();) {
        const uint32_t c = NextCodePoint(key, i);
        if (c == '/') {
            out += '\\';
        } else if (IsAsciiAlnum(c) || c == '_' || c == '-' || c == '.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHexUpper[c >> 4];
            out += kHexUpper[c & 0xF];
        } else if (c <= 0xFFFF) {
            AppendUtf16Escape(out, c);
        } else {
            AppendUtf16Escape(out, 0xD800 + ((c - 0x10000) >> 10));
            AppendUtf16Escape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string SectionName(const std::string& section) {
    std::string escaped = EscapeKey(section);
    std::string lower = escaped;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    // [General] holds the keys outside any group, so a group of that name is marked.
    return lower == "general" ? "%General" : escaped;
}

std::string EscapeValue(const std::string& text) {
    const std::string value = !text.empty() && text[0] == '@' ? '@' + text : text;
    std::string out;
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == ';' || ch == ',' || ch == '=') needsQuotes = true;
        // After \0 or \xNN a hex digit would be read as part of the escape.
        if (escapeNextIfHex && HexValue(ch) >= 0) {
            out += "\\x" + HexLower(c);
            continue;
        }
        escapeNextIfHex = false;
        if (ch == '\0') {
            out += "\\0";
            escapeNextIfHex = true;
        } else if (const char* named = std::strchr(kNamedControls, ch); named && ch) {
            out += '\\';
            out += kNamedEscapes[named - kNamedControls];
        } else if (c <= 0x1F) {
            out += "\\x" + HexLower(c);
            escapeNextIfHex = true;
        } else {
            out += ch;
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' ')))
        out = '"' + out + '"';
    return out;
}

// The reverse of EscapeValue, for one text value. Nothing for the library's
// other value kinds (byte arrays, variants), which this store does not use.
std::optional<std::string> UnescapeValue(const std::string& raw) {
    std::string out;
    bool quoted = false;
    size_t keep = 0;  // characters an unquoted value's trailing spaces are chopped to
    for (size_t i = 0; i < raw.size();) {
        const char ch = raw[i];
        if (ch == '"') {
            quoted = !quoted;
            ++i;
            if (!quoted)
                while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t')) ++i;
            keep = out.size();
            continue;
        }
        if (ch != '\\') {
            out += ch;
            if (quoted || ch != ' ') keep = out.size();
            ++i;
            continue;
        }
        if (++i >= raw.size()) break;
        const char code = raw[i++];
        if (const char* named = std::strchr(kNamedEscapes, code); named && code) {
            out += kNamedControls[named - kNamedEscapes];
            keep = out.size();
            continue;
        }
        if (code == '?' || code == '\'') {
            out += code;
        } else if (code == 'x') {
            uint32_t value = 0;
            const size_t first = i;
            while (i < raw.size() && HexValue(raw[i]) >= 0)
                value = (value << 4 | static_cast<uint32_t>(HexValue(raw[i++]))) & 0xFFFF;
            if (i > first) AppendUtf8(out, value);
        } else if (code >= '0' && code <= '7') {
            uint32_t value = static_cast<uint32_t>(code - '0');
            while (i < raw.size() && raw[i] >= '0' && raw[i] <= '7')
                value = (value << 3 | static_cast<uint32_t>(raw[i++] - '0')) & 0xFFFF;
            AppendUtf8(out, value);
        }
        // Any other escaped character is dropped, as the library does.
        keep = out.size();
    }
    // Trailing spaces outside quotes are not part of the value.
    out.resize(keep);

    if (!out.empty() && out[0] == '@') {
        if (out.size() > 1 && out[1] == '@') return out.substr(1);
        const std::string kString = "@String(";
        if (out.compare(0, kString.size(), kString) == 0 && out.back() == ')')
            return out.substr(kString.size(), out.size() - kString.size() - 1);
        return std::nullopt;
    }
    return out;
}

IniFile LoadOrEmpty(const std::string& path) {
    std::optional<IniFile> ini = IniFile::Load(path);
    return ini ? std::move(*ini) : IniFile();
}

void Store(const std::string& path, const IniFile& ini) {
    const size_t slash = path.find_last_of("/\\");
    int ignored = 0;
    if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash), ignored);
    const std::string text = ini.Serialize();
    // A settings write that fails keeps the old file; there is no one to tell.
    WriteFileAtomically(path, text.data(), text.size());
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path) : m_path(std::move(path)) {}

std::string IniSettingsStore::DefaultPath() {
    return ConfigFolder() + '/' + kCompanyKey + '/' + kAppName + ".conf";
}

std::optional<std::string> IniSettingsStore::GetString(const std::string& section,
                                                       const std::string& key) {
    std::optional<std::string> raw =
        LoadOrEmpty(m_path).RawValue(SectionName(section), EscapeKey(key));
    if (!raw) return std::nullopt;
    return UnescapeValue(*raw);
}

void IniSettingsStore::SetString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    IniFile ini = LoadOrEmpty(m_path);
    ini.Set(SectionName(section), EscapeKey(key), EscapeValue(value));
    Store(m_path, ini);
}

int IniSettingsStore::GetInt(const std::string& section, const std::string& key, int defaultValue) {
    std::optional<std::string> text = GetString(section, key);
    if (!text) return defaultValue;
    int value = 0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, ec] = std::from_chars(begin, end, value);
    // Text that is not a whole number reads as absent.
    return ec == std::errc() && stop == end && begin != end ? value : defaultValue;
}

void IniSettingsStore::SetInt(const std::string& section, const std::string& key, int value) {
    SetString(section, key, std::to_string(value));
}
