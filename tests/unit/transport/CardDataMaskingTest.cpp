// Card data never show in clear in a trace, however the text that carries them is spelled.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "MaskingSpellings.h"
#include "TestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

using namespace masking;

class CardDataMasking : public testing::ConfiguredTest {};

TEST_F(CardDataMasking, ChangesOnlyTheCardDataOfTheLibrarysOwnRequest) {
    VantoConfiguration::shared().setAppFuc("123456789");
    const std::string body =
        "datoEntrada=" + std::string(Encode::encodeStringDirectPayment(
                                         "4000000000001234", "987", "2912", "1999",
                                         "ORDER4000000000001234", "", "true", "0", "Libro 1/2")
                                         .view());
    // Everything but the card data is as sent, down to the signature and the escaped solidus;
    // the card number repeated in the order is masked there too.
    std::string expected = body;
    for (const auto& [clear, hidden] :
         {std::pair<std::string, std::string>{"4000000000001234", "************1234"},
          {R"(CVV2\":\"987)", R"(CVV2\":\"***)"},
          {R"(EXPIRYDATE\":\"2912)", R"(EXPIRYDATE\":\"****)"}}) {
        for (auto at = expected.find(clear); at != std::string::npos; at = expected.find(clear)) {
            expected.replace(at, clear.size(), hidden);
        }
    }
    ASSERT_NE(expected.find(R"(\"DS_MERCHANT_PAN\":\"************1234\")"), std::string::npos);
    ASSERT_NE(expected.find(R"(Libro 1\\\/2)"), std::string::npos);
    EXPECT_EQ(maskCardData(body), expected);
}

// Every spelling in tests/data/masking-cases.json, a row each: what it is, a text, and what the
// text prints as (the text itself when the row has no third item); and what the oracle says.
TEST(CardDataMaskingExamples, MaskEveryCardDatumWhereItStandsAndNothingElse) {
    const auto rows = nlohmann::json::parse(testing::readTestData("masking-cases.json"));
    ASSERT_GT(rows.size(), 20u);
    for (const auto& row : rows) {
        const std::string output = maskCardData(row.at(1).get<std::string>());
        EXPECT_EQ(output, row.back()) << row.at(0);
        EXPECT_EQ(maskingFault(row.at(1).get<std::string>(), output), "") << row.at(0);
    }
}

// The payment result of a return address, Base64 of JSON, however it is written.
TEST(CardDataMaskingExamples, PaymentResultsAreDecodedMaskedAndEncodedAgain) {
    // The merchant's data makes the Base64 hold both + and / (- and _ in the URL-safe alphabet).
    const std::string json = R"({"Ds_Response":"0000","Ds_MerchantData":"??>>",)"
                             R"("Ds_ExpiryDate":"2912","Ds_Card_Number":"454881******0004"})";
    const std::string masked = R"({"Ds_Response":"0000","Ds_MerchantData":"??>>",)"
                               R"("Ds_ExpiryDate":"****","Ds_Card_Number":"************0004"})";
    const std::string address(kReturnAddress);
    for (std::size_t variant = 0; variant < 3; ++variant) {
        EXPECT_EQ(maskCardData(address + resultSpelling(json, variant) + "&Ds_Signature=x"),
                  address + base64Encode(masked) + "&Ds_Signature=x")
            << variant;
    }
    EXPECT_EQ(maskCardData(R"({"datosPeticion":{"Ds_MerchantParameters":")" + base64Encode(json) +
                           "\"}}"),
              R"({"datosPeticion":{"Ds_MerchantParameters":")" + base64Encode(masked) + "\"}}");
    // A result without card data prints as it came.
    const std::string plain = base64Encode(R"({"Ds_Response":"0000"})");
    EXPECT_EQ(maskCardData(address + plain), address + plain);
}

// How a document of the property test below is spelled.
struct Spelling {
    bool pretty = false;          // whitespace around colons and commas, a member a line
    bool escapedNames = false;    // names partly written as \u escapes
    bool numbers = false;         // card data written as JSON numbers where they are digits
    bool escapedSolidus = true;   // "/" written as "\/"
    bool escapedDigits = false;   // digits of a repeated card number as \u escapes or Unicode
    bool closedEarly = false;     // security codes and expiry dates closed before their end
    bool separatedCards = false;  // card numbers in texts written in groups
};

