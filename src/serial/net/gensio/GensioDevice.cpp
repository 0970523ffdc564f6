#include "serial/net/gensio/GensioDevice.h"

#include <gensio/gensio_err.h>
#include <gensio/sergensio.h>

#include <cerrno>
#include <utility>

#include "serial/net/NetDevice.h"

namespace {

// A server that turns a connection away (ser2net's "Port already in use")
// closes it right after the connect; this long we look for that.
constexpr int kRefusalMs = 50;

using SetFunction = int (*)(sergensio*, unsigned, sergensio_done, void*);

SetFunction FunctionOf(int setting) {
    static constexpr SetFunction kFunctions[] = {
        sergensio_baud,        sergensio_datasize, sergensio_parity, sergensio_stopbits,
        sergensio_flowcontrol, sergensio_dtr,      sergensio_rts,    sergensio_sbreak};
    return kFunctions[setting];
}

// RFC 2217 codes of the settings record's values.
unsigned ParityCode(uint8_t parity) { return parity + 1u; }  // none, odd, even, mark, space
uint8_t ParityOf(unsigned code) {
    return code >= 1 && code <= 5 ? static_cast<uint8_t>(code - 1) : 0xFF;
}
unsigned StopBitsCode(uint8_t stopBits) { return stopBits == 0 ? 1u : stopBits == 1 ? 3u : 2u; }
uint8_t StopBitsOf(unsigned code) { return code == 1 ? 0 : code == 3 ? 1 : code == 2 ? 2 : 0xFF; }
unsigned FlowCode(const CommState& state) {
    return state.outXonXoff || state.inXonXoff ? SERGENSIO_FLOWCONTROL_XON_XOFF
                                               : SERGENSIO_FLOWCONTROL_NONE;
}

// The classic device code of a failed connect: the server is not there, or
// something else went wrong ("General Error"); the text says which.
int CodeOfConnectError(int error) {
    switch (error) {
        case GE_CONNREFUSE:
        case GE_HOSTDOWN:
        case GE_TIMEDOUT:
        case GE_NOTFOUND:
        case GE_NAME_ERROR:
        case GE_NAME_INVALID:
        case GE_NAME_SERVER_FAILURE:
        case GE_NAME_NET_NOT_UP:
        case GE_UNKNOWN_NAME_ERROR:
            return kCommErrBadId;
        default:
            return EIO;
    }
}

}  // namespace

GensioDevice::GensioDevice(NetDeviceName name, int connectMs)
    : m_name(std::move(name)), m_connectMs(connectMs) {}

GensioDevice::~GensioDevice() { Close(); }

std::string GensioDevice::GensioString() const {
    // No Nagle delay: every request is a handful of bytes waiting for its reply.
    const std::string tcp = "tcp(nodelay)," + m_name.host + "," + std::to_string(m_name.port);
    return Rfc2217() ? "telnet(rfc2217)," + tcp : tcp;
}

bool GensioDevice::Fail(int error, std::string text) {
    m_lastError = error;
    m_gone = false;
    m_failure = std::move(text);
    return false;
}

bool GensioDevice::FailOpen(int error, std::string text) {
    // What the server said before it hung up tells the user most.
    if (const std::string said = m_connection.ReceivedText(); !said.empty())
        text += ": \"" + said + "\"";
    m_connection.Close();
    m_open = false;
    return Fail(error, std::move(text));
}

bool GensioDevice::NotOpen() { return Fail(kCommErrNotOpen, {}); }

bool GensioDevice::Lost() {
    Fail(EIO, m_name.Address() + " closed the connection");
    m_gone = true;
    return false;
}

bool GensioDevice::Open() {
    if (m_open) return Fail(kCommErrOpen, {});
    m_dtr.reset();
    m_rts.reset();
    m_break.reset();
    const auto now = std::chrono::steady_clock::now();
    if (m_quietUntil && now < *m_quietUntil) return Fail(kCommErrBadId, m_quietFailure);
    m_quietUntil.reset();
    if (!m_connection.Connect(GensioString(), m_connectMs, m_waitHook)) {
        const int error = m_connection.Error();
        // Turned away while the telnet options were still being agreed.
        if (error == GE_REMCLOSE)
            return FailOpen(kCommErrHardwareInUse, m_name.Address() + " closed the connection");
        if (error == GE_TIMEDOUT) {
            m_quietFailure = "No connection to " + m_name.Address() + " within " +
                             std::to_string((m_connectMs + 500) / 1000) + " s";
            m_quietUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_connectMs);
            return Fail(kCommErrBadId, m_quietFailure);
        }
        return Fail(CodeOfConnectError(error),
                    m_connection.ErrorText() + " (" + m_name.Address() + ")");
    }
    m_open = true;
    if (Rfc2217()) return ReadServerState();
    m_connection.WaitUntil([] { return false; }, GensioConnection::In(kRefusalMs));
    if (m_connection.Dropped())
        return FailOpen(kCommErrHardwareInUse, m_name.Address() + " closed the connection");
    return true;
}

