#pragma once

// The properties of the masking of card data in what is printed, checked on any input and on
// texts made of it (by the masking's fuzzer, and by its test on the seeds and examples):
// - the input as a trace's body. JSON (after the form key of the requests): the masked text
//   still parses, every card member, also in JSON carried as a text (whole, or after a prefix),
//   holds a masked value (under a card form's name, one with the datum's digits), and no text
//   or number holds a card number of the input or one that
//   passes the Luhn check. Not JSON: no run of digits that could be a card number is left;
// - either way no escape is cut (a percent escape, a \u escape, a character reference);
// - the input echoed in a gateway's error text after a prefix: as JSON above;
// - the input as the Base64 payment result of a return address: what the traced address carries
//   decodes to the input masked as above;
// - pieces of the input (one a line) as the sandbox page's card form: the card fields with the
//   datum's digits show as masked, words as they are. (The accepted payment records print
//   masked under the answer_records fuzzer.)
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "MaskingSpellings.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/Trace.h"

namespace vanto::masking::oracle {

using nlohmann::json;

inline constexpr std::string_view kFormKey = "datoEntrada=";
// How many times JSON carried as a text is read inside JSON, as the masking does.
inline constexpr unsigned kDeepestNestedText = 8;
inline constexpr std::size_t kShortestCardNumber = 12;

enum class Field { none, number, hidden };

// A card member's field and, for a name that is also an ordinary word (the sandbox form's), the
// fewest digits its text or scalar value holds to be card data.
struct Member {
    Field field = Field::none;
    std::size_t fewestDigits = 0;
};

inline Member fieldNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, Member> kMembers[] = {
        {"ds_merchant_pan", {Field::number}},
        {"ds_cardnumber", {Field::number}},
        {"ds_card_number", {Field::number}},
        {"ds_merchant_cvv2", {Field::hidden}},
        {"ds_merchant_expirydate", {Field::hidden}},
        {"ds_expirydate", {Field::hidden}},
        {"numero", {Field::number, kShortestCardNumber}},
        {"caducidad", {Field::hidden, 3}},
        {"cvv", {Field::hidden, 3}},
    };
    const auto found = std::find_if(std::begin(kMembers), std::end(kMembers), [&](const auto& m) {
        return std::equal(
            name.begin(), name.end(), m.first.begin(), m.first.end(),
            [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a | 0x20 : a) == b; });
    });
    return found == std::end(kMembers) ? Member{} : found->second;
}

inline std::size_t digitCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), isDigit));
}

struct CardValue {
    Member member;
    bool isText;
    std::string text;
    // For an object or array: whether every text inside it, names included, is asterisks and
    // nothing else is.
    bool maskedWithin = false;
    bool container = false;
};

// What reading a document and the JSON carried in its texts found.
struct Reading {
    // The card members of documents read whole, and of documents found after a prefix.
    std::vector<CardValue> values;
    std::vector<CardValue> echoed;
    // Names, strings and numbers outside card values.
    std::vector<std::string> texts;
};

// Whether a masked text, once decoded, shows no letter, digit or character outside ASCII, but
// for the last four digits of a masked card number.
inline bool showsNothing(std::string_view value, bool cardNumber) {
    std::string shown = readersView(std::string(value));
    const std::size_t digits = shown.find_last_not_of("0123456789");
    if (cardNumber && shown.size() >= 5 && digits == shown.size() - 5 && shown[digits] == '*') {
        shown.resize(digits);
    }
    return std::none_of(shown.begin(), shown.end(), [](char c) {
        const char lower = static_cast<char>(c | 0x20);
        return isDigit(c) || (lower >= 'a' && lower <= 'z') ||
               static_cast<unsigned char>(c) >= 0x80;
    });
}

inline bool read(std::string_view text, unsigned level, bool echoed, Reading& into,
                 bool* syntaxError = nullptr);

