#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "station/StationCycle.h"

// A station cycle on a thread of its own, for a front end that must stay
// responsive (the desktop program's station dialog). The worker owns the
// unit's port and the log while it runs; the observer is called on the
// worker's thread and must hand what it learns over by value.
class StationWorker {
public:
    StationWorker() = default;
    ~StationWorker();  // stops and waits
    StationWorker(const StationWorker&) = delete;
    StationWorker& operator=(const StationWorker&) = delete;

    // Runs units until Stop. False when a run is still going.
    bool Start(StationRecipe recipe, UnitContext context, std::unique_ptr<UnitAccess> unit,
               std::unique_ptr<StationLog> log, StationObserver& observer);
    // Asks the run to end at the next step or wait; returns at once.
    void Stop() { m_stop = true; }
    // Waits until the run ended (after Stop, or on its own).
    void Join();
    bool Running() const { return m_running; }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
};
