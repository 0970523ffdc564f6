#pragma once

#include <string>
#include <vector>

#include "sim/ControllerModel.h"
#include "sim/Faults.h"

namespace sim {

// Everything the veltrix-sim command line can say.
struct SimConfig {
    ControllerModel model;
    FaultSet faults;
    std::string linkPath;   // --link
    std::string logPath;    // --log
    std::string statePath;  // --state
    bool pace = false;      // --pace
    bool help = false;      // --help
    bool version = false;   // --version (main prints it)
};

// Parses the arguments after the program name. False with a one-line
// message in error for anything it does not accept.
bool ParseSimOptions(const std::vector<std::string>& args, SimConfig& config, std::string& error);
std::string SimUsage();

// "0,9,100-120": channels counted from 0, each at most maxChannel.
bool ParseChannelList(const std::string& text, int maxChannel, std::vector<int>& channels,
                      std::string& error);
// "16,16,8:17": channel counts (8, 16, 0 invalid, -1 undefined) with an
// optional error code 0 to 31 each. An empty text is a bar without boards.
bool ParseBoardList(const std::string& text, std::vector<Board>& boards, std::string& error);

}  // namespace sim
