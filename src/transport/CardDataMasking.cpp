// Masking of card data in every text a trace, a record or a log prints: one lenient scanner.
//
// The text is read in layers. Each layer undoes one level of escaping of the one before (JSON
// backslash escapes, percent escapes, HTML character references) and folds Unicode decimal digits
// to ASCII and Unicode spaces and dashes to separators; every byte of a layer keeps the span of
// the original text it came from. Every layer is searched for card numbers by the Luhn check and
// for the values after card members' names in any notation; what is found is masked in the
// original text, a whole character of the last layer at a time, so an escape is never cut.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "vanto/platform/SecretText.h"
#include "vanto/text/Base64.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

using platform::SecretText;

// Escapes applied more times than this are not undone: a text escaped more deeply is unusual,
// and each layer costs one pass over the text.
constexpr int kDeepestLayer = 8;
// Payment results carried inside payment results more deeply than this are masked whole.
constexpr int kDeepestResult = 4;
constexpr std::size_t kShortestCardNumber = 12;
constexpr std::size_t kShortestLuhnNumber = 13;
constexpr std::size_t kLongestCardNumber = 19;
// How far a look around a name may reach: a tag, an object of a name/value pair, a part's header.
constexpr std::size_t kNearby = 512;
// How many distinct card numbers found after names are looked for in the runs of digits.
constexpr std::size_t kMostCardNumbers = 32;
// How much of a value is read to tell whether it has the shape of card data.
constexpr std::size_t kLongestShapedValue = 64;
// How much of a multipart part's body is masked when its field is a card field.
constexpr std::size_t kLongestPartBody = 4096;

enum class Field { number, hidden, result };
// Which values of a name are card data: any, or only those shaped as card data, for the names
// that are ordinary words too.
enum class Shape { any, cardNumber, securityCode, expiry };

struct CardMember {
    std::string_view name;
    Field field;
    Shape shape;
};

// The members that carry card data in the gateway's messages and answers, the fields of the
// sandbox page's card form, and the payment result of a return address.
constexpr CardMember kCardMembers[] = {
    {"DS_MERCHANT_PAN", Field::number, Shape::any},
    {"Ds_CardNumber", Field::number, Shape::any},
    {"Ds_Card_Number", Field::number, Shape::any},
    {"DS_MERCHANT_CVV2", Field::hidden, Shape::any},
    {"DS_MERCHANT_EXPIRYDATE", Field::hidden, Shape::any},
    {"Ds_ExpiryDate", Field::hidden, Shape::any},
    {"Ds_MerchantParameters", Field::result, Shape::any},
    {"numero", Field::number, Shape::cardNumber},
    {"pan", Field::number, Shape::cardNumber},
    {"cvv", Field::hidden, Shape::securityCode},
    {"caducidad", Field::hidden, Shape::expiry},
};

// The zero of every block of Unicode decimal digits (general category Nd); each block holds the
// ten digits in order.
constexpr std::uint32_t kDigitZeros[] = {
    0x660,   0x6F0,   0x7C0,   0x966,   0x9E6,   0xA66,   0xAE6,   0xB66,   0xBE6,   0xC66,
    0xCE6,   0xD66,   0xDE6,   0xE50,   0xED0,   0xF20,   0x1040,  0x1090,  0x17E0,  0x1810,
    0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,
    0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0,
    0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950,
    0x11C50, 0x11D50, 0x11DA0, 0x11F50, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2,
    0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E4F0, 0x1E950, 0x1FBF0};

// Unicode spaces, zero-width characters and dashes, read as a space or a hyphen between digits.
constexpr std::pair<std::uint32_t, std::uint32_t> kSpaces[] = {
    {0xA0, 0xA0},     {0xAD, 0xAD},     {0x1680, 0x1680}, {0x180E, 0x180E}, {0x2000, 0x200D},
    {0x2028, 0x202F}, {0x205F, 0x2060}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF}};
constexpr std::pair<std::uint32_t, std::uint32_t> kDashes[] = {
    {0x2010, 0x2015}, {0x2212, 0x2212}, {0xFE58, 0xFE58}, {0xFE63, 0xFE63}, {0xFF0D, 0xFF0D}};

constexpr char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isNameCharacter(char c) {
    const char lower = lowered(c);
    return (lower >= 'a' && lower <= 'z') || isDigit(c) || c == '_';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\b';
}
// What may stand between the groups of a card number.
bool isSeparator(char c) {
    return isBlank(c) || c == '.' || c == '/' || c == '-' || c == '+';
}
int hexValue(char c) {
    const char lower = lowered(c);
    return isDigit(c) ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}
bool startsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - std::min(at, text.size()) < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lowered(text[at + i]) != lowered(word[i])) {
            return false;
        }
    }
    return true;
}

// A text as read at one layer: its bytes and, for each, the span of the original text it was
// decoded from. The bytes of one character (an escape, a character of several bytes) share it.
struct Layer {
    SecretText text;
    std::vector<std::uint32_t> begins;
    std::vector<std::uint32_t> ends;

    std::string_view view() const { return text.view(); }
};

