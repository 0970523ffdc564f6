#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

#include "sim/Responder.h"

namespace sim {

// Serves one Responder on a pseudo-terminal. The host opens the slave like a
// serial device; the server reads the master, asks the slave's termios for
// the line speed the host set, and writes the replies back, at once or at
// wire speed. Event-driven: it sleeps in ppoll() until bytes, a signal or the
// next scheduled byte arrive, so an idle simulator uses no CPU.
class PtyServer {
  public:
    using SteadyTime = std::chrono::steady_clock::time_point;

    explicit PtyServer(Responder& responder);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (and the symlink, when linkPath is given).
    bool Open(const std::string& linkPath, std::string& error);
    // The request log and the state file; empty paths switch them off.
    bool OpenRecords(const std::string& logPath, const std::string& statePath, std::string& error);
    void SetPace(bool pace) { m_pace = pace; }
    const std::string& Device() const { return m_device; }

    // Serves until SIGTERM or SIGINT arrive on signalFd (a signalfd).
    // SIGUSR1 unplugs: the pseudo-terminal hangs up and the link goes, and
    // {"unplugged":DEVICE} is printed. SIGUSR2 plugs in again: a new
    // pseudo-terminal at the same link, announced by a new ready line.
    // Returns the exit status: 0, or 1 when the pseudo-terminal failed.
    int Serve(int signalFd);

    // A lone 0xF8 is a probe once no other byte has followed for this long.
    static constexpr std::chrono::milliseconds kProbeGap{10};

  private:
    struct OutByte {
        SteadyTime due;
        uint8_t byte;
    };

    uint32_t NowMs(SteadyTime now) const;
    long LineSpeed() const;
    void ReadInput(SteadyTime now);
    void Take(const ResponderResult& result, SteadyTime now);
    void WriteDue(SteadyTime now);
    void WriteRecords(bool stateChanged);
    void HangUp();
    void CloseLine();
    void Unplug();
    bool PlugIn();
    void RemoveLink();

    Responder& m_responder;
    int m_master = -1;
    int m_slave = -1;  // held open so that the master never sees a hang-up between hosts
    std::string m_device;
    std::string m_linkPath;
    bool m_unplugged = false;
    bool m_pace = false;
    SteadyTime m_start;
    std::deque<OutByte> m_out;
    bool m_outputBlocked = false;
    bool m_hangUpPending = false;
    bool m_probeDeadlineSet = false;
    SteadyTime m_probeDeadline;
    std::FILE* m_log = nullptr;
    std::string m_statePath;
};

}  // namespace sim
