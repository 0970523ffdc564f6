#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

// The file a write to path really replaces: the target of a symbolic link.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a new file beside the target; open() applies the umask, so a
// file that did not exist before gets the mode it would have had anyway.
int CreateTemporary(const std::string& folder, const std::string& name, std::string& temp) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(
            suffix, sizeof suffix, ".%d.%u.%08x", static_cast<int>(getpid()), ++counter,
            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
        // Cut long names so the temporary still fits the name length limit.
        temp = folder + "/." + name.substr(0, 200) + suffix;
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    const std::string target = ResolveTarget(path);
    const std::string folder = FolderOf(target);
    std::string temp;
    int fd = CreateTemporary(folder, NameOf(target), temp);
    if (fd < 0) return {AtomicWriteResult::kCreate, errno};

    // Keep the replaced file's permissions (and owner, where we may).
    struct stat st {};
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        fchmod(fd, st.st_mode & 07777);
        if (geteuid() == 0 && fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Best effort: a file owned by root is still a correct result.
        }
    }

    if (!WriteAll(fd, static_cast<const unsigned char*>(data), size) || fsync(fd) != 0) {
        int error = errno;
        close(fd);
        unlink(temp.c_str());
        return {AtomicWriteResult::kWrite, error};
    }
    if (close(fd) != 0) {
        int error = errno;
        unlink(temp.c_str());
        return {AtomicWriteResult::kWrite, error};
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        int error = errno;
        unlink(temp.c_str());
        return {AtomicWriteResult::kReplace, error};
    }
    SyncFolder(folder);
    return {};
}
