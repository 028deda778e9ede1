#include "journal/Timestamp.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace vanto::journal {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::system_clock;

std::string timestamp(system_clock::time_point at) {
    const auto sinceEpoch = duration_cast<milliseconds>(at.time_since_epoch()).count();
    // Before 1970 the division rounds towards zero: the milliseconds stay within 0 to 999.
    const auto millis = (sinceEpoch % 1000 + 1000) % 1000;
    const std::time_t seconds = static_cast<std::time_t>((sinceEpoch - millis) / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

system_clock::time_point parseTimestamp(std::string_view text) {
    std::tm utc{};
    int millis = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &millis) != 7) {
        return system_clock::time_point();
    }
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    // The clock counts nanoseconds in 64 bits, from 1677 to 2262: a moment outside (written by
    // hand into the file) is the nearest one it holds, never an overflow.
    using std::chrono::seconds;
    constexpr auto kLatest = duration_cast<seconds>(system_clock::duration::max()).count() - 1;
    constexpr auto kEarliest = duration_cast<seconds>(system_clock::duration::min()).count() + 1;
    const auto since = static_cast<std::int64_t>(timegm(&utc));
    if (since > kLatest) {
        return system_clock::time_point::max();
    }
    if (since < kEarliest) {
        return system_clock::time_point::min();
    }
    return system_clock::from_time_t(static_cast<std::time_t>(since)) + milliseconds(millis);
}

}  // namespace vanto::journal
