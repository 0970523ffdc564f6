#include "CommandLine.h"

// The production station's commands. Writing units comes with the station
// cycle; reading the log out is `station export` (StationExport.cpp).
void AddStationCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* station = AddCommand(app, "station", "the production station's log");
    station->footer(
        "A production station records every unit it programs in the production\n"
        "log: by default the SQLite file $XDG_DATA_HOME/veltrix/production.sqlite\n"
        "(~/.local/share/veltrix/production.sqlite), or the log --log names:\n"
        "sqlite:///PATH or a plain path for a SQLite file, postgresql://... (libpq's\n"
        "URI form, host=/run/postgresql for a Unix socket) for a PostgreSQL\n"
        "database that several stations share. Records the log could not take\n"
        "wait in $XDG_DATA_HOME/veltrix/spool/ until it can.");
    station->require_subcommand(1);
    AddStationExportCommand(*station, env);
}
