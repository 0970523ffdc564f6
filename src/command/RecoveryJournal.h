#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command/RecoveryEntry.h"

// The recovery journal: one file per device in a folder of the user's state
// ($XDG_STATE_HOME/veltrix/recovery, by default ~/.local/state/...). Entries
// are written to a temporary file, flushed to disk and renamed into place,
// so a reader finds the old entry or the new one, never half of one.
//
// A file that is not a sound entry (damaged, or of another format, or made
// on another host) is reported as such and left alone: nothing here removes
// or applies it unless asked for that file by name.
class RecoveryJournal {
  public:
    // An empty folder is a journal that cannot be written (no home folder).
    explicit RecoveryJournal(std::string folder = DefaultFolder());

    // $XDG_STATE_HOME/veltrix/recovery when that is set and absolute, else
    // $HOME/.local/state/veltrix/recovery; empty when neither can be found.
    static std::string DefaultFolder();
    const std::string& Folder() const { return m_folder; }

    struct Item {
        std::string path;    // the file
        std::string device;  // the device its name stands for
        std::optional<RecoveryEntry> entry;  // when sound
        EntryProblem problem = EntryProblem::None;
        std::string why;     // what is wrong, in words
    };

    // Stores the entry for its device, replacing the one before. False with
    // a message in error when it could not be stored.
    bool Write(const RecoveryEntry& entry, std::string& error) const;
    // The file of a device: by its path as opened or as resolved.
    std::optional<Item> Find(const std::string& device, const std::string& resolved = {}) const;
    // Every file in the folder, sorted by name.
    std::vector<Item> List() const;
    bool Remove(const Item& item, std::string& error) const;
    // Moves an unusable file out of a device's way, keeping it under a name
    // of its own ("....entry.kept-<time>"). Returns the new path, or empty.
    std::string SetAside(const Item& item, std::string& error) const;

    // The file name that stands for a device path.
    static std::string FileNameFor(const std::string& device);

  private:
    Item Load(const std::string& name) const;

    std::string m_folder;
};

// What a path leads to now (symbolic links followed); the path itself when
// it cannot be resolved.
std::string ResolvedDevicePath(const std::string& path);
