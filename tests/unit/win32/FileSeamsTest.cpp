// The Windows sides of the file seams: folders, replacing files that exist or
// that another program holds open, append files and the registry store.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <filesystem>

#include "platform/AppendFile.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/WideText.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Another program's handle on a file, shared as an editor shares it: others
// may read and write, but not delete or rename it.
class HeldOpen {
public:
    explicit HeldOpen(const std::string& path)
        : m_handle(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr)) {}
    ~HeldOpen() {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

TEST(WindowsFolders, LocalAppDataUnlessAnXdgVariableNamesARootedFolder) {
    ScopedEnv local("LOCALAPPDATA", "C:\\Users\\tech\\AppData\\Local");
    ScopedEnv roaming("APPDATA", "C:\\Users\\tech\\AppData\\Roaming");
    ScopedEnv programData("PROGRAMDATA", "C:\\ProgramData");
    ScopedEnv state("XDG_STATE_HOME");
    ScopedEnv data("XDG_DATA_HOME");
    ScopedEnv config("XDG_CONFIG_HOME");
    UnsetEnvironmentValue("XDG_STATE_HOME");
    UnsetEnvironmentValue("XDG_DATA_HOME");
    UnsetEnvironmentValue("XDG_CONFIG_HOME");
    EXPECT_EQ(StateFolder(), "C:\\Users\\tech\\AppData\\Local\\veltrix");
    EXPECT_EQ(DataFolder(), "C:\\Users\\tech\\AppData\\Local\\veltrix\\data");
    EXPECT_EQ(ConfigFolder(), "C:\\Users\\tech\\AppData\\Roaming");
    EXPECT_EQ(ProfileFolders(), (std::vector<std::string>{".", "C:\\Users\\tech\\AppData\\Roaming\\veltrix",
                                                          "C:\\ProgramData\\veltrix"}));

    struct Case {
        const char* xdg;
        const char* state;  // "" for the default
    };
    for (const Case& c : {Case{"D:\\state", "D:\\state\\veltrix"}, Case{"/tmp/state", "/tmp/state\\veltrix"},
                          Case{"\\\\server\\share", "\\\\server\\share\\veltrix"}, Case{"relative", ""},
                          Case{"C:relative", ""}}) {
        SetEnvironmentValue("XDG_STATE_HOME", c.xdg);
        EXPECT_EQ(StateFolder(), *c.state ? c.state : "C:\\Users\\tech\\AppData\\Local\\veltrix") << c.xdg;
    }

    UnsetEnvironmentValue("LOCALAPPDATA");
    UnsetEnvironmentValue("XDG_STATE_HOME");
    EXPECT_EQ(StateFolder(), "");
}

TEST(WindowsFolders, MakeFoldersTakesEitherSeparatorAndRefusesAFileInTheWay) {
    ScopedTempDir dir;
    std::string native = dir.Path();
    for (char& c : native)
        if (c == '/') c = '\\';
    int error = -1;
    EXPECT_TRUE(MakeFolders(native + "\\a\\b/c", error));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
    EXPECT_TRUE(MakeFolders(native + "\\a\\b/c\\", error)) << "a trailing separator, an existing folder";

    WriteBytes(dir.File("file"), Bytes("x"));
    EXPECT_FALSE(MakeFolders(native + "\\file\\below", error));
    EXPECT_EQ(error, ENOTDIR);
}

TEST(WindowsAtomicFile, ReplacesAnExistingFileAndRefusesOneThatIsHeldOpen) {
    ScopedTempDir dir;
    const std::string path = dir.File("set.PSF");
    WriteBytes(path, Bytes("old contents"));
    const std::string fresh = "new\r\ncontents\x1A\n";
    ASSERT_TRUE(WriteFileAtomically(path, fresh.data(), fresh.size()).ok());
    EXPECT_EQ(ReadBytes(path), Bytes(fresh));

    {
        HeldOpen other(path);
        ASSERT_TRUE(other.Valid());
        const AtomicWriteResult result = WriteFileAtomically(path, "x", 1);
        EXPECT_EQ(result.stage, AtomicWriteResult::kReplace);
        EXPECT_EQ(result.error, EBUSY);
        EXPECT_EQ(ErrorText(result.error), "The file is open in another program");
        EXPECT_EQ(ReadBytes(path), Bytes(fresh)) << "the old file stays as it was";
        EXPECT_EQ(dir.List(), std::vector<std::string>{"set.PSF"}) << "no temporary is left";
    }
    EXPECT_TRUE(WriteFileAtomically(path, "x", 1).ok()) << "once it is closed";
}

TEST(WindowsAtomicFile, ReadOnlyFilesAndFoldersAreRefusedBeforeAnythingIsWritten) {
    ScopedTempDir dir;
    const std::string locked = dir.File("locked.PSF");
    WriteBytes(locked, Bytes("keep"));
    ASSERT_TRUE(SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(CheckWritable(locked).error, EACCES);
    EXPECT_EQ(WriteFileAtomically(locked, "x", 1).error, EACCES);
    EXPECT_EQ(ReadBytes(locked), Bytes("keep"));
    SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(CheckWritable(dir.Path()).error, EISDIR);
    EXPECT_EQ(CheckWritable(dir.File("no/such/folder/x.PSF")).stage, AtomicWriteResult::kCreate);
    EXPECT_TRUE(CheckWritable(dir.File("new.PSF")).ok());
    EXPECT_EQ(dir.List().size(), 1u) << "checking writes nothing";
}

TEST(WindowsAtomicFile, RenameReplacingMovesOverAnExistingFile) {
    ScopedTempDir dir;
    WriteBytes(dir.File("a"), Bytes("A"));
    WriteBytes(dir.File("b"), Bytes("B"));
    EXPECT_EQ(RenameReplacing(dir.File("a"), dir.File("b")), 0);
    EXPECT_EQ(ReadBytes(dir.File("b")), Bytes("A"));
    EXPECT_EQ(RenameReplacing(dir.File("missing"), dir.File("b")), ENOENT);
}

TEST(WindowsAppendFile, AppendsAcrossHandlesAndLetsOthersRenameTheFile) {
    ScopedTempDir dir;
    const std::string path = dir.File("trace.log");
    AppendFile first;
    AppendFile second;
    uint64_t size = 99;
    std::string error;
    ASSERT_TRUE(first.Open(path, size, error)) << error;
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(first.Write("one\n"));
    ASSERT_TRUE(second.Open(path, size, error)) << error;
    EXPECT_EQ(size, 4u);
    ASSERT_TRUE(second.Write("two\n"));
    ASSERT_TRUE(first.Write("three\n"));
    EXPECT_EQ(ReadBytes(path), Bytes("one\ntwo\nthree\n"));

    // A rotation by another process goes through while both are open.
    EXPECT_EQ(RenameReplacing(path, path + ".1"), 0);
    EXPECT_FALSE(AppendFile().Open(dir.Path(), size, error));
    EXPECT_FALSE(error.empty());
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str()); }

    std::wstring m_key = L"Software\\veltrix-unit-test-" + std::to_wstring(GetCurrentProcessId());
    RegistrySettingsStore store{m_key};
};