// A character of a layer as it reads in the next: the code point and the bytes it takes.
struct Decoded {
    std::uint32_t code = 0;
    std::size_t length = 1;
};

// The code point of a JSON escape at `at` (which holds a backslash), or none.
std::optional<Decoded> jsonEscape(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size()) {
        return std::nullopt;
    }
    constexpr std::string_view kEscapes = "\"\"\\\\//b\bf\fn\nr\rt\t";
    const std::size_t plain = kEscapes.find(text[at + 1]);
    if (plain != std::string_view::npos && plain % 2 == 0) {
        return Decoded{static_cast<unsigned char>(kEscapes[plain + 1]), 2};
    }
    const auto hex4 = [&](std::size_t from) -> int {
        int value = 0;
        for (std::size_t i = from; i < from + 4; ++i) {
            if (i >= text.size() || hexValue(text[i]) < 0) {
                return -1;
            }
            value = value * 16 + hexValue(text[i]);
        }
        return value;
    };
    const int code = text[at + 1] == 'u' ? hex4(at + 2) : -1;
    if (code < 0) {
        return std::nullopt;
    }
    if (code >= 0xD800 && code < 0xDC00 && at + 8 <= text.size() &&
        text.substr(at + 6, 2) == "\\u") {
        const int low = hex4(at + 8);
        if (low >= 0xDC00 && low < 0xE000) {
            return Decoded{0x10000 + ((static_cast<std::uint32_t>(code) - 0xD800) << 10) +
                               (static_cast<std::uint32_t>(low) - 0xDC00),
                           12};
        }
    }
    return Decoded{code >= 0xD800 && code < 0xE000 ? 0xFFFD : static_cast<std::uint32_t>(code), 6};
}

// An HTML character reference at `at` (which holds "&"), with or without its final ";".
std::optional<Decoded> characterReference(std::string_view text, std::size_t at) {
    std::size_t next = at + 1;
    std::uint32_t code = 0;
    if (next < text.size() && text[next] == '#') {
        const bool hex = next + 1 < text.size() && lowered(text[next + 1]) == 'x';
        const int base = hex ? 16 : 10;
        next += hex ? 2 : 1;
        const std::size_t first = next;
        int digit = 0;
        // However many digits: a reader takes them all into one reference.
        for (; next < text.size() && (digit = hexValue(text[next])) >= 0 && digit < base; ++next) {
            code = std::min<std::uint32_t>(
                code * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit),
                0x110000);
        }
        if (next == first) {
            return std::nullopt;
        }
        code = code >= 0x110000 || (code >= 0xD800 && code < 0xE000) ? 0xFFFD : code;
    } else {
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"quot", '"'}, {"apos", '\''}, {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"nbsp", ' '}};
        const auto named = std::find_if(std::begin(kNamed), std::end(kNamed), [&](const auto& n) {
            return startsWithIgnoringCase(text, next, n.first);
        });
        if (named == std::end(kNamed)) {
            return std::nullopt;
        }
        code = static_cast<unsigned char>(named->second);
        next += named->first.size();
    }
    next += next < text.size() && text[next] == ';' ? 1 : 0;
    return Decoded{code, next - at};
}

// A character of several bytes in UTF-8 at `at`, or none.
std::optional<Decoded> utf8Character(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size()) {
        return std::nullopt;
    }
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        code = code << 6 | (next & 0x3F);
    }
    return Decoded{code, length};
}

// A Unicode digit as its ASCII digit, a Unicode space or dash as a separator; else '\0'.
char folded(std::uint32_t code) {
    if (code >= 0x80) {
        for (const std::uint32_t zero : kDigitZeros) {
            if (code >= zero && code < zero + 10) {
                return static_cast<char>('0' + (code - zero));
            }
        }
        const auto within = [code](const auto& range) {
            return code >= range.first && code <= range.second;
        };
        if (std::any_of(std::begin(kSpaces), std::end(kSpaces), within)) {
            return ' ';
        }
        if (std::any_of(std::begin(kDashes), std::end(kDashes), within)) {
            return '-';
        }
    }
    return '\0';
}

void appendUtf8(std::uint32_t code, SecretText& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
        return;
    }
    const std::size_t length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    out.push_back(static_cast<char>((0xF00 >> length) | (code >> (6 * (length - 1)))));
    for (std::size_t i = length - 1; i > 0; --i) {
        out.push_back(static_cast<char>(0x80 | ((code >> (6 * (i - 1))) & 0x3F)));
    }
}

