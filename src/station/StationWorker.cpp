#include "station/StationWorker.h"

StationWorker::~StationWorker() {
    Stop();
    Join();
}

bool StationWorker::Start(StationRecipe recipe, UnitContext context, std::unique_ptr<UnitAccess> unit,
                          std::unique_ptr<StationLog> log, StationObserver& observer) {
    if (m_running) return false;
    Join();
    m_stop = false;
    m_running = true;
    m_thread = std::thread([this, recipe = std::move(recipe), context = std::move(context), unit = std::move(unit),
                            log = std::move(log), &observer]() mutable {
        StationCycle cycle(recipe, std::move(context), *unit, *log, observer, [this] { return m_stop.load(); });
        cycle.Run(-1);
        m_running = false;
        observer.Ended();
    });
    return true;
}

void StationWorker::Join() {
    if (m_thread.joinable()) m_thread.join();
}
