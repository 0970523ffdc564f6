#include <gtest/gtest.h>


#include <cstring>
#include <fstream>

#include "model/BfsFile.h"
#include "model/PsfFile.h"
#include "platform/IniFile.h"
#include "station/Recipe.h"
#include "support/ScopedTempDir.h"
#include "support/ScriptedUi.h"

namespace {

// A folder with a recipe and the files it may name: golden.PSF (defaults,
// controller id 'B'), golden.BFS (channels 2 and 30 blanked) and files
// that are wrong in one way each.
class RecipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPsfRecord psf;
        psf.SetControllerId('B');
        ASSERT_EQ(WritePsfFile(psf, dir.File("golden.PSF")), kPsfOk);
        CPsfRecord odd;
        odd.SetControlMode('Z');
        ASSERT_EQ(WritePsfFile(odd, dir.File("odd.PSF")), kPsfOk);
        WriteBytes(dir.File("short.PSF"), std::vector<uint8_t>(153, 0x41));

        CBlankingMap map(64);
        map.Blank(2);
        map.Blank(30);
        WriteBytes(dir.File("golden.BFS"), BuildBfsImage(map));
        CBlankingMap wide(400);
        wide.Blank(390);
        WriteBytes(dir.File("wide.BFS"), BuildBfsImage(wide));
        std::vector<uint8_t> broken = BuildBfsImage(map);
        broken.back() ^= 1;
        WriteBytes(dir.File("broken.BFS"), broken);
    }

    std::string Write(const std::string& text, const std::string& name = "line1.toml") {
        std::ofstream(dir.File(name)) << text;
        return dir.File(name);
    }

    // The refusal for a recipe, with the temporary folder cut off.
    std::string Refusal(const std::string& text, const ProfileFile* profile = nullptr) {
        std::string error;
        const auto recipe = LoadRecipe(Write(text), profile, error);
        EXPECT_FALSE(recipe) << text;
        for (size_t at; (at = error.find(dir.Path() + "/")) != std::string::npos;)
            error.erase(at, dir.Path().size() + 1);
        return error;
    }

    ScopedTempDir dir;
    ScriptedUi ui;
    ScopedUi uiScope{ui};
};

