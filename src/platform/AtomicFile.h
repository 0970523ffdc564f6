#pragma once

#include <cstddef>
#include <string>

// Replaces a file without ever losing the one that was there: the bytes go to
// a temporary file in the target's folder, are flushed to disk and renamed
// over the target (on Windows with MoveFileExW, replacing and writing
// through). On any failure the temporary is removed and the previous file,
// if any, is left byte for byte. Files are written byte for byte, never as
// text. A symbolic link is followed (even one whose file does not exist
// yet), so the file it names is replaced and the link stays.
//
// Only a regular file is ever replaced. A character device or a FIFO is
// written in place, without waiting (a FIFO nobody reads is refused with
// ENXIO); a block device, a socket or a folder is refused. A file the user
// may not write is refused (EACCES) rather than replaced through its folder.
// On Windows a file that another program holds open cannot be replaced:
// that is EBUSY (ErrorText() says so in words).
struct AtomicWriteResult {
    enum Stage {
        kOk,
        kCreate,   // the file (or its temporary) could not be created or opened
        kWrite,    // writing or flushing it failed
        kReplace,  // it could not be renamed over the target
    };
    Stage stage = kOk;
    int error = 0;  // errno of the call that failed

    bool ok() const { return stage == kOk; }
};

AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size);

// Whether WriteFileAtomically could write there now, without writing: a
// missing or read-only folder, a file without write permission, a block
// device are found before anything is done that the write depends on.
AtomicWriteResult CheckWritable(const std::string& path);

// Renames from over to, replacing a file that is there in one step (the
// trace rotation). 0, or the errno of the failure.
int RenameReplacing(const std::string& from, const std::string& to);
