#pragma once

#include <cstdint>
#include <string>

#include "platform/ProcessIdentity.h"

// What some tests need of the OS beyond the standard library: FIFOs,
// symbolic links, permission bits, file size limits. The calls have one
// portable signature; on Windows (posix/ vs win32/ of this folder) they fail
// with ENOSYS, and a test that relies on them starts with
// SKIP_WITHOUT_POSIX("what it needs"), so that under Wine it is skipped with
// its reason instead of failing.
bool HavePosixFeatures();

#define SKIP_WITHOUT_POSIX(what)                                        \
    do {                                                                \
        if (!HavePosixFeatures()) GTEST_SKIP() << "needs POSIX: " << (what); \
    } while (0)

// 0, or -1 with errno, as the POSIX calls.
int MakeFifo(const std::string& path);
int MakeSymlink(const std::string& target, const std::string& link);
int SetMode(const std::string& path, unsigned mode);
// Opens a FIFO for reading without waiting for a writer: a descriptor, or -1.
int OpenFifoReader(const std::string& path);
void CloseFifoReader(int fd);  // nothing for -1
// The permission bits (07777) of path; 0 when it cannot be examined.
unsigned ModeOf(const std::string& path);
// Removes the folder tree at path, making folders writable first (a test
// may have taken their write permission away).
void RemoveTree(const std::string& path);

// A process that has ended since, as its identity read while it still ran.
ProcessIdentity IdentityOfEndedProcess();

// Limits the size of files this process may write (so a write fails even for
// root, who ignores permissions) for the lifetime of a scope.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(uint64_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    uint64_t m_previous = 0;
    void (*m_previousHandler)(int) = nullptr;
};
