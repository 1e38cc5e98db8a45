#include "feeds/http_date.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace marl::feeds {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string HttpDate(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday % 7], tm.tm_mday,
                  kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::optional<std::chrono::system_clock::time_point> ParseHttpDate(const std::string& text) {
    char day[4] = {}, month[4] = {}, zone[4] = {};
    std::tm tm{};
    int year = 0;
    if (std::sscanf(text.c_str(), "%3[A-Za-z], %d %3s %d %d:%d:%d %3s", day, &tm.tm_mday, month, &year,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, zone) != 8 ||
        std::strcmp(zone, "GMT") != 0) {
        return std::nullopt;
    }
    int month_index = -1;
    for (int m = 0; m < 12; ++m) {
        if (std::strcmp(month, kMonths[m]) == 0) month_index = m;
    }
    if (month_index < 0 || year < 1970 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 60) {
        return std::nullopt;
    }
    tm.tm_mon = month_index;
    tm.tm_year = year - 1900;
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

}  // namespace marl::feeds
