#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "model/PsfFile.h"
#include "support/ScopedTempDir.h"
#include "support/ScriptedUi.h"

namespace {

std::vector<uint8_t> Image(const CPsfRecord& record) {
    return std::vector<uint8_t>(record.Data(), record.Data() + kPsfRecordSize);
}

CPsfRecord SampleRecord() {
    CPsfRecord record;
    record.SetControllerId('G');
    record.SetMeasMode(1, 'J');
    record.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    record.SetBinary(true);
    DiscreteOutput outputs[kDiscreteOutputCount];
    outputs[3] = {'z', 10, 20, 5, 25};
    record.SetOutputs(outputs);
    return record;
}

}  // namespace

TEST(PsfFile, WrittenFileHoldsTheImageAndReadsBackByteForByte) {
    ScopedTempDir dir;
    const std::string path = dir.File("set.PSF");
    const CPsfRecord record = SampleRecord();
    ASSERT_EQ(WritePsfFile(record, path), kPsfOk);
    EXPECT_EQ(ReadBytes(path), Image(record));

    CPsfRecord back;
    ASSERT_EQ(ReadPsfFile(back, path), kPsfOk);
    EXPECT_EQ(back, record);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"set.PSF"});  // no temporary left behind
}

// Line ends and the end-of-file byte of text files are data here: a file
// written or read as text would grow, shrink or stop early.
TEST(PsfFile, ControlBytesSurviveTheRoundTripUnchanged) {
    ScopedTempDir dir;
    std::vector<uint8_t> bytes(kPsfRecordSize, 'x');
    for (const size_t at : {size_t{0}, size_t{1}, size_t{76}, size_t{77}, size_t{152}, size_t{153}})
        bytes[at] = at % 2 ? 0x0A : 0x0D;
    bytes[2] = bytes[100] = 0x1A;
    bytes[101] = 0x0A;  // CR LF and LF after an end-of-file byte
    CPsfRecord record;
    std::copy(bytes.begin(), bytes.end(), record.Data());

    const std::string path = dir.File("control.PSF");
    ASSERT_EQ(WritePsfFile(record, path), kPsfOk);
    EXPECT_EQ(std::filesystem::file_size(path), kPsfRecordSize);
    EXPECT_EQ(ReadBytes(path), bytes);

    CPsfRecord back;
    ASSERT_EQ(ReadPsfFile(back, path), kPsfOk);
    EXPECT_EQ(Image(back), bytes);
}

TEST(PsfFile, AnyContentOfTheRightSizeIsTakenAsItStands) {
    ScopedTempDir dir;
    std::vector<uint8_t> bytes(kPsfRecordSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    WriteBytes(dir.File("odd.PSF"), bytes);
    CPsfRecord record;
    ASSERT_EQ(ReadPsfFile(record, dir.File("odd.PSF")), kPsfOk);
    EXPECT_EQ(Image(record), bytes);
}

TEST(PsfFile, WrongSizesAreRefusedWithTheSizeMessage) {
    ScopedTempDir dir;
    for (size_t size : {153u, 155u, 0u}) {
        const std::string path = dir.File("size" + std::to_string(size) + ".PSF");
        WriteBytes(path, std::vector<uint8_t>(size, 'A'));
        CPsfRecord record;
        EXPECT_EQ(ReadPsfFile(record, path), kPsfBadSize) << size;
        EXPECT_EQ(FormatPsfFileError(kPsfBadSize), "Size of PSF file '" + path + "' is invalid.");
    }
}

TEST(PsfFile, MissingFileGivesTheOpenMessageWithTheSystemText) {
    ScopedTempDir dir;
    const std::string path = dir.File("missing.PSF");
    CPsfRecord record;
    ASSERT_EQ(ReadPsfFile(record, path), kPsfOpenFailed);
    EXPECT_EQ(FormatPsfFileError(kPsfOpenFailed),
              "Unable to open file '" + path + "' - " + std::strerror(ENOENT));

    // A directory is not a parameter set file either.
    ASSERT_EQ(ReadPsfFile(record, dir.Path()), kPsfOpenFailed);
    EXPECT_EQ(FormatPsfFileError(kPsfOpenFailed),
              "Unable to open file '" + dir.Path() + "' - " + std::strerror(EISDIR));
}

TEST(PsfFile, FifoIsRefusedWithoutHanging) {
    SKIP_WITHOUT_POSIX("FIFOs");
    ScopedTempDir dir;
    const std::string path = dir.File("pipe.PSF");
    ASSERT_EQ(MakeFifo(path), 0);
    CPsfRecord record;
    EXPECT_EQ(ReadPsfFile(record, path), kPsfBadSize);
}

TEST(PsfFile, MessagesForEveryStatus) {
    ScopedTempDir dir;
    CPsfRecord record;
    ReadPsfFile(record, dir.File("nothing"));  // records path and errno
    const std::string tail = "'" + dir.File("nothing") + "' - " + std::strerror(ENOENT);
    EXPECT_EQ(FormatPsfFileError(11), "Unable to create file " + tail);
    EXPECT_EQ(FormatPsfFileError(12), "Error writing to file " + tail);
    EXPECT_EQ(FormatPsfFileError(13), "Error reading from file " + tail);
    EXPECT_EQ(FormatPsfFileError(14), "Unknown Error code 14");
    EXPECT_EQ(FormatPsfFileError(0), "Unknown Error code 0");
}

TEST(PsfFile, ShowErrorUsesTheStopIconAndOk) {
    ScriptedUi ui;
    ScopedUi scope(ui);
    ShowPsfFileError(14);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].text, "Unknown Error code 14");
    EXPECT_EQ(ui.Calls()[0].icon, MsgIcon::Stop);
    EXPECT_EQ(ui.Calls()[0].buttons, MsgButtons::Ok);
}

