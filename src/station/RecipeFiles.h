#pragma once

#include <optional>
#include <string>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"

// The files a recipe names and the values it expects, each checked the way
// a station will use it. A false result comes with the problem in words.

// Twelve boards of sixteen channels: the most a bar can report.
inline constexpr int kMaxEmitterChannels = 192;

// name in folder, unless name is absolute or folder empty.
std::string InFolder(const std::string& folder, const std::string& name);

// The recipe's own text, at most 64 KiB.
bool ReadRecipeText(const std::string& path, std::string& text, std::string& problem);

// The TOML parser recurses once per level of nested arrays, inline tables
// and dotted keys, so a few thousand levels overflow the stack. A recipe
// needs two or three; a text with more than kMaxRecipeNesting on a line is
// refused before it is parsed. The line, or 0 when the text is fine.
inline constexpr int kMaxRecipeNesting = 16;
size_t TooDeeplyNestedLine(const std::string& text);

// A .PSF file whose every code is one a controller knows.
bool ReadRecipePsf(const std::string& path, CPsfRecord& psf, std::string& problem);

// A .BFS file (its 800-channel map) that a controller can take: nothing
// blanked beyond what the blanking block carries, or beyond the channels
// the recipe expects.
bool ReadRecipeBlanking(const std::string& path, std::optional<int> expectChannels, CBlankingMap& map,
                        std::string& problem);

// "major.minor" as the diagnostics show a firmware version, each 0 to 15.
bool IsFirmwareVersion(const std::string& text);
