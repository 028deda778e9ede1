// The masking of card data in traces. For input that parses as JSON (after the form key of the
// requests): the masked text still parses, and every card member, also in JSON carried as a
// text member, holds a masked value. For input that does not parse: no run of digits that could
// be a card number is left.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/Trace.h"

namespace {

using nlohmann::json;

constexpr std::string_view kFormKey = "datoEntrada=";
// How many times JSON carried as a text is read inside JSON, as the masking does.
constexpr unsigned kDeepestNestedText = 8;

enum class Field { none, number, hidden };

Field fieldNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, Field> kMembers[] = {
        {"ds_merchant_pan", Field::number},        {"ds_cardnumber", Field::number},
        {"ds_card_number", Field::number},         {"ds_merchant_cvv2", Field::hidden},
        {"ds_merchant_expirydate", Field::hidden}, {"ds_expirydate", Field::hidden},
    };
    std::string lower(name);
    for (char& c : lower) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (const auto& [member, field] : kMembers) {
        if (lower == member) {
            return field;
        }
    }
    return Field::none;
}

struct CardValue {
    Field field;
    bool isText;
    std::string text;
};

bool holdsJson(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\n\r");
    return first != std::string_view::npos &&
           (text[first] == '{' || text[first] == '[' || text[first] == '"');
}

std::optional<std::vector<CardValue>> cardValues(std::string_view text, unsigned level,
                                                 bool* syntaxError = nullptr);

// Collects the values of the card members of one document, every member counted (a name given
// twice too), and those of the JSON texts carried in its other texts.
class CardValueCollector : public nlohmann::json_sax<json> {
  public:
    explicit CardValueCollector(unsigned level) : level_(level) {}

    std::vector<CardValue> values;

    bool null() override { return scalar(); }
    bool boolean(bool) override { return scalar(); }
    bool number_integer(number_integer_t) override { return scalar(); }
    bool number_unsigned(number_unsigned_t) override { return scalar(); }
    bool number_float(number_float_t, const string_t&) override { return scalar(); }
    bool binary(binary_t&) override { return scalar(); }
    bool string(string_t& text) override {
        if (skipping_ > 0) {
            return true;
        }
        if (pending_ != Field::none) {
            values.push_back({pending_, true, text});
            pending_ = Field::none;
        } else if (level_ < kDeepestNestedText && holdsJson(text)) {
            if (auto nested = cardValues(text, level_ + 1)) {
                values.insert(values.end(), nested->begin(), nested->end());
            }
        }
        return true;
    }
    bool key(string_t& name) override {
        if (skipping_ == 0) {
            pending_ = fieldNamed(name);
        }
        return true;
    }
    bool start_object(std::size_t) override { return open(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& error) override {
        // A number too large for a double is refused here too, though its syntax is JSON's.
        syntaxError = error.id < 400;
        return false;
    }

    bool syntaxError = false;

  private:
    bool scalar() {
        if (skipping_ == 0 && pending_ != Field::none) {
            values.push_back({pending_, false, ""});
            pending_ = Field::none;
        }
        return true;
    }
    bool open() {
        if (skipping_ > 0) {
            ++skipping_;
        } else if (pending_ != Field::none) {
            values.push_back({pending_, false, ""});
            pending_ = Field::none;
            skipping_ = 1;
        }
        return true;
    }
    bool close() {
        if (skipping_ > 0) {
            --skipping_;
        }
        return true;
    }

    unsigned level_;
    Field pending_ = Field::none;
    // Open containers inside a card member's value.
    int skipping_ = 0;
};

std::optional<std::vector<CardValue>> cardValues(std::string_view text, unsigned level,
                                                 bool* syntaxError) {
    CardValueCollector collector(level);
    if (!json::sax_parse(text, &collector)) {
        if (syntaxError != nullptr) {
            *syntaxError = collector.syntaxError;
        }
        return std::nullopt;
    }
    return collector.values;
}

bool isMasked(const CardValue& value) {
    if (!value.isText) {
        return false;
    }
    const std::size_t stars = value.text.find_first_not_of('*');
    if (stars == std::string::npos) {
        return true;
    }
    const std::string_view rest = std::string_view(value.text).substr(stars);
    return value.field == Field::number && rest.size() == 4 &&
           rest.find_first_not_of("0123456789") == std::string_view::npos;
}

// The most digits in a run where single spaces or dashes may stand between digits.
std::size_t longestDigitRun(std::string_view text) {
    std::size_t longest = 0;
    std::size_t digits = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            longest = std::max(longest, ++digits);
        } else if (!((c == ' ' || c == '-') && digits > 0 && at + 1 < text.size() &&
                     text[at + 1] >= '0' && text[at + 1] <= '9')) {
            digits = 0;
        }
    }
    return longest;
}

std::string_view withoutFormKey(std::string_view text) {
    return text.starts_with(kFormKey) ? text.substr(kFormKey.size()) : text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = vanto::fuzz::textOf(data, size);
    const std::string output = vanto::maskCardData(input);

    // The parser here takes a zero byte for the end of the text: such input is checked as text
    // that does not parse.
    const bool hasZeroByte = input.find('\0') != std::string_view::npos;
    bool syntaxError = hasZeroByte;
    const auto before =
        hasZeroByte ? std::nullopt : cardValues(withoutFormKey(input), 0, &syntaxError);
    if (!before) {
        // (Traces mask only UTF-8 text. A lone surrogate escape, which this parser refuses, is
        // still read as JSON by the masking.)
        if (syntaxError && vanto::isValidUtf8(input) &&
            input.find("\\u") == std::string_view::npos) {
            FUZZ_CHECK(longestDigitRun(output) < 12);
        }
        return 0;
    }
    const auto after = cardValues(withoutFormKey(output), 0);
    FUZZ_CHECK(after.has_value());
    // A value that made a carried text unreadable may be masked away, so more members may read.
    FUZZ_CHECK(after->size() >= before->size());
    for (const CardValue& value : *after) {
        FUZZ_CHECK(isMasked(value));
    }
    return 0;
}