// Reads the JSON a text may carry: the whole text, or the document at its first bracket.
inline void readCarried(const std::string& text, unsigned level, bool echoed, Reading& into) {
    const std::size_t first = text.find_first_not_of(" \t\n\r");
    if (first == std::string::npos || level >= kDeepestNestedText) {
        return;
    }
    const bool whole = text[first] == '{' || text[first] == '[' || text[first] == '"';
    Reading nested;
    if (whole && read(text, level + 1, echoed, nested)) {
        into.values.insert(into.values.end(), nested.values.begin(), nested.values.end());
    } else if (const std::size_t bracket = text.find_first_of("{["); bracket != std::string::npos) {
        nested = {};
        if (!read(std::string_view(text).substr(bracket), level + 1, true, nested)) {
            return;
        }
        into.echoed.insert(into.echoed.end(), nested.values.begin(), nested.values.end());
    } else {
        return;
    }
    into.echoed.insert(into.echoed.end(), nested.echoed.begin(), nested.echoed.end());
    into.texts.insert(into.texts.end(), nested.texts.begin(), nested.texts.end());
}

// Collects the values of the card members of one document, every member counted (a name given
// twice too), its texts, and what the JSON carried in its texts holds.
class CardValueCollector : public nlohmann::json_sax<json> {
  public:
    CardValueCollector(unsigned level, bool echoed, Reading& into)
        : level_(level), echoed_(echoed), into_(into) {}

