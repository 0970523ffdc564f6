#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <thread>

#include "platform/AtomicFile.h"
#include "support/ScopedTempDir.h"

namespace {

const std::string kBytes = "new content";

AtomicWriteResult Write(const std::string& path) {
    return WriteFileAtomically(path, kBytes.data(), kBytes.size());
}

mode_t TypeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

// Runs check as a user without privileges (root ignores file permissions),
// in a child process; returns what check returned, 99 when it could not run.
int AsUnprivilegedUser(const std::function<int()>& check) {
    if (geteuid() != 0) return check();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
        _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override { chmod(dir.Path().c_str(), 0777); }
    ScopedTempDir dir;
};

TEST_F(AtomicFileTest, AFifoNobodyReadsIsRefusedAtOnceAndStaysAFifo) {
    const std::string fifo = dir.File("pipe.PSF");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const AtomicWriteResult result = Write(fifo);
    EXPECT_EQ(result.stage, AtomicWriteResult::kCreate);
    EXPECT_EQ(result.error, ENXIO);
    EXPECT_EQ(TypeOf(fifo), S_IFIFO);
    EXPECT_EQ(dir.List().size(), 1u);
}

TEST_F(AtomicFileTest, AFifoWithAReaderGetsTheBytesInPlace) {
    const std::string fifo = dir.File("pipe.PSF");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        char buffer[64];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<size_t>(n));
        close(fd);
    });
    AtomicWriteResult result;
    // The reader's open must come first; until then the write is refused.
    for (int i = 0; i < 200; ++i) {
        result = Write(fifo);
        if (result.ok() || result.error != ENXIO) break;
        usleep(5000);
    }
    EXPECT_TRUE(result.ok()) << result.error;
    if (!result.ok()) {
        const int fd = open(fifo.c_str(), O_WRONLY);  // lets the reader end
        close(fd);
    }
    reader.join();
    EXPECT_EQ(received, kBytes);
    EXPECT_EQ(TypeOf(fifo), S_IFIFO);
}

TEST_F(AtomicFileTest, ADeviceNodeIsWrittenInPlaceNeverReplaced) {
    const std::string node = dir.File("null.PSF");
    if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no right to make a device node here";
    EXPECT_TRUE(Write(node).ok());
    EXPECT_EQ(TypeOf(node), S_IFCHR);
    EXPECT_TRUE(CheckWritable(node).ok());
}

TEST_F(AtomicFileTest, ASocketAFolderAndABlockDeviceAreRefused) {
    const std::string socketPath = dir.File("sock.PSF");
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string folder = dir.File("folder.PSF");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string block = dir.File("disk.PSF");
    const bool haveBlock = mknod(block.c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0;

    struct Case {
        std::string path;
        mode_t type;
    };
    std::vector<Case> cases = {{socketPath, S_IFSOCK}, {folder, S_IFDIR}};
    if (haveBlock) cases.push_back({block, S_IFBLK});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(CheckWritable(c.path).stage, AtomicWriteResult::kCreate);
        const AtomicWriteResult result = Write(c.path);
        EXPECT_EQ(result.stage, AtomicWriteResult::kCreate);
        EXPECT_NE(result.error, 0);
        EXPECT_EQ(TypeOf(c.path), c.type);
    }
    close(fd);
}

TEST_F(AtomicFileTest, AFileWithoutWritePermissionIsRefusedNotReplacedThroughItsFolder) {
    const std::string path = dir.File("readonly.PSF");
    WriteBytes(path, {'o', 'l', 'd'});
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const int outcome = AsUnprivilegedUser([&] {
        const AtomicWriteResult checked = CheckWritable(path);
        const AtomicWriteResult written = Write(path);
        const bool refused = checked.stage == AtomicWriteResult::kCreate && checked.error == EACCES &&
                             written.stage == AtomicWriteResult::kCreate && written.error == EACCES;
        return refused ? 0 : 1;
    });
    ASSERT_NE(outcome, 99) << "could not drop privileges";
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(dir.List().size(), 1u);
}

TEST_F(AtomicFileTest, AFolderThatCannotTakeTheFileIsFoundBeforeAnythingIsWritten) {
    const std::string locked = dir.File("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    WriteBytes(dir.File("plain"), {'x'});
    struct Case {
        std::string path;
        int error;
        bool asUser;
    };
    const Case cases[] = {
        {dir.File("missing/original.PSF"), ENOENT, false},
        {dir.File("plain/original.PSF"), ENOTDIR, false},
        {locked + "/original.PSF", EACCES, true},
        {dir.File("fine.PSF"), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto check = [&] {
            const AtomicWriteResult result = CheckWritable(c.path);
            return result.error == c.error && (c.error == 0) == result.ok() ? 0 : 1;
        };
        EXPECT_EQ(c.asUser ? AsUnprivilegedUser(check) : check(), 0);
    }
    EXPECT_EQ(TypeOf(dir.File("fine.PSF")), 0u);  // a check writes nothing
}

TEST_F(AtomicFileTest, ALinkToAFileNotYetThereGetsItsFileAndStaysALink) {
    ASSERT_EQ(mkdir(dir.File("real").c_str(), 0700), 0);
    const std::string link = dir.File("link.PSF");
    ASSERT_EQ(symlink("real/target.PSF", link.c_str()), 0);

    ASSERT_TRUE(CheckWritable(link).ok());
    ASSERT_TRUE(Write(link).ok());

    EXPECT_EQ(TypeOf(link), S_IFLNK);
    const std::vector<uint8_t> written = ReadBytes(dir.File("real/target.PSF"));
    EXPECT_EQ(std::string(written.begin(), written.end()), kBytes);
}

}  // namespace
