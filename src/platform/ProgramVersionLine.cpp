#include "platform/ProgramVersion.h"

std::string VersionLine(const std::string& program) {
    std::string line = program + " " + ProgramVersion();
    if (*ProgramCommit() != '\0') line += std::string(" (git ") + ProgramCommit() + ")";
    return line;
}
