#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace vanto::journal {

// A moment as the journal writes it: UTC to the millisecond, "2026-12-07T14:38:22.123Z", which
// sorts as it reads.
std::string timestamp(std::chrono::system_clock::time_point at);

// The moment `text` names; the epoch for a text that is not one.
std::chrono::system_clock::time_point parseTimestamp(std::string_view text);

}  // namespace vanto::journal
