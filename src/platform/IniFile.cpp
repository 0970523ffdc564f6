#include "platform/IniFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "platform/AppInfo.h"
#include "platform/AtomicFile.h"

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

bool ReadWholeFile(const std::string& path, std::string& text) {
    // Non-blocking so that a FIFO in the search path cannot hang start-up.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    text.clear();
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    return HomeFolder() + "/.config";
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
    const std::string folders[] = {".", ConfigFolder(), "/etc/veltrix"};
    for (const std::string& folder : folders)
        for (const std::string& file : {name, name + ".ini"})
            if (IsRegularFile(folder + '/' + file)) return folder + '/' + file;
    return {};
}

std::unique_ptr<ProfileFile> OpenAppProfile() {
    std::string path = AppProfilePath();
    std::optional<IniFile> ini = path.empty() ? std::nullopt : IniFile::Load(path);
    return std::make_unique<IniFile>(ini ? std::move(*ini) : IniFile());
}
