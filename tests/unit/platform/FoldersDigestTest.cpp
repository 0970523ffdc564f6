#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/Folders.h"
#include "platform/Sha256.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

TEST(Sha256, KnownDigests) {
    struct Case {
        std::string input;
        const char* hex;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const Case& c : cases) EXPECT_EQ(DigestHex(Sha256(c.input)), c.hex) << c.input.size();
}

TEST(Folders, XdgVariablesWinAndRelativeOnesAreIgnored) {
    SKIP_WITHOUT_POSIX("the XDG layout below $HOME");
    ScopedEnv home("HOME", "/home/tech");
    {
        ScopedEnv state("XDG_STATE_HOME", "/var/state");
        ScopedEnv data("XDG_DATA_HOME", "/var/data");
        EXPECT_EQ(StateFolder(), "/var/state/veltrix");
        EXPECT_EQ(DataFolder(), "/var/data/veltrix");
    }
    ScopedEnv state("XDG_STATE_HOME", "relative/state");
    ScopedEnv data("XDG_DATA_HOME");
    UnsetEnvironmentValue("XDG_DATA_HOME");
    EXPECT_EQ(StateFolder(), "/home/tech/.local/state/veltrix");
    EXPECT_EQ(DataFolder(), "/home/tech/.local/share/veltrix");
    UnsetEnvironmentValue("HOME");
    EXPECT_EQ(StateFolder(), "");
}

TEST(Folders, MakeFoldersCreatesParentsAndRefusesAFileInTheWay) {
    ScopedTempDir dir;
    int error = -1;
    const std::string deep = dir.Path() + "/a/b/c";
    EXPECT_TRUE(MakeFolders(deep, error));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(MakeFolders(deep, error)) << "an existing folder is fine";

    std::ofstream(dir.Path() + "/file") << "x";
    EXPECT_FALSE(MakeFolders(dir.Path() + "/file", error));
    EXPECT_EQ(error, ENOTDIR);
    EXPECT_FALSE(MakeFolders(dir.Path() + "/file/below", error));
    EXPECT_EQ(error, ENOTDIR);
}
