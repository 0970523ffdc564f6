#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

// ser2net (the Debian package) as a serial device server in front of the
// simulator's pseudo-terminal, listening on 127.0.0.1 only, on ports the
// kernel just handed out as free. Its configuration, log and pid file go
// into the test's folder.
class Ser2net {
public:
    struct Connection {
        bool rfc2217 = true;               // telnet(rfc2217); else raw TCP
        std::string device;                // the simulator's device
        std::string line = "9600e82";      // the line as the server opens it
        int port = 0;                      // 0: a free one, chosen by Start
    };

    explicit Ser2net(std::string folder) : m_folder(std::move(folder)) {}
    ~Ser2net() { Stop(); }

    // Starts ser2net and waits until it listens on every port; false (with
    // Log() telling why) when it does not. A connection keeps its port
    // across a Stop and the next Start.
    bool Start(std::vector<Connection> connections);
    bool Start() { return Start(m_connections); }
    // Ends it at once: SIGKILL, since ser2net ignores SIGTERM while a
    // connection is open; its ports are free again when this returns.
    void Stop();

    // Whether ser2net can be run here (scripts/setup-deps installs it).
    static bool Installed();

    int Port(std::size_t i = 0) const { return m_connections.at(i).port; }
    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
    std::string Url(std::size_t i = 0) const;
    std::string Log() const;

    // A TCP port on 127.0.0.1 that no one listens on now.
    static int FreePort();
    static bool Listening(int port);

private:
    std::string m_folder;
    std::vector<Connection> m_connections;
    std::unique_ptr<BackgroundChild> m_process;
};
