#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "serial/CommDevice.h"

// A CommDevice double for unit tests in virtual time. Incoming bytes are
// queued now or for a later tick; a read that comes back short lets the clock
// (GetClock(), a VirtualClock in tests) run to the end of the read time-out,
// as the real device would. A responder can answer what is written.
class FakeCommDevice : public CommDevice {
  public:
    using Responder =
        std::function<void(FakeCommDevice& device, const std::vector<uint8_t>& bytes)>;

    // Scripting.
    CommState state;  // the line as the device holds it
    bool failOpen = false;
    int openError = kCommErrBadId;  // LastError after a failed open
    bool failGetState = false;
    bool failSetState = false;
    bool failQueueSizes = false;
    bool failGetTimeouts = false;
    bool failReads = false;
    bool failWrites = false;
    bool failPurge = false;
    bool gone = false;        // failures say the device went away
    int failError = 5;        // LastError of other failures (an errno: "General Error")
    int writeLimit = -1;      // bytes a write accepts; -1: all
    uint32_t lineErrors = 0;  // reported (and cleared) by the next LineErrors()
    Responder responder;

    void Arrive(const std::vector<uint8_t>& bytes);
    void ArriveAfter(uint32_t delayMs, const std::vector<uint8_t>& bytes);

    // What happened.
    bool open = false;
    int openCalls = 0;
    int closeCalls = 0;
    int readCalls = 0;
    int writeCalls = 0;
    int purgeInputCalls = 0;
    int purgeOutputCalls = 0;
    std::vector<CommState> statesSet;
    std::vector<std::vector<uint8_t>> writes;
    std::vector<std::pair<ModemLine, bool>> modemLines;
    std::vector<bool> breaks;
    CommTimeouts timeouts{0, 0};
    bool timeoutsSet = false;
    size_t Pending() const;

    // CommDevice.
    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return open; }
    bool GetState(CommState& out) override;
    bool SetState(const CommState& in) override;
    bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override;
    bool GetTimeouts(CommTimeouts& out) override;
    bool SetTimeouts(const CommTimeouts& in) override;
    bool Read(uint8_t* buffer, int n, int& got) override;
    bool Write(const uint8_t* buffer, int n, int& sent) override;
    bool SetModemLine(ModemLine line, bool on) override;
    bool SetBreak(bool on) override;
    bool PurgeInput() override;
    bool PurgeOutput() override;
    int LastError() const override { return m_lastError; }
    bool Gone() const override { return m_lastGone; }
    uint32_t LineErrors() override;

  private:
    struct Arrival {
        uint32_t tick;
        std::vector<uint8_t> bytes;
    };
    bool Fail(int error);
    void TakeArrived();

    std::deque<uint8_t> m_queue;
    std::vector<Arrival> m_arrivals;  // sorted by tick
    int m_lastError = 0;
    bool m_lastGone = false;
};
