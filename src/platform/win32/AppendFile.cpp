#include "platform/AppendFile.h"

#include <windows.h>

#include "platform/ErrorText.h"
#include "platform/win32/Win32Errors.h"
#include "platform/win32/WideText.h"

namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, uint64_t& size, std::string& error) {
    Close();
    // Append-only access: the system puts every write at the end of the file.
    const HANDLE file = CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
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

void AppendFile::Close() {
    if (m_handle != -1) CloseHandle(AsHandle(m_handle));
    m_handle = -1;
}
