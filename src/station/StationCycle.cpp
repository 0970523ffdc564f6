#include "station/StationCycle.h"

#include <ctime>

#include "model/PartNumbers.h"
#include "platform/Clock.h"
#include "platform/LocalTime.h"

namespace {

// Stops are looked at this often while the station waits.
constexpr uint32_t kStopCheckMs = 100;

}  // namespace

uint32_t TodaysDateCode() {
    std::tm local{};
    ToLocalTime(std::time(nullptr), local);
    return static_cast<uint32_t>(std::stoul(MakeDateCode(local)));
}

StationCycle::StationCycle(const StationRecipe& recipe, UnitContext context, UnitAccess& unit, StationLog& log,
                           StationObserver& observer, std::function<bool()> stopRequested)
    : m_recipe(recipe),
      m_context(std::move(context)),
      m_unit(unit),
      m_log(log),
      m_observer(observer),
      m_stop(std::move(stopRequested)) {}

bool StationCycle::Pause(uint32_t ms) {
    Clock& clock = GetClock();
    const uint32_t start = clock.TickMs();
    while (clock.TickMs() - start < ms) {
        if (m_stop()) return false;
        const uint32_t left = ms - (clock.TickMs() - start);
        clock.SleepMs(left < kStopCheckMs ? left : kStopCheckMs);
    }
    return !m_stop();
}

bool StationCycle::WaitForUnit() {
    bool told = false;
    for (;;) {
        if (m_stop()) return false;
        const uint32_t start = GetClock().TickMs();
        if (m_unit.Probe()) return true;
        m_unit.Release();
        if (!told) m_observer.WaitingForUnit();
        told = true;
        // The time between units is the time to send what the spool holds.
        if (m_log.Pending() > 0) {
            const FlushOutcome flushed = m_log.Flush(false);
            if (flushed.sent > 0 || !flushed.damaged.empty()) m_observer.Flushed(flushed);
        }
        const uint32_t spent = GetClock().TickMs() - start;
        if (!Pause(spent < kProbeIntervalMs ? kProbeIntervalMs - spent : 0)) return false;
    }
}

bool StationCycle::WaitForRemoval() {
    m_observer.WaitingForRemoval();
    for (;;) {
        const uint32_t start = GetClock().TickMs();
        if (!m_unit.Probe()) {
            m_unit.Release();
            return !m_stop();
        }
        const uint32_t spent = GetClock().TickMs() - start;
        if (!Pause(spent < kProbeIntervalMs ? kProbeIntervalMs - spent : 0)) return false;
    }
}

void StationCycle::ProgramOne(StationSummary& summary) {
    UnitContext context = m_context;
    context.dateCode = TodaysDateCode();
    m_observer.Step(UnitStep::Diagnostics);
    const UnitOutcome outcome = ProgramUnit(m_recipe, context, m_unit, [this](UnitStep next) {
        if (m_stop()) return false;
        m_observer.Step(next);
        return true;
    });
    const RecordOutcome logged = m_log.Record(outcome.record);
    if (outcome.record.result == UnitRecord::Result::Pass)
        ++summary.passed;
    else
        ++summary.failed;
    if (logged.kind == RecordOutcome::Kind::Spooled) ++summary.spooled;
    if (logged.kind == RecordOutcome::Kind::Lost) ++summary.lost;
    summary.halfWritten = outcome.halfWritten;
    summary.stopped = outcome.stopped;
    m_observer.UnitDone(outcome, logged);
}

StationSummary StationCycle::Run(int count) {
    StationSummary summary;
    if (m_log.Pending() > 0) m_observer.Flushed(m_log.Flush());
    for (int done = 0; count < 0 || done < count; ++done) {
        // The next unit is the one put in after this one was taken away.
        if (done > 0 && !WaitForRemoval()) break;
        if (!WaitForUnit()) break;
        ProgramOne(summary);
        if (summary.stopped) break;
    }
    summary.stopped = summary.stopped || m_stop();
    m_unit.Release();
    return summary;
}
