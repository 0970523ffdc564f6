#include "model/PsfFile.h"

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/ReadOnlyFile.h"

namespace {

// The last failing file operation, for the message shown afterwards: the
// path, and errno or, where the system has no error to tell, a reason.
std::string g_lastPath;
int g_lastErrno = 0;
std::string g_lastReason;

void RecordError(int error) {
    g_lastErrno = error;
    g_lastReason.clear();
}

}  // namespace

int ReadPsfFile(CPsfRecord& record, const std::string& path) {
    g_lastPath = path;
    ReadOnlyFile file;
    if (!file.Open(path)) {
        RecordError(errno);
        return kPsfOpenFailed;
    }
    if (file.Size() != kPsfRecordSize) return kPsfBadSize;
    if (file.ReadFromStart(record.Data(), kPsfRecordSize) < kPsfRecordSize) {
        RecordError(errno);
        // The end came early without an error: another program cut the file.
        if (errno == 0) g_lastReason = "the file became shorter while it was read";
        return kPsfShortRead;
    }
    return kPsfOk;
}

int WritePsfFile(const CPsfRecord& record, const std::string& path) {
    AtomicWriteResult result = WriteFileAtomically(path, record.Data(), kPsfRecordSize);
    if (result.ok()) return kPsfOk;
    g_lastPath = path;
    RecordError(result.error);
    // Not being able to put a file at that place reads as "could not create".
    return result.stage == AtomicWriteResult::kWrite ? kPsfShortWrite : kPsfCreateFailed;
}

int CheckPsfFileWritable(const std::string& path) {
    const AtomicWriteResult result = CheckWritable(path);
    if (result.ok()) return kPsfOk;
    g_lastPath = path;
    RecordError(result.error);
    return kPsfCreateFailed;
}

std::string FormatPsfFileError(int status) {
    const std::string systemText = g_lastReason.empty() ? ErrorText(g_lastErrno) : g_lastReason;
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
