#include "transport/CardData.h"

#include <algorithm>
#include <iterator>

namespace vanto::detail {
namespace {

constexpr CardMember kCardMembers[] = {
    {"DS_MERCHANT_PAN", CardField::number},        {"Ds_CardNumber", CardField::number},
    {"Ds_Card_Number", CardField::number},         {"DS_MERCHANT_CVV2", CardField::hidden},
    {"DS_MERCHANT_EXPIRYDATE", CardField::hidden}, {"Ds_ExpiryDate", CardField::hidden},
};

// The fewest digits a card number has. A shorter value is not a whole card number, and its last
// four digits would be most of it.
constexpr std::size_t kShortestCardNumber = 12;
// The most digits a card number has.
constexpr std::size_t kLongestCardNumber = 19;

constexpr char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowered(x) == lowered(y);
           });
}

// A quotation mark as it must be written to stand in a JSON text carried `level` times as a text:
// each level doubles the backslashes before it and adds one.
std::string quotationMark(unsigned level) {
    std::string mark((std::size_t{1} << level) - 1, '\\');
    mark.push_back('"');
    return mark;
}

}  // namespace

std::span<const CardMember> cardMembers() {
    return kCardMembers;
}

std::optional<CardField> cardMemberNamed(std::string_view name) {
    for (const auto& member : kCardMembers) {
        if (sameIgnoringCase(name, member.name)) {
            return member.field;
        }
    }
    return std::nullopt;
}

std::string maskedCardValue(std::string_view value, CardField field) {
    std::size_t visible = 0;
    if (field == CardField::number && value.size() >= kShortestCardNumber &&
        std::all_of(value.end() - 4, value.end(), isDigit)) {
        visible = 4;
    }
    std::string masked(value.size() - visible, '*');
    masked.append(value.substr(value.size() - visible));
    return masked;
}

std::string maskedAsJsonText(std::string_view value, CardField field, unsigned level) {
    const std::string mark = quotationMark(level);
    return mark + maskedCardValue(value, field) + mark;
}

platform::SecretText cardNumberDigits(std::string_view value) {
    platform::SecretText digits;
    digits.reserve(value.size());
    for (const char c : value) {
        if (isDigit(c)) {
            digits.append(std::string_view(&c, 1));
        }
    }
    return digits.size() >= kShortestCardNumber ? std::move(digits) : platform::SecretText();
}

std::vector<DigitRun> longDigitRuns(std::string_view text, Span within) {
    std::vector<DigitRun> runs;
    std::size_t at = within.begin;
    while (at < within.end) {
        if (!isDigit(text[at])) {
            ++at;
            continue;
        }
        DigitRun run{.span = {at, at}};
        while (at < within.end) {
            if (isDigit(text[at])) {
                ++run.digits;
                run.span.end = ++at;
            } else if ((text[at] == ' ' || text[at] == '-') && at + 1 < within.end &&
                       isDigit(text[at + 1])) {
                run.separated = true;
                ++at;
            } else {
                break;
            }
        }
        if (run.digits >= kShortestCardNumber) {
            runs.push_back(run);
        }
    }
    return runs;
}

std::string maskedDigitRun(std::string_view text, const DigitRun& run) {
    std::string masked(text.substr(run.span.begin, run.span.size()));
    // Separated groups may be a card number followed by its security code, so none of them stays.
    const std::size_t visible = !run.separated && run.digits <= kLongestCardNumber ? 4 : 0;
    std::replace_if(masked.begin(), masked.end() - static_cast<std::ptrdiff_t>(visible), isDigit,
                    '*');
    return masked;
}

}  // namespace vanto::detail
