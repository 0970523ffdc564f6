// Writes that the controller acknowledges but does not store as sent are
// caught on every write path of veltrixctl; history restore puts back what a
// write replaced; audit verify finds a tampered log.

#include <fstream>
#include <iterator>

#include "CliFixture.h"
#include "command/RecoveryJournal.h"
#include "history/ChangeHistory.h"
#include "model/BfsFile.h"
#include "model/CPsfRecord.h"
#include "support/GoneRunEntry.h"

namespace {

// Unlike the simulator's own set: scan count 3, control mode Gate.
CPsfRecord SentPsf() {
    CPsfRecord psf;
    psf.SetScanCount(3);
    psf.SetControlMode('b');
    return psf;
}

std::vector<uint8_t> Image(const CPsfRecord& psf) {
    return {psf.Data(), psf.Data() + kPsfRecordSize};
}

bool SameParameters(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return a.size() == kPsfRecordSize && b.size() == kPsfRecordSize &&
           std::equal(a.begin() + 2, a.end(), b.begin() + 2);
}

// What the test puts in place before the command runs.
enum class Before { None, BfsFile, HistoryEntry, JournalEntry };

struct MatrixCase {
    const char* name;
    const char* fault;
    std::vector<std::string> simOptions;
    Before setup;
    std::vector<std::string> command;  // "FILE" is replaced by the prepared file
    const char* failure;               // the write's own text, then the addendum naming the fields
};

std::ostream& operator<<(std::ostream& out, const MatrixCase& c) { return out << c.name; }

constexpr const char* kAddendum =
    "\n\nThe controller acknowledged the write but holds different settings: ";

class VerifiedWritesTest : public CliTest {
protected:
    void Prepare(Before setup) {
        switch (setup) {
            case Before::None:
                break;
            case Before::BfsFile: {
                CBlankingMap map(32);
                map.Blank(5);
                WriteBytes(Path("FILE"), BuildBfsImage(map));
                break;
            }
            case Before::HistoryEntry: {
                // As a write of an earlier run left it: it replaced SentPsf.
                WriteRecord record;
                record.controller.id = 'A';
                record.device = Link();
                record.command = "psf put";
                record.SetPsf(SentPsf(), CPsfRecord());
                std::string error;
                ASSERT_TRUE(ChangeHistory().Keep(record, error)) << error;
                break;
            }
            case Before::JournalEntry: {
                RecoveryEntry entry = GoneRunEntry(Link(), 0, "beams");
                entry.resolved = ResolvedDevicePath(Link());
                entry.psf = SentPsf();
                std::string error;
                ASSERT_TRUE(RecoveryJournal().Write(entry, error)) << error;
                break;
            }
        }
    }
};

class WriteFaultMatrixTest : public VerifiedWritesTest,
                             public ::testing::WithParamInterface<MatrixCase> {};

}  // namespace

TEST_P(WriteFaultMatrixTest, ExitsOneAndNamesWhatTheControllerHolds) {
    const MatrixCase& c = GetParam();
    std::vector<std::string> options = c.simOptions;
    options.insert(options.end(), {"--fault", c.fault});
    StartSim(options);
    WriteBytes(Path("FILE"), Image(SentPsf()));
    Prepare(c.setup);
    std::vector<std::string> command;
    for (const std::string& arg : c.command) command.push_back(arg == "FILE" ? Path("FILE") : arg);

    const ChildResult result = Ctl(command, 60000);

    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find(c.failure), std::string::npos) << result.err;
    // The audit log says so too.
    std::ifstream in(Path("state/veltrix/audit.log"));
    const std::string audit{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(audit.find("\"result\":\"mismatch\""), std::string::npos) << audit;
}

