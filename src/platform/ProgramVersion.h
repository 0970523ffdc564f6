#pragma once

#include <string>

// The one version of veltrix, veltrixctl and veltrix-sim: the project's
// version, and the commit a build from a git checkout was made from. The
// definitions are generated at build time.
const char* ProgramVersion();  // "2.1.0"
const char* ProgramCommit();   // "1a2b3c4", "1a2b3c4-dirty", or "" outside a checkout

// "veltrixctl 2.1.0 (git 1a2b3c4)": what --version prints, program name first.
std::string VersionLine(const std::string& program);