TEST(PsfFile, PromptsShareTheFilterAndExtension) {
    EXPECT_EQ(PsfOpenPrompt().filter, "PSF Files (*.PSF) |*.PSF||");
    EXPECT_EQ(PsfOpenPrompt().defaultExtension, "PSF");
    EXPECT_FALSE(PsfOpenPrompt().mustExist);  // a typed missing name must reach ReadPsfFile
    EXPECT_EQ(PsfSavePrompt().filter, "PSF Files (*.PSF) |*.PSF||");
    EXPECT_EQ(PsfSavePrompt().defaultExtension, "PSF");
    EXPECT_TRUE(PsfSavePrompt().confirmOverwrite);
}

TEST(PsfFile, FailedWriteLeavesTheOldFileIntactAndNoTemporary) {
    SKIP_WITHOUT_POSIX("a file size limit that makes the write fail");
    ScopedTempDir dir;
    const std::string path = dir.File("keep.PSF");
    const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'd', 'a', 't', 'a'};
    WriteBytes(path, old);
    {
        ScopedFileSizeLimit limit(100);  // the 154-byte write cannot complete
        EXPECT_EQ(WritePsfFile(SampleRecord(), path), kPsfShortWrite);
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"keep.PSF"});
    EXPECT_EQ(FormatPsfFileError(kPsfShortWrite),
              "Error writing to file '" + path + "' - " + std::strerror(EFBIG));
}

TEST(PsfFile, DirectoryInTheWayIsNotReplaced) {
    ScopedTempDir dir;
    const std::string path = dir.File("taken.PSF");
    ASSERT_TRUE(std::filesystem::create_directory(path));
    WriteBytes(path + "/inside", {1, 2, 3});
    EXPECT_EQ(WritePsfFile(SampleRecord(), path), kPsfCreateFailed);
    EXPECT_EQ(ReadBytes(path + "/inside"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"taken.PSF"});
    EXPECT_EQ(FormatPsfFileError(kPsfCreateFailed),
              "Unable to create file '" + path + "' - " + std::strerror(EISDIR));
}

TEST(PsfFile, ReplacingKeepsPermissionsAndFollowsSymlinks) {
    SKIP_WITHOUT_POSIX("permission bits and symbolic links");
    ScopedTempDir dir;
    const std::string real = dir.File("real.PSF");
    WriteBytes(real, {9});
    ASSERT_EQ(SetMode(real, 0640), 0);
    const std::string link = dir.File("link.PSF");
    ASSERT_EQ(MakeSymlink(real, link), 0);

    const CPsfRecord record = SampleRecord();
    ASSERT_EQ(WritePsfFile(record, link), kPsfOk);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(real), Image(record));
    EXPECT_EQ(ModeOf(real) & 0777, 0640u);
}

TEST(PsfFile, NamesNearTheLengthLimitCanBeWritten) {
    ScopedTempDir dir;
    const std::string name = std::string(250, 'n') + ".PSF";
    ASSERT_EQ(WritePsfFile(SampleRecord(), dir.File(name)), kPsfOk);
    EXPECT_EQ(dir.List(), std::vector<std::string>{name});
}

namespace {

TEST(PsfFile, AFileCutShortWhileItIsReadSaysSo) {
    // Wine's file calls are too slow to meet the reader between its two steps.
    SKIP_WITHOUT_POSIX("a writer that cuts the file between the reader's size and read steps");
    ScopedTempDir dir;
    const std::string path = dir.File("shrinking.PSF");
    WriteBytes(path, Image(SampleRecord()));
    // Another program cuts the file and writes it again, over and over; a
    // read that starts between the two finds it shorter than its size said.
    std::atomic<bool> stop{false};
    std::thread cutter([&] {
        const std::vector<uint8_t> image = Image(SampleRecord());
        std::error_code error;
        while (!stop) {
            std::filesystem::resize_file(path, 20, error);
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        }
    });
    bool seen = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!seen && std::chrono::steady_clock::now() < until) {
        CPsfRecord record;
        seen = ReadPsfFile(record, path) == kPsfShortRead;
    }
    stop = true;
    cutter.join();
    ASSERT_TRUE(seen) << "the file was never caught short";
    EXPECT_EQ(FormatPsfFileError(kPsfShortRead),
              "Error reading from file '" + path + "' - the file became shorter while it was read");
}

TEST(PsfFile, AnUnwritableTargetIsFoundWithTheCreateMessage) {
    ScopedTempDir dir;
    const std::string path = dir.File("no-such-folder/original.PSF");
    EXPECT_EQ(CheckPsfFileWritable(dir.File("fine.PSF")), kPsfOk);
    EXPECT_EQ(CheckPsfFileWritable(path), kPsfCreateFailed);
    EXPECT_EQ(FormatPsfFileError(kPsfCreateFailed),
              "Unable to create file '" + path + "' - " + std::strerror(ENOENT));
    EXPECT_TRUE(dir.List().empty());
}

}  // namespace
