#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text that leaves the program for a database, a file or a parser must be
// UTF-8: PostgreSQL refuses anything else (a record that never gets in),
// and the TOML parser mishandles it.

// The offset of the first byte that is not part of valid UTF-8 (a NUL byte
// counts as invalid), or npos.
size_t FindInvalidUtf8(std::string_view text);

// The text with every such byte replaced by U+FFFD.
std::string CleanUtf8(std::string_view text);
