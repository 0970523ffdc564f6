#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

// A listening socket on 127.0.0.1; its port in port.
int Listen(int port, int backlog, int& bound) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    bound = ntohs(address.sin_port);
    return fd;
}

}  // namespace

LoopbackServer::LoopbackServer(Session session, int port) {
    m_listener = Listen(port, 1, m_port);
    if (m_listener < 0) return;
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
