#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "history/WriteRecord.h"

// The change history: before a write replaces a controller's parameter
// set, blanking or part number, what the controller held is kept, one file
// per write in $XDG_STATE_HOME/veltrix/history/ ("20261207T090203Z-
// 0001234-0001-psf.json": UTC time, process, count, what). Files are
// written atomically, so a reader finds an entry whole or not at all.
//
// Kept: the newest 500 entries, and every entry of the last 90 days,
// whichever is more; Keep prunes what is beyond both.
class ChangeHistory {
public:
    static constexpr size_t kKeepEntries = 500;
    static constexpr int kKeepDays = 90;

    // An empty folder is a history that cannot be written (no home folder).
    explicit ChangeHistory(std::string folder = DefaultFolder());
    static std::string DefaultFolder();
    const std::string& Folder() const { return m_folder; }

    // The folder exists (made if need be) and a file can be created in it;
    // false with the reason in words.
    bool CheckWritable(std::string& error) const;
    // Stores one entry (its time set when 0) and prunes; path is the file.
    bool Keep(const WriteRecord& record, std::string& error, std::string* path = nullptr) const;

    struct Item {
        std::string path;
        std::optional<WriteRecord> record;  // nothing when the file is not a sound entry
        std::string problem;
    };
    // Every entry, newest first: entry number N is List()[N - 1].
    std::vector<Item> List() const;
    // Entry number N (from 1), as List numbers them.
    std::optional<Item> Load(int number) const;

    // Removes the entries beyond the newest keepEntries that are also older
    // than keepDays at now; returns how many went.
    int Prune(std::time_t now, size_t keepEntries = kKeepEntries, int keepDays = kKeepDays) const;

private:
    std::vector<std::string> NamesNewestFirst() const;

    std::string m_folder;
};

// The entry as its file holds it (JSON), and back; false when the text is
// not an entry, with the reason in problem.
std::string SerializeHistoryEntry(const WriteRecord& record);
bool ParseHistoryEntry(const std::string& text, WriteRecord& record, std::string& problem);

// A file's bytes, up to maxBytes; false with the reason in error.
bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& text, std::string& error);
