#include "platform/AtomicFile.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/win32/Win32Errors.h"
#include "platform/win32/WideText.h"

namespace {

std::string FolderOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return ".";
    if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string NameOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    const char last = folder.empty() ? '\\' : folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

// A regular file or nothing may be replaced; a folder may not, and neither
// may a file the user has marked read-only (as a file without write
// permission is refused on Linux).
int Refusal(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
    if (attributes & FILE_ATTRIBUTE_READONLY) return EACCES;
    return 0;
}

HANDLE CreateTemporary(const std::string& folder, const std::string& name, std::wstring& temp, DWORD flags) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%lu.%u.%08lx", GetCurrentProcessId(), ++counter,
                      static_cast<unsigned long>(GetTickCount()));
        // A leading dot, as on Linux: the journal's listing skips such files.
        temp = Widen(Join(folder, "." + name.substr(0, 200) + suffix));
        const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | flags, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const unsigned char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Why a replace failed. A target another program holds open fails with
// "access denied" although the user may write it; a sharing violation is
// what that really is.
int ReplaceError(DWORD failure, const std::wstring& target) {
    if (failure == ERROR_ACCESS_DENIED) {
        const HANDLE probe = CreateFileW(target.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
        } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
            return EBUSY;
        }
    }
    return ErrnoFromWin32(failure);
}

}  // namespace

AtomicWriteResult CheckWritable(const std::string& path) {
    if (const int refused = Refusal(Widen(path))) return {AtomicWriteResult::kCreate, refused};
    // A trial temporary, gone again at its close: the folder's rights are
    // only known by trying.
    std::wstring temp;
    const HANDLE trial = CreateTemporary(FolderOf(path), NameOf(path), temp, FILE_FLAG_DELETE_ON_CLOSE);
    if (trial == INVALID_HANDLE_VALUE) return {AtomicWriteResult::kCreate, ErrnoFromWin32(GetLastError())};
    CloseHandle(trial);
    return {};
}

AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    const std::wstring target = Widen(path);
    if (const int refused = Refusal(target)) return {AtomicWriteResult::kCreate, refused};

    std::wstring temp;
    const HANDLE file = CreateTemporary(FolderOf(path), NameOf(path), temp, 0);
    if (file == INVALID_HANDLE_VALUE) return {AtomicWriteResult::kCreate, ErrnoFromWin32(GetLastError())};

    if (!WriteAll(file, static_cast<const unsigned char*>(data), size) || !FlushFileBuffers(file)) {
        const int error = ErrnoFromWin32(GetLastError());
        CloseHandle(file);
        DeleteFileW(temp.c_str());
        return {AtomicWriteResult::kWrite, error};
    }
    CloseHandle(file);
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const int error = ReplaceError(GetLastError(), target);
        DeleteFileW(temp.c_str());
        return {AtomicWriteResult::kReplace, error};
    }
    return {};
}

int RenameReplacing(const std::string& from, const std::string& to) {
    const std::wstring target = Widen(to);
    if (MoveFileExW(Widen(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return ReplaceError(GetLastError(), target);
}