// The next layer of `layer`: one level of escapes undone, characters folded. A layer is never
// longer than the one it is read from.
Layer nextLayer(const Layer& layer) {
    const std::string_view text = layer.view();
    Layer next;
    next.text.reserve(text.size());
    next.begins.reserve(text.size());
    next.ends.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::optional<Decoded> decoded;
        const char c = text[at];
        if (c == '\\') {
            decoded = jsonEscape(text, at);
        } else if (c == '%' && at + 2 < text.size() && hexValue(text[at + 1]) >= 0 &&
                   hexValue(text[at + 2]) >= 0) {
            decoded = Decoded{
                static_cast<std::uint32_t>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2])),
                3};
        } else if (c == '&') {
            decoded = characterReference(text, at);
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            decoded = utf8Character(text, at);
        }
        const std::size_t length = decoded ? decoded->length : 1;
        // A percent escape stands for one byte, which may be part of a character of several.
        if (decoded && c == '%') {
            next.text.push_back(static_cast<char>(decoded->code));
        } else if (decoded) {
            const char ascii = folded(decoded->code);
            ascii != '\0' ? next.text.push_back(ascii) : appendUtf8(decoded->code, next.text);
        } else {
            next.text.push_back(c);
        }
        const std::uint32_t begin = layer.begins[at];
        const std::uint32_t end = layer.ends[at + length - 1];
        while (next.begins.size() < next.text.size()) {
            next.begins.push_back(begin);
            next.ends.push_back(end);
        }
        at += length;
    }
    return next;
}

// What replaces one character of the original text: asterisks, or quotation marks around it
// where a value of another JSON type becomes a masked text.
struct Mark {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    int layer = 0;
    bool star = true;
    std::string prefix;
    std::string suffix;
};

// A payment result's Base64 found after its name.
struct Result {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    int layer = 0;
    SecretText value;
};

// A character of the last layer, as the span of the text that wrote it.
struct Atom {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
};

// What replaces the span [begin, end) of the text.
struct Edit {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    std::string text;
};

class Masker {
  public:
    Masker(std::string_view text, int resultDepth) : raw_(text), resultDepth_(resultDepth) {}
    std::string masked();

  private:
    void scanNames(const Layer& layer, int index);
    void scanTable(const Layer& layer, int index);
    void scanDigits(const Layer& layer, int index);
    void maskValue(const Layer& layer, int index, const CardMember& member, std::size_t from,
                   std::size_t to, std::string quote);
    std::size_t valueAfterName(const Layer& layer, int index, const CardMember& member,
                               std::size_t nameBegin, std::size_t nameEnd);
    std::size_t valueAt(const Layer& layer, int index, const CardMember& member, std::size_t at,
                        char separator, std::string quote);
    void valueOfNamedField(const Layer& layer, int index, const CardMember& member,
                           std::size_t nameBegin);
    void mark(const Layer& layer, int index, std::size_t at, bool star);
    void quoteToken(std::size_t begin, std::size_t end, int index);
    std::string assembled(const std::vector<Atom>& atoms);

    std::string_view raw_;
    int resultDepth_;
    // Whether the text (after a request's form key) is a JSON document, and for each byte which
    // of its strings it stands in (0: none).
    bool json_ = false;
    std::vector<std::uint32_t> stringOf_;
    // The string of the JSON document in which the value being masked starts.
    std::uint32_t within_ = 0;
    std::vector<Mark> marks_;
    std::vector<Result> results_;
    std::vector<SecretText> cardNumbers_;
};

// Whether `at` holds a quotation mark of its layer, not one escaped in it.
bool isQuoteAt(std::string_view text, std::size_t at) {
    if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) {
        return false;
    }
    std::size_t backslashes = 0;
    while (backslashes < at && text[at - 1 - backslashes] == '\\') {
        ++backslashes;
    }
    return backslashes % 2 == 0;
}

// The end of a quoted value's contents that start at `at`, closed by `quote`; `most` bytes at most.
std::size_t quotedEnd(std::string_view text, std::size_t at, char quote, std::size_t most) {
    const std::size_t limit = std::min(text.size(), at + most);
    for (; at < limit; ++at) {
        if (text[at] == '\\') {
            ++at;
        } else if (text[at] == quote) {
            return at;
        }
    }
    return limit;
}

// Whether `value` has the shape of the card data `shape` looks for.
bool shaped(std::string_view value, Shape shape) {
    const std::size_t first = value.find_first_not_of(" \t\r\n");
    const std::size_t last = value.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return false;
    }
    value = value.substr(first, last + 1 - first);
    const auto digits =
        static_cast<std::size_t>(std::count_if(value.begin(), value.end(), isDigit));
    switch (shape) {
        case Shape::any:
            return true;
        case Shape::cardNumber:
            return digits >= kShortestCardNumber &&
                   std::all_of(value.begin(), value.end(),
                               [](char c) { return isDigit(c) || isSeparator(c); });
        case Shape::securityCode:
            return (digits == 3 || digits == 4) && digits == value.size();
        case Shape::expiry:
            return digits == 4 &&
                   (value.size() == 4 || (value.size() == 5 && isDigit(value[0]) &&
                                          isDigit(value[1]) && isSeparator(value[2])));
    }
    return false;
}

void Masker::mark(const Layer& layer, int index, std::size_t at, bool star) {
    // In a JSON document a value stays within the string it starts in.
    if (json_ && stringOf_[layer.begins[at]] != within_ && (index > 0 || within_ != 0)) {
        return;
    }
    marks_.push_back({layer.begins[at], layer.ends[at], index, star, {}, {}});
}

