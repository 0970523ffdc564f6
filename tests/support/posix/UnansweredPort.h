#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

// A port on 127.0.0.1 that takes no connection: it listens with its queue of
// waiting connections full, so the kernel drops every new request
// unanswered, as a host behind a firewall that swallows them.
class UnansweredPort {
public:
    UnansweredPort() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_address.sin_family = AF_INET;
        m_address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof m_address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&m_address), length) != 0 ||
            ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&m_address), &length) != 0)
            return;
        m_port = ntohs(m_address.sin_port);
        // One connection more than the backlog fits; a second makes sure.
        for (int i = 0; i < 2; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&m_address), sizeof m_address);
            m_fillers.push_back(fd);
        }
        ::usleep(100000);  // the handshakes land in the queue
    }
    ~UnansweredPort() {
        for (const int fd : m_fillers) ::close(fd);
        if (m_listener >= 0) ::close(m_listener);
    }
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;

    // 0 when it could not be set up.
    int Port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
    sockaddr_in m_address{};
    std::vector<int> m_fillers;
};
