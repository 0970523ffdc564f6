#include "platform/LocalTime.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The civil date of a day count since 1970-01-01.
void CivilFromDays(long long days, long long& y, unsigned& m, unsigned& d) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

constexpr long long kSecondsPerDay = 86400;

}  // namespace

std::string IsoLocalTime(std::time_t t) {
    std::tm local{};
    if (!ToLocalTime(t, local)) return {};
    // The offset is what the local wall clock reads minus UTC, both as
    // seconds since the epoch: no OS call needed beyond the local time.
    const long long wall =
        DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) *
            kSecondsPerDay +
        local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    const long long offsetMinutes = (wall - static_cast<long long>(t)) / 60;
    const long long magnitude = std::llabs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string UtcStamp(std::time_t t) {
    const long long seconds = static_cast<long long>(t);
    long long days = seconds / kSecondsPerDay;
    long long rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    long long y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld%02u%02uT%02lld%02lld%02lldZ", y, m, d, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return text;
}

bool ParseUtcStamp(const std::string& text, std::time_t& t) {
    int y = 0;
    unsigned m = 0;
    unsigned d = 0;
    unsigned hh = 0;
    unsigned mm = 0;
    unsigned ss = 0;
    if (text.size() < 16 || text[8] != 'T' || text[15] != 'Z') return false;
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14})
        if (text[i] < '0' || text[i] > '9') return false;
    if (std::sscanf(text.c_str(), "%4d%2u%2uT%2u%2u%2u", &y, &m, &d, &hh, &mm, &ss) != 6)
        return false;
    if (m < 1 || m > 12 || d < 1 || d > 31 || hh > 23 || mm > 59 || ss > 60) return false;
    t = static_cast<std::time_t>(DaysFromCivil(y, m, d) * kSecondsPerDay + hh * 3600LL + mm * 60LL +
                                 ss);
    return true;
}