// Masks the value [from, to) of `layer` as `member` says; `quote`, when not empty, is written
// around it so that a value of another JSON type becomes a text.
void Masker::maskValue(const Layer& layer, int index, const CardMember& member, std::size_t from,
                       std::size_t to, std::string quote) {
    const std::string_view text = layer.view();
    if (from >= to ||
        !shaped(text.substr(from, std::min(to - from, kLongestShapedValue + 1)), member.shape)) {
        return;
    }
    const std::string_view value = text.substr(from, to - from);
    if (member.field == Field::result) {
        results_.push_back({layer.begins[from], layer.ends[to - 1], index, SecretText(value)});
        return;
    }
    // A card number keeps its last four digits when it is long enough to be one and ends in them.
    std::size_t keptFrom = to;
    SecretText digits;
    if (member.field == Field::number) {
        for (const char c : value) {
            if (isDigit(c)) {
                digits.push_back(c);
            }
        }
        const std::size_t last = value.find_last_not_of(" \t\r\n");
        std::size_t tail = 0;
        for (std::size_t at = last + 1; at-- > 0 && tail < 4 && isDigit(value[at]);) {
            ++tail;
            keptFrom = from + at;
        }
        // (A card number the gateway masked already has asterisks for most of its digits.)
        const auto written = std::count_if(value.begin(), value.end(),
                                           [](char c) { return isDigit(c) || c == '*'; });
        keptFrom =
            static_cast<std::size_t>(written) >= kShortestCardNumber && tail == 4 ? keptFrom : to;
        const bool known = std::any_of(cardNumbers_.begin(), cardNumbers_.end(),
                                       [&](const SecretText& card) { return card == digits; });
        if (digits.size() >= kShortestCardNumber && !known &&
            cardNumbers_.size() < kMostCardNumbers) {
            cardNumbers_.push_back(std::move(digits));
        }
    }
    const std::size_t firstMark = marks_.size();
    within_ = json_ ? stringOf_[layer.begins[from]] : 0;
    // Outside the document's strings, a deeper layer reads what the document itself holds: only a
    // member's value that becomes a text is masked there.
    if (json_ && index > 0 && within_ == 0 && quote.empty()) {
        return;
    }
    for (std::size_t at = from; at < to; ++at) {
        if (at > from && layer.begins[at] == layer.begins[at - 1]) {
            continue;
        }
        const bool kept =
            at >= keptFrom || (member.field == Field::number && isSeparator(text[at]));
        if (!kept || !quote.empty()) {
            mark(layer, index, at, !kept);
        }
    }
    if (!quote.empty() && marks_.size() > firstMark) {
        marks_[firstMark].prefix = quote;
        marks_.back().suffix = quote;
    }
}

// Reads the value that starts (after blanks) at `at` of `layer`, introduced by `separator`
// (':', '=' or '>' for an element's content), and masks it. Returns where the scan goes on.
std::size_t Masker::valueAt(const Layer& layer, int index, const CardMember& member, std::size_t at,
                            char separator, std::string quote) {
    const std::string_view text = layer.view();
    const bool any = member.shape == Shape::any;
    const std::size_t most = any ? text.size() : kLongestShapedValue + 1;
    while (separator != '>' && at < text.size() && isBlank(text[at])) {
        ++at;
    }
    if (at >= text.size()) {
        return at;
    }
    std::size_t end = at;
    if (separator == '>') {
        const bool cdata = text.substr(at).starts_with("<![CDATA[");
        at += cdata ? 9 : 0;
        end = cdata ? text.find("]]>", at) : text.find('<', at);
        end = std::min({end, text.size(), at + most});
        quote.clear();
    } else if (isQuoteAt(text, at)) {
        end = quotedEnd(text, at + 1, text[at], most);
        ++at;
        quote.clear();
        within_ = json_ ? stringOf_[layer.begins[at]] : 0;
        if (any && end < text.size()) {
            // A value closed early by a stray quotation mark: what follows it up to the next
            // member is masked too, quotation marks and brackets aside.
            std::size_t tail = end + 1;
            for (; tail < std::min(text.size(), end + kNearby) &&
                   std::string_view(",;&<:\n\r\t ").find(text[tail]) == std::string_view::npos;
                 ++tail) {
                if (isNameCharacter(text[tail])) {
                    mark(layer, index, tail, true);
                }
            }
        }
    } else if (separator == ':' && (text[at] == '{' || text[at] == '[')) {
        // An object or array, up to its closing bracket; brackets inside its strings do not count.
        int depth = 0;
        for (end = at; end < std::min(text.size(), at + most); ++end) {
            if (isQuoteAt(text, end)) {
                end = quotedEnd(text, end + 1, text[end], std::min(text.size(), at + most) - end);
            } else if (text[end] == '{' || text[end] == '[') {
                ++depth;
            } else if ((text[end] == '}' || text[end] == ']') && --depth == 0) {
                ++end;
                break;
            }
        }
        end = std::min(end, text.size());
    } else {
        constexpr std::string_view kEnds = " \t\r\n,;&<>}])\"'\\";
        end = std::min(text.find_first_of(kEnds, at), std::min(text.size(), at + most));
        if (separator == '=' && end < text.size() && text[end] == ' ' && any) {
            // A form's value ends at its field's end; spaces inside one are "+" or escaped.
            end = std::min(text.find_first_of("&<>\"'\r\n", at), text.size());
        }
    }
    maskValue(layer, index, member, at, end, std::move(quote));
    return any ? end : at;
}

