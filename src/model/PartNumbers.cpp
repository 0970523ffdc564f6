#include "model/PartNumbers.h"

#include <chrono>
#include <cstdio>

#include "platform/UiServices.h"

namespace {

const char* const kSection = "PartNumbers";

// Day of the year counted from 0, from the calendar fields when they form a
// date, so a caller may fill in only year, month and day.
int DayOfYear(const std::tm& date) {
    using namespace std::chrono;
    if (date.tm_mon < 0 || date.tm_mon > 11 || date.tm_mday < 1 || date.tm_mday > 31)
        return date.tm_yday;
    const year y{date.tm_year + 1900};
    const year_month_day day{y, month(date.tm_mon + 1), std::chrono::day(date.tm_mday)};
    if (!day.ok()) return date.tm_yday;
    return static_cast<int>((sys_days(day) - sys_days(y / January / 1)).count());
}

}  // namespace

std::string MakeDateCode(const std::tm& localDate) {
    int years = localDate.tm_year;
    if (years >= 100) years -= 100;
    int week = DayOfYear(localDate) / 7 + 1;
    char text[32];
    std::snprintf(text, sizeof text, "%2.2d%2.2d", years, week);
    return text;
}

std::vector<std::string> FillPartNumbers(const ProfileFile& profile) {
    // Every entry name is read; the list is not cut at a fixed buffer size,
    // which would hide entries and look up a cut name that does not exist.
    std::vector<std::string> partNumbers;
    for (const std::string& name : profile.EntryNames(kSection)) {
        std::string value = profile.Value(kSection, name);
        if (value.size() == 6) {
            partNumbers.push_back(value);
            continue;
        }
        Ui().MessageBox(
            "Warning: INI value: '" + value + "' for entry '" + name + "' must be six characters",
            MsgButtons::Ok, MsgIcon::Exclamation);
    }
    return partNumbers;
}

bool HasPartNumbers(const ProfileFile& profile) { return !profile.EntryNames(kSection).empty(); }
