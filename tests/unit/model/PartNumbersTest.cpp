#include <gtest/gtest.h>

#include <map>

#include "model/PartNumbers.h"
#include "platform/IniFile.h"
#include "support/ScriptedUi.h"

namespace {

std::tm Date(int year, int month, int day) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    return date;
}

}  // namespace

TEST(DateCode, YearsAndSevenDayWeeks) {
    EXPECT_EQ(MakeDateCode(Date(2011, 3, 15)), "1111");
    EXPECT_EQ(MakeDateCode(Date(2026, 1, 1)), "2601");
    EXPECT_EQ(MakeDateCode(Date(2024, 12, 31)), "2453");  // day 365 of a leap year
    EXPECT_EQ(MakeDateCode(Date(2023, 12, 31)), "2353");  // day 364
    EXPECT_EQ(MakeDateCode(Date(2023, 1, 8)), "2302");
    EXPECT_EQ(MakeDateCode(Date(1999, 6, 30)), "9926");
    EXPECT_EQ(MakeDateCode(Date(2000, 1, 7)), "0001");
    EXPECT_EQ(MakeDateCode(Date(2100, 2, 1)), "10005");
}

TEST(DateCode, UsesTheDayOfYearWhenOnlyThatIsFilledIn) {
    std::tm date{};
    date.tm_year = 111;
    date.tm_yday = 73;  // 15 March 2011
    EXPECT_EQ(MakeDateCode(date), "1111");
}

TEST(PartNumbers, SixCharacterValuesInEntryOrderWithOneWarningPerBadValue) {
    ScriptedUi ui;
    ScopedUi scope(ui);
    IniFile ini = IniFile::Parse(
        "[PartNumbers]\n"
        "Standard=123456\n"
        "Short=12345\n"
        "Long=1234567\n"
        "Empty=\n"
        "Letters=AB12CD\n");
    EXPECT_EQ(FillPartNumbers(ini), (std::vector<std::string>{"123456", "AB12CD"}));
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{
                  "Warning: INI value: '12345' for entry 'Short' must be six characters",
                  "Warning: INI value: '1234567' for entry 'Long' must be six characters",
                  "Warning: INI value: '' for entry 'Empty' must be six characters"}));
    for (const auto& call : ui.Calls()) {
        EXPECT_EQ(call.icon, MsgIcon::Exclamation);
        EXPECT_EQ(call.buttons, MsgButtons::Ok);
    }
    EXPECT_TRUE(HasPartNumbers(ini));
}

TEST(PartNumbers, LongNameListIsReadToTheEnd) {
    ScriptedUi ui;
    ScopedUi scope(ui);
    std::string text = "[PartNumbers]\n";
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        // 20 names of 30 characters: far beyond a 256-character name list.
        std::string name = "PartNumberEntryWithALongName" + std::to_string(10 + i);
        std::string value = std::to_string(100000 + i);
        text += name + "=" + value + "\n";
        expected.push_back(value);
    }
    EXPECT_EQ(FillPartNumbers(IniFile::Parse(text)), expected);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST(PartNumbers, MissingSectionMeansNoPartNumbers) {
    IniFile ini = IniFile::Parse("[Other]\nA=123456\n");
    EXPECT_FALSE(HasPartNumbers(ini));
    EXPECT_TRUE(FillPartNumbers(ini).empty());
    EXPECT_FALSE(HasPartNumbers(IniFile::Parse("[PartNumbers]\n; nothing yet\n")));
}
