#include "platform/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

ReadOnlyFile::~ReadOnlyFile() {
    if (m_handle >= 0) close(static_cast<int>(m_handle));
}

bool ReadOnlyFile::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    if (m_handle >= 0) close(static_cast<int>(m_handle));
    m_handle = fd;
    return true;
}

long ReadOnlyFile::Size() {
    off_t end = lseek(static_cast<int>(m_handle), 0, SEEK_END);
    if (end < 0) return -1;
    lseek(static_cast<int>(m_handle), 0, SEEK_SET);
    return static_cast<long>(end);
}

size_t ReadOnlyFile::ReadFromStart(uint8_t* data, size_t size) {
    errno = 0;
    if (lseek(static_cast<int>(m_handle), 0, SEEK_SET) < 0) return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(static_cast<int>(m_handle), data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}