TEST_F(RecipeTest, ReadsEveryKeyWithPathsInTheRecipesFolder) {
    std::string error;
    const auto recipe = LoadRecipe(Write("# line 1 recipe\n"
                                         "[station]\n"
                                         "psf = \"golden.PSF\"\n"
                                         "bfs = \"golden.BFS\"\n"
                                         "part_number = \"123456\"\n"
                                         "date_code = false\n"
                                         "expect_firmware = \"2.3\"\n"
                                         "expect_channels = 32\n"
                                         "log = \"logs/production.sqlite\"\n"),
                                   nullptr, error);
    ASSERT_TRUE(recipe) << error;
    EXPECT_EQ(recipe->psfPath, dir.File("golden.PSF"));
    EXPECT_EQ(recipe->psf.GetControllerId(), 'B');
    EXPECT_EQ(recipe->bfsPath, dir.File("golden.BFS"));
    ASSERT_TRUE(recipe->blanking);
    EXPECT_TRUE(recipe->blanking->IsBlanked(2));
    EXPECT_TRUE(recipe->blanking->IsBlanked(30));
    EXPECT_EQ(recipe->blanking->BlankedCount(0), 2);
    EXPECT_EQ(recipe->partNumber, "123456");
    EXPECT_EQ(recipe->partNumberValue, 123456u);
    EXPECT_FALSE(recipe->dateCode);
    EXPECT_EQ(recipe->expectFirmware, "2.3");
    EXPECT_EQ(recipe->expectChannels, 32);
    ASSERT_TRUE(recipe->log);
    EXPECT_EQ(recipe->log->kind, LogTarget::Kind::Sqlite);
    EXPECT_EQ(recipe->log->location, dir.File("logs/production.sqlite"));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(RecipeTest, OptionalKeysHaveTheirDefaults) {
    std::string error;
    const auto recipe =
        LoadRecipe(Write("[station]\npsf = \"" + dir.File("golden.PSF") + "\"\npart_number = \"0\"\n"), nullptr, error);
    ASSERT_TRUE(recipe) << error;
    EXPECT_EQ(recipe->psfPath, dir.File("golden.PSF"));
    EXPECT_TRUE(recipe->bfsPath.empty());
    EXPECT_FALSE(recipe->blanking);
    EXPECT_TRUE(recipe->dateCode);
    EXPECT_TRUE(recipe->expectFirmware.empty());
    EXPECT_FALSE(recipe->expectChannels);
    EXPECT_FALSE(recipe->log);

    // Brackets and dots inside texts and comments nest nothing.
    const std::string many = "/logs/" + std::string(40, '[') + "." + std::string(40, '.') + "sqlite";
    const auto named = LoadRecipe(Write("[station] # " + std::string(40, '{') + "\npsf = 'golden.PSF'\n"
                                        "part_number = \"1\"\nlog = '" + many + "'\n"),
                                  nullptr, error);
    ASSERT_TRUE(named) << error;
    EXPECT_EQ(named->log->location, many);
}

// Each refusal names the file, the line and the key, and says what is wrong.
TEST_F(RecipeTest, RefusesWhatCannotBeUsedNamingFileLineAndKey) {
    const std::string head = "[station]\npsf = \"golden.PSF\"\npart_number = \"123456\"\n";
    const struct {
        std::string text;
        std::string refusal;
    } cases[] = {
        {head + "colour = \"red\"\n", "line1.toml:4: colour: is not a key of a recipe"},
        {head + "[extra]\n", "line1.toml:4: extra: a recipe holds only the table [station]"},
        {"part = 1\n" + head, "line1.toml:1: part: a recipe holds only the table [station]"},
        {"# nothing\n", "line1.toml: station: the recipe needs a table [station]"},
        {"station = \"x\"\n", "line1.toml:1: station: the recipe needs a table [station]"},
        {"\n[station]\npart_number = \"1\"\n", "line1.toml:2: psf: is required"},
        {"[station]\npsf = \"golden.PSF\"\n", "line1.toml:1: part_number: is required"},
        {"[station]\npsf = \"missing.PSF\"\npart_number = \"1\"\n",
         "line1.toml:2: psf: Unable to open file 'missing.PSF' - No such file or directory"},
        {"[station]\npsf = \"short.PSF\"\npart_number = \"1\"\n",
         "line1.toml:2: psf: Size of PSF file 'short.PSF' is invalid."},
        {"[station]\npsf = \"odd.PSF\"\npart_number = \"1\"\n",
         "line1.toml:2: psf: 'odd.PSF' holds codes in no option table: Control Mode 'Z'"},
        {"[station]\npsf = 3\npart_number = \"1\"\n", "line1.toml:2: psf: must be a text in quotes"},
        {"[station]\npsf = \"\"\npart_number = \"1\"\n", "line1.toml:2: psf: must not be empty"},
        {head + "bfs = \"broken.BFS\"\n", "line1.toml:4: bfs: 'broken.BFS': Checksum in file is invalid."},
        {head + "bfs = \"golden.PSF\"\n", "line1.toml:4: bfs: 'golden.PSF': Size of file is incorrect."},
        {head + "bfs = \"wide.BFS\"\n",
         "line1.toml:4: bfs: 'wide.BFS' blanks channel 391, beyond the 384 a controller can blank"},
        {head + "expect_channels = 16\nbfs = \"golden.BFS\"\n",
         "line1.toml:5: bfs: 'golden.BFS' blanks channel 31, beyond the 16 channels the recipe expects"},
        {"[station]\npsf = \"golden.PSF\"\npart_number = 123456\n",
         "line1.toml:3: part_number: must be a text in quotes"},
        {"[station]\npsf = \"golden.PSF\"\npart_number = \"12A456\"\n",
         "line1.toml:3: part_number: '12A456' is not a decimal number from 0 to 4294967295"},
        {"[station]\npsf = \"golden.PSF\"\npart_number = \"4294967296\"\n",
         "line1.toml:3: part_number: '4294967296' is not a decimal number from 0 to 4294967295"},
        {"[station]\npsf = \"golden.PSF\"\npart_number = \"-1\"\n",
         "line1.toml:3: part_number: '-1' is not a decimal number from 0 to 4294967295"},
        {head + "date_code = \"yes\"\n", "line1.toml:4: date_code: must be true or false"},
        {head + "expect_firmware = \"2.03\"\n", "line1.toml:4: expect_firmware: '2.03' is not a version from 0.0 to 15.15"},
        {head + "expect_firmware = \"16.0\"\n", "line1.toml:4: expect_firmware: '16.0' is not a version from 0.0 to 15.15"},
        {head + "expect_firmware = \"2\"\n", "line1.toml:4: expect_firmware: '2' is not a version from 0.0 to 15.15"},
        {head + "expect_channels = 33\n",
         "line1.toml:4: expect_channels: must be a number of channels from 8 to 192, a multiple of 8"},
        {head + "expect_channels = 200\n",
         "line1.toml:4: expect_channels: must be a number of channels from 8 to 192, a multiple of 8"},
        {head + "expect_channels = \"32\"\n",
         "line1.toml:4: expect_channels: must be a number of channels from 8 to 192, a multiple of 8"},
        {head + "expect_channels = 9223372036854775808\n",
         "line1.toml:4: expect_channels: must be a number of channels from 8 to 192, a multiple of 8"},
        {head + "log = \"mysql://plant/db\"\n",
         "line1.toml:4: log: 'mysql://plant/db' is neither sqlite:// with a path, a file path, nor postgresql:// "
         "with a database"},
        {head + "psf = \"other.PSF\"\n", "line1.toml:4: value (\"psf\") already exists."},
        {"[station]\npsf = \"golden.PSF\n", "line1.toml:2: the next token is not a valid string"},
        {head + "x = '''\"\xff\n'''\n", "line1.toml:4: is not UTF-8 text"},
        {head + std::string("x = 1\0", 6), "line1.toml:4: is not UTF-8 text"},
        // Nesting that would overflow the parser's stack.
        {head + "deep = " + std::string(30000, '[') + "\n", "line1.toml:4: nested deeper than a recipe can be"},
        {head + "x = \"\"\"\n[\n\"\"\"\n" + std::string(20000, '{'),
         "line1.toml:7: nested deeper than a recipe can be"},
        {head + "# [[[[[[[[[[[[[[[[[[[[\n" + std::string(40000, '.') + "\n",
         "line1.toml:5: nested deeper than a recipe can be"},
    };
    for (const auto& c : cases) EXPECT_EQ(Refusal(c.text), c.refusal) << c.text;
}

TEST_F(RecipeTest, PartNumberMustBeInTheListWhenOneIsConfigured) {
    const std::string recipe = "[station]\npsf = \"golden.PSF\"\npart_number = \"654321\"\n";
    const IniFile list = IniFile::Parse("[PartNumbers]\nA=123456\nB=12345\n");
    EXPECT_EQ(Refusal(recipe, &list), "line1.toml:3: part_number: '654321' is not in the part-number list");
    // The list is read as Set Part Number reads it, warning included.
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{"Warning: INI value: '12345' for entry 'B' must be six characters"});

    std::string error;
    const IniFile listed = IniFile::Parse("[PartNumbers]\nA=123456\nB=654321\n");
    EXPECT_TRUE(LoadRecipe(Write(recipe), &listed, error)) << error;
    const IniFile none = IniFile::Parse("[Other]\nA=123456\n");
    EXPECT_TRUE(LoadRecipe(Write(recipe), &none, error)) << error;
}

