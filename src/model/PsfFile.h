#pragma once

#include <optional>
#include <string>

#include "model/CPsfRecord.h"
#include "platform/UiServices.h"

enum PsfFileStatus : int {
    kPsfOk = 0,
    kPsfOpenFailed = 10,
    kPsfCreateFailed = 11,
    kPsfShortWrite = 12,
    kPsfShortRead = 13,
    kPsfBadSize = 20,
};

// On failure the record is undefined: read into a scratch record.
int ReadPsfFile(CPsfRecord& record, const std::string& path);
// Replaces the file atomically: a failure leaves any previous file as it was.
int WritePsfFile(const CPsfRecord& record, const std::string& path);
// Whether WritePsfFile could write there, found out without writing:
// kPsfOk, or kPsfCreateFailed with the message recorded.
int CheckPsfFileWritable(const std::string& path);
// Message text for a status, from the last file error (path and errno).
std::string FormatPsfFileError(int status);
// Shows that text with the stop icon.
void ShowPsfFileError(int status);

// The file prompts every caller uses ("PSF Files (*.PSF) |*.PSF||").
FilePrompt PsfOpenPrompt();
FilePrompt PsfSavePrompt();
