#pragma once

#include <cstdint>
#include <string>

// A log file written by appending: every Write goes to the end of the file at
// once, also when other processes append to it meanwhile, so lines survive a
// crash and several programs can share one file. Only a regular file opens:
// a FIFO without a reader would block the open, and a device has no end to
// append to. Bytes are written as they are, never as text. Others may read,
// rename or delete the file while it is open (a rotation by another process).
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file when it is missing. False with the reason in error;
    // size is the file's size at open.
    bool Open(const std::string& path, uint64_t& size, std::string& error);
    bool IsOpen() const { return m_handle != -1; }
    bool Write(const std::string& bytes);
    // Takes the file's writer lock, shared by every process that appends
    // through this class and asks for it: whoever holds it may read the file
    // and append knowing that nobody else appends meanwhile (a hash chain).
    // Readers are never blocked. Waits up to timeoutMs for another holder;
    // false with the reason in error. The lock goes with Close.
    bool Lock(int timeoutMs, std::string& error);
    void Close();

private:
    std::intptr_t m_handle = -1;  // a file descriptor, or a Windows handle
};
