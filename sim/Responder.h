#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/ControllerModel.h"
#include "sim/Faults.h"
#include "sim/RequestParser.h"

namespace sim {

// Bytes the controller sends back: after delayMs, at the controller's rate
// when it answered (a parameter set can change the rate right after its
// acknowledgement).
struct Outgoing {
    std::vector<uint8_t> bytes;
    uint32_t delayMs = 0;
    long baud = 9600;
};

// One entry of the request log: what arrived, at which line speed, and what
// the controller did about it.
struct LogEntry {
    uint32_t timeMs = 0;
    long lineSpeed = 0;
    std::string kind;  // "probe", "scan", the command letter, "noise"
    std::vector<uint8_t> request;
    bool answered = false;
    std::vector<uint8_t> reply;
    std::string note;  // why nothing or something unusual was sent
};

struct ResponderResult {
    std::vector<Outgoing> replies;
    bool stateChanged = false;  // parameter set, blanking or identity stored
    bool hangUp = false;        // the line is to go dead now
};

// The controller behind a byte stream: requests in, replies out, every
// request logged. Transport-free: the pty server and SimulatedPort feed it
// with the time and the host's line speed, and deliver what it returns.
// The controller hears nothing while the host's line speed differs from its
// own rate, as on a real line where such bytes arrive garbled.
class Responder {
  public:
    Responder() = default;
    explicit Responder(ControllerModel model) : m_model(std::move(model)) {}

    ControllerModel& Model() { return m_model; }
    const ControllerModel& Model() const { return m_model; }
    FaultSet& Faults() { return m_faults; }

    // endOfBurst: nothing else follows at once, so a trailing 0xF8 is a probe.
    ResponderResult Receive(const uint8_t* bytes, size_t count, uint32_t nowMs, long lineSpeed,
                            bool endOfBurst);
    // The burst has ended (the transport saw a gap): answers a waiting probe.
    ResponderResult EndOfBurst(uint32_t nowMs);
    bool WaitingOnProbe() const { return m_parser.WaitingOnProbe(); }
    bool HungUp() const { return m_hungUp; }
    int RequestCount() const { return m_requestCount; }

    // Tests: the next request of that kind ("probe", "scan", a letter) is
    // answered with exactly these bytes instead of the model's reply, and
    // changes nothing in the model.
    void ScriptReply(const std::string& kind, std::vector<uint8_t> bytes) {
        m_scripted[kind].push_back(std::move(bytes));
    }

    const std::vector<LogEntry>& Log() const { return m_log; }
    // Hands the log over and starts a new one (long-running servers).
    std::vector<LogEntry> TakeLog();
    void ClearLog() { m_log.clear(); }

    // A partial frame older than this is dropped when the next bytes come.
    static constexpr uint32_t kStaleFrameMs = 500;

  private:
    void Handle(const Request& request, uint32_t nowMs, long lineSpeed, ResponderResult& result);
    // The reply to a request addressed to this controller; false when it
    // gives none (note says why).
    bool Answer(const Request& request, uint32_t nowMs, std::vector<uint8_t>& reply,
                std::string& note, bool& stateChanged);
    // The store faults of a write letter: whether it is stored at all, and
    // whether with a byte changed (note names the fault).
    bool Stores(char letter, std::string& note) const;
    bool BadStore(char letter, std::string& note) const;
    void LogUnheard(const uint8_t* bytes, size_t count, uint32_t nowMs, long lineSpeed,
                    std::string note);
    bool DroppedByFault(const std::string& kind, std::string& note);
    void Corrupt(const std::string& kind, std::vector<uint8_t>& reply);

    ControllerModel m_model;
    FaultSet m_faults;
    RequestParser m_parser;
    std::vector<LogEntry> m_log;
    std::set<std::string> m_kindsSeen;
    std::map<std::string, std::deque<std::vector<uint8_t>>> m_scripted;
    uint32_t m_lastByteMs = 0;
    long m_lastLineSpeed = 0;
    int m_requestCount = 0;
    int m_acknowledgedCount = 0;
    int m_flipCount = 0;
    bool m_hungUp = false;
};

// The reply frames, without faults (tests build expectations from them).
std::vector<uint8_t> ProbeReply(const ControllerModel& model);
std::vector<uint8_t> Acknowledgement(uint8_t id);
std::vector<uint8_t> PsfReply(const ControllerModel& model);
std::vector<uint8_t> DiagnosticsReply(const ControllerModel& model);
std::vector<uint8_t> BlankingReply(const ControllerModel& model);
// The scan reply the stored parameter set asks for; empty when it asks for
// none (no serial transmission, or no measurement switched on).
std::vector<uint8_t> ScanReplyBytes(const ControllerModel& model, uint32_t timeMs);

}  // namespace sim