INSTANTIATE_TEST_SUITE_P(
    StoreFaults, WriteFaultMatrixTest,
    ::testing::Values(
        MatrixCase{
            "PsfPutByteChanged",
            "bad-store:C",
            {},
            Before::None,
            {"psf", "put", "FILE"},
            "Unable to output PSF.\n\nThe controller acknowledged the write but holds different "
            "settings: Scan Count 2 (sent 3)"},
        MatrixCase{
            "PsfPutNotStored",
            "no-store:C",
            {},
            Before::None,
            {"psf", "put", "FILE"},
            "Unable to output PSF.\n\nThe controller acknowledged the write but holds different "
            "settings: Control Mode Selection Host (sent Gate), Scan Count 1 (sent 3)"},
        MatrixCase{"HistoryRestoreByteChanged",
                   "bad-store:C",
                   {},
                   Before::HistoryEntry,
                   {"history", "restore", "1"},
                   "Scan Count 2 (sent 3)"},
        MatrixCase{"HistoryRestoreNotStored",
                   "no-store:C",
                   {},
                   Before::HistoryEntry,
                   {"history", "restore", "1"},
                   "Scan Count 1 (sent 3)"},
        MatrixCase{"RecoverByteChanged",
                   "bad-store:C",
                   {},
                   Before::JournalEntry,
                   {"recover"},
                   "Unable to restore original PSF."},
        MatrixCase{"RecoverNotStored",
                   "no-store:C",
                   {},
                   Before::JournalEntry,
                   {"recover"},
                   "Scan Count 1 (sent 3)"},
        MatrixCase{"BlankingPutByteChanged",
                   "bad-store:W",
                   {},
                   Before::BfsFile,
                   {"blanking", "put", "FILE"},
                   "Unable to download blanking fields to controller.\n\nThe controller "
                   "acknowledged the write "
                   "but holds different settings: Channel 1 blanked (sent clear)"},
        MatrixCase{"BlankingPutNotStored",
                   "no-store:W",
                   {},
                   Before::BfsFile,
                   {"blanking", "put", "FILE"},
                   "Channel 6 clear (sent blanked)"},
        MatrixCase{"BlankingClearByteChanged",
                   "bad-store:W",
                   {"--blanked", "3"},
                   Before::None,
                   {"blanking", "clear"},
                   "Unable to clear blanking fields in controller.\n\nThe controller acknowledged "
                   "the write "
                   "but holds different settings: Channel 1 blanked (sent clear)"},
        MatrixCase{"BlankingClearNotStored",
                   "no-store:W",
                   {"--blanked", "3"},
                   Before::None,
                   {"blanking", "clear"},
                   "Channel 4 blanked (sent clear)"},
        MatrixCase{"BlankingTeachByteChanged",
                   "bad-store:W",
                   {"--blocked", "20,21"},
                   Before::None,
                   {"blanking", "teach", "--yes"},
                   "Unable to download blanking fields to controller.\n\nThe controller "
                   "acknowledged the write "
                   "but holds different settings: Channel 1 blanked (sent clear)"},
        MatrixCase{"BlankingTeachNotStored",
                   "no-store:W",
                   {"--blocked", "20,21"},
                   Before::None,
                   {"blanking", "teach", "--yes"},
                   "Channel 21 clear (sent blanked), Channel 22 clear (sent blanked)"},
        MatrixCase{"PartNumberByteChanged",
                   "bad-store:X",
                   {},
                   Before::None,
                   {"partnumber", "777", "--date-code", "1234"},
                   "Error setting Part Number and Date Code.\n\nThe controller acknowledged the "
                   "write but holds "
                   "different settings: Part Number 776 (sent 777)"},
        MatrixCase{"PartNumberNotStored",
                   "no-store:X",
                   {},
                   Before::None,
                   {"partnumber", "777", "--date-code", "1234"},
                   "Part Number 123456 (sent 777), Date Code 1102 (sent 1234)"}),
    [](const ::testing::TestParamInfo<MatrixCase>& info) { return std::string(info.param.name); });

TEST_F(VerifiedWritesTest, HistoryRestorePutsBackWhatAWriteReplacedByteForByte) {
    StartSim();
    const std::vector<uint8_t> own = FromHex(State().at("psf").get<std::string>());
    WriteBytes(Path("sent.PSF"), Image(SentPsf()));
    ASSERT_EQ(Ctl({"psf", "put", Path("sent.PSF")}).exitCode, 0);
    ASSERT_TRUE(SameParameters(FromHex(State().at("psf").get<std::string>()), Image(SentPsf())));

    const ChildResult restore = Ctl({"history", "restore", "1"});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_TRUE(SameParameters(FromHex(State().at("psf").get<std::string>()), own));

    // The restore is itself an entry, and it can be undone in turn.
    const Json list = ParseOutput(Ctl({"--json", "history"}));
    ASSERT_EQ(list.at("entries").size(), 2u);
    EXPECT_EQ(list.at("entries").at(0).at("command"), "history restore 1");
    ASSERT_EQ(Ctl({"history", "restore", "1"}).exitCode, 0);
    EXPECT_TRUE(SameParameters(FromHex(State().at("psf").get<std::string>()), Image(SentPsf())));

    const ChildResult verify = Ctl({"audit", "verify"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_EQ(verify.out,
              "The audit log '" + Path("state/veltrix/audit.log") + "' is intact: 3 lines.\n");
}

TEST_F(VerifiedWritesTest, HistoryRestoreOfAPartNumberKnowsTheControllerByWhatItWrote) {
    StartSim();
    ASSERT_EQ(Ctl({"partnumber", "777", "--date-code", "1234"}).exitCode, 0);
    const ChildResult restore = Ctl({"history", "restore", "1"});
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(State().at("part_number"), 123456);
    EXPECT_EQ(State().at("date_code"), 1102);
}

TEST_F(VerifiedWritesTest, AuditVerifyExitsOneAtAnEditedLine) {
    StartSim();
    WriteBytes(Path("sent.PSF"), Image(SentPsf()));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Ctl({"psf", "put", Path("sent.PSF")}).exitCode, 0);
    const std::string path = Path("state/veltrix/audit.log");
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t second = text.find('\n') + 1;
    text.replace(text.find("verified", second), 8, "mismatch");
    std::ofstream(path, std::ios::trunc) << text;

    const ChildResult verify = Ctl({"audit", "verify"});
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(
        verify.err,
        "The audit log '" + path +
            "' is broken at line 3: line 2 was changed, or lines between them were removed.\n");
}

TEST_F(VerifiedWritesTest, NoVerifySendsWithoutReadingBackAndSaysSoInTheAudit) {
    StartSim({"--fault", "bad-store:C"});
    WriteBytes(Path("sent.PSF"), Image(SentPsf()));
    const ChildResult put = Ctl({"--no-verify", "psf", "put", Path("sent.PSF")});
    EXPECT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(LogOf("D").size(), 1u);  // what it held, for the history; nothing after
    const Json audit = ParseOutput(Ctl({"--json", "audit"}));
    ASSERT_EQ(audit.at("entries").size(), 1u);
    EXPECT_EQ(audit.at("entries").at(0).at("result"), "unverified");
}