TEST_F(RecipeTest, RecipeFilesThatCannotBeReadAreRefusedWithoutWaiting) {
    std::string error;
    EXPECT_FALSE(LoadRecipe(dir.File("none.toml"), nullptr, error));
    EXPECT_EQ(error, dir.File("none.toml") + ": Unable to open file '" + dir.File("none.toml") +
                         "' - No such file or directory");
    EXPECT_FALSE(LoadRecipe(dir.Path(), nullptr, error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    if (HavePosixFeatures()) {  // FIFOs
        ASSERT_EQ(MakeFifo(dir.File("fifo.toml")), 0);
        EXPECT_FALSE(LoadRecipe(dir.File("fifo.toml"), nullptr, error));
        EXPECT_NE(error.find("is not a file that can be read"), std::string::npos) << error;
    }
    Write(std::string(70000, '#'), "big.toml");
    EXPECT_FALSE(LoadRecipe(dir.File("big.toml"), nullptr, error));
    EXPECT_NE(error.find("larger than a recipe can be"), std::string::npos) << error;
    Write("\xff\xfe[station]\n", "bytes.toml");
    EXPECT_FALSE(LoadRecipe(dir.File("bytes.toml"), nullptr, error));
    EXPECT_EQ(error.rfind(dir.File("bytes.toml") + ":1: ", 0), 0u) << error;
}

}  // namespace
