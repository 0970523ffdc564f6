#include "model/BfsFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "model/Checksum16.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/ReadOnlyFile.h"
#include "platform/UiServices.h"

namespace {

constexpr int kDataOffset = 2;
constexpr int kDataBytes = 96;
constexpr int kChecksumOffset = 98;
constexpr int kFileMapChannels = 800;

const char* const kChannelWarning =
    "Warning! The number of channels in the file is greater than\n"
    " the number in the controller. Blanking data for channels that\n"
    "do not exist in the controller will be ignored.";

FilePrompt BfsPrompt() {
    FilePrompt prompt;
    prompt.filter = "BFS Files (*.BFS) |*.BFS||";
    prompt.defaultExtension = "BFS";
    return prompt;
}

void Show(const std::string& text) { Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation); }

}  // namespace

std::vector<uint8_t> BuildBfsImage(const CBlankingMap& map) {
    std::vector<uint8_t> image(kBfsFileSize, 0);
    image[0] = 'B';
    image[1] = 'F';
    int bytes = std::clamp(map.ByteCount(), 0, kDataBytes);
    if (bytes > 0) std::memcpy(&image[kDataOffset], map.Data(), bytes);
    uint16_t sum = Checksum16(image.data(), kChecksumOffset);
    image[kChecksumOffset] = static_cast<uint8_t>(sum >> 8);
    image[kChecksumOffset + 1] = static_cast<uint8_t>(sum & 0xFF);
    return image;
}

std::string ParseBfsImage(const uint8_t* bytes, long size, CBlankingMap& fileMap) {
    if (size != kBfsFileSize || !bytes) return "Size of file is incorrect.";
    if (bytes[0] != 'B' || bytes[1] != 'F') return "File header bytes are invalid.";
    uint16_t stored =
        static_cast<uint16_t>(bytes[kChecksumOffset] << 8 | bytes[kChecksumOffset + 1]);
    if (Checksum16(bytes, kChecksumOffset) != stored) return "Checksum in file is invalid.";
    CBlankingMap map(kFileMapChannels);
    std::memcpy(map.Data(), bytes + kDataOffset, kDataBytes);
    fileMap = map;
    return {};
}

int SaveBlankingFile(const CBlankingMap& map) {
    FilePrompt prompt = BfsPrompt();
    prompt.confirmOverwrite = true;
    std::optional<std::string> path = Ui().PromptSaveFile(prompt);
    if (!path) return 0;

    // Written beside the target and renamed over it: a failure leaves the
    // old file as it was, so there is nothing to delete afterwards.
    std::vector<uint8_t> image = BuildBfsImage(map);
    AtomicWriteResult result = WriteFileAtomically(*path, image.data(), image.size());
    if (result.ok()) return 1;
    if (result.stage == AtomicWriteResult::kWrite)
        Show(std::string("Error writing blanking fields to file.\n") + ErrorText(result.error));
    else
        Show("Error opening file '" + *path + "'\n" + ErrorText(result.error));
    return 0;
}

std::string BlankingFileSaveProblem(const std::string& path) {
    const AtomicWriteResult result = CheckWritable(path);
    return result.ok() ? std::string() : "Error opening file '" + path + "'\n" + ErrorText(result.error);
}

int LoadBlankingFile(CBlankingMap& workingMap) {
    FilePrompt prompt = BfsPrompt();
    prompt.mustExist = true;
    std::optional<std::string> path = Ui().PromptOpenFile(prompt);
    if (!path) return 0;

    ReadOnlyFile file;
    if (!file.Open(*path)) {
        Show("Error opening file '" + *path + "'\n" + ErrorText(errno));
        return 0;
    }
    const long size = file.Size();
    uint8_t image[kBfsFileSize] = {};
    if (size == kBfsFileSize && file.ReadFromStart(image, kBfsFileSize) < kBfsFileSize) {
        Show("Error reading file");
        return 0;
    }
    CBlankingMap fileMap(kFileMapChannels);
    std::string problem = ParseBfsImage(image, size, fileMap);
    if (!problem.empty()) {
        Show(problem);
        return 0;
    }

    const int channels = workingMap.ChannelCount();
    if (channels != kFileMapChannels && fileMap.BlankedCount(channels) > 0) Show(kChannelWarning);
    int bytes = std::min(workingMap.ByteCount(), fileMap.ByteCount());
    if (bytes > 0) std::memcpy(workingMap.Data(), fileMap.Data(), bytes);
    return 1;
}