// Where the document goes once written: as it is, or echoed in another spelling.
enum class Echo {
    none,
    afterPrefix,     // in an error text after a prefix
    htmlEscaped,     // the same, with HTML character references for quotation marks
    percentEncoded,  // percent-encoded, in an error text or as the body
    singleQuoted,    // with single quotation marks
    returnAddress,   // Base64 in the payment result of a return address
    form,            // its members as form fields
    xmlElements,     // its members as XML elements, namespaced and in CDATA by turns
    xmlAttributes,   // its members as XML attributes
    inputTags,       // its members as a page's input tags
    multipart,       // its members as multipart form parts
    nameValuePairs,  // its members as {"name":...,"value":...} objects
    jsonLines,       // its members as JSON objects, one a line
    csv,             // its members as the columns of a table
    count
};

void writeString(std::string& out, std::string_view text, const Spelling& spelling) {
    out += '"';
    for (const char c : text) {
        out += c == '"'    ? "\\\""
               : c == '\\' ? "\\\\"
               : c == '\n' ? "\\n"
               : c == '\t' ? "\\t"
                           : std::string(1, c);
        if (c == '/' && spelling.escapedSolidus) {
            out.replace(out.size() - 1, 1, "\\/");
        }
    }
    out += '"';
}

// Writes a random JSON document holding card members among other members, and keeps what it
// wrote. Card data use the digits 5 to 9 and nothing else in a document does, so that a leak
// cannot hide behind another value that reads the same. The same seed writes the same document
// in every spelling.
class DocumentWriter {
  public:
    DocumentWriter(std::uint64_t seed, const Spelling& spelling)
        : random_(seed), spelling_(spelling) {}

    std::string document() {
        std::string out;
        object(out, 0);
        return out;
    }

    std::vector<std::string> cardNumbers;
    std::vector<std::string> ordinaryValues;
    // Every member with a text or digits as value, in order, as the flat spellings write them.
    std::vector<std::pair<std::string, std::string>> members;
    // Set when a text holds a card number, which a cut could leave too short to be recognised.
    bool cardNumberInText = false;
    bool closedEarly = false;