// The value of a field whose name is given as a text: `<input name="cvv" value="...">`, a
// multipart part `Content-Disposition: form-data; name="cvv"`, a pair {"name":"cvv","value":...}.
void Masker::valueOfNamedField(const Layer& layer, int index, const CardMember& member,
                               std::size_t nameBegin) {
    const std::string_view text = layer.view();
    const std::size_t from = nameBegin > kNearby ? nameBegin - kNearby : 0;
    const std::size_t lineStart = text.find_last_of("\r\n", nameBegin);
    const std::size_t line = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    if (nameBegin - line < kNearby && startsWithIgnoringCase(text, line, "content-disposition")) {
        std::size_t body = text.find("\n\n", nameBegin);
        const std::size_t crlf = text.find("\r\n\r\n", nameBegin);
        body = std::min(body == std::string_view::npos ? body : body + 2,
                        crlf == std::string_view::npos ? crlf : crlf + 4);
        if (body == std::string_view::npos || body - nameBegin > kNearby) {
            return;
        }
        std::size_t end = std::min(text.find("\n--", body), body + kLongestPartBody);
        end = std::min(end, text.size());
        end -= end > body && text[end - 1] == '\r' ? 1 : 0;
        maskValue(layer, index, member, body, end, {});
        return;
    }
    // Inside a tag or an object, on either side of the name: its "value".
    const std::size_t open = text.find_last_of("<{", nameBegin);
    if (open == std::string_view::npos || open < from) {
        return;
    }
    const char close = text[open] == '<' ? '>' : '}';
    const std::size_t closed = text.find_last_of(close, nameBegin);
    if (closed != std::string_view::npos && closed > open) {
        return;
    }
    const std::size_t end =
        std::min({text.find(close, nameBegin), text.size(), nameBegin + kNearby});
    for (std::size_t at = open; at + 5 < end; ++at) {
        if (!startsWithIgnoringCase(text, at, "value") || isNameCharacter(text[at - 1]) ||
            isNameCharacter(text[at + 5])) {
            continue;
        }
        std::size_t after = at + 5 + (isQuoteAt(text, at + 5) ? 1 : 0);
        while (after < end && isBlank(text[after])) {
            ++after;
        }
        if (after < end && (text[after] == '=' || text[after] == ':')) {
            valueAt(layer, index, member, after + 1, text[after], {});
            return;
        }
    }
}

// Masks the value after a card member's name at [nameBegin, nameEnd) of `layer`, if the name
// stands where a name does; returns where the scan goes on.
std::size_t Masker::valueAfterName(const Layer& layer, int index, const CardMember& member,
                                   std::size_t nameBegin, std::size_t nameEnd) {
    const std::string_view text = layer.view();
    // A namespace prefix ("ns:NAME") is part of the name.
    std::size_t start = nameBegin;
    if (start > 1 && text[start - 1] == ':' && isNameCharacter(text[start - 2])) {
        for (start -= 2;
             start > 0 && (isNameCharacter(text[start - 1]) || text[start - 1] == '-');) {
            --start;
        }
    }
    const char before = start > 0 ? text[start - 1] : '\n';
    const char after = nameEnd < text.size() ? text[nameEnd] : '\0';
    // A quoted name: a JSON member, or the text of a "name" attribute or member.
    if (start > 0 && isQuoteAt(text, start - 1) && after == before && isQuoteAt(text, nameEnd)) {
        std::size_t at = nameEnd + 1;
        while (at < text.size() && isBlank(text[at])) {
            ++at;
        }
        if (at < text.size() && text[at] == ':') {
            const std::string quote =
                before == '"'
                    ? std::string(raw_.substr(layer.begins[nameEnd],
                                              layer.ends[nameEnd] - layer.begins[nameEnd]))
                    : std::string();
            return valueAt(layer, index, member, at + 1, ':', quote);
        }
        std::size_t name = start - 1;
        while (name > 0 && isBlank(text[name - 1])) {
            --name;
        }
        if (name > 0 && (text[name - 1] == '=' || text[name - 1] == ':')) {
            name -= 1 + (name > 1 && isQuoteAt(text, name - 2) ? 1 : 0);
            if (name >= 4 && startsWithIgnoringCase(text, name - 4, "name") &&
                (name == 4 || !isNameCharacter(text[name - 5]))) {
                valueOfNamedField(layer, index, member, nameBegin);
            }
        }
        return nameEnd;
    }
    // An XML element, maybe with a namespace, attributes or CDATA.
    if (before == '<' && (isBlank(after) || after == '>' || after == '/')) {
        const std::size_t close = text.find_first_of("<>", nameEnd);
        if (close == std::string_view::npos || text[close] != '>' || close - nameEnd > kNearby ||
            text[close - 1] == '/') {
            return nameEnd;
        }
        // Names among the attributes are read on.
        valueAt(layer, index, member, close + 1, '>', {});
        return nameEnd;
    }
    // A form field or an attribute, "name=value"; a "name: value" in a text.
    constexpr std::string_view kBefore = "\n\r\t &?;,{(\"'";
    if ((after == '=' || after == ':') && kBefore.find(before) != std::string_view::npos) {
        return valueAt(layer, index, member, nameEnd + 1, after, {});
    }
    if (before == '=' && start > 4 && startsWithIgnoringCase(text, start - 5, "name")) {
        valueOfNamedField(layer, index, member, nameBegin);
    }
    return nameEnd;
}

