#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxLinks = 40;
// A device or FIFO in place must take the bytes within this time.
constexpr int kInPlaceWriteMs = 2000;

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

// What a write to path really writes: the end of a chain of symbolic links,
// also when the file it names does not exist yet.
struct Target {
    std::string path;
    bool exists = false;
    struct stat st {};
};

Target Resolve(const std::string& path) {
    Target target;
    target.path = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        if (lstat(target.path.c_str(), &target.st) != 0) return target;
        if (!S_ISLNK(target.st.st_mode)) {
            target.exists = true;
            return target;
        }
        char link[PATH_MAX];
        const ssize_t length = readlink(target.path.c_str(), link, sizeof link - 1);
        if (length <= 0) return target;
        link[length] = '\0';
        target.path = link[0] == '/' ? std::string(link) : FolderOf(target.path) + "/" + link;
    }
    return target;
}

bool Writable(const std::string& path) { return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kInPlaceWriteMs);
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLOUT, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                errno = EAGAIN;
                return false;
            }
            continue;
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

// What may be written and how: 0 when the target is a regular file or does
// not exist yet (replaced), else the errno of refusing it. inPlace tells the
// kinds that are written where they are.
int Refusal(const Target& target, bool& inPlace) {
    inPlace = false;
    if (!target.exists || S_ISREG(target.st.st_mode)) return 0;
    if (S_ISDIR(target.st.st_mode)) return EISDIR;
    if (S_ISCHR(target.st.st_mode) || S_ISFIFO(target.st.st_mode)) {
        inPlace = true;
        return 0;
    }
    // A block device would be overwritten from its first sector on; a
    // socket cannot be opened at all.
    return S_ISSOCK(target.st.st_mode) ? ENXIO : EPERM;
}

AtomicWriteResult WriteInPlace(const std::string& path, const void* data, size_t size) {
    // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
    // waiting for one for ever; a terminal does not wait for its carrier.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {AtomicWriteResult::kCreate, errno};
    if (!WriteAll(fd, static_cast<const unsigned char*>(data), size)) {
        const int error = errno;
        close(fd);
        return {AtomicWriteResult::kWrite, error};
    }
    close(fd);
    return {};
}

}  // namespace

AtomicWriteResult CheckWritable(const std::string& path) {
    const Target target = Resolve(path);
    bool inPlace = false;
    if (const int refused = Refusal(target, inPlace)) return {AtomicWriteResult::kCreate, refused};
    if (target.exists && !Writable(target.path)) return {AtomicWriteResult::kCreate, errno};
    if (inPlace) return {};
    // The temporary is made in the folder, and renamed there.
    const std::string folder = FolderOf(target.path);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) return {AtomicWriteResult::kCreate, errno};
    if (!S_ISDIR(st.st_mode)) return {AtomicWriteResult::kCreate, ENOTDIR};
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return {AtomicWriteResult::kCreate, errno};
    return {};
}

AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    const Target target = Resolve(path);
    bool inPlace = false;
    if (const int refused = Refusal(target, inPlace)) return {AtomicWriteResult::kCreate, refused};
    if (inPlace) return WriteInPlace(target.path, data, size);
    // The folder would let us replace a file we may not write: we do not.
    if (target.exists && !Writable(target.path)) return {AtomicWriteResult::kCreate, errno};

    const std::string folder = FolderOf(target.path);
    std::string temp;
    int fd = CreateTemporary(folder, NameOf(target.path), temp);
    if (fd < 0) return {AtomicWriteResult::kCreate, errno};

    // Keep the replaced file's permissions (and owner, where we may).
    if (target.exists) {
        fchmod(fd, target.st.st_mode & 07777);
        if (geteuid() == 0 && fchown(fd, target.st.st_uid, target.st.st_gid) != 0) {
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
    if (rename(temp.c_str(), target.path.c_str()) != 0) {
        int error = errno;
        unlink(temp.c_str());
        return {AtomicWriteResult::kReplace, error};
    }
    SyncFolder(folder);
    return {};
}

int RenameReplacing(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}