  private:
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(random_() % n); }
    std::string characters(std::string_view from, std::size_t count) {
        std::string text;
        while (text.size() < count) {
            text += from[below(from.size())];
        }
        return text;
    }

    void name(std::string& out, std::string_view name, int depth) {
        out += spelling_.pretty ? "\n" + std::string(2 * depth + 2, ' ') : "";
        out += '"';
        for (std::size_t i = 0; i < name.size(); ++i) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += spelling_.escapedNames && i % 2 == 0
                       ? std::string{'\\', 'u', '0', '0', kHex[name[i] >> 4], kHex[name[i] & 0xF]}
                       : std::string(1, name[i]);
        }
        out += spelling_.pretty ? "\" : " : "\":";
    }

    // Up to five members of any kind; the root holds a card member last.
    void object(std::string& out, int depth) {
        out += '{';
        const std::size_t count = 1 + below(5);
        for (std::size_t i = 0; i < count; ++i) {
            out += i > 0 ? "," : "";
            member(out, below(depth < 4 ? 7 : 4), depth);
        }
        if (depth == 0) {
            out += ',';
            member(out, 0, depth);
        }
        out += (spelling_.pretty ? "\n" + std::string(2 * depth, ' ') : "") + '}';
    }

    void member(std::string& out, std::size_t kind, int depth) {
        if (kind == 0) {
            static const char* const kNames[] = {"DS_MERCHANT_PAN",        "Ds_CardNumber",
                                                 "Ds_Card_Number",         "DS_MERCHANT_CVV2",
                                                 "DS_MERCHANT_EXPIRYDATE", "Ds_ExpiryDate"};
            const std::string_view card = kNames[below(std::size(kNames))];
            cardMember(out, card, depth);
            if (below(100) < 30) {  // the same member twice
                out += ',';
                cardMember(out, card, depth);
            }
        } else if (kind == 1) {
            ordinaryMember(out, depth);
        } else if (kind == 3 && !cardNumbers.empty()) {
            cardNumberInText = true;
            name(out, "desc", depth);
            repeatedCardNumber(out, cardNumbers.back());
        } else if (kind == 2 && below(100) < 40) {
            // A card number in a text without a card member: only the Luhn check finds it.
            cardNumberInText = true;
            name(out, "Ds_MerchantData", depth);
            const std::string text = "tarjeta " + inGroups(luhnNumber()) + " fin";
            writeString(out, text, spelling_);
            members.emplace_back("Ds_MerchantData", text);
        } else if (kind == 2 || kind == 3) {
            name(out, "code", depth);
            out += "1024";
        } else if (kind < 6) {
            name(out, "datosRespuesta", depth);
            object(out, depth + 1);
        } else {
            name(out, "lista", depth);
            out += '[';
            object(out, depth + 1);
            out += ",-4]";
        }
    }

    // Letters and the digits 0 to 4; long runs of those are no card data, and fail the Luhn
    // check.
    void ordinaryMember(std::string& out, int depth) {
        std::string digits = characters("01234", below(100) < 20 ? 14 : 2);
        if (digits.size() > 12 && passesLuhn(digits)) {
            digits.back() = digits.back() == '4' ? '0' : static_cast<char>(digits.back() + 1);
        }
        ordinaryValues.push_back(characters("abcdefghijklmnopqrstuvwxyz", 6) + digits);
        name(out, "Ds_Order", depth);
        writeString(out, ordinaryValues.back(), spelling_);
        members.emplace_back("Ds_Order", ordinaryValues.back());
    }

    // Twelve to eighteen digits from 5 to 9 and a check digit that is one of them too.
    std::string luhnNumber() {
        for (;;) {
            std::string number = characters("56789", 12 + below(7));
            for (char check = '5'; check <= '9'; ++check) {
                if (passesLuhn(number + check)) {
                    return number + check;
                }
            }
        }
    }

    std::string inGroups(const std::string& number) {
        if (!spelling_.separatedCards) {
            return number;
        }
        static const char* const kSeparators[] = {" ", "-", "+",      "\t",     "\n",     "  ",
                                                  ".", "/", "\u00a0", "\u2013", "\u200b", "\u3000"};
        const std::string separator = kSeparators[below(std::size(kSeparators))];
        std::string grouped;
        for (std::size_t i = 0; i < number.size(); ++i) {
            grouped += i > 0 && i % 4 == 0 ? separator : "";
            grouped += number[i];
        }
        return grouped;
    }

    void repeatedCardNumber(std::string& out, const std::string& number) {
        std::string text = "ref ";
        for (std::size_t i = 0; i < number.size(); ++i) {
            const auto digit = static_cast<std::uint32_t>(number[i] - '0');
            const std::size_t script = spelling_.escapedDigits && i % 3 == 1 ? 1 + below(4) : 0;
            text += script == 0   ? std::string(1, number[i])
                    : script == 1 ? std::string("\\u003") + number[i]
                                  : utf8(kDigitZeros[script - 2] + digit);
        }
        out += '"' + text + " ok\"";
        members.emplace_back("desc", "ref " + number + " ok");
    }

    void cardMember(std::string& out, std::string_view card, int depth) {
        std::string value;
        const bool number = card.find("PAN") != std::string_view::npos || card.ends_with("Number");
        if (number) {
            value = characters("56789", 12 + below(8));
            cardNumbers.push_back(value);
        } else {
            value = card.find("CVV") != std::string_view::npos ? characters("56789", 3)
                    : below(100) < 30 ? characters("56789", 2) + "/" + characters("56789", 2)
                                      : characters("56789", 4);
        }
        members.emplace_back(card, value);
        name(out, card, depth);
        if (!number && spelling_.closedEarly && below(100) < 50) {
            // A stray mark closes the value before its last character.
            static const char* const kClosers[] = {"\"", "\"]", "\"}", "\"\\\""};
            out +=
                '"' + value.substr(0, value.size() - 1) + kClosers[below(4)] + value.back() + '"';
            closedEarly = true;
        } else if (spelling_.numbers && value.find('/') == std::string::npos) {
            out += value;
        } else {
            writeString(out, value, spelling_);
        }
    }

    std::mt19937_64 random_;
    Spelling spelling_;
};

