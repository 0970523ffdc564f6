#include "CommandEnv.h"

// A build without the production station (no SQLite or toml11) has no
// station command.
void AddStationCommand(CLI::App&, CommandEnv&) {}