bool GensioDevice::ReadServerState() {
    const std::vector<Setting> settings = {kBaud, kDataSize, kParity, kStopBits, kFlow};
    if (m_connection.Serial()) {
        for (const Setting setting : settings) Ask(setting, 0);
    }
    if (!m_connection.Serial() || !AwaitAnswers(settings, kSettingAnswerMs)) {
        if (m_connection.Dropped())
            return FailOpen(kCommErrHardwareInUse, m_name.Address() + " closed the connection");
        return FailOpen(EIO, "No RFC 2217 answer from " + m_name.Address() +
                                 " (a raw TCP port is named tcp://" + m_name.Address() + ")");
    }
    m_state.baud = m_answers[kBaud].value;
    m_state.byteSize = static_cast<uint8_t>(m_answers[kDataSize].value);
    m_state.parity = ParityOf(m_answers[kParity].value);
    m_state.stopBits = StopBitsOf(m_answers[kStopBits].value);
    m_state.outXonXoff = m_state.inXonXoff =
        m_answers[kFlow].value == SERGENSIO_FLOWCONTROL_XON_XOFF;
    m_state.binary = true;
    return true;
}

void GensioDevice::Close() {
    m_connection.Close();
    m_open = false;
}

void GensioDevice::OnAnswer(sergensio*, int err, unsigned value, void* data) {
    // The library gives up on a request after 5 s on its own; our waits are
    // shorter, and such a late verdict must not pass for a newer answer.
    if (err == ETIMEDOUT) return;
    auto* answer = static_cast<Answer*>(data);
    answer->done = true;
    answer->error = err;
    answer->value = value;
}

void GensioDevice::Ask(Setting setting, unsigned value) {
    Answer& answer = m_answers[setting];
    answer = {false, 0, 0};
    const int rc = m_connection.Request(
        [&](sergensio* sio) { return FunctionOf(setting)(sio, value, OnAnswer, &answer); });
    if (rc != 0) answer = {true, rc, 0};
}

bool GensioDevice::AwaitAnswers(const std::vector<Setting>& settings, int timeoutMs) {
    const auto answered = [&] {
        for (const Setting setting : settings)
            if (!m_answers[setting].done) return false;
        return true;
    };
    if (!m_connection.WaitUntil(answered, GensioConnection::In(timeoutMs))) return false;
    for (const Setting setting : settings)
        if (m_answers[setting].error != 0) return false;
    return true;
}

bool GensioDevice::GetState(CommState& state) {
    if (!m_open) return NotOpen();
    if (Rfc2217()) {
        state = m_state;
        return true;
    }
    // Over plain TCP the line is the server's business: its rate is not a
    // number this tool knows, nor are its parity and stop bits.
    state = CommState{};
    state.baud = kCommRateUnknown;
    state.parity = 0xFF;
    state.stopBits = 0xFF;
    return true;
}

bool GensioDevice::SetState(const CommState& state) {
    if (!m_open) return NotOpen();
    if (m_connection.Dropped()) return Lost();
    if (!Rfc2217()) return true;  // the line is set at the server
    if (state.baud == 0 || state.baud == kCommRateUnknown) return Fail(kCommErrBaudRate, {});
    if (state.byteSize < 5 || state.byteSize > 8) return Fail(kCommErrByteSize, {});
    if (state.parity > 4) return Fail(kCommErrDefaultParams, {});

    std::vector<Setting> asked;
    const auto ask = [&](Setting setting, bool changed, unsigned value) {
        if (!changed) return;
        Ask(setting, value);
        asked.push_back(setting);
    };
    ask(kBaud, state.baud != m_state.baud, state.baud);
    ask(kDataSize, state.byteSize != m_state.byteSize, state.byteSize);
    ask(kParity, state.parity != m_state.parity, ParityCode(state.parity));
    ask(kStopBits, state.stopBits != m_state.stopBits, StopBitsCode(state.stopBits));
    ask(kFlow, FlowCode(state) != FlowCode(m_state), FlowCode(state));
    if (asked.empty()) return true;

    if (!AwaitAnswers(asked, kSettingAnswerMs)) {
        if (m_connection.Dropped()) return Lost();
        return Fail(EIO, "No answer from " + m_name.Address() + " to the line settings");
    }
    if (state.baud != m_state.baud && m_answers[kBaud].value != state.baud) {
        return Fail(kCommErrBaudRate, m_name.Address() + " set " +
                                          std::to_string(m_answers[kBaud].value) +
                                          " baud instead of " + std::to_string(state.baud));
    }
    m_state = state;
    return true;
}

