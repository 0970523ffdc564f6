#include "support/FakeCommDevice.h"

#include <algorithm>

#include "platform/Clock.h"

namespace {
// Ticks compare across a wrap of the 32-bit counter.
bool NotAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) <= 0; }
}  // namespace

void FakeCommDevice::Arrive(const std::vector<uint8_t>& bytes) {
    m_queue.insert(m_queue.end(), bytes.begin(), bytes.end());
}

void FakeCommDevice::ArriveAfter(uint32_t delayMs, const std::vector<uint8_t>& bytes) {
    const uint32_t tick = GetClock().TickMs() + delayMs;
    auto at = std::find_if(m_arrivals.begin(), m_arrivals.end(),
                           [&](const Arrival& a) { return !NotAfter(a.tick, tick); });
    m_arrivals.insert(at, Arrival{tick, bytes});
}

size_t FakeCommDevice::Pending() const {
    size_t total = m_queue.size();
    for (const Arrival& a : m_arrivals) total += a.bytes.size();
    return total;
}

bool FakeCommDevice::Fail(int error) {
    m_lastError = error;
    m_lastGone = gone;
    return false;
}

void FakeCommDevice::TakeArrived() {
    const uint32_t now = GetClock().TickMs();
    while (!m_arrivals.empty() && NotAfter(m_arrivals.front().tick, now)) {
        Arrive(m_arrivals.front().bytes);
        m_arrivals.erase(m_arrivals.begin());
    }
}

bool FakeCommDevice::Open() {
    ++openCalls;
    if (failOpen) return Fail(openError);
    open = true;
    return true;
}

void FakeCommDevice::Close() {
    ++closeCalls;
    open = false;
}

bool FakeCommDevice::GetState(CommState& out) {
    if (failGetState) return Fail(failError);
    out = state;
    return true;
}

bool FakeCommDevice::SetState(const CommState& in) {
    if (failSetState) return Fail(failError);
    state = in;
    statesSet.push_back(in);
    return true;
}

bool FakeCommDevice::SetQueueSizes(uint32_t, uint32_t) {
    return failQueueSizes ? Fail(failError) : true;
}

bool FakeCommDevice::GetTimeouts(CommTimeouts& out) {
    if (failGetTimeouts) return Fail(failError);
    out = timeouts;
    return true;
}

bool FakeCommDevice::SetTimeouts(const CommTimeouts& in) {
    timeouts = in;
    timeoutsSet = true;
    return true;
}

bool FakeCommDevice::Read(uint8_t* buffer, int n, int& got) {
    ++readCalls;
    got = 0;
    if (failReads) return Fail(failError);
    Clock& clock = GetClock();
    const uint32_t deadline = clock.TickMs() + timeouts.readTotalMs;
    for (;;) {
        TakeArrived();
        while (got < n && !m_queue.empty()) {
            buffer[got++] = m_queue.front();
            m_queue.pop_front();
        }
        if (got == n) return true;
        const uint32_t now = clock.TickMs();
        if (!m_arrivals.empty() && NotAfter(m_arrivals.front().tick, deadline)) {
            clock.SleepMs(m_arrivals.front().tick - now);
            continue;
        }
        if (NotAfter(deadline, now)) return true;
        clock.SleepMs(deadline - now);
    }
}

bool FakeCommDevice::Write(const uint8_t* buffer, int n, int& sent) {
    ++writeCalls;
    sent = 0;
    if (failWrites) return Fail(failError);
    sent = writeLimit < 0 ? n : std::min(n, writeLimit);
    std::vector<uint8_t> bytes(buffer, buffer + sent);
    writes.push_back(bytes);
    if (sent < n) GetClock().SleepMs(timeouts.writeTotalMs);
    if (responder && sent > 0) responder(*this, bytes);
    return true;
}

bool FakeCommDevice::SetModemLine(ModemLine line, bool on) {
    modemLines.emplace_back(line, on);
    return true;
}

bool FakeCommDevice::SetBreak(bool on) {
    breaks.push_back(on);
    return true;
}

bool FakeCommDevice::PurgeInput() {
    ++purgeInputCalls;
    if (failPurge) return Fail(failError);
    m_queue.clear();
    TakeArrived();  // what had already arrived is gone; later bytes still come
    m_queue.clear();
    return true;
}

bool FakeCommDevice::PurgeOutput() {
    ++purgeOutputCalls;
    return failPurge ? Fail(failError) : true;
}

uint32_t FakeCommDevice::LineErrors() {
    const uint32_t bits = lineErrors;
    lineErrors = 0;
    return bits;
}
