#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "station/StationLog.h"
#include "station/UnitProgram.h"

// The production station's loop on one device: wait until a controller
// answers (a probe every second), program it (ProgramUnit), record it in the
// log, wait until it stops answering (the unit was taken away), and again.
//
// Threads: everything runs on the thread that calls Run, which may be a
// worker of its own; the observer is called there. Nothing here shows a
// message or touches settings, so several stations may run side by side,
// one per device, each with its own UnitAccess and StationLog.

// What the station tells whoever shows it.
class StationObserver {
public:
    virtual ~StationObserver() = default;
    // No controller answers yet (the first call of each wait only).
    virtual void WaitingForUnit() {}
    // A controller answered; its programming goes through these steps.
    virtual void Step(UnitStep) {}
    virtual void UnitDone(const UnitOutcome&, const RecordOutcome&) {}
    // The unit is done; the station waits for it to be taken away.
    virtual void WaitingForRemoval() {}
    // Records waiting in the spool were sent to the log (at the start, or
    // while waiting once the log is back).
    virtual void Flushed(const FlushOutcome&) {}
    // A run on a worker of its own (StationWorker) is over.
    virtual void Ended() {}
};

struct StationSummary {
    int passed = 0;
    int failed = 0;
    int spooled = 0;  // records that only reached the spool
    int lost = 0;     // records that reached neither
    bool stopped = false;
    bool halfWritten = false;  // the last unit was stopped part-way through its writes
};

inline constexpr uint32_t kProbeIntervalMs = 1000;

class StationCycle {
public:
    StationCycle(const StationRecipe& recipe, UnitContext context, UnitAccess& unit, StationLog& log,
                 StationObserver& observer, std::function<bool()> stopRequested);

    // Programs units until `count` are recorded (pass or fail) or a stop;
    // a negative count runs until a stop. Does not wait for the last unit
    // to be taken away.
    StationSummary Run(int count);

private:
    // False when stopped first.
    bool WaitForUnit();
    bool WaitForRemoval();
    bool Pause(uint32_t ms);
    void ProgramOne(StationSummary& summary);

    const StationRecipe& m_recipe;
    UnitContext m_context;
    UnitAccess& m_unit;
    StationLog& m_log;
    StationObserver& m_observer;
    std::function<bool()> m_stop;
};

// Today's date code as a number (YYWW, local time).
uint32_t TodaysDateCode();