std::string htmlEscaped(std::string_view text, std::size_t variant) {
    // The last spelling leaves out the ";" of numeric references, which digits then need too.
    static const char* const kQuotes[] = {"&quot;", "&#34;", "&#x22;", "&#34"};
    std::string out;
    for (const char c : text) {
        out += c == '"'                         ? kQuotes[variant % 4]
               : c == '&'                       ? "&amp;"
               : variant % 4 == 3 && isDigit(c) ? "&#" + std::to_string(c)
                                                : std::string(1, c);
    }
    return out;
}

// The members of a document as a flat text of another kind, by the gateway's member names or by
// the card form's field names: each member as the pattern of `echo` with its name for "N", its
// value for "V", the value as a form writes it for "F" and as a JSON text for "J".
std::string flat(const DocumentWriter& writer, Echo echo, std::size_t variant) {
    static const std::pair<Echo, std::array<const char*, 3>> kPatterns[] = {
        {Echo::form, {"", "&N=F", ""}},
        {Echo::xmlElements, {"<datos>", "<N>V</N>", "</datos>"}},
        {Echo::xmlAttributes, {"<datos", " N=\"V\"", "/>"}},
        {Echo::inputTags, {"<form>", "<input name=\"N\" value=\"V\">", "</form>"}},
        {Echo::multipart,
         {"", "--b\r\nContent-Disposition: form-data; name=\"N\"\r\n\r\nV\r\n", "--b--"}},
        {Echo::nameValuePairs, {"[{}", ",{\"name\":\"N\",\"value\":J}", "]"}},
        {Echo::jsonLines, {"", "{\"N\":J}\n", ""}},
        {Echo::csv, {"", ",N", "\n"}}};
    auto pattern = std::find_if(std::begin(kPatterns), std::end(kPatterns), [echo](const auto& p) {
                       return p.first == echo;
                   })->second;
    pattern[1] = echo == Echo::xmlElements && variant % 2 == 1 ? "<v:N a=\"1\"><![CDATA[V]]></v:N>"
                                                               : pattern[1];
    std::string out = pattern[0];
    std::string row;
    for (const auto& [name, value] : writer.members) {
        std::string field = name;
        if (variant % 3 == 0) {
            const bool number = name.find("PAN") != std::string::npos || name.ends_with("Number");
            const bool expiry = name.find("EXPIRY") != std::string::npos ||
                                name.find("Expiry") != std::string::npos;
            field = name.find("CVV") != std::string::npos ? "cvv"
                    : expiry                              ? "caducidad"
                    : number                              ? (variant % 2 == 0 ? "numero" : "pan")
                                                          : name;
        }
        std::string json;
        writeString(json, value, {.escapedSolidus = false});
        // (A table's row stays on its line.)
        row += "," + std::regex_replace(value, std::regex("[\r\n]"), " ");
        const std::pair<char, std::string> parts[] = {
            {'N', field}, {'V', value}, {'F', formEncoded(value)}, {'J', json}};
        for (const char* c = pattern[1]; *c != '\0'; ++c) {
            const auto part = std::find_if(std::begin(parts), std::end(parts),
                                           [c](const auto& p) { return p.first == *c; });
            out += part != std::end(parts) ? part->second : std::string(1, *c);
        }
    }
    return echo == Echo::csv ? out.substr(1) + "\n" + row.substr(1) + "\n" : out + pattern[2];
}

// The body that carries a JSON document echoed as `echo`: in a gateway's error text, or by turns
// as the body itself for the spellings a body may have.
std::string echoed(const std::string& document, const DocumentWriter& writer, Echo echo,
                   std::size_t variant, const Spelling& spelling) {
    std::string inText = echo >= Echo::form ? flat(writer, echo, variant) : document;
    if (echo == Echo::singleQuoted) {
        std::replace(inText.begin(), inText.end(), '"', '\'');
    } else if (echo == Echo::afterPrefix || echo == Echo::htmlEscaped) {
        inText =
            "Bad request: " + (echo == Echo::afterPrefix ? inText : htmlEscaped(inText, variant));
    } else if (echo == Echo::percentEncoded) {
        inText = (variant % 2 == 0 ? "datoEntrada=" : "") + percentEncoded(inText);
    } else if (echo == Echo::returnAddress) {
        return std::string(kReturnAddress) + resultSpelling(document, variant) +
               "&Ds_Signature=abcd";
    }
    if (echo == Echo::none || (variant % 2 == 0 && echo >= Echo::percentEncoded)) {
        return inText;
    }
    std::string body = "{\"code\":400,\"desc\":";
    writeString(body, inText, spelling);
    return body + "}";
}

