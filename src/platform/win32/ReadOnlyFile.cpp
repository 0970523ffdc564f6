#include "platform/ReadOnlyFile.h"

#include <windows.h>

#include <cerrno>

#include "platform/win32/Win32Errors.h"
#include "platform/win32/WideText.h"

namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

ReadOnlyFile::~ReadOnlyFile() {
    if (m_handle != -1) CloseHandle(AsHandle(m_handle));
}

bool ReadOnlyFile::Open(const std::string& path) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EISDIR;
        return false;
    }
    // Others may go on reading, writing, renaming or deleting it meanwhile,
    // as they could on Linux: the reader copes with a file that changes.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoFromWin32(GetLastError());
        return false;
    }
    if (m_handle != -1) CloseHandle(AsHandle(m_handle));
    m_handle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

long ReadOnlyFile::Size() {
    // A pipe or a device has no size.
    if (GetFileType(AsHandle(m_handle)) != FILE_TYPE_DISK) return -1;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(AsHandle(m_handle), &size) || size.QuadPart > 0x7FFFFFFF) return -1;
    return static_cast<long>(size.QuadPart);
}

size_t ReadOnlyFile::ReadFromStart(uint8_t* data, size_t size) {
    errno = 0;
    const LARGE_INTEGER start{};
    if (!SetFilePointerEx(AsHandle(m_handle), start, nullptr, FILE_BEGIN)) {
        errno = ErrnoFromWin32(GetLastError());
        return 0;
    }
    size_t done = 0;
    while (done < size) {
        DWORD got = 0;
        const DWORD want = size - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size - done);
        if (!ReadFile(AsHandle(m_handle), data + done, want, &got, nullptr)) {
            errno = ErrnoFromWin32(GetLastError());
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}
