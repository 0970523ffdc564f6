#pragma once

#include <functional>
#include <string>
#include <thread>

// A TCP server on 127.0.0.1 for the device server tests: a thread accepts one
// connection and hands its socket to the session, which does what the test
// needs (echo, talk, hang up) and returns; the socket is closed after it.
class LoopbackServer {
public:
    using Session = std::function<void(int socket)>;

    // port 0: one the kernel picks; else that one (again after a server
    // before it closed).
    explicit LoopbackServer(Session session, int port = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return m_port; }

    // Helpers for sessions.
    static void Send(int socket, const std::string& text);
    // Reads until the peer closes or timeoutMs passes; what arrived.
    static std::string ReadAll(int socket, int timeoutMs);
    // Sends back what arrives, at once, until the peer closes or timeoutMs
    // passes without a byte.
    static void Echo(int socket, int timeoutMs);

private:
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