void Masker::scanNames(const Layer& layer, int index) {
    const std::string_view text = layer.view();
    static const std::array<bool, 256> kFirstLetters = [] {
        std::array<bool, 256> first{};
        for (const auto& member : kCardMembers) {
            const char c = lowered(member.name[0]);
            first[static_cast<unsigned char>(c)] = first[static_cast<unsigned char>(c - 32)] = true;
        }
        return first;
    }();
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!kFirstLetters[static_cast<unsigned char>(text[at])] ||
            (at > 0 && isNameCharacter(text[at - 1]))) {
            continue;
        }
        for (const auto& member : kCardMembers) {
            const std::size_t end = at + member.name.size();
            if (startsWithIgnoringCase(text, at, member.name) &&
                (end == text.size() || !isNameCharacter(text[end]))) {
                at = std::max(at, valueAfterName(layer, index, member, at, end)) - 1;
                break;
            }
        }
    }
}

// A table (CSV and the like): a line whose cells are words, one a card member's name, makes the
// cells of that column in the lines after it card data, up to a blank line.
void Masker::scanTable(const Layer& layer, int index) {
    const std::string_view text = layer.view();
    std::vector<std::pair<std::size_t, const CardMember*>> columns;
    char delimiter = ',';
    for (std::size_t line = 0; line < text.size();) {
        const std::size_t end = std::min(text.find('\n', line), text.size());
        const std::string_view row = text.substr(line, end - line);
        const std::size_t header = row.find_first_of(",;\t");
        // The cells of the line: [begin, end) each, quotation marks left out.
        std::vector<std::pair<std::size_t, std::size_t>> cells;
        // (Within a table, its own delimiter: a cell may hold another.)
        const char split =
            header == std::string_view::npos || !columns.empty() ? delimiter : row[header];
        for (std::size_t at = 0; at <= row.size();) {
            std::size_t cellEnd = at;
            for (bool quoted = false; cellEnd < row.size() && (quoted || row[cellEnd] != split);
                 ++cellEnd) {
                quoted = row[cellEnd] == '"' && (quoted || cellEnd == at) ? !quoted : quoted;
            }
            std::size_t b = at;
            std::size_t e = cellEnd;
            while (b < e && (isBlank(row[b]) || row[b] == '"')) {
                ++b;
            }
            while (e > b && (isBlank(row[e - 1]) || row[e - 1] == '"')) {
                --e;
            }
            cells.emplace_back(line + b, line + e);
            at = cellEnd + 1;
        }
        // The header's cells are words, from the end of the line back: a table carried in a text
        // may follow what opens the text on its first line.
        std::vector<std::pair<std::size_t, const CardMember*>> named;
        const auto word = [](char c) { return isNameCharacter(c) || c == ' ' || c == '-'; };
        std::size_t first = cells.size();
        for (bool opened = false; first > 0 && !opened; --first) {
            std::string_view cell = text.substr(cells[first - 1].first,
                                                cells[first - 1].second - cells[first - 1].first);
            const auto opening = std::find_if_not(cell.rbegin(), cell.rend(), word);
            opened = opening != cell.rend();
            cell.remove_prefix(static_cast<std::size_t>(cell.rend() - opening));
            for (const auto& member : kCardMembers) {
                if (cell.size() == member.name.size() &&
                    startsWithIgnoringCase(cell, 0, member.name)) {
                    named.emplace_back(first - 1, &member);
                }
            }
        }
        for (auto& column : named) {
            column.first -= first;
        }
        const bool words = cells.size() > first;
        if (words && !named.empty()) {
            columns = std::move(named);
            delimiter = split;
        } else if (row.find_first_not_of(" \t\r") == std::string_view::npos) {
            columns.clear();
        } else {
            for (const auto& [column, member] : columns) {
                if (column < cells.size()) {
                    maskValue(layer, index, *member, cells[column].first, cells[column].second, {});
                }
            }
        }
        line = end + 1;
    }
}

// A bare JSON number or literal masked at the top level becomes a text: quotation marks go around
// the token [begin, end) of the original text.
void Masker::quoteToken(std::size_t begin, std::size_t end, int index) {
    constexpr std::string_view kToken = "0123456789+-.eEtrufalsn";
    while (begin > 0 && kToken.find(raw_[begin - 1]) != std::string_view::npos) {
        --begin;
    }
    while (end < raw_.size() && kToken.find(raw_[end]) != std::string_view::npos) {
        ++end;
    }
    const auto at = static_cast<std::uint32_t>(begin);
    marks_.push_back({at, at + 1, index, false, "\"", {}});
    const auto last = static_cast<std::uint32_t>(end - 1);
    marks_.push_back({last, last + 1, index, false, {}, "\""});
}

