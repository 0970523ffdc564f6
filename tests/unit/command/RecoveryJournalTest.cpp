#include <gtest/gtest.h>

#include <cstdio>

#include "command/RecoveryJournal.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

RecoveryEntry SampleEntry(const std::string& device) {
    RecoveryEntry entry;
    entry.device = device;
    entry.resolved = device;
    entry.comNumber = 2;
    entry.controllerId = 'B';
    entry.hardware = ControllerHardware{"123456", "1102", "2.3", "16,16,8/16,16,8"};
    entry.command = "blanking teach";
    entry.started = 1796638920;
    entry.writer = CurrentProcessIdentity();
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanCount(7);
    entry.psf = psf;
    CBlankingMap map(40);
    map.Blank(0);
    map.Blank(39);
    entry.blanking = OriginalBlanking::From(map);
    return entry;
}

TEST(RecoveryEntryTest, EveryShapeOfEntryComesBackAsItWasWritten) {
    struct Case {
        const char* name;
        std::string device;
        bool psf;
        bool blanking;
    };
    const Case cases[] = {
        {"both originals", "/dev/ttyUSB0", true, true},
        {"no hardware identity", "", true, true},
        {"parameter set only", "/dev/ttyS1", true, false},
        {"blanking only", "/dev/ttyS1", false, true},
        {"a path with blanks, percent signs and a line break", "/tmp/my dev%41\nx", true, false},
        {"a path with bytes above ASCII", "/dev/serial/by-id/usb-\xc3\xa9t\xff", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryEntry entry = SampleEntry(c.device.empty() ? "/dev/ttyS0" : c.device);
        if (c.device.empty()) entry.hardware.reset();
        if (!c.psf) entry.psf.reset();
        if (!c.blanking) entry.blanking.reset();
        const std::string text = SerializeRecoveryEntry(entry);
        // One field per line, plain ASCII, whatever the path holds.
        for (const char ch : text) EXPECT_TRUE(ch == '\n' || (ch >= 0x20 && ch < 0x7F));

        RecoveryEntry back;
        std::string problem;
        ASSERT_EQ(ParseRecoveryEntry(text, back, problem), EntryProblem::None) << problem;
        EXPECT_EQ(back, entry);
    }
}

TEST(RecoveryEntryTest, AnyDamagedByteIsFoundAndNothingIsTakenFromIt) {
    const RecoveryEntry entry = SampleEntry("/dev/ttyUSB0");
    const std::string text = SerializeRecoveryEntry(entry);
    for (size_t i = 0; i < text.size(); ++i) {
        for (const unsigned char flip : {0x01, 0x20, 0x80}) {
            std::string damaged = text;
            damaged[i] = static_cast<char>(damaged[i] ^ flip);
            RecoveryEntry parsed = SampleEntry("/untouched");
            std::string problem;
            const EntryProblem result = ParseRecoveryEntry(damaged, parsed, problem);
            ASSERT_NE(result, EntryProblem::None) << "byte " << i << " flipped by " << int(flip);
            EXPECT_FALSE(problem.empty());
            EXPECT_EQ(parsed.device, "/untouched");
        }
    }
    // Cut short anywhere.
    for (size_t keep = 0; keep + 1 < text.size(); ++keep) {
        RecoveryEntry parsed;
        std::string problem;
        ASSERT_NE(ParseRecoveryEntry(text.substr(0, keep), parsed, problem), EntryProblem::None)
            << keep;
    }
}

TEST(RecoveryEntryTest, OtherFormatsAreForeignDamageIsCorrupt) {
    const std::string sound = SerializeRecoveryEntry(SampleEntry("/dev/ttyS0"));
    std::string otherVersion = sound;
    otherVersion.replace(otherVersion.find(" 2\n"), 3, " 3\n");
    struct Case {
        const char* name;
        std::string text;
        EntryProblem expected;
    };
    const Case cases[] = {
        {"empty file", "", EntryProblem::Foreign},
        {"some other file", "[Ports]\nCOM2=/dev/ttyUSB0\n", EntryProblem::Foreign},
        {"a later version", otherVersion, EntryProblem::Foreign},
        {"no checksum line", sound.substr(0, sound.rfind("crc32")), EntryProblem::Corrupt},
        {"nothing to send back", [] {
             RecoveryEntry empty = SampleEntry("/dev/ttyS0");
             empty.psf.reset();
             empty.blanking.reset();
             return SerializeRecoveryEntry(empty);
         }(), EntryProblem::Corrupt},
    };
    for (const Case& c : cases) {
        RecoveryEntry parsed;
        std::string problem;
        EXPECT_EQ(ParseRecoveryEntry(c.text, parsed, problem), c.expected) << c.name;
    }
}

// An entry the version before the hardware identity wrote, byte for byte.
TEST(RecoveryEntryTest, AnEntryOfTheEarlierVersionLoadsWithTheIdAlone) {
    const std::string earlier = "veltrix-recovery 1\ndevice /dev/ttyUSB0\nresolved /dev/ttyUSB0\ncom 2\n"
                                "controller 41\ncommand Alignment\nstarted 1796638920\nhost bench\nboot 0f\n"
                                "pid 4242\nstart-ticks 99\npsf " + std::string(2 * kPsfRecordSize, '0') +
                                "\ncrc32 8d1373bd\n";
    RecoveryEntry entry;
    std::string problem;
    ASSERT_EQ(ParseRecoveryEntry(earlier, entry, problem), EntryProblem::None) << problem;
    EXPECT_EQ(entry.Identity(), (ControllerIdentity{'A', std::nullopt}));
    EXPECT_EQ(entry.device, "/dev/ttyUSB0");
    EXPECT_TRUE(entry.psf.has_value());
}

TEST(OriginalBlankingTest, KeepsTheChannelCountAndTheBlanks) {
    CBlankingMap map(40);
    map.Blank(3);
    map.Blank(39);
    const CBlankingMap back = OriginalBlanking::From(map).ToMap();
    EXPECT_EQ(back, map);
    EXPECT_EQ(back.ChannelCount(), 40);
}

class RecoveryJournalTest : public ::testing::Test {
  protected:
    ScopedTempDir dir;
    RecoveryJournal journal{dir.Path() + "/state/veltrix/recovery"};
};

TEST_F(RecoveryJournalTest, AnEntryIsWrittenFoundReplacedAndRemovedPerDevice) {
    std::string error;
    RecoveryEntry first = SampleEntry("/dev/ttyUSB0");
    RecoveryEntry second = SampleEntry("/dev/ttyS1");
    second.psf.reset();
    ASSERT_TRUE(journal.Write(first, error)) << error;
    ASSERT_TRUE(journal.Write(second, error)) << error;
    // The folder is made private to the user (where folders have modes).
    if (HavePosixFeatures()) {
        EXPECT_EQ(ModeOf(journal.Folder()) & 0777, 0700u);
    }

    first.blanking.reset();
    ASSERT_TRUE(journal.Write(first, error)) << error;  // replaces, no second file
    const auto items = journal.List();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(dir.List(journal.Folder()).size(), 2u);

    const auto found = journal.Find("/dev/ttyUSB0");
    ASSERT_TRUE(found && found->entry);
    EXPECT_EQ(found->problem, EntryProblem::None);
    EXPECT_EQ(*found->entry, first);

    ASSERT_TRUE(journal.Remove(*found, error));
    EXPECT_FALSE(journal.Find("/dev/ttyUSB0"));
    EXPECT_TRUE(journal.Find("/dev/ttyS1"));
}

TEST_F(RecoveryJournalTest, TheSameDeviceUnderAnotherNameIsFound) {
    SKIP_WITHOUT_POSIX("symbolic links to devices");
    const std::string device = dir.File("ttyFAKE");
    WriteBytes(device, {});
    const std::string link = dir.File("by-id-link");
    ASSERT_EQ(MakeSymlink(device, link), 0);
    RecoveryEntry entry = SampleEntry(link);
    entry.resolved = ResolvedDevicePath(link);
    std::string error;
    ASSERT_TRUE(journal.Write(entry, error)) << error;

    const auto found = journal.Find(device, ResolvedDevicePath(device));
    ASSERT_TRUE(found && found->entry);
    EXPECT_EQ(found->entry->device, link);
    EXPECT_FALSE(journal.Find(dir.File("other"), dir.File("other")));

    // Once the link leads elsewhere, the device it led to is someone else's.
    ASSERT_EQ(std::remove(link.c_str()), 0);
    ASSERT_EQ(MakeSymlink(dir.File("elsewhere"), link), 0);
    EXPECT_FALSE(journal.Find(device, ResolvedDevicePath(device)));
}

TEST_F(RecoveryJournalTest, UnusableFilesAreReportedKeptAndSetAsideOnlyWhenAsked) {
    std::string error;
    RecoveryEntry moved = SampleEntry("/dev/ttyS3");
    ASSERT_TRUE(journal.Write(moved, error));
    // A sound entry copied under another device's name, a damaged one, one
    // from another computer and a stranger.
    const std::string copied = journal.Folder() + "/" + RecoveryJournal::FileNameFor("/dev/ttyS4");
    WriteBytes(copied, ReadBytes(journal.Folder() + "/" + RecoveryJournal::FileNameFor("/dev/ttyS3")));
    std::string damaged = SerializeRecoveryEntry(SampleEntry("/dev/ttyS5"));
    damaged[40] ^= 1;
    const std::string damagedPath = journal.Folder() + "/" + RecoveryJournal::FileNameFor("/dev/ttyS5");
    WriteBytes(damagedPath, std::vector<uint8_t>(damaged.begin(), damaged.end()));
    RecoveryEntry elsewhere = SampleEntry("/dev/ttyS6");
    elsewhere.writer.host = "another-host-" + elsewhere.writer.host;
    ASSERT_TRUE(journal.Write(elsewhere, error));
    WriteBytes(journal.Folder() + "/notes.txt", {'h', 'i'});

    const auto items = journal.List();
    ASSERT_EQ(items.size(), 5u);
    int unusable = 0;
    for (const auto& item : items) {
        if (item.problem == EntryProblem::None) continue;
        ++unusable;
        EXPECT_FALSE(item.why.empty()) << item.path;
    }
    EXPECT_EQ(unusable, 4);
    EXPECT_EQ(journal.Find("/dev/ttyS4")->problem, EntryProblem::Foreign);
    EXPECT_EQ(journal.Find("/dev/ttyS5")->problem, EntryProblem::Corrupt);
    EXPECT_EQ(journal.Find("/dev/ttyS6")->problem, EntryProblem::Foreign);

    const std::string kept = journal.SetAside(*journal.Find("/dev/ttyS5"), error);
    ASSERT_FALSE(kept.empty()) << error;
    EXPECT_FALSE(journal.Find("/dev/ttyS5"));
    EXPECT_EQ(ReadBytes(kept), std::vector<uint8_t>(damaged.begin(), damaged.end()));
    EXPECT_EQ(journal.List().size(), 5u);  // still listed, as unusable
}

TEST_F(RecoveryJournalTest, AFolderThatCannotBeMadeIsReported) {
    WriteBytes(dir.File("state"), {'x'});  // a file where a folder should be
    std::string error;
    EXPECT_FALSE(journal.Write(SampleEntry("/dev/ttyS0"), error));
    EXPECT_NE(error.find(dir.File("state")), std::string::npos) << error;
    EXPECT_FALSE(RecoveryJournal("").Write(SampleEntry("/dev/ttyS0"), error));
}

TEST(RecoveryJournalFolderTest, FollowsTheStateHomeAndIgnoresRelativeValues) {
    SKIP_WITHOUT_POSIX("the XDG layout below $HOME");
    ScopedEnv home("HOME", "/home/tech");
    {
        ScopedEnv state("XDG_STATE_HOME", "/var/state");
        EXPECT_EQ(RecoveryJournal::DefaultFolder(), "/var/state/veltrix/recovery");
    }
    {
        ScopedEnv state("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(RecoveryJournal::DefaultFolder(), "/home/tech/.local/state/veltrix/recovery");
    }
}

TEST(ProcessIdentityTest, ThisProcessRunsAGoneOneDoesNotAnotherHostIsNotJudged) {
    const ProcessIdentity self = CurrentProcessIdentity();
    EXPECT_EQ(StateOf(self), ProcessState::Running);

    const ProcessIdentity gone = IdentityOfEndedProcess();
    ASSERT_NE(gone.pid, 0);
    ASSERT_NE(gone.pid, self.pid);
    EXPECT_EQ(StateOf(gone), ProcessState::Gone);

    ProcessIdentity reused = self;  // same id, started at another time
    reused.startTicks = self.startTicks + 1;
    EXPECT_EQ(StateOf(reused), ProcessState::Gone);

    ProcessIdentity elsewhere = self;
    elsewhere.host += "-other";
    EXPECT_EQ(StateOf(elsewhere), ProcessState::OtherHost);
}

}  // namespace
