// `cmake --install` of this build into a temporary prefix: what lands there
// is what the package ships, so its pieces must fit together.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string kBin = VELTRIX_BINARY_DIR;
const std::string kAppId = "com.veltrix.ServiceTool";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Exit status and combined output of a shell command.
int Shell(const std::string& command, std::string& output) {
    output.clear();
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    return ::pclose(pipe);
}

std::string Gunzip(const fs::path& path) {
    std::string text;
    EXPECT_EQ(Shell("gzip -dc " + path.string(), text), 0) << text;
    return text;
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/veltrix-install-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_prefix = pattern;
        std::string output;
        ASSERT_EQ(Shell("cmake --install " + kBin + " --prefix " + s_prefix.string(), output), 0)
            << output;
    }
    static void TearDownTestSuite() { fs::remove_all(s_prefix); }

    static fs::path s_prefix;
};

fs::path InstallTest::s_prefix;

TEST_F(InstallTest, OnlyTheThreeProgramsGoToBin) {
    std::set<std::string> programs;
    for (const auto& entry : fs::directory_iterator(s_prefix / "bin")) {
        programs.insert(entry.path().filename());
    }
    std::set<std::string> expected = {"veltrixctl", "veltrix-sim"};
    if (fs::exists(kBin + "/src/app/veltrix")) expected.insert("veltrix");
    EXPECT_EQ(programs, expected);
    // Nothing else of the build tree either: no test, fuzzer or benchmark.
    for (const auto& entry : fs::recursive_directory_iterator(s_prefix)) {
        const std::string name = entry.path().filename();
        EXPECT_FALSE(
            std::regex_search(name, std::regex("^(unit|integration|gui|fuzz|bench)_|scan-rate")))
            << entry.path();
    }
}

TEST_F(InstallTest, EveryIconIsAsLargeAsItsFolderSays) {
    const fs::path hicolor = s_prefix / "share/icons/hicolor";
    ASSERT_TRUE(fs::exists(hicolor / "scalable/apps" / (kAppId + ".svg")));
    int pngs = 0;
    for (const auto& size : fs::directory_iterator(hicolor)) {
        int width = 0;
        int height = 0;
        if (std::sscanf(size.path().filename().c_str(), "%dx%d", &width, &height) != 2) continue;
        const std::string png = ReadFile(size.path() / "apps" / (kAppId + ".png"));
        ASSERT_GE(png.size(), 24u) << size.path();
        ASSERT_EQ(png.substr(1, 3), "PNG") << size.path();
        // IHDR: width and height, big-endian, at offsets 16 and 20.
        const auto be32 = [&png](size_t at) {
            return (unsigned char)png[at] << 24 | (unsigned char)png[at + 1] << 16 |
                   (unsigned char)png[at + 2] << 8 | (unsigned char)png[at + 3];
        };
        EXPECT_EQ(be32(16), width) << size.path();
        EXPECT_EQ(be32(20), height) << size.path();
        ++pngs;
    }
    EXPECT_GE(pngs, 4);
}

TEST_F(InstallTest, ManualPagesCarryTheVersionAndFormatWithoutWarnings) {
    for (const char* page : {"veltrix", "veltrixctl", "veltrix-sim"}) {
        const fs::path path = s_prefix / "share/man/man1" / (std::string(page) + ".1.gz");
        const std::string roff = Gunzip(path);
        ASSERT_FALSE(roff.empty()) << path;
        EXPECT_EQ(roff.find('@'), std::string::npos) << page << ": a placeholder is left";
        EXPECT_NE(roff.find("\"veltrix " + std::string(VELTRIX_VERSION) + "\""), std::string::npos)
            << page;
        std::string warnings;
        // The braces keep groff's warnings; only the page goes to /dev/null.
        EXPECT_EQ(
            Shell("{ MANWIDTH=80 man --warnings -l " + path.string() + " >/dev/null; }", warnings),
            0);
        EXPECT_EQ(warnings, "") << page;
    }
}

TEST_F(InstallTest, DesktopEntryAndMetainfoPointAtWhatIsInstalled) {
    const std::string entry = ReadFile(s_prefix / "share/applications" / (kAppId + ".desktop"));
    std::smatch exec;
    ASSERT_TRUE(std::regex_search(entry, exec, std::regex("\nExec=(\\S+)")));
    EXPECT_EQ(exec[1], "veltrix");
    EXPECT_NE(entry.find("\nIcon=" + kAppId + "\n"), std::string::npos);

    const std::string metainfo = ReadFile(s_prefix / "share/metainfo" / (kAppId + ".metainfo.xml"));
    EXPECT_NE(metainfo.find("<id>" + kAppId + "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"),
              std::string::npos);
    EXPECT_NE(metainfo.find("<release version=\"" + std::string(VELTRIX_VERSION) + "\""),
              std::string::npos);
    const std::regex binary("<binary>([^<]+)</binary>");
    int binaries = 0;
    for (std::sregex_iterator it(metainfo.begin(), metainfo.end(), binary), end; it != end; ++it) {
        EXPECT_TRUE(fs::exists(s_prefix / "bin" / (*it)[1].str()) || (*it)[1] == "veltrix")
            << (*it)[1];
        ++binaries;
    }
    EXPECT_EQ(binaries, 3);

    std::string output;
    if (Shell("command -v desktop-file-validate", output) == 0) {
        EXPECT_EQ(Shell("desktop-file-validate " +
                            (s_prefix / "share/applications" / (kAppId + ".desktop")).string(),
                        output),
                  0)
            << output;
    }
    if (Shell("command -v appstreamcli", output) == 0) {
        EXPECT_EQ(Shell("appstreamcli validate --no-net " +
                            (s_prefix / "share/metainfo" / (kAppId + ".metainfo.xml")).string(),
                        output),
                  0)
            << output;
    }
}

}  // namespace