TEST_F(RegistryStoreTest, ValuesComeBackAsWrittenAndEitherKindReadsAsEither) {
    EXPECT_EQ(store.GetInt("Communication", "Port", 1), 1);
    EXPECT_FALSE(store.GetString("Ports", "COM3"));

    store.SetInt("Communication", "Port", 4);
    store.SetInt("Options", "Negative", -2);
    store.SetString("Ports", "COM3", "\\\\.\\COM7 \xc3\xa9");
    EXPECT_EQ(store.GetInt("Communication", "Port", 1), 4);
    EXPECT_EQ(store.GetInt("Options", "Negative", 0), -2);
    EXPECT_EQ(store.GetString("Ports", "COM3"), "\\\\.\\COM7 \xc3\xa9");

    // Integers are DWORDs, as the desktop program's settings library writes them.
    DWORD type = 0;
    DWORD value = 0;
    DWORD bytes = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (m_key + L"\\Communication").c_str(), L"Port", RRF_RT_ANY, &type,
                           &value, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 4u);

    EXPECT_EQ(store.GetString("Communication", "Port"), "4");
    store.SetString("Options", "Save", "0");
    EXPECT_EQ(store.GetInt("Options", "Save", 1), 0);
    store.SetString("Options", "Save", "yes");
    EXPECT_EQ(store.GetInt("Options", "Save", 1), 1) << "text that is no number reads as absent";
}

}  // namespace
