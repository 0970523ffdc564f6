#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

// veltrix-sim as a child process: started with arguments, ready once it has
// printed its JSON line, stopped with SIGTERM.
class SimProcess {
  public:
    static std::string Executable() { return VELTRIX_BINARY_DIR "/sim/veltrix-sim"; }

    explicit SimProcess(const std::vector<std::string>& args) {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            // A test killed on its time-out takes its simulators with it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            std::vector<char*> argv;
            const std::string exe = Executable();
            argv.push_back(const_cast<char*>(exe.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        m_stdout = out[0];
        m_stderr = err[0];
    }

    ~SimProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_stdout >= 0) close(m_stdout);
        if (m_stderr >= 0) close(m_stderr);
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Reads stdout up to the first newline, waiting at most timeoutMs.
    bool WaitReady(int timeoutMs = 5000) {
        m_line = NextLine(timeoutMs);
        m_device = Field("device");
        return !m_device.empty();
    }

    // The next line the simulator prints (without its newline); empty when
    // none came within timeoutMs.
    std::string NextLine(int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_pending.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd p{m_stdout, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(m_stdout, buffer, sizeof buffer);
            if (n <= 0) return {};
            m_pending.append(buffer, static_cast<size_t>(n));
        }
        const size_t end = m_pending.find('\n');
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return line;
    }

    // Pulls the line out and plugs it in again (SIGUSR1, SIGUSR2), each
    // confirmed by the simulator's line; true when it confirmed.
    bool Unplug() {
        kill(m_pid, SIGUSR1);
        return NextLine().find("\"unplugged\"") != std::string::npos;
    }
    bool Replug() {
        kill(m_pid, SIGUSR2);
        return WaitReady();
    }

    // The value of a string field of the ready line; empty when there is none.
    std::string Field(const std::string& name) const {
        const auto ready = nlohmann::json::parse(m_line, nullptr, false);
        if (!ready.is_object()) return {};
        const auto field = ready.find(name);
        return field != ready.end() && field->is_string() ? field->get<std::string>() : std::string();
    }

    // SIGTERM, then the exit status (-1 if it did not exit normally in time).
    int Stop(int timeoutMs = 5000) {
        if (m_pid <= 0) return -1;
        kill(m_pid, SIGTERM);
        return Wait(timeoutMs);
    }

    // The child's stdout closes when it exits: wait for that, not on a timer.
    int Wait(int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return -1;
            pollfd p{m_stdout, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[256];
            if (read(m_stdout, buffer, sizeof buffer) <= 0) break;
        }
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Stderr() {
        std::string text;
        char buffer[512];
        ssize_t n;
        while ((n = read(m_stderr, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

    // User plus system CPU time so far, in clock ticks.
    long CpuTicks() const {
        std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string skip;
        for (int i = 3; i < 14; ++i) fields >> skip;
        long utime = 0;
        long stime = 0;
        fields >> utime >> stime;
        return utime + stime;
    }

    const std::string& Device() const { return m_device; }
    const std::string& ReadyLine() const { return m_line; }
    pid_t Pid() const { return m_pid; }

  private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_stderr = -1;
    std::string m_line;
    std::string m_pending;
    std::string m_device;
};
