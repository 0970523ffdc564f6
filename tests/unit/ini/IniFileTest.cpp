#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/AppInfo.h"
#include "platform/IniFile.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

// Runs a scope in another working directory.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir) : m_old(std::filesystem::current_path()) {
        std::error_code error;
        std::filesystem::current_path(dir, error);
        EXPECT_FALSE(error) << error.message();
    }
    ~ScopedCwd() {
        std::error_code error;
        std::filesystem::current_path(m_old, error);
        if (error) ADD_FAILURE() << "cannot go back";
    }

private:
    std::filesystem::path m_old;
};

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

TEST(IniFile, SectionsAndEntriesInFileOrderWithoutRegardToCase) {
    IniFile ini = IniFile::Parse(
        "\xEF\xBB\xBF; comment\r\n"
        "[PartNumbers]\r\n"
        "  Zeta = 111111  \r\n"
        "alpha=222222\r"
        "# another comment\n"
        "[Other]\n"
        "x=1\n"
        "[partnumbers]\n"
        "Beta=333333\n");
    EXPECT_EQ(ini.EntryNames("PARTNUMBERS"), (std::vector<std::string>{"Zeta", "alpha", "Beta"}));
    EXPECT_EQ(ini.Value("partNumbers", "ZETA"), "111111");
    EXPECT_EQ(ini.Value("other", "X"), "1");
    EXPECT_EQ(ini.Value("Other", "missing"), "");
    EXPECT_EQ(ini.Value("Missing", "x"), "");
    EXPECT_TRUE(ini.EntryNames("Missing").empty());
}

TEST(IniFile, MalformedLinesAreSkipped) {
    IniFile ini = IniFile::Parse(
        "orphan=before any section\n"
        "[Good]\n"
        "no equals sign\n"
        "=no name\n"
        "a=1\n"
        "a=2\n"
        "[Broken\n"
        "lost=3\n"
        "[Good]\n"
        "b = x = y\n"
        "c=\"quoted value\"\n"
        "d='single'\n"
        "e=\"unbalanced\n"
        "f=  \n");
    EXPECT_EQ(ini.EntryNames("Good"), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(ini.Value("Good", "a"), "1");  // the first of two wins
    EXPECT_EQ(ini.Value("Good", "b"), "x = y");
    EXPECT_EQ(ini.Value("Good", "c"), "quoted value");
    EXPECT_EQ(ini.Value("Good", "d"), "single");
    EXPECT_EQ(ini.Value("Good", "e"), "\"unbalanced");
    EXPECT_EQ(ini.RawValue("Good", "c"), "\"quoted value\"");
    EXPECT_EQ(ini.RawValue("Good", "f"), "");
    EXPECT_EQ(ini.RawValue("Good", "lost"), std::nullopt);
    EXPECT_TRUE(ini.EntryNames("Broken").empty());
}

TEST(IniFile, SurvivesArbitraryBytes) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 37 + i / 7) & 0xFF);
    junk += std::string("\0[Part\0Numbers]\n=\n[\n]\n\0=\0\n", 24);
    IniFile ini = IniFile::Parse(junk);
    IniFile again = IniFile::Parse(ini.Serialize());
    EXPECT_EQ(again.Serialize(), ini.Serialize());
}

TEST(IniFile, SetAndSerializeRoundTrip) {
    IniFile ini;
    ini.Set("Communication", "Port", "1");
    ini.Set("Options", "Save", "0");
    ini.Set("communication", "port", "3");
    EXPECT_EQ(ini.Serialize(), "[Communication]\nPort=3\n\n[Options]\nSave=0\n");
    ini.Set("Options", "Bad", "line\nbreak");
    IniFile back = IniFile::Parse(ini.Serialize());
    EXPECT_EQ(back.EntryNames("Options"), (std::vector<std::string>{"Save", "Bad"}));
    EXPECT_EQ(back.Value("Options", "Bad"), "line break");
}

TEST(IniFile, LoadReadsRegularFilesOnly) {
    ScopedTempDir dir;
    WriteText(dir.File("a.ini"), "[S]\nk=v\n");
    std::optional<IniFile> ini = IniFile::Load(dir.File("a.ini"));
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->Value("S", "k"), "v");
    EXPECT_FALSE(IniFile::Load(dir.File("missing.ini")));
    EXPECT_FALSE(IniFile::Load(dir.Path()));
    if (!HavePosixFeatures()) return;  // no FIFOs
    ASSERT_EQ(MakeFifo(dir.File("fifo")), 0);
    EXPECT_FALSE(IniFile::Load(dir.File("fifo")));
}

TEST(AppProfile, SearchOrder) {
    SKIP_WITHOUT_POSIX("the Linux search path ($XDG_CONFIG_HOME)");
    ScopedTempDir dir;
    const std::string name = kAppName;
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("work")));
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("config")));
    ScopedCwd cwd(dir.File("work"));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("config"));
    ScopedEnv profile("VELTRIX_PROFILE");
    UnsetEnvironmentValue("VELTRIX_PROFILE");

    WriteText(dir.File("config/" + name + ".ini"), "[PartNumbers]\nA=654321\n");
    EXPECT_EQ(AppProfilePath(), dir.File("config/" + name + ".ini"));
    EXPECT_EQ(OpenAppProfile()->Value("PartNumbers", "A"), "654321");

    WriteText(dir.File("work/" + name + ".ini"), "[PartNumbers]\nA=222222\n");
    EXPECT_EQ(AppProfilePath(), "./" + name + ".ini");
    WriteText(dir.File("work/" + name), "[PartNumbers]\nA=111111\n");
    EXPECT_EQ(AppProfilePath(), "./" + name);
    EXPECT_EQ(OpenAppProfile()->Value("PartNumbers", "A"), "111111");

    {
        ScopedEnv override("VELTRIX_PROFILE", dir.File("elsewhere.ini"));
        EXPECT_EQ(AppProfilePath(), dir.File("elsewhere.ini"));
        // The override names the profile even when it does not exist: no part numbers.
        EXPECT_TRUE(OpenAppProfile()->EntryNames("PartNumbers").empty());
    }
}
