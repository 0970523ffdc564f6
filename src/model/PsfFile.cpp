#include "model/PsfFile.h"

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/ReadOnlyFile.h"

namespace {

// The last failing file operation, for the message shown afterwards.
std::string g_lastPath;
int g_lastErrno = 0;

}  // namespace

int ReadPsfFile(CPsfRecord& record, const std::string& path) {
    g_lastPath = path;
    ReadOnlyFile file;
    if (!file.Open(path)) {
        g_lastErrno = errno;
        return kPsfOpenFailed;
    }
    if (file.Size() != kPsfRecordSize) return kPsfBadSize;
    if (file.ReadFromStart(record.Data(), kPsfRecordSize) < kPsfRecordSize) {
        g_lastErrno = errno;
        return kPsfShortRead;
    }
    return kPsfOk;
}

int WritePsfFile(const CPsfRecord& record, const std::string& path) {
    AtomicWriteResult result = WriteFileAtomically(path, record.Data(), kPsfRecordSize);
    if (result.ok()) return kPsfOk;
    g_lastPath = path;
    g_lastErrno = result.error;
    // Not being able to put a file at that place reads as "could not create".
    return result.stage == AtomicWriteResult::kWrite ? kPsfShortWrite : kPsfCreateFailed;
}

std::string FormatPsfFileError(int status) {
    const std::string systemText = std::strerror(g_lastErrno);
    switch (status) {
        case kPsfOpenFailed:
            return "Unable to open file '" + g_lastPath + "' - " + systemText;
        case kPsfCreateFailed:
            return "Unable to create file '" + g_lastPath + "' - " + systemText;
        case kPsfShortWrite:
            return "Error writing to file '" + g_lastPath + "' - " + systemText;
        case kPsfShortRead:
            return "Error reading from file '" + g_lastPath + "' - " + systemText;
        case kPsfBadSize:
            return "Size of PSF file '" + g_lastPath + "' is invalid.";
        default:
            return "Unknown Error code " + std::to_string(status);
    }
}

void ShowPsfFileError(int status) {
    Ui().MessageBox(FormatPsfFileError(status), MsgButtons::Ok, MsgIcon::Stop);
}

FilePrompt PsfOpenPrompt() {
    FilePrompt prompt;
    prompt.filter = "PSF Files (*.PSF) |*.PSF||";
    prompt.defaultExtension = "PSF";
    return prompt;
}

FilePrompt PsfSavePrompt() {
    FilePrompt prompt = PsfOpenPrompt();
    prompt.confirmOverwrite = true;
    return prompt;
}
