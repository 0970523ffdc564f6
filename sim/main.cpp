// veltrix-sim: a VELTRIX controller on a pseudo-terminal.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ProgramVersion.h"
#include "sim/PtyServer.h"
#include "sim/Responder.h"
#include "sim/SimJson.h"
#include "sim/SimOptions.h"

int main(int argc, char** argv) {
    // Signals arrive through a descriptor, so the server's poll sees them
    // and shuts down in order (the symlink removed) instead of dying mid-write.
    // SIGUSR1 and SIGUSR2 pull the line out and plug it in again.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGUSR1);
    sigaddset(&stopSignals, SIGUSR2);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("veltrix-sim: signalfd");
        return 1;
    }

    sim::SimConfig config;
    std::string error;
    if (!sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), config, error)) {
        std::fprintf(stderr, "veltrix-sim: %s\nTry 'veltrix-sim --help'.\n", error.c_str());
        return 2;
    }
    if (config.help || config.version) {
        const std::string text = config.help ? sim::SimUsage() : VersionLine("veltrix-sim") + "\n";
        // A help text that did not arrive is a failure, as any other output.
        return std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
    }

    sim::Responder responder(config.model);
    responder.Faults() = config.faults;
    sim::PtyServer server(responder);
    server.SetPace(config.pace);
    if (!server.Open(config.linkPath, error) ||
        !server.OpenRecords(config.logPath, config.statePath, error)) {
        std::fprintf(stderr, "veltrix-sim: %s\n", error.c_str());
        return 1;
    }

    std::printf("%s\n",
                sim::ReadyLine(server.Device(), config.linkPath, responder.Model()).c_str());
    std::fflush(stdout);
    const int status = server.Serve(signalFd);
    close(signalFd);
    return status;
}
