#include "app/InfoOptions.h"

#include <string>

#include "platform/ProgramVersion.h"

namespace {

constexpr const char* kHelp =
    "Usage: veltrix [OPTIONS]\n"
    "\n"
    "The VELTRIX service tool: parameter sets, diagnostics, alignment and\n"
    "blanking, part number and date code of a light curtain controller on a\n"
    "serial line.\n"
    "\n"
    "Options:\n"
    "  -h,--help                   this text\n"
    "  --version                   the program's version\n"
    "  Qt's own options (-platform NAME, -style NAME, ...) go to Qt.\n"
    "\n"
    "Environment: VELTRIX_COM<n> (the device of COM n), VELTRIX_TRACE (a file\n"
    "that records every byte on the line), VELTRIX_PROFILE (the part-number\n"
    "profile). See veltrix(1).\n";

}  // namespace

std::optional<int> AnswerInfoOptions(int argc, char** argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            out << kHelp;
        } else if (arg == "--version") {
            out << VersionLine("veltrix") << "\n";
        } else {
            continue;
        }
        out.flush();
        return out ? 0 : 1;
    }
    return std::nullopt;
}
