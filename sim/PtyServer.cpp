#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/SimJson.h"

namespace sim {

namespace {

long SpeedOf(speed_t code) {
    switch (code) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        default:
            return 0;
    }
}

// Start, 8 data bits, parity and two stop bits.
std::chrono::nanoseconds CharTime(long baud) {
    return std::chrono::nanoseconds(baud > 0 ? 12'000'000'000LL / baud : 0);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

PtyServer::PtyServer(Responder& responder)
    : m_responder(responder), m_start(std::chrono::steady_clock::now()) {}

PtyServer::~PtyServer() {
    CloseLine();
    if (m_log) std::fclose(m_log);
    RemoveLink();
}

void PtyServer::RemoveLink() {
    if (m_linkPath.empty()) return;
    // Only our own link goes; a path somebody re-pointed meanwhile stays.
    char target[4096];
    const ssize_t n = readlink(m_linkPath.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<size_t>(n)) == m_device) unlink(m_linkPath.c_str());
}

void PtyServer::Unplug() {
    if (m_unplugged) return;
    HangUp();
    RemoveLink();
    m_unplugged = true;
    std::printf("%s\n", UnpluggedLine(m_device).c_str());
    std::fflush(stdout);
}

bool PtyServer::PlugIn() {
    if (!m_unplugged) return true;
    std::string error;
    if (!Open(m_linkPath, error)) {
        std::fprintf(stderr, "veltrix-sim: %s\n", error.c_str());
        return false;
    }
    m_unplugged = false;
    std::printf("%s\n", ReadyLine(m_device, m_linkPath, m_responder.Model()).c_str());
    std::fflush(stdout);
    return true;
}

bool PtyServer::Open(const std::string& linkPath, std::string& error) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = Errno("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        error = Errno("unlockpt");
        return false;
    }
    const char* name = ptsname(m_master);
    if (name == nullptr) {
        error = Errno("ptsname");
        return false;
    }
    m_device = name;
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        error = Errno(m_device);
        return false;
    }
    // Raw from the start: a cooked line would echo the replies back to us,
    // and a host that restores the settings it found on close restores these.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        error = Errno("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | PARENB | CSTOPB;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        error = Errno("tcsetattr");
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Errno("fcntl");
        return false;
    }

    if (!linkPath.empty()) {
        struct stat st {};
        if (lstat(linkPath.c_str(), &st) == 0) {
            // Replace a stale link, never a file.
            if (!S_ISLNK(st.st_mode)) {
                error = linkPath + ": exists and is not a symbolic link";
                return false;
            }
            unlink(linkPath.c_str());
        }
        if (symlink(m_device.c_str(), linkPath.c_str()) != 0) {
            error = Errno(linkPath);
            return false;
        }
        m_linkPath = linkPath;
    }
    return true;
}

bool PtyServer::OpenRecords(const std::string& logPath, const std::string& statePath,
                            std::string& error) {
    if (!logPath.empty()) {
        m_log = std::fopen(logPath.c_str(), "we");
        if (m_log == nullptr) {
            error = Errno(logPath);
            return false;
        }
    }
    m_statePath = statePath;
    if (!m_statePath.empty() &&
        !WriteFileAtomically(m_statePath, StateJson(m_responder.Model()), error))
        return false;
    return true;
}

uint32_t PtyServer::NowMs(SteadyTime now) const {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count());
}

long PtyServer::LineSpeed() const {
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) return 0;
    return SpeedOf(cfgetospeed(&tio));
}

void PtyServer::WriteRecords(bool stateChanged) {
    for (const LogEntry& entry : m_responder.TakeLog()) {
        if (m_log) std::fprintf(m_log, "%s\n", LogLine(entry).c_str());
    }
    if (m_log) std::fflush(m_log);
    if (stateChanged && !m_statePath.empty()) {
        std::string error;
        if (!WriteFileAtomically(m_statePath, StateJson(m_responder.Model()), error))
            std::fprintf(stderr, "veltrix-sim: %s\n", error.c_str());
    }
}

