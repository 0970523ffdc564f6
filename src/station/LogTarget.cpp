#include "station/LogTarget.h"

#include <cctype>

#include "platform/Folders.h"

namespace {

constexpr const char* kSqliteScheme = "sqlite://";

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

// The scheme of "scheme://...", lower case; empty when the text has none.
std::string SchemeOf(const std::string& text) {
    const size_t colon = text.find("://");
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme = text.substr(0, colon);
    for (char& c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return scheme;
}

}  // namespace

std::string HidePassword(const std::string& uri) {
    std::string shown = uri;
    // user:password@ in the authority, which ends at the first '@' or '/'
    // (libpq reads it the same way).
    const size_t start = shown.find("://");
    if (start != std::string::npos) {
        const size_t authority = start + 3;
        const size_t end = shown.find_first_of("@/?", authority);
        if (end != std::string::npos && shown[end] == '@') {
            const size_t colon = shown.find(':', authority);
            if (colon != std::string::npos && colon < end) shown.replace(colon + 1, end - colon - 1, "***");
        }
    }
    // password=... among the query parameters.
    const size_t query = shown.find('?');
    if (query == std::string::npos) return shown;
    for (size_t at = query + 1; at < shown.size();) {
        size_t next = shown.find('&', at);
        if (next == std::string::npos) next = shown.size();
        const std::string key = "password=";
        if (shown.compare(at, key.size(), key) == 0) {
            shown.replace(at + key.size(), next - at - key.size(), "***");
            next = at + key.size() + 3;
        }
        at = next + 1;
    }
    return shown;
}

std::optional<LogTarget> ParseLogTarget(const std::string& text, std::string& error, const std::string& base) {
    LogTarget target;
    if (text.empty()) {
        error = "the log target is empty";
        return std::nullopt;
    }
    const std::string scheme = SchemeOf(text);
    if (scheme == "postgresql" || scheme == "postgres") {
        target.kind = LogTarget::Kind::Postgres;
        target.location = text;
        target.shown = HidePassword(text);
        return target;
    }
    if (scheme == "sqlite") {
        target.location = text.substr(std::string(kSqliteScheme).size());
        if (!IsAbsolute(target.location)) {
            error = "'" + text + "' needs an absolute path after sqlite:// (sqlite:///srv/line1/production.sqlite)";
            return std::nullopt;
        }
    } else if (!scheme.empty()) {
        error = "'" + HidePassword(text) +
                "' is neither sqlite:// with a path, a file path, nor postgresql:// with a database";
        return std::nullopt;
    } else {
        target.location = IsAbsolute(text) || base.empty() ? text : base + "/" + text;
    }
    target.shown = target.location;
    return target;
}

std::optional<LogTarget> DefaultLogTarget(std::string& error) {
    const std::string folder = DataFolder();
    if (folder.empty()) {
        error = "there is no data folder for the production log: set XDG_DATA_HOME or HOME, or name a log";
        return std::nullopt;
    }
    LogTarget target;
    target.location = folder + "/production.sqlite";
    target.shown = target.location;
    target.isDefault = true;
    return target;
}
