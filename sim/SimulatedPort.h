#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "serial/RS232.h"
#include "sim/Responder.h"

namespace sim {

// One call a host made on a simulated port, in order, with the clock's time
// and the port's line speed at that moment.
struct PortEvent {
    enum class Kind { Write, Read, FlushInput, FlushOutput, SetLine, Break };
    Kind kind;
    uint32_t timeMs = 0;
    long lineSpeed = 0;
    std::vector<uint8_t> bytes;  // written, or read
    int requested = 0;           // bytes asked for by a read
    int result = 0;
};

// The controller end of a simulated line. Shared by every SimulatedPort a
// test opens: a command context opens a new port for each command, while the
// controller and its state live on.
class SimulatedLine {
  public:
    SimulatedLine() = default;
    explicit SimulatedLine(ControllerModel model) : m_responder(std::move(model)) {}

    ControllerModel& Model() { return m_responder.Model(); }
    Responder& Controller() { return m_responder; }
    FaultSet& Faults() { return m_responder.Faults(); }
    const std::vector<LogEntry>& RequestLog() const { return m_responder.Log(); }
    const std::vector<PortEvent>& Events() const { return m_events; }
    void ClearLogs() {
        m_events.clear();
        m_responder.ClearLog();
    }
    // The bytes of every write, in order (what the host sent).
    std::vector<std::vector<uint8_t>> Writes() const;

    // A code other than 0 makes every port open fail with that status.
    int openStatus = 0;
    // Reply bytes arrive at wire speed (12 bit-times each, after the request
    // itself has crossed the line) instead of at once.
    bool pace = false;
    // How long the controller thinks before it answers.
    uint32_t turnaroundMs = 0;
    int portsOpened = 0;

  private:
    friend class SimulatedPort;
    Responder m_responder;
    std::vector<PortEvent> m_events;
};

// An in-process RS232 on the process clock (a VirtualClock in tests): writes
// go to the controller at once; a block read returns what has arrived and,
// when that is less than asked for, lets up to the 95 ms block time pass on
// the clock and returns -98, as the real port does.
class SimulatedPort : public RS232 {
  public:
    static constexpr uint32_t kBlockReadMs = 95;

    SimulatedPort(std::shared_ptr<SimulatedLine> line, int portIndex, long baud, int parity = 'E',
                  int wordLength = 8, int stopBits = 1);

    int ReadBlock(uint8_t* buffer, int count) override;
    int WriteBlock(const uint8_t* buffer, int count) override;
    int ReadByte() override;
    int WriteByte(int byte) override;
    int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override;
    int ParityErrorSeen(int clear) override;
    int BreakSeen(int clear) override;
    int FramingErrorSeen(int clear) override;
    int OverrunSeen(int clear) override;
    int SendBreak(int ms) override;
    int InputOverflowSeen(int clear) override;
    int XonXoff(int setting) override;
    int FlushInput() override;
    int FlushOutput() override;

    long LineSpeed() const { return m_lineSpeed; }
    SimulatedLine& Line() { return *m_line; }
    // Reply bytes not yet read (arrived or still on the way).
    size_t Pending() const { return m_incoming.size(); }

  private:
    struct Incoming {
        double dueMs;
        uint8_t byte;
    };

    void Deliver(const ResponderResult& result, double startMs);
    int TakeArrived(uint8_t* buffer, int count, double nowMs);
    void Record(PortEvent::Kind kind, std::vector<uint8_t> bytes = {}, int requested = 0,
                int result = 0);

    std::shared_ptr<SimulatedLine> m_line;
    std::deque<Incoming> m_incoming;
    long m_lineSpeed = 0;
};

// Makes every port a command context opens a SimulatedPort on this line
// (SetPortFactory); the default factory comes back when the scope ends.
class ScopedSimulatedPorts {
  public:
    explicit ScopedSimulatedPorts(std::shared_ptr<SimulatedLine> line);
    ~ScopedSimulatedPorts();
    ScopedSimulatedPorts(const ScopedSimulatedPorts&) = delete;
    ScopedSimulatedPorts& operator=(const ScopedSimulatedPorts&) = delete;
};

void InstallSimulatedPorts(std::shared_ptr<SimulatedLine> line);

}  // namespace sim
