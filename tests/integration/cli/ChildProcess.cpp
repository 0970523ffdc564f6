#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long NowMs() {
    using namespace std::chrono;
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::vector<char*> CArgs(const std::vector<std::string>& args) {
    std::vector<char*> out;
    for (const std::string& a : args) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

// Waits for the child, at most until the deadline; false if it is still running.
bool WaitUntil(pid_t pid, long deadline, int& status) {
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return true;
        if (NowMs() >= deadline) return false;
        ::usleep(2000);
    }
}

void Decode(int status, ChildResult& result) {
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, long timeoutMs,
                     const std::vector<std::string>& extraEnv, int stdoutFd) {
    ChildResult result;
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return result;
    const long start = NowMs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(stdoutFd >= 0 ? stdoutFd : outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        for (const std::string& e : extraEnv) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args = CArgs(argv);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    const long deadline = start + timeoutMs;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        const long left = deadline - NowMs();
        if (left <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& p : fds) {
        if (p.fd >= 0) ::close(p.fd);
    }
    int status = 0;
    if (!WaitUntil(pid, NowMs() + 5000, status)) {
        result.timedOut = true;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    Decode(status, result);
    result.elapsedMs = NowMs() - start;
    return result;
}

BackgroundChild::BackgroundChild(const std::vector<std::string>& argv, bool readStderr, int deathSignal) {
    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, deathSignal);
        if (readStderr) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(outPipe[1], STDERR_FILENO);
        } else {
            ::dup2(outPipe[1], STDOUT_FILENO);
        }
        std::vector<char*> args = CArgs(argv);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    m_stdout = outPipe[0];
}

BackgroundChild::~BackgroundChild() {
    if (m_pid > 0) Terminate(3000);
    if (m_stdout >= 0) ::close(m_stdout);
}

std::string BackgroundChild::ReadLine(long timeoutMs) {
    const long deadline = NowMs() + timeoutMs;
    for (;;) {
        const size_t newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        const long left = deadline - NowMs();
        if (left <= 0 || m_stdout < 0) return {};
        pollfd fd{m_stdout, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[1024];
        const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
        if (n <= 0) return {};
        m_pending.append(buffer, static_cast<size_t>(n));
    }
}

void BackgroundChild::CloseOutput() {
    if (m_stdout >= 0) ::close(m_stdout);
    m_stdout = -1;
}

int BackgroundChild::Terminate(long timeoutMs) {
    if (m_pid <= 0) return -1;
    ::kill(m_pid, SIGTERM);
    return Wait(timeoutMs);
}

void BackgroundChild::Kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

int BackgroundChild::Wait(long timeoutMs) {
    if (m_pid <= 0) return -1;
    int status = 0;
    if (!WaitUntil(m_pid, NowMs() + timeoutMs, status)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return -1;
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
