#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/IniFile.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

TEST(IniSettingsStore, DefaultPathFollowsXdgConfigHome) {
    SKIP_WITHOUT_POSIX("the Linux settings file below $HOME");
    ScopedEnv xdg("XDG_CONFIG_HOME");
    ScopedEnv home("HOME");
    SetEnvironmentValue("XDG_CONFIG_HOME", "/some/where");
    EXPECT_EQ(
        IniSettingsStore::DefaultPath(),
        "/some/where/Local AppWizard-Generated Applications/Multiple Output VELTRIX 2.0.conf");
    SetEnvironmentValue("XDG_CONFIG_HOME", "relative");  // ignored: not an absolute path
    SetEnvironmentValue("HOME", "/home/tech");
    EXPECT_EQ(IniSettingsStore::DefaultPath(),
              "/home/tech/.config/Local AppWizard-Generated Applications/"
              "Multiple Output VELTRIX 2.0.conf");
}

TEST(IniSettingsStore, WritesTheDesktopProgramsFileLayout) {
    ScopedTempDir dir;
    const std::string path = dir.File("org/app.conf");  // the folder is made on first write
    IniSettingsStore store(path);
    EXPECT_EQ(store.GetInt("Communication", "Port", 1), 1);
    store.SetInt("Communication", "Port", 4);
    store.SetInt("Options", "Save", 0);
    store.SetString("Ports", "COM3", "/dev/ttyUSB0");
    EXPECT_EQ(ReadText(path),
              "[Communication]\nPort=4\n\n[Options]\nSave=0\n\n[Ports]\nCOM3=/dev/ttyUSB0\n");
    EXPECT_EQ(store.GetInt("Communication", "Port", 1), 4);
    EXPECT_EQ(store.GetInt("Options", "Save", 1), 0);
    EXPECT_EQ(store.GetString("Ports", "COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(store.GetString("Ports", "COM4"), std::nullopt);
    EXPECT_EQ(dir.List(dir.File("org")), std::vector<std::string>{"app.conf"});
}

TEST(IniSettingsStore, ReadsWhatTheDesktopProgramWrote) {
    ScopedTempDir dir;
    const std::string path = dir.File("app.conf");
    WriteText(path,
              "[General]\nfoo=bar\n\n"
              "[Communication]\nPort=7\n\n"
              "[Options]\nSave=true\n\n"
              "[Ports]\nCOM1=\"/dev/tty,odd;name\"\nCOM2=\\\"quoted\\\"\\tX\n"
              "COM5=@@at\nCOM6=\" edge \"\n");
    IniSettingsStore store(path);
    EXPECT_EQ(store.GetInt("Communication", "Port", 1), 7);
    EXPECT_EQ(store.GetInt("Options", "Save", 1), 1);  // not a number: the default
    EXPECT_EQ(store.GetString("Ports", "COM1"), "/dev/tty,odd;name");
    EXPECT_EQ(store.GetString("Ports", "COM2"), "\"quoted\"\tX");
    EXPECT_EQ(store.GetString("Ports", "COM5"), "@at");
    EXPECT_EQ(store.GetString("Ports", "COM6"), " edge ");
}

TEST(IniSettingsStore, EscapesValuesAndKeysAsTheDesktopProgramDoes) {
    ScopedTempDir dir;
    const std::string path = dir.File("app.conf");
    IniSettingsStore store(path);
    store.SetString("Ports", "a/b c", "x=1, y");
    store.SetString("General", "k", " pad");
    store.SetString("Ports", "tab",
                    std::string("\t\x01"
                                "1\\",
                                4));
    store.SetString("Ports", "at", "@home");
    EXPECT_EQ(ReadText(path),
              "[Ports]\na\\b%20c=\"x=1, y\"\ntab=\\t\\x1\\x31\\\\\nat=@@home\n\n"
              "[%General]\nk=\" pad\"\n");
    EXPECT_EQ(store.GetString("Ports", "a/b c"), "x=1, y");
    EXPECT_EQ(store.GetString("General", "k"), " pad");
    EXPECT_EQ(store.GetString("Ports", "tab"), std::string("\t\x01"
                                                           "1\\",
                                                           4));
    EXPECT_EQ(store.GetString("Ports", "at"), "@home");

    std::string every;
    for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
    store.SetString("Ports", "every", every + " 0a;");
    EXPECT_EQ(store.GetString("Ports", "every"), every + " 0a;");
}

TEST(IniSettingsStore, FailedWriteKeepsTheOldFile) {
    SKIP_WITHOUT_POSIX("a file size limit that makes the write fail");
    ScopedTempDir dir;
    const std::string path = dir.File("app.conf");
    const std::string old =
        "[Communication]\nPort=2\n; a long comment that makes the file bigger\n";
    WriteText(path, old);
    IniSettingsStore store(path);
    {
        ScopedFileSizeLimit limit(10);
        store.SetInt("Communication", "Port", 9);
    }
    EXPECT_EQ(ReadText(path), old);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"app.conf"});
    EXPECT_EQ(store.GetInt("Communication", "Port", 1), 2);
}
