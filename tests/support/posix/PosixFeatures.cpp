#include "support/PosixFeatures.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

bool HavePosixFeatures() { return true; }

int MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600); }

int MakeSymlink(const std::string& target, const std::string& link) { return symlink(target.c_str(), link.c_str()); }

int SetMode(const std::string& path, unsigned mode) { return chmod(path.c_str(), mode); }

int OpenFifoReader(const std::string& path) { return open(path.c_str(), O_RDONLY | O_NONBLOCK); }

void CloseFifoReader(int fd) {
    if (fd >= 0) close(fd);
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void RemoveTree(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::symlink_status(path, error).type() == fs::file_type::directory) {
        chmod(path.c_str(), 0700);
        for (const auto& entry : fs::directory_iterator(path, error)) RemoveTree(entry.path().string());
    }
    fs::remove(path, error);
}

ProcessIdentity IdentityOfEndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    // Read while the child is a zombie: it has ended but not yet been reaped.
    const ProcessIdentity identity = ProcessIdentityOf(child);
    waitpid(child, nullptr, 0);
    return identity;
}

ScopedFileSizeLimit::ScopedFileSizeLimit(uint64_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_previous = limit.rlim_cur;
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_previous;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_previousHandler);
}
