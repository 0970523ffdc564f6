#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

LoopbackServer::LoopbackServer(Session session) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 1) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this, session = std::move(session)] {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) return;
        const int socket = ::accept(m_listener, nullptr, nullptr);
        if (socket < 0) return;
        session(socket);
        ::close(socket);
    });
}

LoopbackServer::~LoopbackServer() {
    // Wakes a thread still waiting for its connection.
    if (m_listener >= 0) ::shutdown(m_listener, SHUT_RDWR);
    if (m_thread.joinable()) m_thread.join();
    if (m_listener >= 0) ::close(m_listener);
}

void LoopbackServer::Send(int socket, const std::string& text) {
    ::send(socket, text.data(), text.size(), MSG_NOSIGNAL);
}

std::string LoopbackServer::ReadAll(int socket, int timeoutMs) {
    std::string text;
    pollfd p{socket, POLLIN, 0};
    char buffer[256];
    while (::poll(&p, 1, timeoutMs) == 1) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

void LoopbackServer::Echo(int socket, int timeoutMs) {
    pollfd p{socket, POLLIN, 0};
    char buffer[256];
    while (::poll(&p, 1, timeoutMs) == 1) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        ::send(socket, buffer, static_cast<size_t>(n), MSG_NOSIGNAL);
    }
}
