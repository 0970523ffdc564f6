#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "serial/CommDevice.h"
#include "serial/net/NetDevice.h"
#include "serial/net/NetDeviceName.h"
#include "serial/net/gensio/GensioConnection.h"

// A serial device server as a CommDevice, over libgensio: telnet with the
// RFC 2217 COM-PORT-OPTION for rfc2217://, plain TCP for tcp://. The rules
// are those of NetDevice.h; the protocol is the library's.
//
// Over RFC 2217 the device remembers the line settings the server last
// confirmed and sends only what changes, so the link's probe, which sets the
// rate before every command, costs no round trip when the rate stays.
class GensioDevice : public CommDevice {
public:
    // connectMs: how long a connect may take (shorter in tests).
    explicit GensioDevice(NetDeviceName name, int connectMs = kConnectMs);
    ~GensioDevice() override;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return m_open; }

    bool GetState(CommState& state) override;
    bool SetState(const CommState& state) override;
    bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override;
    bool GetTimeouts(CommTimeouts& timeouts) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;

    bool Read(uint8_t* buffer, int n, int& got) override;
    bool Write(const uint8_t* buffer, int n, int& sent) override;

    bool SetModemLine(ModemLine line, bool on) override;
    bool SetBreak(bool on) override;
    bool PurgeInput() override;
    bool PurgeOutput() override;

    int LastError() const override { return m_lastError; }
    bool Gone() const override { return m_gone; }
    uint32_t LineErrors() override { return 0; }
    std::string FailureText() const override { return m_failure; }
    void SetWaitHook(DeviceWaitHook hook) override { m_waitHook = std::move(hook); }

    // The connection string handed to the library.
    std::string GensioString() const;

private:
    enum Setting { kBaud, kDataSize, kParity, kStopBits, kFlow, kDtr, kRts, kBreak, kSettingCount };
    struct Answer {
        bool done = true;
        int error = 0;
        unsigned value = 0;
    };

    static void OnAnswer(sergensio* sio, int err, unsigned value, void* answer);
    bool Rfc2217() const { return m_name.protocol == NetDeviceName::Protocol::Rfc2217; }
    // Sends one RFC 2217 request (value 0 only asks); its answer lands in m_answers.
    void Ask(Setting setting, unsigned value);
    // True when every one of these was answered without an error in time.
    bool AwaitAnswers(const std::vector<Setting>& settings, int timeoutMs);
    bool ReadServerState();
    bool SetControl(Setting setting, bool on, std::optional<bool>& last);
    void SettleUnanswered(Setting setting);

    bool Fail(int error, std::string text);
    bool FailOpen(int error, std::string text);
    bool NotOpen();
    // The connection dropped: the device went away.
    bool Lost();

    NetDeviceName m_name;
    int m_connectMs;
    // Before the connection: answers may still come in while it closes.
    std::array<Answer, kSettingCount> m_answers{};
    GensioConnection m_connection;
    bool m_open = false;
    CommState m_state;  // as the server last confirmed it
    CommTimeouts m_timeouts;
    std::optional<bool> m_dtr, m_rts, m_break;  // as last sent
    int m_lastError = 0;
    bool m_gone = false;
    std::string m_failure;
    DeviceWaitHook m_waitHook;
    // A server that did not answer the last connect within its time-out is
    // not asked again before this: a lost connection is opened again by
    // every operation until it is back, and each would wait as long.
    std::optional<std::chrono::steady_clock::time_point> m_quietUntil;
    std::string m_quietFailure;
};
