#pragma once

#include <cstddef>
#include <string>

// Replaces a file without ever losing the one that was there: the bytes go to
// a temporary file in the target's folder, are flushed to disk and renamed
// over the target. On any failure the temporary is removed and the previous
// file, if any, is left byte for byte. A symbolic link is followed, so the
// file it names is replaced and the link stays.
struct AtomicWriteResult {
    enum Stage {
        kOk,
        kCreate,   // the temporary file could not be created
        kWrite,    // writing or flushing it failed
        kReplace,  // it could not be renamed over the target
    };
    Stage stage = kOk;
    int error = 0;  // errno of the call that failed

    bool ok() const { return stage == kOk; }
};

AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size);
