#include "journal/Timestamp.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace vanto::journal {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::system_clock;

std::string timestamp(system_clock::time_point at) {
    const auto sinceEpoch = duration_cast<milliseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(sinceEpoch % 1000));
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
    return system_clock::from_time_t(timegm(&utc)) + milliseconds(millis);
}

}  // namespace vanto::journal
