#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/AppInfo.h"
#include "platform/IniFile.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

// Runs a scope in another working directory.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir) {
        char old[4096];
        if (getcwd(old, sizeof old)) m_old = old;
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~ScopedCwd() {
        if (!m_old.empty() && chdir(m_old.c_str()) != 0) ADD_FAILURE() << "cannot go back";
    }

private:
    std::string m_old;
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
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(IniFile::Load(dir.File("fifo")));
}

TEST(AppProfile, SearchOrder) {
    ScopedTempDir dir;
    const std::string name = kAppName;
    ASSERT_EQ(mkdir(dir.File("work").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.File("config").c_str(), 0700), 0);
    ScopedCwd cwd(dir.File("work"));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("config"));
    unsetenv("VELTRIX_PROFILE");

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