void PtyServer::Take(const ResponderResult& result, SteadyTime now) {
    for (const Outgoing& out : result.replies) {
        SteadyTime due = now + std::chrono::milliseconds(out.delayMs);
        // Bytes on one wire cannot overtake each other.
        if (!m_out.empty() && due < m_out.back().due) due = m_out.back().due;
        const std::chrono::nanoseconds charTime =
            m_pace ? CharTime(out.baud) : std::chrono::nanoseconds(0);
        for (uint8_t b : out.bytes) {
            due += std::chrono::duration_cast<SteadyTime::duration>(charTime);
            m_out.push_back(OutByte{due, b});
        }
    }
    if (result.hangUp) m_hangUpPending = true;
    WriteRecords(result.stateChanged);
}

void PtyServer::ReadInput(SteadyTime now) {
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = read(m_master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // EAGAIN: all read
        const long speed = LineSpeed();
        Take(m_responder.Receive(buffer, static_cast<size_t>(n), NowMs(now), speed, false), now);
        m_probeDeadlineSet = m_responder.WaitingOnProbe();
        if (m_probeDeadlineSet) m_probeDeadline = now + kProbeGap;
    }
}

void PtyServer::WriteDue(SteadyTime now) {
    std::vector<uint8_t> chunk;
    for (const OutByte& o : m_out) {
        if (o.due > now) break;
        chunk.push_back(o.byte);
    }
    if (chunk.empty() || m_master < 0) return;
    size_t written = 0;
    while (written < chunk.size()) {
        const ssize_t n = write(m_master, chunk.data() + written, chunk.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    // The host is not reading and the pty buffer is full: wait for room.
    m_outputBlocked = written < chunk.size();
    m_out.erase(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(written));
}

void PtyServer::CloseLine() {
    if (m_slave >= 0) close(m_slave);
    if (m_master >= 0) close(m_master);
    m_slave = -1;
    m_master = -1;
}

void PtyServer::HangUp() {
    CloseLine();
    m_out.clear();
    m_hangUpPending = false;
    m_probeDeadlineSet = false;
}

int PtyServer::Serve(int signalFd) {
    for (;;) {
        SteadyTime now = std::chrono::steady_clock::now();
        if (m_probeDeadlineSet && now >= m_probeDeadline) {
            m_probeDeadlineSet = false;
            Take(m_responder.EndOfBurst(NowMs(now)), now);
        }
        WriteDue(now);
        if (m_hangUpPending && m_out.empty()) HangUp();

        // Sleep until the next thing that has to happen, or for good.
        SteadyTime wake = SteadyTime::max();
        if (m_probeDeadlineSet) wake = m_probeDeadline;
        if (!m_out.empty() && !m_outputBlocked && m_out.front().due < wake)
            wake = m_out.front().due;
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wake != SteadyTime::max()) {
            const auto wait = std::max(wake - now, SteadyTime::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            timeoutPtr = &timeout;
        }

        pollfd fds[2] = {{signalFd, POLLIN, 0}, {m_master, POLLIN, 0}};
        if (m_outputBlocked) fds[1].events |= POLLOUT;
        const nfds_t count = m_master >= 0 ? 2 : 1;
        const int ready = ppoll(fds, count, timeoutPtr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "veltrix-sim: %s\n", Errno("ppoll").c_str());
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return 0;
            if (info.ssi_signo == SIGUSR1) {
                Unplug();
                continue;
            }
            if (info.ssi_signo == SIGUSR2) {
                if (!PlugIn()) return 1;
                continue;
            }
            return 0;
        }
        if (count < 2) continue;
        now = std::chrono::steady_clock::now();
        if (fds[1].revents & POLLOUT) m_outputBlocked = false;
        if (fds[1].revents & POLLIN) ReadInput(now);
        if (fds[1].revents & (POLLERR | POLLNVAL | POLLHUP)) {
            std::fprintf(stderr, "veltrix-sim: the pseudo-terminal failed\n");
            return 1;
        }
    }
}

}  // namespace sim
