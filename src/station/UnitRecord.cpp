#include "station/UnitRecord.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

std::string_view ResultText(UnitRecord::Result result) {
    return result == UnitRecord::Result::Pass ? "pass" : "fail";
}

std::optional<UnitRecord::Result> ResultFromText(std::string_view text) {
    if (text == "pass") return UnitRecord::Result::Pass;
    if (text == "fail") return UnitRecord::Result::Fail;
    return std::nullopt;
}

std::string NewRecordUid() {
    static thread_local std::random_device source;
    std::string uid;
    for (int word = 0; word < 4; ++word) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(source()));
        uid += hex;
    }
    return uid;
}

int64_t NowUtcMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string FormatUtc(int64_t utcMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(utcMs)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

namespace {

// Exactly `width` decimal digits at text[at].
std::optional<int> Digits(std::string_view text, size_t at, size_t width) {
    if (at + width > text.size()) return std::nullopt;
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<int64_t> ParseUtc(std::string_view text) {
    using namespace std::chrono;
    // YYYY-MM-DDTHH:MM:SS[.mmm]Z
    if (text.size() != 20 && text.size() != 24) return std::nullopt;
    if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
        text.back() != 'Z')
        return std::nullopt;
    const auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const auto h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    std::optional<int> ms = 0;
    if (text.size() == 24) {
        if (text[19] != '.') return std::nullopt;
        ms = Digits(text, 20, 3);
    }
    if (!y || !mo || !d || !h || !mi || !s || !ms || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
    const year_month_day date{year(*y), month(static_cast<unsigned>(*mo)), day(static_cast<unsigned>(*d))};
    if (!date.ok()) return std::nullopt;
    const sys_time<milliseconds> time =
        sys_days(date) + hours(*h) + minutes(*mi) + seconds(*s) + milliseconds(*ms);
    return time.time_since_epoch().count();
}

std::optional<int64_t> ParseSince(std::string_view text) {
    using namespace std::chrono;
    if (text.ends_with('Z')) return ParseUtc(text);
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    std::optional<int> h = 0, mi = 0, s = 0;
    if (text.size() >= 16) {
        if (text[10] != 'T' || text[13] != ':') return std::nullopt;
        h = Digits(text, 11, 2);
        mi = Digits(text, 14, 2);
    }
    if (text.size() == 19) {
        if (text[16] != ':') return std::nullopt;
        s = Digits(text, 17, 2);
    }
    if (!y || !mo || !d || !h || !mi || !s || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
    if (!year_month_day{year(*y), month(static_cast<unsigned>(*mo)), day(static_cast<unsigned>(*d))}.ok())
        return std::nullopt;
    std::tm local{};
    local.tm_year = *y - 1900;
    local.tm_mon = *mo - 1;
    local.tm_mday = *d;
    local.tm_hour = *h;
    local.tm_min = *mi;
    local.tm_sec = *s;
    local.tm_isdst = -1;  // whatever the zone says for that day
    const std::time_t time = std::mktime(&local);
    if (time == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(time) * 1000;
}