// Runs of digits, up to two separators between groups: consecutive groups with 13 to 19 digits
// that pass the Luhn check, or that hold a card number found after a name, are a card number.
void Masker::scanDigits(const Layer& layer, int index) {
    const std::string_view text = layer.view();
    struct Group {
        std::size_t begin;
        std::size_t end;
    };
    std::vector<Group> run;
    // Digits to mask: the groups' positions, and the last four digits kept.
    const auto maskRun = [&] {
        std::size_t digitsInRun = 0;
        for (const auto& g : run) {
            digitsInRun += g.end - g.begin;
        }
        if (digitsInRun < kShortestLuhnNumber - 1) {
            return;
        }
        SecretText digits;
        std::vector<std::size_t> positions;
        for (const auto& g : run) {
            for (std::size_t at = g.begin; at < g.end; ++at) {
                digits.push_back(text[at]);
                positions.push_back(at);
            }
        }
        const std::string_view all = digits.view();
        std::vector<std::pair<std::size_t, std::size_t>> found;  // digit ranges [first, last)
        for (std::size_t first = 0, g = 0; g < run.size();
             first += run[g].end - run[g].begin, ++g) {
            std::size_t count = 0;
            for (std::size_t last = g; last < run.size(); ++last) {
                count += run[last].end - run[last].begin;
                if (count > kLongestCardNumber) {
                    break;
                }
                unsigned sum = 0;
                for (std::size_t i = 0; i < count; ++i) {
                    unsigned digit = static_cast<unsigned>(all[first + count - 1 - i] - '0');
                    sum += i % 2 == 1 ? (digit * 2 > 9 ? digit * 2 - 9 : digit * 2) : digit;
                }
                if (count >= kShortestLuhnNumber && sum % 10 == 0) {
                    found.emplace_back(first, first + count);
                }
            }
        }
        for (const SecretText& card : cardNumbers_) {
            for (std::size_t at = all.find(card.view()); at != std::string_view::npos;
                 at = all.find(card.view(), at + 1)) {
                found.emplace_back(at, at + card.size());
            }
        }
        if (found.empty()) {
            return;
        }
        // The whole run is masked but for the last four digits of its last card number: digits
        // left around a masked one would make runs of their own, which a reader could take for
        // another card number (a security code after the number is masked so too).
        std::size_t lastEnd = 0;
        for (const auto& window : found) {
            lastEnd = std::max(lastEnd, window.second);
        }
        std::vector<bool> masked(all.size(), true);
        std::fill(masked.begin() + static_cast<std::ptrdiff_t>(lastEnd - 4),
                  masked.begin() + static_cast<std::ptrdiff_t>(lastEnd), false);
        bool outsideText = false;
        within_ = json_ ? stringOf_[layer.begins[positions.front()]] : 0;
        if (json_ && index > 0 && within_ == 0) {
            return;
        }
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (masked[i]) {
                mark(layer, index, positions[i], true);
                outsideText = outsideText || (json_ && index == 0 && stringOf_[positions[i]] == 0);
            }
        }
        if (outsideText) {
            quoteToken(positions.front(), positions.back() + 1, index);
        }
    };
    std::size_t separators = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        const char c = at < text.size() ? text[at] : '\0';
        if (isDigit(c)) {
            if (run.empty() || run.back().end != at) {
                run.push_back({at, at});
            }
            run.back().end = at + 1;
            separators = 0;
        } else if (!run.empty() && isSeparator(c) && ++separators <= 2) {
            continue;
        } else {
            maskRun();
            run.clear();
            separators = 0;
        }
    }
}

// The bytes of Base64 in either alphabet, whatever else passed over, as a reader would try: a
// result cut short or spelled loosely may still carry card data.
std::optional<SecretText> base64Bytes(std::string_view text) {
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    SecretText bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        c = c == '-' ? '+' : c == '_' ? '/' : c;
        const std::size_t value = kAlphabet.find(c);
        if (value != std::string_view::npos) {
            bits = (bits << 6 | static_cast<std::uint32_t>(value)) & 0xFFFFFF;
            if ((count += 6) >= 8) {
                bytes.push_back(static_cast<char>(bits >> (count -= 8) & 0xFF));
            }
        }
    }
    return bytes.empty() ? std::nullopt : std::optional(std::move(bytes));
}

