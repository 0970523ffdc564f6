#pragma once

#include <string>

#include "CliSession.h"
#include "CommandEnv.h"
#include "model/CDiagnosticsRecord.h"

// The controller prepared as the desktop program's Alignment command does,
// for the commands that scan beams: diagnostics of an operational controller,
// the one-second pause, its parameter set read (checksum checked) and kept in
// the recovery journal under commandName, the working set (All Mode, Binary,
// Host control, Straight scanning) sent. From the send on the session sends
// the original back when it is restored, also when the send seemed to fail:
// the controller may have taken the set and lost only its acknowledgement.
// Reports a failure and returns its ExitCode; after a failed send the
// original has been restored already (saved to savePath should that fail).
int PrepareForAlignment(CommandEnv& env, CliSession& session, CDiagnosticsRecord& record,
                        const std::string& commandName, const std::string& savePath);

// A name in the working directory that holds no file yet, for the original
// parameter set should it not go back: saving it never replaces anything.
std::string FreshOriginalName();

// Whether the original could be saved to path, found out before the
// controller is changed: kExitOk, or kExitFile after the message.
int CheckSavePath(CommandEnv& env, const std::string& path);
