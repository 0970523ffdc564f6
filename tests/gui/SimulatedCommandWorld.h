#pragma once

#include <memory>

#include "platform/Clock.h"
#include "sim/SimulatedPort.h"
#include "support/ScopedStateHome.h"
#include "support/ScriptedUi.h"

// What a controller command sees in the GUI tests: virtual time (the silent
// controller's time-outs cost nothing), scripted UI services, and the
// simulated controller behind every port a command context opens. Members
// are torn down in reverse order, so the previous clock and UI come back.
// The recovery journal lives in a scratch folder.
struct SimulatedCommandWorld {
    ScopedStateHome stateHome;
    VirtualClock clock;
    ScopedClock scopedClock{clock};
    ScriptedUi ui;
    ScopedUi scopedUi{ui};
    std::shared_ptr<sim::SimulatedLine> line = std::make_shared<sim::SimulatedLine>();
    sim::ScopedSimulatedPorts ports{line};
};
