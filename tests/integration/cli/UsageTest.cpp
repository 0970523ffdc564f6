// Usage errors, help, ports that cannot be opened, files that cannot be read
// or written, the saved port of the desktop program, and the trace.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "CliFixture.h"

TEST_F(CliTest, BadUsageExits2WithUsageOnStderr) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"--frob", "diag"},
        {"diag", "--frob"},
        {"diag", "extra"},
        {"--port", "0", "diag"},
        {"--port", "2x", "diag"},
        {"--port", "-1", "diag"},
        {"--port", "3", "--device", "/dev/null", "diag"},
        {"--device"},
        {"psf"},
        {"psf", "frob", "x"},
        {"psf", "get"},
        {"blanking", "clear", "x"},
        {"partnumber"},
        {"partnumber", "12A456"},
        {"partnumber", "+5"},
        {"partnumber", "4294967296"},
        {"partnumber", "1", "--date-code", "65536"},
        {"partnumber", "1", "--date-code", ""},
        {"beams", "--count", "0"},
        {"beams", "--count", "1e3"},
        {"beams", "--channels", "20"},
        {"beams", "--channels", "392"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += " " + a;
        const ChildResult result = CtlRaw(args, 5000);
        EXPECT_EQ(result.exitCode, 2) << joined;
        EXPECT_TRUE(result.out.empty()) << joined;
        EXPECT_NE(result.err.find("Usage: veltrixctl"), std::string::npos) << joined << ": " << result.err;
    }
}

TEST_F(CliTest, UsageErrorsSayWhatWasWrongAndWhereTheToolsOptionsStand) {
    struct Case {
        std::vector<std::string> args;
        std::string message;  // the first line on stderr, after "veltrixctl: "
        std::string usage;    // the start of the usage line that follows
    };
    const std::vector<Case> cases = {
        {{}, "no command given", "Usage: veltrixctl [OPTIONS] COMMAND"},
        {{"--json"}, "no command given", "Usage: veltrixctl [OPTIONS] COMMAND"},
        {{"frobnicate"}, "unknown command 'frobnicate'", "Usage: veltrixctl [OPTIONS] COMMAND"},
        {{"--frob=1", "diag"}, "unknown option '--frob'", "Usage: veltrixctl diag"},
        {{"diag", "extra"}, "unexpected argument 'extra'", "Usage: veltrixctl diag"},
        {{"diag", "probe"}, "unexpected argument 'probe'", "Usage: veltrixctl diag"},
        {{"psf"}, "psf needs get, put, show, set or diff", "Usage: veltrixctl psf [OPTIONS] COMMAND"},
        {{"blanking", "frob"}, "unknown blanking command 'frob'", "Usage: veltrixctl blanking"},
        {{"psf", "put", "--json"}, "psf put needs a FILE", "Usage: veltrixctl psf put [OPTIONS] FILE"},
        {{"diag", "--trace"}, "option '--trace' needs a value", "Usage: veltrixctl diag"},
        {{"--port", "1", "diag", "--port", "2"}, "option '--port' given twice", "Usage: veltrixctl diag"},
        {{"beams", "--count", "5", "--count=6"}, "option '--count' given twice", "Usage: veltrixctl beams"},
        {{"diag", "--json=yes"}, "option '--json' takes no value", "Usage: veltrixctl diag"},
        {{"--port=0x2", "diag"}, "--port needs a COM number from 1 to 255, not '0x2'", "Usage"},
        {{"diag", "--device", "/dev/null", "--port", "2"}, "--port and --device exclude each other", "Usage"},
        {{"--device", "", "diag"}, "--device needs a path", "Usage"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += " " + a;
        const ChildResult result = CtlRaw(c.args, 5000);
        EXPECT_EQ(result.exitCode, 2) << joined;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), "veltrixctl: " + c.message) << joined;
        EXPECT_EQ(result.err.find("\n" + c.usage), result.err.find('\n')) << joined << ": " << result.err;
    }
}

TEST_F(CliTest, HelpOnTheToolAndEveryCommand) {
    const std::vector<std::vector<std::string>> asks = {
        {"--help"}, {"-h"}, {"probe", "--help"}, {"diag", "--help"}, {"psf", "--help"},
        {"psf", "get", "--help"}, {"blanking", "-h"}, {"beams", "--help"}, {"partnumber", "--help"},
        {"psf", "set", "--help"}, {"psf", "diff", "--help"}, {"monitor", "--help"}};
    for (const auto& args : asks) {
        const ChildResult result = CtlRaw(args, 5000);
        EXPECT_EQ(result.exitCode, 0) << args.front();
        EXPECT_EQ(result.out.rfind("Usage: veltrixctl", 0), 0u) << result.out;
        EXPECT_TRUE(result.err.empty());
    }
}

