#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/CBlankingMap.h"

inline constexpr int kBfsFileSize = 100;

// The 100-byte file image of a map ("BF", 96 data bytes, checksum).
std::vector<uint8_t> BuildBfsImage(const CBlankingMap& map);

// Checks an image read from a file and fills an 800-channel file map.
// Returns an empty string on success, else the message to show.
std::string ParseBfsImage(const uint8_t* bytes, long size, CBlankingMap& fileMap);

// "Sa&ve To File...": prompt, write, messages, all through the UI services.
// Returns 1 when the file was written.
int SaveBlankingFile(const CBlankingMap& map);
// Whether SaveBlankingFile could write path, found out without writing:
// empty, or the message it would show.
std::string BlankingFileSaveProblem(const std::string& path);
// "Read From &File..." up to the merged map: prompt, read, checks, the
// channel-count warning, and the first N/8 bytes copied into workingMap.
// Returns 1 when workingMap was updated (the caller then sends it).
int LoadBlankingFile(CBlankingMap& workingMap);
