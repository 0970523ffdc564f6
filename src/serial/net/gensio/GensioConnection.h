#pragma once

#include <gensio/gensio_types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sergensio;

// One connection to a device server through libgensio, driven from the
// calling thread only: nothing happens between calls, and every wait runs
// the connection's own event loop until its condition holds or its deadline
// passes. Each connection has an event loop of its own, so ports owned by
// different threads never share one.
//
// Received bytes are kept until taken; past kMaxBuffered the connection stops
// reading and the kernel holds the rest.
class GensioConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    GensioConnection();
    ~GensioConnection();
    GensioConnection(const GensioConnection&) = delete;
    GensioConnection& operator=(const GensioConnection&) = delete;

    // Connects through a gensio string ("telnet(rfc2217),tcp(nodelay),HOST,PORT");
    // false with Error() set when that fails or takes longer than timeoutMs.
    // waiting, when given, hears how long the connect has taken every
    // kWaitSliceMs, and -1 at its end (CommDevice's DeviceWaitHook).
    bool Connect(const std::string& gensioString, int timeoutMs,
                 const std::function<void(int)>& waiting = {});
    // Closes the connection (if still open) and frees it; the event loop
    // stays for the next Connect.
    void Close();
    bool Connected() const { return m_io != nullptr; }

    // Runs the event loop until done() holds, the connection dropped, or the
    // deadline passed; the result is done().
    bool WaitUntil(const std::function<bool()>& done, Deadline deadline);
    static Deadline In(int ms) {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }

    // Up to n received bytes, oldest first; how many.
    std::size_t Take(uint8_t* buffer, std::size_t n);
    std::size_t Buffered() const { return m_in.size() - m_head; }
    // Drops what has arrived so far, including what waits in the socket.
    void Discard();
    // The printable part of what arrived (a server's "Port already in use").
    std::string ReceivedText() const;

    // Writes what the connection takes within timeoutMs; false when the
    // connection failed (sent holds what went before).
    bool Send(const uint8_t* data, int n, int& sent, int timeoutMs);

    // The RFC 2217 side of the connection; null without the telnet layer.
    sergensio* Serial() const { return m_serial; }
    // Runs one RFC 2217 request (which may write to the socket); its result,
    // or GE_NOTSUP without the telnet layer.
    int Request(const std::function<int(sergensio*)>& request);

    // The gensio error of the last failure (0: none) and its text.
    int Error() const { return m_error; }
    std::string ErrorText() const;
    // The server closed the connection or it failed under us.
    bool Dropped() const { return m_dropped; }

private:
    static int OnEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                       gensiods* buflen, const char* const* auxdata);
    void Service(Deadline deadline);
    bool WaitForOpen(const bool& opened, int timeoutMs, const std::function<void(int)>& waiting);
    void Fail(int error);
    void FreeEventLoop();

    static constexpr std::size_t kMaxBuffered = 64 * 1024;
    static constexpr int kCloseMs = 1000;
    static constexpr int kWaitSliceMs = 50;
    static constexpr int kDrainPasses = 3;

    gensio_os_funcs* m_os = nullptr;
    gensio* m_io = nullptr;
    sergensio* m_serial = nullptr;
    std::vector<uint8_t> m_in;
    std::size_t m_head = 0;
    bool m_readPaused = false;
    bool m_writeReady = false;
    bool m_dropped = false;
    int m_error = 0;
};
