#include "support/PosixFeatures.h"

#include <windows.h>

#include <cerrno>
#include <filesystem>

bool HavePosixFeatures() { return false; }

int MakeFifo(const std::string&) {
    errno = ENOSYS;
    return -1;
}

// Windows lets only privileged users make them.
int MakeSymlink(const std::string&, const std::string&) {
    errno = ENOSYS;
    return -1;
}

int SetMode(const std::string&, unsigned) {
    errno = ENOSYS;
    return -1;
}

unsigned ModeOf(const std::string&) { return 0; }

int OpenFifoReader(const std::string&) {
    errno = ENOSYS;
    return -1;
}

void CloseFifoReader(int) {}

void RemoveTree(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    // Read-only files would keep their folder alive.
    for (const auto& entry : fs::recursive_directory_iterator(path, error))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
    fs::remove_all(path, error);
}

ProcessIdentity IdentityOfEndedProcess() {
    // This test program itself, started suspended and ended at once.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    wchar_t commandLine[] = L"child --gtest_list_tests";
    if (!CreateProcessW(self, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process))
        return {};
    const ProcessIdentity identity = ProcessIdentityOf(static_cast<long>(process.dwProcessId));
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return identity;
}

ScopedFileSizeLimit::ScopedFileSizeLimit(uint64_t) {}

ScopedFileSizeLimit::~ScopedFileSizeLimit() = default;
