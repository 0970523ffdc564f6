#pragma once

#include <cstdint>

// The one source of millisecond ticks and delays. Production code runs on the
// steady clock; tests install a VirtualClock so that protocol time-outs of
// 500 to 1500 ms cost no real time. Everything that measures or waits asks
// GetClock(); nothing reads the system time for that directly.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps like a 32-bit tick counter.
    virtual uint32_t TickMs() = 0;
    // Lets ms milliseconds pass. Dispatches nothing.
    virtual void SleepMs(uint32_t ms) = 0;
};

class SteadyClock : public Clock {
public:
    uint32_t TickMs() override;
    void SleepMs(uint32_t ms) override;
};

// Time that moves only when someone sleeps on it or advances it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint32_t startMs = 1000) : m_now(startMs) {}
    uint32_t TickMs() override { return m_now; }
    void SleepMs(uint32_t ms) override { m_now += ms; }
    void Advance(uint32_t ms) { m_now += ms; }

private:
    uint32_t m_now;
};

// The process-wide clock. SetClock(nullptr) goes back to the steady clock.
Clock& GetClock();
void SetClock(Clock* clock);

// Installs a clock for the lifetime of a scope (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) : m_previous(&GetClock()) { SetClock(&clock); }
    ~ScopedClock() { SetClock(m_previous); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* m_previous;
};
