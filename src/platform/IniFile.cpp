#include "platform/IniFile.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "platform/AppInfo.h"
#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/ReadOnlyFile.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Lines end with LF, CR LF or a lone CR.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

// A FIFO in the search path opens without waiting and has no size, so it
// cannot hang start-up; nor can a folder of the profile's name be read.
bool ReadWholeFile(const std::string& path, std::string& text) {
    ReadOnlyFile file;
    if (!file.Open(path)) return false;
    const long size = file.Size();
    if (size < 0) return false;
    text.assign(static_cast<size_t>(size), '\0');
    text.resize(file.ReadFromStart(reinterpret_cast<uint8_t*>(text.data()), text.size()));
    return true;
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

// IniFile

IniFile IniFile::Parse(const std::string& text) {
    IniFile ini;
    Section* current = nullptr;
    std::string body = text;
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);

    for (const std::string& raw : SplitLines(body)) {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos) {
                // A broken header: its lines belong to no section we know.
                current = nullptr;
                continue;
            }
            std::string name = Trim(line.substr(1, close - 1));
            current = nullptr;
            for (Section& section : ini.m_sections)
                if (SameName(section.name, name)) current = &section;
            if (!current) {
                ini.m_sections.push_back({name, {}});
                current = &ini.m_sections.back();
            }
            continue;
        }
        size_t equals = line.find('=');
        if (!current || equals == std::string::npos) continue;
        std::string name = Trim(line.substr(0, equals));
        if (name.empty()) continue;
        bool known = false;
        for (const auto& entry : current->entries) known = known || SameName(entry.first, name);
        // The first of two entries of one name is the one that is read.
        if (!known) current->entries.emplace_back(name, Trim(line.substr(equals + 1)));
    }
    return ini;
}

std::optional<IniFile> IniFile::Load(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) return std::nullopt;
    return Parse(text);
}

const IniFile::Section* IniFile::FindSection(const std::string& name) const {
    for (const Section& section : m_sections)
        if (SameName(section.name, name)) return &section;
    return nullptr;
}

std::vector<std::string> IniFile::EntryNames(const std::string& section) const {
    std::vector<std::string> names;
    if (const Section* found = FindSection(section))
        for (const auto& entry : found->entries) names.push_back(entry.first);
    return names;
}

std::optional<std::string> IniFile::RawValue(const std::string& section,
                                             const std::string& name) const {
    if (const Section* found = FindSection(section))
        for (const auto& entry : found->entries)
            if (SameName(entry.first, name)) return entry.second;
    return std::nullopt;
}

std::string IniFile::Value(const std::string& section, const std::string& name) const {
    std::string value = RawValue(section, name).value_or("");
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

void IniFile::Set(const std::string& section, const std::string& name, const std::string& value) {
    Section* target = const_cast<Section*>(FindSection(section));
    if (!target) {
        m_sections.push_back({section, {}});
        target = &m_sections.back();
    }
    for (auto& entry : target->entries)
        if (SameName(entry.first, name)) {
            entry.second = value;
            return;
        }
    target->entries.emplace_back(name, value);
}

std::string IniFile::Serialize() const {
    std::string text;
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (i > 0) text += '\n';
        text += '[' + OneLine(m_sections[i].name) + "]\n";
        for (const auto& [name, value] : m_sections[i].entries)
            text += OneLine(name) + '=' + OneLine(value) + '\n';
    }
    return text;
}

// The part-number profile

std::string AppProfilePath() {
    if (const char* path = std::getenv("VELTRIX_PROFILE"); path && *path) return path;
    const std::string name = kAppName;
    for (const std::string& folder : ProfileFolders())
        for (const std::string& file : {name, name + ".ini"})
            if (IsRegularFile(folder + '/' + file)) return folder + '/' + file;
    return {};
}

std::unique_ptr<ProfileFile> OpenAppProfile() {
    std::string path = AppProfilePath();
    std::optional<IniFile> ini = path.empty() ? std::nullopt : IniFile::Load(path);
    return std::make_unique<IniFile>(ini ? std::move(*ini) : IniFile());
}
