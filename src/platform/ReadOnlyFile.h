#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened for reading the way the record files are read: its size by
// seeking to the end, then its bytes from the start. Closed on destruction.
// A directory does not open (EISDIR), and a FIFO opens without waiting for
// a writer and then has no size, so a chosen path can never hang a reader.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False on failure, with errno telling why.
    bool Open(const std::string& path);
    // The size, or -1 when the file cannot seek.
    long Size();
    // Reads up to size bytes from the start; fewer only at the end of the
    // file or on an error (errno then tells which).
    size_t ReadFromStart(uint8_t* data, size_t size);

private:
    std::intptr_t m_handle = -1;  // a file descriptor, or a Windows handle
};