// `text` as a reader finally sees it: every escape undone, a payment result's Base64 decoded.
std::string seenByReader(std::string text) {
    text = readersView(std::move(text));
    // The digits of an escape that a cut left short are no text.
    text = std::regex_replace(text, std::regex("\\\\u[0-9a-fA-F]{0,3}|%[0-9a-fA-F]?"), "");
    constexpr std::string_view kKey = "Ds_MerchantParameters=";
    if (const auto at = text.find(kKey); at != std::string::npos) {
        const auto end = std::min(text.find('&', at), text.size());
        text.replace(
            at, end - at,
            "result " + base64Bytes(text.substr(at + kKey.size(), end - at - kKey.size())));
        return seenByReader(text);
    }
    return text;
}

// Digits from 5 to 9 that a reader sees, apart from up to four after a masked card number: the
// property test's card data alone use them.
std::string cardDigitsShown(std::string_view view) {
    std::string shown;
    for (std::size_t at = 0; at < view.size(); ++at) {
        // The last digits, four at most, which separators may stand among.
        std::size_t end = at + 1;
        std::size_t digits = 0;
        while (view[at] == '*' && end < view.size() && digits <= 4 &&
               std::string_view("0123456789 \t\r\n./-+").find(view[end]) != std::string::npos) {
            digits += isDigit(view[end++]);
        }
        if (digits > 0 && digits <= 4) {
            at = end - 1;
        } else if (view[at] >= '5' && view[at] <= '9') {
            shown += view[at];
        }
    }
    return shown;
}

TEST(CardDataMaskingProperty, NoCardDataShowsHoweverTheDocumentIsSpelled) {
    std::mt19937_64 random(20240611);
    const auto chance = [&random](unsigned percent) { return random() % 100 < percent; };
    for (std::uint64_t d = 0; d < 150; ++d) {
        for (int s = 0; s < 16; ++s) {
            const Spelling spelling{.pretty = chance(50),
                                    .escapedNames = chance(50),
                                    .numbers = chance(50),
                                    .escapedSolidus = chance(50),
                                    .escapedDigits = chance(30),
                                    .closedEarly = chance(15),
                                    .separatedCards = chance(30)};
            const auto echo = static_cast<Echo>(chance(40) ? 0 : random() % int(Echo::count));
            DocumentWriter writer(d, spelling);
            std::string body = writer.document();
            // Objects and arrays around the whole, then echoed, then carried as a text member of
            // an envelope, perhaps twice, perhaps behind whitespace; cut short, or with bytes
            // after.
            const std::size_t wrapped = chance(30) ? 1 + random() % 8 : 0;
            for (std::size_t i = 0; i < wrapped; ++i) {
                body = "{\"n\":[" + body + "]}";
            }
            body = echoed(body, writer, echo, random(), spelling);
            const bool leadingWhitespace = chance(50);
            for (std::size_t i = random() % 3; i > 0; --i) {
                std::string envelope = "{\"mensaje\":";
                writeString(envelope, (leadingWhitespace ? " \n " : "") + body, spelling);
                body = envelope + ",\"firma\":\"ab12\"}";
            }
            // (The card form's fields are masked only when whole: a field cut short is no card
            // datum.)
            const bool truncated = !writer.cardNumberInText && echo < Echo::form && chance(25);
            if (truncated) {
                body.resize(body.size() / 4 + random() % (body.size() * 3 / 4));
            }
            const bool trailingBytes = chance(15);
            if (trailingBytes) {
                body += "\n}trailing";
            }

            const std::string output = maskCardData(body);
            SCOPED_TRACE(body + "\n  masked: " + output);
            ASSERT_EQ(maskingFault(body, output), "");
            ASSERT_EQ(cardDigitsShown(seenByReader(output)), "");
            // What is no card data prints as it stood.
            for (const auto& value : writer.ordinaryValues) {
                if (echo == Echo::none && !truncated) {
                    ASSERT_NE(output.find(value), std::string::npos) << value;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vanto