    bool null() override { return scalar(""); }
    bool boolean(bool) override { return scalar(""); }
    bool number_integer(number_integer_t value) override { return scalar(std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return scalar(std::to_string(value)); }
    bool number_float(number_float_t, const string_t& raw) override { return scalar(raw); }
    bool binary(binary_t&) override { return scalar(""); }
    bool string(string_t& text) override {
        if (skipping_ > 0) {
            return inside(text);
        }
        if (pending_.field != Field::none) {
            found({pending_, true, text});
            pending_ = {};
        } else {
            into_.texts.push_back(text);
            readCarried(text, level_, echoed_, into_);
        }
        return true;
    }
    bool key(string_t& name) override {
        if (skipping_ > 0) {
            inside(name);
        } else {
            pending_ = fieldNamed(name);
            if (pending_.field == Field::none) {
                into_.texts.push_back(name);
            }
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
    void found(CardValue value) {
        (echoed_ ? into_.echoed : into_.values).push_back(std::move(value));
    }
    // What an object or array that is a card member's value holds.
    bool inside(std::string_view text) {
        maskedWithin_ = maskedWithin_ && showsNothing(text, false);
        return true;
    }
    bool scalar(std::string text) {
        if (skipping_ > 0) {
            maskedWithin_ = false;
        } else if (pending_.field != Field::none) {
            found({pending_, false, std::move(text)});
            pending_ = {};
        } else if (!text.empty()) {
            into_.texts.push_back(std::move(text));
        }
        return true;
    }
    bool open() {
        if (skipping_ > 0) {
            ++skipping_;
        } else if (pending_.field != Field::none) {
            containerField_ = pending_;
            pending_ = {};
            maskedWithin_ = true;
            skipping_ = 1;
        }
        return true;
    }
    bool close() {
        if (skipping_ > 0 && --skipping_ == 0) {
            found({containerField_, false, "", maskedWithin_, true});
        }
        return true;
    }

    unsigned level_;
    bool echoed_;
    Reading& into_;
    Member pending_;
    // Open containers inside a card member's value.
    int skipping_ = 0;
    Member containerField_;
    bool maskedWithin_ = false;
};

// Reads `text` as one document (a document after a prefix may be followed by anything).
inline bool read(std::string_view text, unsigned level, bool echoed, Reading& into,
                 bool* syntaxError) {
    CardValueCollector collector(level, echoed, into);
    if (!json::sax_parse(text, &collector, json::input_format_t::json, !echoed)) {
        if (syntaxError != nullptr) {
            *syntaxError = collector.syntaxError;
        }
        return false;
    }
    return true;
}

// Asterisks, with the separators of a card number written in groups kept, and for a card number
// perhaps its last four digits.
inline bool isMasked(Field field, std::string_view text) {
    const std::size_t shown = text.find_first_not_of("* -+");
    if (shown == std::string_view::npos) {
        return true;
    }
    const std::string_view rest = text.substr(shown);
    return field == Field::number && shown > 0 && text[shown - 1] == '*' && rest.size() == 4 &&
           std::all_of(rest.begin(), rest.end(), isDigit);
}

// A masked text; for a request echoed in a text, where the masking keeps the brackets of an
// object or array it cannot read as JSON, also one whose contents are all masked. A text or
// scalar under an ordinary word without the digits of card data is no card data.
inline bool isMasked(const CardValue& value, bool echoed) {
    if (!value.container && digitCount(value.text) < value.member.fewestDigits) {
        return true;
    }
    return value.isText ? isMasked(value.member.field, value.text) : echoed && value.maskedWithin;
}

// The runs of digits of `text`, single spaces, dashes or plus signs allowed between digits, each
// as its groups of digits.
inline std::vector<std::vector<std::string>> digitRuns(std::string_view text) {
    std::vector<std::vector<std::string>> runs;
    std::vector<std::string> run;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        const char c = at < text.size() ? text[at] : '\0';
        if (isDigit(c)) {
            if (run.empty()) {
                run.emplace_back();
            }
            run.back() += c;
        } else if ((c == ' ' || c == '-' || c == '+') && !run.empty() && at + 1 < text.size() &&
                   isDigit(text[at + 1])) {
            run.emplace_back();
        } else if (!run.empty()) {
            runs.push_back(std::move(run));
            run.clear();
        }
    }
    return runs;
}

// Whether consecutive groups of `run` hold 13 to 19 digits that pass the Luhn check.
inline bool holdsLuhnNumber(const std::vector<std::string>& run) {
    for (std::size_t first = 0; first < run.size(); ++first) {
        std::string digits;
        for (std::size_t last = first; last < run.size() && digits.size() <= 19; ++last) {
            digits += run[last];
            if (digits.size() >= 13 && digits.size() <= 19 && passesLuhn(digits)) {
                return true;
            }
        }
    }
    return false;
}

// No text shows a card number found in a card member, nor one by the Luhn check.
inline void checkTexts(const Reading& before, const Reading& after) {
    std::vector<std::string> cardNumbers;
    for (const auto* values : {&before.values, &before.echoed}) {
        for (const CardValue& value : *values) {
            std::string digits;
            std::copy_if(value.text.begin(), value.text.end(), std::back_inserter(digits), isDigit);
            if (value.member.field == Field::number && digits.size() >= kShortestCardNumber) {
                cardNumbers.push_back(digits);
            }
        }
    }
    for (const std::string& text : after.texts) {
        for (const auto& run : digitRuns(text)) {
            std::string digits;
            for (const auto& group : run) {
                digits += group;
            }
            FUZZ_CHECK(!holdsLuhnNumber(run));
            for (const std::string& card : cardNumbers) {
                FUZZ_CHECK(digits.find(card) == std::string::npos);
            }
        }
    }
}

inline std::string_view withoutFormKey(std::string_view text) {
    return text.starts_with(kFormKey) ? text.substr(kFormKey.size()) : text;
}

// The most digits in a run where single spaces or dashes may stand between digits.
inline std::size_t longestDigitRun(std::string_view text) {
    std::size_t longest = 0;
    for (const auto& run : digitRuns(text)) {
        std::size_t digits = 0;
        for (const auto& group : run) {
            digits += group.size();
        }
        longest = std::max(longest, digits);
    }
    return longest;
}

// The properties of a trace's body: `output` is what the masking made of `input`.
inline void checkMasking(std::string_view input, std::string_view output) {
    FUZZ_CHECK(brokenEscapes(output) <= brokenEscapes(input));
    // The parser here takes a zero byte for the end of the text: such input is checked as text
    // that does not parse.
    const bool hasZeroByte = input.find('\0') != std::string_view::npos;
    bool syntaxError = hasZeroByte;
    Reading before;
    if (hasZeroByte || !read(withoutFormKey(input), 0, false, before, &syntaxError)) {
        // (Traces mask only UTF-8 text; the masking reads JSON without checking its UTF-8.)
        if (syntaxError && vanto::isValidUtf8(input)) {
            FUZZ_CHECK(longestDigitRun(output) < kShortestCardNumber);
        }
        return;
    }
    Reading after;
    FUZZ_CHECK(read(withoutFormKey(output), 0, false, after));
    // A value that made a carried text unreadable may be masked away, so more members may read.
    FUZZ_CHECK(after.values.size() >= before.values.size());
    for (const auto* values : {&after.values, &after.echoed}) {
        const bool echoed = values == &after.echoed;
        FUZZ_CHECK(std::all_of(values->begin(), values->end(), [echoed](const CardValue& value) {
            return isMasked(value, echoed);
        }));
    }
    checkTexts(before, after);
}

inline std::string jsonText(std::string_view text) {
    return json(std::string(text)).dump();
}

// The input as a gateway's error text that quotes it after a prefix.
inline void checkEcho(std::string_view input) {
    const std::string echo =
        "{\"code\":400,\"desc\":" + jsonText("Bad request: " + std::string(input)) + "}";
    checkMasking(echo, vanto::maskCardData(echo));
}

// The input as the payment result of a return address, in one of its spellings.
inline void checkReturnAddress(std::string_view input) {
    const std::string traced = vanto::maskCardData(std::string(kReturnAddress) +
                                                   resultSpelling(input, input.size()) + "&x=1");
    FUZZ_CHECK(traced.starts_with(kReturnAddress) && traced.ends_with("&x=1"));
    const std::string shown = base64Bytes(readersView(
        traced.substr(kReturnAddress.size(), traced.size() - kReturnAddress.size() - 4)));
    checkMasking(input, shown);
}

// The pieces as the sandbox page's card form, its other field first.
inline void checkCardForm(const std::vector<std::string_view>& pieces) {
    static constexpr std::string_view kFields[] = {"pagina", "numero", "caducidad", "cvv"};
    std::string form;
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        form += (i > 0 ? "&" : "") + std::string(kFields[i]) + "=" +
                formEncoded((i + 3) % 4 < pieces.size() ? pieces[(i + 3) % 4] : "");
    }
    const std::string masked = vanto::maskCardData(form);
    // Words stay words.
    const auto isWord = [](std::string_view piece) {
        return std::all_of(piece.begin(), piece.end(),
                           [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
    };
    FUZZ_CHECK(!std::all_of(pieces.begin(), pieces.end(), isWord) || masked == form);
    // Every field after the first holds card data when its value has the datum's digits. A card
    // value that runs on (a string left open, say) masks the fields after it too, names and "&"
    // included.
    const auto fields = vanto::fuzz::split(masked, '&');
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const std::size_t equals = fields[i].find('=');
        const std::string_view name = fields[i].substr(0, equals);
        const auto field = std::find(std::begin(kFields) + 1, std::end(kFields), name);
        const bool named = equals != std::string_view::npos && field != std::end(kFields);
        const auto piece = static_cast<std::size_t>(field - std::begin(kFields) - 1);
        const bool card = !named || (piece < pieces.size() &&
                                     digitCount(readersView(formEncoded(pieces[piece]))) >=
                                         fieldNamed(name).fewestDigits);
        FUZZ_CHECK(!card ||
                   showsNothing(fields[i].substr(named ? equals + 1 : 0), name == "numero"));
    }
}

}  // namespace vanto::masking::oracle

namespace vanto::masking {

/// Checks every property above on `input`; a property that does not hold goes to
/// `fuzz::propertyFailed`.
inline void checkTraceMasking(std::string_view input) {
    using namespace oracle;
    checkMasking(input, vanto::maskCardData(input));

    const bool text = vanto::isValidUtf8(input) && input.find('\0') == std::string_view::npos;
    if (text) {
        checkEcho(input);
    }
    // A result that reads as JSON is the card data of its Base64.
    if (text && (input.starts_with('{') || input.starts_with('['))) {
        checkReturnAddress(input);
    }
    if (vanto::isValidUtf8(input)) {
        checkCardForm(vanto::fuzz::split(input, '\n'));
    }
}

}  // namespace vanto::masking
