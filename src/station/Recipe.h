#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"
#include "platform/ProfileFile.h"
#include "station/LogTarget.h"

// A production recipe: what a station writes into every unit, from a TOML
// file a production engineer edits by hand:
//
//   [station]
//   psf = "golden.PSF"        # required
//   bfs = "golden.BFS"        # optional
//   part_number = "123456"    # required; in the part-number list when there is one
//   date_code = true          # write today's date code; default true
//   expect_firmware = "2.3"   # optional
//   expect_channels = 32      # optional: emitter channel total
//   log = "sqlite:///srv/line1/production.sqlite"   # optional
//
// Paths are relative to the recipe's folder. The files it names are read
// when the recipe is, so that a recipe that cannot be used is refused before
// any controller is touched.
struct StationRecipe {
    std::string path;
    std::string psfPath;
    CPsfRecord psf;
    std::string bfsPath;                    // empty: the recipe writes no blanking
    std::optional<CBlankingMap> blanking;   // the file's 800-channel map
    std::string partNumber;                 // as written: decimal digits
    uint32_t partNumberValue = 0;
    bool dateCode = true;
    std::string expectFirmware;             // "major.minor"; empty: any
    std::optional<int> expectChannels;
    std::optional<LogTarget> log;
};

// Reads and checks a recipe. `partNumbers` is the profile with the
// part-number list, or null when there is none to check against. Nothing on
// any problem, with `error` naming the file, the line and the key:
// "line1.toml:4: part_number: '654321' is not in the part-number list".
std::optional<StationRecipe> LoadRecipe(const std::string& path, const ProfileFile* partNumbers,
                                        std::string& error);
// The same for a recipe's text as if it were read from path.
std::optional<StationRecipe> ParseRecipe(const std::string& text, const std::string& path,
                                         const ProfileFile* partNumbers, std::string& error);