bool GensioDevice::SetQueueSizes(uint32_t, uint32_t) { return m_open ? true : NotOpen(); }

bool GensioDevice::GetTimeouts(CommTimeouts& timeouts) {
    if (!m_open) return NotOpen();
    timeouts = m_timeouts;
    return true;
}

bool GensioDevice::SetTimeouts(const CommTimeouts& timeouts) {
    if (!m_open) return NotOpen();
    m_timeouts = timeouts;
    return true;
}

bool GensioDevice::Read(uint8_t* buffer, int n, int& got) {
    got = 0;
    if (!m_open) return NotOpen();
    const auto wanted = static_cast<std::size_t>(n > 0 ? n : 0);
    m_connection.WaitUntil([&] { return m_connection.Buffered() >= wanted; },
                           GensioConnection::In(static_cast<int>(m_timeouts.readTotalMs)));
    got = static_cast<int>(m_connection.Take(buffer, wanted));
    // Bytes that came before the connection dropped still count.
    if (got == 0 && m_connection.Dropped()) return Lost();
    return true;
}

bool GensioDevice::Write(const uint8_t* buffer, int n, int& sent) {
    sent = 0;
    if (!m_open) return NotOpen();
    if (!m_connection.Send(buffer, n, sent, static_cast<int>(m_timeouts.writeTotalMs)))
        return Lost();
    return true;
}

bool GensioDevice::SetControl(Setting setting, bool on, std::optional<bool>& last) {
    if (!m_open) return NotOpen();
    if (m_connection.Dropped()) return Lost();
    if (!Rfc2217() || last == on) return true;
    // SERGENSIO_DTR_ON, _RTS_ON and _BREAK_ON are 1, the _OFF values 2.
    Ask(setting, on ? 1u : 2u);
    // A bounded wait: ser2net on a pseudo-terminal never answers these.
    if (!AwaitAnswers({setting}, kControlAnswerMs)) SettleUnanswered(setting);
    if (m_connection.Dropped()) return Lost();
    last = on;
    return true;
}

// The library (2.6) keeps an unanswered control request for 5 s and, while
// it does, hands it the next answer of another kind whose value lies outside
// the control's range: the answer to the next rate change would be lost, and
// that change would seem to fail. So the request is given an answer to take:
// queries of the rate, until one is swallowed. Stray rate queries left behind
// are harmless: a rate answer goes to the oldest one, all share one slot, and
// the answers keep their order.
void GensioDevice::SettleUnanswered(Setting setting) {
    const GensioConnection::Deadline deadline = GensioConnection::In(kSettingAnswerMs);
    Answer& control = m_answers[setting];
    Answer& rate = m_answers[kBaud];
    while (!control.done && !m_connection.Dropped() &&
           std::chrono::steady_clock::now() < deadline) {
        Ask(kBaud, 0);
        m_connection.WaitUntil([&] { return control.done || rate.done; }, deadline);
    }
    // The control's own answer came late after all (its values are 0 to 2):
    // the last query's answer is still on its way, and is awaited here
    // rather than taken for the answer to a later change.
    if (control.done && control.value <= 2)
        m_connection.WaitUntil([&] { return rate.done; }, deadline);
}

bool GensioDevice::SetModemLine(ModemLine line, bool on) {
    return line == ModemLine::Dtr ? SetControl(kDtr, on, m_dtr) : SetControl(kRts, on, m_rts);
}

bool GensioDevice::SetBreak(bool on) { return SetControl(kBreak, on, m_break); }

bool GensioDevice::PurgeInput() {
    if (!m_open) return NotOpen();
    if (m_connection.Dropped()) return Lost();
    if (Rfc2217())
        m_connection.Request(
            [](sergensio* sio) { return sergensio_flush(sio, SERGENSIO_FLUSH_RCV_BUFFER); });
    m_connection.Discard();
    return true;
}

bool GensioDevice::PurgeOutput() {
    if (!m_open) return NotOpen();
    if (m_connection.Dropped()) return Lost();
    // Nothing waits on this side: every write went to the socket at once.
    if (Rfc2217())
        m_connection.Request(
            [](sergensio* sio) { return sergensio_flush(sio, SERGENSIO_FLUSH_XMIT_BUFFER); });
    return true;
}
