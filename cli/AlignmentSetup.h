#pragma once

#include <string>

#include "CliSession.h"
#include "CommandEnv.h"
#include "model/CDiagnosticsRecord.h"

// The controller prepared as the desktop program's Alignment command does,
// for the commands that scan beams: diagnostics of an operational controller,
// the one-second pause, its parameter set read, the working set (All Mode,
// Binary, Host control, Straight scanning) sent. From then on the session
// sends the original back when it is restored. Reports a failure and returns
// its ExitCode.
int PrepareForAlignment(CommandEnv& env, CliSession& session, CDiagnosticsRecord& record);

// A name in the working directory that holds no file yet, for the original
// parameter set should it not go back: saving it never replaces anything.
std::string FreshOriginalName();