// The text with every mark made and every payment result masked as a text of its own. `atoms`
// gives for each byte of the text the character of the last layer that holds it.
std::string Masker::assembled(const std::vector<Atom>& atoms) {
    // A payment result that masking changes replaces its characters whole; of the readings of
    // one result at several layers, the deepest counts.
    std::vector<Edit> edits;
    std::vector<bool> inResult(raw_.size(), false);
    std::sort(results_.begin(), results_.end(), [](const Result& a, const Result& b) {
        return std::tie(a.begin, a.end, b.layer) < std::tie(b.begin, b.end, a.layer);
    });
    for (std::size_t i = 0; i < results_.size(); ++i) {
        const Result& result = results_[i];
        const std::uint32_t begin = atoms[result.begin].begin;
        const std::uint32_t end = atoms[result.end - 1].end;
        const bool again =
            i > 0 && results_[i - 1].begin == result.begin && results_[i - 1].end == result.end;
        const auto json = again ? std::nullopt : base64Bytes(result.value.view());
        if (!json || std::find(inResult.begin() + begin, inResult.begin() + end, true) !=
                         inResult.begin() + end) {
            continue;
        }
        const std::string masked = resultDepth_ >= kDeepestResult
                                       ? std::string(json->size(), '*')
                                       : Masker(json->view(), resultDepth_ + 1).masked();
        if (masked != json->view()) {
            std::fill(inResult.begin() + begin, inResult.begin() + end, true);
            // (Its Base64 may by chance spell a run of digits that reads as a card number.)
            edits.push_back({begin, end, Masker(base64Encode(masked), kDeepestResult).masked()});
        }
    }
    // The marks of one character make one edit: an asterisk, or the character, with what goes
    // around it.
    std::sort(marks_.begin(), marks_.end(),
              [](const Mark& a, const Mark& b) { return a.begin < b.begin; });
    for (std::size_t i = 0; i < marks_.size();) {
        const std::uint32_t begin = marks_[i].begin;
        const std::uint32_t end = marks_[i].end;
        bool star = false;
        std::string prefix;
        std::string suffix;
        for (; i < marks_.size() && marks_[i].begin == begin; ++i) {
            star = star || marks_[i].star;
            prefix = prefix.empty() ? marks_[i].prefix : prefix;
            suffix = suffix.empty() ? marks_[i].suffix : suffix;
        }
        if (!inResult[begin]) {
            const std::string_view written = raw_.substr(begin, end - begin);
            edits.push_back({begin, end, prefix + std::string(star ? "*" : written) + suffix});
        }
    }
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::string out;
    out.reserve(raw_.size());
    std::size_t copied = 0;
    for (const Edit& edit : edits) {
        out.append(raw_.substr(copied, edit.begin - copied));
        out.append(edit.text);
        copied = edit.end;
    }
    out.append(raw_.substr(copied));
    return out;
}

std::string Masker::masked() {
    // The gateway's requests are a form with one field whose value is the JSON.
    constexpr std::string_view kFormKey = "datoEntrada=";
    const std::size_t body = raw_.starts_with(kFormKey) ? kFormKey.size() : 0;
    // (The parser stops at a zero byte as at the end of the text.)
    json_ = raw_.find('\0') == std::string_view::npos && nlohmann::json::accept(raw_.substr(body));
    if (json_) {
        stringOf_.assign(raw_.size(), 0);
        std::uint32_t strings = 0;
        bool inside = false;
        for (std::size_t at = body; at < raw_.size(); ++at) {
            strings += raw_[at] == '"' && !inside ? 1 : 0;
            if (raw_[at] == '"') {
                inside = !inside;
            } else if (inside) {
                stringOf_[at] = strings;
                at += raw_[at] == '\\' ? 1 : 0;
                stringOf_[std::min(at, raw_.size() - 1)] = strings;
            }
        }
    }
    std::vector<Layer> layers(1);
    layers[0].text = SecretText(raw_);
    layers[0].begins.resize(raw_.size());
    layers[0].ends.resize(raw_.size());
    for (std::size_t at = 0; at < raw_.size(); ++at) {
        layers[0].begins[at] = static_cast<std::uint32_t>(at);
        layers[0].ends[at] = static_cast<std::uint32_t>(at + 1);
    }
    while (static_cast<int>(layers.size()) <= kDeepestLayer) {
        Layer next = nextLayer(layers.back());
        const bool same = next.view() == layers.back().view();
        layers.push_back(std::move(next));
        if (same) {
            break;
        }
    }
    // The last layer read only to know its characters, when it is the same text as the one before.
    const auto read =
        static_cast<int>(layers.size()) -
        (layers.size() > 1 && layers.back().view() == layers[layers.size() - 2].view() ? 1 : 0);
    for (int i = 0; i < read; ++i) {
        scanNames(layers[static_cast<std::size_t>(i)], i);
        scanTable(layers[static_cast<std::size_t>(i)], i);
    }
    for (int i = 0; i < read; ++i) {
        scanDigits(layers[static_cast<std::size_t>(i)], i);
    }
    // Each mark grows to the character of the last layer that holds it, so no escape is cut; in
    // a JSON document, a value a deeper layer found stays within the document's string it starts
    // in.
    const Layer& last = layers.back();
    std::vector<Atom> atoms(raw_.size());
    for (std::size_t i = 0; i < last.begins.size(); ++i) {
        std::fill(atoms.begin() + last.begins[i], atoms.begin() + last.ends[i],
                  Atom{last.begins[i], last.ends[i]});
    }
    for (Mark& mark : marks_) {
        mark.end = atoms[mark.begin].end;
        mark.begin = atoms[mark.begin].begin;
    }
    return assembled(atoms);
}

}  // namespace

std::string maskCardData(std::string_view text) {
    return Masker(text, 0).masked();
}

}  // namespace vanto
