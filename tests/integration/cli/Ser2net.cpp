#include "Ser2net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

constexpr int kAttempts = 5;
constexpr auto kReadyWithin = std::chrono::seconds(10);

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int Ser2net::FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Ser2net::Listening(int port) {
    // Read from the kernel's table, without connecting: a connection would
    // make ser2net open the device.
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::istringstream table(ReadAll("/proc/net/tcp"));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, address, remote, state;
        fields >> slot >> address >> remote >> state;
        if (address == local && state == "0A") return true;
    }
    return false;
}

std::string Ser2net::Url(std::size_t i) const {
    const Connection& c = m_connections.at(i);
    return std::string(c.rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(c.port);
}

std::string Ser2net::Log() const { return ReadAll(m_folder + "/ser2net.log"); }

bool Ser2net::Start(std::vector<Connection> connections) {
    Stop();
    const bool fixedPorts = !connections.empty() && connections.front().port != 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        m_connections = connections;
        std::ofstream config(m_folder + "/ser2net.yaml", std::ios::trunc);
        for (std::size_t i = 0; i < m_connections.size(); ++i) {
            Connection& c = m_connections[i];
            if (c.port == 0) c.port = FreePort();
            config << "connection: &c" << i << "\n"
                   << "  accepter: " << (c.rfc2217 ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1,"
                   << c.port << "\n"
                   << "  connector: serialdev," << c.device << "," << c.line << ",local\n";
        }
        config.close();
        m_process = std::make_unique<BackgroundChild>(
            std::vector<std::string>{"/bin/sh", "-c",
                                     "PATH=$PATH:/usr/sbin:/sbin exec ser2net -n -d -u -c '" + m_folder +
                                         "/ser2net.yaml' -P '" + m_folder + "/ser2net.pid' >>'" + m_folder +
                                         "/ser2net.log' 2>&1"},
            false, SIGKILL);
        const auto deadline = std::chrono::steady_clock::now() + kReadyWithin;
        bool ready = false;
        while (!ready && std::chrono::steady_clock::now() < deadline) {
            ready = true;
            for (const Connection& c : m_connections) ready = ready && Listening(c.port);
            if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (ready) return true;
        Stop();
        // Someone took a port between our look and ser2net's bind: new ones
        // (unless the test holds on to its ports, as a restart does).
        if (fixedPorts) return false;
    }
    return false;
}

void Ser2net::Stop() {
    if (!m_process) return;
    m_process->Kill();
    m_process.reset();
}

bool Ser2net::Installed() {
    std::string path = "/usr/sbin:/sbin";
    if (const char* env = std::getenv("PATH")) path = std::string(env) + ":" + path;
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((folder + "/ser2net").c_str(), X_OK) == 0) return true;
    return false;
}
