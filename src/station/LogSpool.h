#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "station/LogTarget.h"
#include "station/UnitRecord.h"

// Records that the production log could not take yet, kept on the PC until
// it can: one file per record, written atomically and synced, in a folder of
// their own per log (DataFolder()/spool/<key>). File names sort in the order
// the units finished, so they go to the log in that order. Several stations
// may share a spool: a record sent twice is stored once (its uid).
class LogSpool {
public:
    explicit LogSpool(std::string folder) : m_folder(std::move(folder)) {}

    // The spool folder of a log; empty when there is no data folder. The key
    // comes from the target without its password, so a changed password
    // finds the records spooled before.
    static std::string FolderFor(const LogTarget& target);

    const std::string& Folder() const { return m_folder; }

    // Keeps one record. False, with the reason, when it could not be written.
    bool Add(const UnitRecord& unit, std::string& error);

    // One spooled file; `unit` is empty when the file does not read as a
    // record, and `why` then says what is wrong with it.
    struct Entry {
        std::string path;
        std::optional<UnitRecord> unit;
        std::string why;
    };
    // Every waiting record, oldest first.
    std::vector<Entry> List() const;
    size_t Count() const;
    // Once a record is in the log.
    bool Remove(const Entry& entry, std::string& error);
    // A file that is not a record is renamed to end in ".damaged": kept for a
    // person to look at, no longer in the way of the records behind it.
    bool SetAside(const Entry& entry, std::string& error);

private:
    std::vector<std::string> Files() const;

    std::string m_folder;
};
