#pragma once

#include <string>
#include <vector>

// A private profile (INI) file: named sections of name=value entries. The
// part-number list lives in section "PartNumbers" of the profile named after
// the application.
class ProfileFile {
public:
    virtual ~ProfileFile() = default;
    // Entry names of a section in file order; empty when the section or the
    // file is missing.
    virtual std::vector<std::string> EntryNames(const std::string& section) const = 0;
    // The entry's value; empty when it has none or does not exist.
    virtual std::string Value(const std::string& section, const std::string& name) const = 0;
};