TEST_F(CliTest, MissingDeviceExits4WithTheSystemsMessage) {
    const ChildResult byPath = CtlRaw({"--device", Path("no-such-tty"), "diag"}, 5000);
    EXPECT_EQ(byPath.exitCode, 4);
    EXPECT_EQ(byPath.err, "Unable to open " + Path("no-such-tty") + "\nPort not found\n");

    const ChildResult byNumber =
        CtlRaw({"--port", "9", "probe"}, 5000, {"VELTRIX_COM9=" + Path("no-such-tty")});
    EXPECT_EQ(byNumber.exitCode, 4);
    EXPECT_EQ(byNumber.err.rfind("Unable to open 9\nPort not found\n", 0), 0u) << byNumber.err;
}

TEST_F(CliTest, UnreadableOrUnwritableFilesExit3BeforeOrAfterTheController) {
    // A bad file is refused before the port is opened: the port does not exist either.
    const ChildResult missing = CtlRaw({"--device", Path("no-such-tty"), "psf", "put", Path("none.PSF")}, 5000);
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.err, "Unable to open file '" + Path("none.PSF") + "' - No such file or directory\n");

    WriteBytes(Path("short.BFS"), std::vector<uint8_t>(99, 0));
    const ChildResult shortBfs = CtlRaw({"--device", Path("no-such-tty"), "blanking", "put", Path("short.BFS")}, 5000);
    EXPECT_EQ(shortBfs.exitCode, 3);
    EXPECT_EQ(shortBfs.err, "Size of file is incorrect.\n");

    WriteBytes(Path("long.PSF"), std::vector<uint8_t>(155, 'A'));
    const ChildResult longPsf = CtlRaw({"psf", "show", Path("long.PSF")}, 5000);
    EXPECT_EQ(longPsf.exitCode, 3);
    EXPECT_EQ(longPsf.err, "Size of PSF file '" + Path("long.PSF") + "' is invalid.\n");

    // A file that cannot be written is found before the controller is asked.
    StartSim();
    const std::string nowhere = Path("missing-folder/out.PSF");
    const ChildResult unwritable = Ctl({"psf", "get", nowhere});
    EXPECT_EQ(unwritable.exitCode, 3);
    EXPECT_EQ(unwritable.err, "Unable to create file '" + nowhere + "' - No such file or directory\n");
    const ChildResult unwritableBfs = Ctl({"blanking", "get", nowhere});
    EXPECT_EQ(unwritableBfs.exitCode, 3);
    EXPECT_EQ(unwritableBfs.err, "Error opening file '" + nowhere + "'\nNo such file or directory\n");
    EXPECT_TRUE(Log().empty());
}

TEST_F(CliTest, WithoutAPortOptionTheDesktopProgramsSavedPortIsUsed) {
    StartSim({"--id", "D"});
    // The desktop program saved COM5 (index 4) and mapped COM5 to our device.
    const std::string folder = Path("config/Local AppWizard-Generated Applications");
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/Multiple Output VELTRIX 2.0.conf")
        << "[Communication]\nPort=4\n\n[Ports]\nCOM5=" << Link() << "\n";
    const ChildResult result = CtlRaw({"--json", "probe"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ParseOutput(result).at("id").get<std::string>(), "D");
}

TEST_F(CliTest, TraceRecordsEveryByteWithTimeAndDirection) {
    StartSim();
    ASSERT_EQ(Ctl({"--trace", Path("trace.txt"), "diag"}).exitCode, 0);
    std::ifstream in(Path("trace.txt"));
    const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(trace.find(" TX F8  |.|  probe\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" TX 1B 41 48 0D  |.AH.|  H read diagnostics\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" RX 1C 41 49 "), std::string::npos) << trace;

    const ChildResult unwritable = Ctl({"--trace", Path("missing-folder/trace.txt"), "diag"});
    EXPECT_EQ(unwritable.exitCode, 3);
    // A FIFO nobody reads would block the open for good: refused at once.
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    const ChildResult fifo = Ctl({"--trace", Path("fifo"), "diag"}, 10000);
    EXPECT_EQ(fifo.exitCode, 3);
    EXPECT_NE(fifo.err.find("Unable to open trace file '" + Path("fifo") + "'"), std::string::npos) << fifo.err;
}
