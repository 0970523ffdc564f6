#include "CommandLine.h"

// The production station: `station --recipe FILE` programs one unit after
// another (StationRun.cpp); `station export` writes the log out
// (StationExport.cpp).
void AddStationCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* station = AddCommand(app, "station", "program, check and record one unit after another");
    station->footer(
        "Waits until a controller answers on the port (a probe every second),\n"
        "checks that it is operational and matches the recipe's layout and\n"
        "firmware, writes the recipe's parameter set, blanking, part number and\n"
        "today's date code, reads all of it back and compares, and records the\n"
        "unit as pass or fail with the reason. Then it waits until the unit is\n"
        "taken away (no answer) and starts again; Ctrl-C ends it between steps\n"
        "and says so when that leaves a unit half-written. One line per unit on\n"
        "stdout (--json: one object per unit).\n"
        "\n"
        "Exit status: 0 every unit passed, 1 a unit failed, 2 the recipe or the\n"
        "command line was refused (before any controller was touched), 3 a record\n"
        "could only be kept in the spool.\n"
        "\n"
        "The production log is by default the SQLite file\n"
        "$XDG_DATA_HOME/veltrix/production.sqlite\n"
        "(~/.local/share/veltrix/production.sqlite); the recipe's log or --log name\n"
        "another: sqlite:///PATH or a plain path for a SQLite file, postgresql://...\n"
        "(libpq's URI form, host=/run/postgresql for a Unix socket) for a\n"
        "PostgreSQL database that several stations share. Records the log could\n"
        "not take wait in $XDG_DATA_HOME/veltrix/spool/ until it can. Several\n"
        "stations on one computer run one veltrixctl each, one per device.");
    station->require_subcommand(0, 1);
    AddStationRunOptions(*station, env);
    AddStationExportCommand(*station, env);
}
