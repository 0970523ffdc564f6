#pragma once

#include <string>

#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

// Points XDG_STATE_HOME, and with it the recovery journal, at a fresh folder
// for a scope, so that no test reads or leaves entries in the user's own.
struct ScopedStateHome {
    ScopedTempDir dir;
    ScopedEnv env{"XDG_STATE_HOME", dir.Path()};

    std::string RecoveryFolder() const { return dir.Path() + "/veltrix/recovery"; }
};
