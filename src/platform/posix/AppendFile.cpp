#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/ErrorText.h"

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, uint64_t& size, std::string& error) {
    Close();
    // O_NONBLOCK keeps the open of a FIFO without a reader from waiting for
    // one (it fails with ENXIO instead); a FIFO with a reader is refused below.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = ErrorText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    size = static_cast<uint64_t>(info.st_size);
    m_handle = fd;
    return true;
}

bool AppendFile::Write(const std::string& bytes) {
    if (m_handle < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(static_cast<int>(m_handle), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AppendFile::Lock(int timeoutMs, std::string& error) {
    if (m_handle < 0) return false;
    // Polled rather than blocking, so a holder that hangs cannot hang us.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(static_cast<int>(m_handle), LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = ErrorText(errno);
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = "another program holds it";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void AppendFile::Close() {
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
    m_handle = -1;
}
