#pragma once

#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

// Runs a program to its end with a deadline, collecting both output
// streams. A child that outlives the deadline is killed (by its own pid)
// and reported as timed out, so a hang fails the test instead of the run.
struct ChildResult {
    int exitCode = -1;   // -1 when it did not exit normally
    int signal = 0;      // the signal that ended it, if one did
    bool timedOut = false;
    std::string out;
    std::string err;
    long elapsedMs = 0;
};

// stdoutFd, when given, becomes the child's stdout instead of a pipe we read.
ChildResult RunChild(const std::vector<std::string>& argv, long timeoutMs,
                     const std::vector<std::string>& extraEnv = {}, int stdoutFd = -1);

// A started child whose stdout (or, with readStderr, its stderr, while its
// stdout goes to /dev/null) is read line by line.
class BackgroundChild {
public:
    // deathSignal: what the child gets should this process die first (a test
    // killed on its time-out), so that nothing it started stays behind.
    explicit BackgroundChild(const std::vector<std::string>& argv, bool readStderr = false,
                             int deathSignal = SIGTERM);
    ~BackgroundChild();
    BackgroundChild(const BackgroundChild&) = delete;
    BackgroundChild& operator=(const BackgroundChild&) = delete;

    // The next line of the stream read, waiting at most timeoutMs; empty on failure.
    std::string ReadLine(long timeoutMs);
    // SIGTERM, then waits up to timeoutMs; returns the exit code or -1.
    int Terminate(long timeoutMs);
    // SIGKILL, and waits for it to end.
    void Kill();
    // Waits up to timeoutMs for the child to end by itself; the exit code, or
    // -1 (after killing it) when it did not.
    int Wait(long timeoutMs);
    // Closes our end of its stdout, as a reader that went away.
    void CloseOutput();
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_pending;
};
