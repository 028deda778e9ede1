#include "vanto/text/CardText.h"

#include <charconv>
#include <cstdint>
#include <ctime>
#include <system_error>

#include "text/RemoveAll.h"
#include "vanto/text/Utf8.h"

namespace vanto {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int digitValue(char c) {
    return c - '0';
}

/// Today's date in the local calendar; the UTC date when the local time cannot be determined.
std::chrono::year_month_day localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now != static_cast<std::time_t>(-1) && localtime_r(&now, &local) != nullptr) {
        return std::chrono::year_month_day{
            std::chrono::year{local.tm_year + 1900},
            std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
            std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    }
    return std::chrono::year_month_day{
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
}

std::string twoDigits(int value) {
    const int n = ((value % 100) + 100) % 100;
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

/// The four-digit year for a two-digit year read on `today`. The window starts 80 years before
/// today: the year takes the start's century, or the next one when it would fall before the
/// start. In the start year itself, a month that has already begun by today's month and day
/// (the text names no day, so it reads as the first, at midnight) lies before the window's
/// start and moves to the next century too.
int yearInWindow(int twoDigitYear, int month, int todayYear, int todayMonth) {
    const int startYear = todayYear - 80;
    const int startCentury = startYear - (((startYear % 100) + 100) % 100);
    int year = startCentury + twoDigitYear;
    if (year < startYear || (year == startYear && month <= todayMonth)) {
        year += 100;
    }
    return year;
}

void replaceAll(std::string& text, char from, char to) {
    for (char& c : text) {
        if (c == from) {
            c = to;
        }
    }
}

}  // namespace

bool lunhsTest(std::string_view text) {
    std::uint64_t sum = 0;
    std::size_t position = 0;
    for (auto it = text.rbegin(); it != text.rend(); ++it, ++position) {
        if (!isDigit(*it)) {
            return false;
        }
        const int digit = digitValue(*it);
        if (position % 2 == 0) {
            sum += static_cast<std::uint64_t>(digit);
        } else {
            // The doubled digit with its two decimal digits added: 2d - 9 above 9, i.e. 2d mod 9.
            sum += static_cast<std::uint64_t>(digit == 9 ? 9 : (2 * digit) % 9);
        }
    }
    return sum > 0 && sum % 10 == 0;
}

bool expireDateIsCorrect(std::string_view text) {
    return expireDateIsCorrect(text, localToday());
}

bool expireDateIsCorrect(std::string_view text, std::chrono::year_month_day today) {
    if (!today.ok() || text.size() != 5 || text[2] != '/' || !isDigit(text[0]) ||
        !isDigit(text[1]) || !isDigit(text[3]) || !isDigit(text[4])) {
        return false;
    }
    const int month = digitValue(text[0]) * 10 + digitValue(text[1]);
    if (month < 1 || month > 12) {
        return false;
    }
    const int todayYear = static_cast<int>(today.year());
    const int todayMonth = static_cast<int>(static_cast<unsigned>(today.month()));
    const int year =
        yearInWindow(digitValue(text[3]) * 10 + digitValue(text[4]), month, todayYear, todayMonth);
    if (month >= todayMonth) {
        return year >= todayYear;
    }
    return year > todayYear;
}

namespace {

// Appends `cleaned` to `out` with `with` before each group of `groupSize` characters but the
// first; `out` has room for it all, so that no partial copy is left behind in a freed block.
template <typename Out>
void appendGrouped(Out& out, std::string_view cleaned, std::size_t groupSize,
                   std::string_view with) {
    out.reserve(cleaned.size() + (cleaned.size() / groupSize + 1) * with.size());
    std::size_t position = 0;
    for (std::size_t offset = 0; offset < cleaned.size(); ++position) {
        // No separator before the first character: it would only be dropped again.
        if (position > 0 && position % groupSize == 0) {
            out.append(with);
        }
        const std::size_t length = utf8CharacterLength(cleaned, offset);
        out.append(cleaned.substr(offset, length));
        offset += length;
    }
}

template <typename Out>
Out grouped(std::string_view text, int every, std::string_view with) {
    Out out;
    if (every < 1) {
        out.append(text);
        return out;
    }
    platform::SecretText cleaned;
    cleaned.reserve(text.size());
    detail::appendWithout(cleaned, text, with);
    appendGrouped(out, cleaned.view(), static_cast<std::size_t>(every), with);
    return out;
}

}  // namespace

std::string grouping(std::string_view text, int every, std::string_view with) {
    return grouped<std::string>(text, every, with);
}

platform::SecretText grouping(const platform::SecretText& text, int every, std::string_view with) {
    return grouped<platform::SecretText>(text.view(), every, with);
}

std::optional<float> formatToFloat(std::string_view text) {
    std::string normalized;
    if (text.find('.') != std::string_view::npos && text.find(',') != std::string_view::npos) {
        normalized = detail::removeAll(text, ".");
    } else {
        normalized = std::string{text};
    }
    replaceAll(normalized, ',', '.');

    const char* first = normalized.data();
    const char* const last = normalized.data() + normalized.size();
    // from_chars takes a minus sign only; a plus sign is accepted here when a number follows it.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '+' || *first == '-')) {
            return std::nullopt;
        }
    }
    if (first == last) {
        return std::nullopt;
    }
    float value = 0.0f;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc{} || end != last) {
        return std::nullopt;
    }
    return value;
}

std::string getCurrentMonth() {
    return twoDigits(static_cast<int>(static_cast<unsigned>(localToday().month())));
}

std::string getCurrentYeah() {
    return twoDigits(static_cast<int>(localToday().year()));
}

}  // namespace vanto
