#include "platform/AppendFile.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/ErrorText.h"
#include "platform/win32/Win32Errors.h"
#include "platform/win32/WideText.h"

namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The lock is one byte far beyond any real file size: a locked range of the
// file itself would keep readers out too.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

}  // namespace

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, uint64_t& size, std::string& error) {
    Close();
    // Append-only access: the system puts every write at the end of the file.
    // Read access only because LockFileEx wants read or write data access.
    const HANDLE file = CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ErrorText(ErrnoFromWin32(GetLastError()));
        return false;
    }
    LARGE_INTEGER bytes{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &bytes)) {
        error = "not a regular file";
        CloseHandle(file);
        return false;
    }
    size = static_cast<uint64_t>(bytes.QuadPart);
    m_handle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool AppendFile::Write(const std::string& bytes) {
    if (m_handle == -1) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(AsHandle(m_handle), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

bool AppendFile::Lock(int timeoutMs, std::string& error) {
    if (m_handle == -1) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        OVERLAPPED where{};
        where.OffsetHigh = kLockOffsetHigh;
        if (LockFileEx(AsHandle(m_handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where))
            return true;
        const DWORD code = GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
            error = ErrorText(ErrnoFromWin32(code));
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
    if (m_handle != -1) CloseHandle(AsHandle(m_handle));
    m_handle = -1;
}
