#pragma once

#include <optional>
#include <string>

// Where the production log lives, as the user names it: a SQLite file
// ("sqlite:///srv/line1/production.sqlite", or a plain path) or a PostgreSQL
// database in libpq's URI form ("postgresql://station@plant-db/production",
// "postgresql:///production?host=/run/postgresql" for a Unix socket).
struct LogTarget {
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    // The file's path, or the whole URI handed to libpq.
    std::string location;
    // The target as messages, the spool and exports show it: a password in
    // the URI (user:secret@, password=secret) is replaced by "***".
    std::string shown;
    // The default target: created with its folder when missing.
    bool isDefault = false;
};

// Reads a target. A plain relative path is taken relative to `base` (the
// recipe's folder; the working directory when empty). Nothing, with `error`
// saying why, for an empty text, a "sqlite://" without an absolute path or
// an unknown scheme ("mysql://...").
std::optional<LogTarget> ParseLogTarget(const std::string& text, std::string& error,
                                        const std::string& base = {});

// DataFolder() + "/production.sqlite"; nothing when there is no data folder
// (neither $XDG_DATA_HOME nor $HOME is set).
std::optional<LogTarget> DefaultLogTarget(std::string& error);

// The text with every password of a PostgreSQL URI replaced by "***".
std::string HidePassword(const std::string& uri);
