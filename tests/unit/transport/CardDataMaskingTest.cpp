// Card data never show in clear in a trace, however the JSON that carries them is spelled.
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

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

TEST(CardDataMaskingExamples, MaskValuesWhereTheyStandAndNothingElse) {
    const std::pair<std::string, std::string> cases[] = {
        // The gateway's answer: its masked card number keeps the last four digits.
        {R"({"mensaje":"{\"datosRespuesta\":{\"Ds_CardNumber\":\"400000******0002\",\"Ds_ExpiryDate\":\"3012\",\"Ds_Response\":\"0000\"},\"code\":0}","firma":"ab"})",
         R"({"mensaje":"{\"datosRespuesta\":{\"Ds_CardNumber\":\"************0002\",\"Ds_ExpiryDate\":\"****\",\"Ds_Response\":\"0000\"},\"code\":0}","firma":"ab"})"},
        // A short card number hides itself, not the same digits elsewhere.
        {R"({"DS_MERCHANT_PAN":"12","DS_MERCHANT_AMOUNT":"1299","so":"12"})",
         R"({"DS_MERCHANT_PAN":"**","DS_MERCHANT_AMOUNT":"1299","so":"12"})"},
        // Values of any type become masked texts, so the JSON stays readable.
        {R"({"DS_MERCHANT_PAN" : 4000000000001234, "ds_merchant_cvv2":[9,8,7], "n":1})",
         R"({"DS_MERCHANT_PAN" : "************1234", "ds_merchant_cvv2":"*******", "n":1})"},
        {"\xEF\xBB\xBF{\"DS_MERCHANT_CVV2\":123}", "\xEF\xBB\xBF{\"DS_MERCHANT_CVV2\":\"***\"}"},
        {R"(["{\"\u0044S_MERCHANT_CVV2\":987,\"Ds_ExpiryDate\":\"12\/29\"}"])",
         R"(["{\"\u0044S_MERCHANT_CVV2\":\"***\",\"Ds_ExpiryDate\":\"*****\"}"])"},
        // Cut short: the values after the names are masked all the same.
        {R"({"mensaje":"{\"Ds_CardNumber\":\"400000******0002\",\"Ds_ExpiryDate\" : \"30/1)",
         R"({"mensaje":"{\"Ds_CardNumber\":\"************0002\",\"Ds_ExpiryDate\" : \"****)"},
        {R"({"DS_MERCHANT_CVV2":"1\"2","x":"y)", R"({"DS_MERCHANT_CVV2":"****","x":"y)"},
        // ... with escaped whitespace between name and value, and a quotation mark in a value of
        // JSON carried two levels deep.
        {R"({"mensaje":"{\"DS_MERCHANT_CVV2\"\b:\r\n\t\f\"987\",\"x)",
         R"({"mensaje":"{\"DS_MERCHANT_CVV2\"\b:\r\n\t\f\"***\",\"x)"},
        {R"({"a":"{\"b\":\"{\\\"DS_MERCHANT_CVV2\\\":\\\"9\\\\\\\"87\\\"}\"}"} and more)",
         R"({"a":"{\"b\":\"{\\\"DS_MERCHANT_CVV2\\\":\\\"***********\\\"}\"}"} and more)"},
        // Not JSON: card numbers as cardholders type them.
        {"datoEntrada=x 4000 0000 0000 1234, 4000000000001234, 4000-0000-0000-1234 and 1234-5678 {",
         "datoEntrada=x **** **** **** ****, ************1234, ****-****-****-**** and 1234-5678 "
         "{"},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(maskCardData(body), expected) << body;
    }
}

// How a document of the property test below is spelled.
struct Spelling {
    bool pretty = false;         // whitespace around colons and commas, a member a line
    bool escapedNames = false;   // names partly written as \u escapes
    bool numbers = false;        // card data written as JSON numbers where they are digits
    bool escapedSolidus = true;  // "/" written as "\/"
};

void writeString(std::string& out, std::string_view text, const Spelling& spelling) {
    out += '"';
    for (const char c : text) {
        out += c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
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
    std::vector<std::string> hiddenValues;  // security codes and expiry dates
    std::vector<std::string> ordinaryValues;
    bool repeatsACardNumber = false;

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
        const std::size_t members = 1 + below(5);
        for (std::size_t i = 0; i < members; ++i) {
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
            // Letters and the digits 0 to 4; long runs of those are no card data.
            ordinaryValues.push_back(characters("abcdefghijklmnopqrstuvwxyz", 6) +
                                     characters("01234", below(100) < 20 ? 14 : 2));
            name(out, "Ds_Order", depth);
            writeString(out, ordinaryValues.back(), spelling_);
        } else if (kind == 3 && !cardNumbers.empty()) {
            repeatsACardNumber = true;
            name(out, "desc", depth);
            writeString(out, "ref " + cardNumbers.back() + " ok", spelling_);
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

    void cardMember(std::string& out, std::string_view card, int depth) {
        std::string value;
        if (card.find("PAN") != std::string_view::npos || card.ends_with("Number")) {
            value = characters("56789", 12 + below(8));
            cardNumbers.push_back(value);
        } else {
            value = card.find("CVV") != std::string_view::npos ? characters("56789", 3)
                    : below(100) < 30 ? characters("56789", 2) + "/" + characters("56789", 2)
                                      : characters("56789", 4);
            hiddenValues.push_back(value);
        }
        name(out, card, depth);
        if (spelling_.numbers && value.find('/') == std::string::npos) {
            out += value;
        } else {
            writeString(out, value, spelling_);
        }
    }

    std::mt19937_64 random_;
    Spelling spelling_;
};

// The output without the last four digits that masked card numbers show, and without
// backslashes, so that a value shows however it was escaped.
std::string visiblePart(std::string_view output) {
    const auto digitsFrom = [&](std::size_t at) {
        std::size_t end = at;
        while (end < output.size() && output[end] >= '0' && output[end] <= '9') {
            ++end;
        }
        return end - at;
    };
    std::string visible;
    for (std::size_t at = 0; at < output.size(); ++at) {
        if (output[at] == '*' && digitsFrom(at + 1) == 4) {
            at += 4;
        } else if (output[at] != '\\') {
            visible += output[at];
        }
    }
    return visible;
}

TEST(CardDataMaskingProperty, NoCardDataShowsHoweverTheDocumentIsSpelled) {
    std::mt19937_64 random(20240611);
    const auto chance = [&random](unsigned percent) { return random() % 100 < percent; };
    for (std::uint64_t d = 0; d < 150; ++d) {
        for (int s = 0; s < 16; ++s) {
            const Spelling spelling{.pretty = chance(50),
                                    .escapedNames = chance(50),
                                    .numbers = chance(50),
                                    .escapedSolidus = chance(50)};
            DocumentWriter writer(d, spelling);
            std::string body = writer.document();
            // Objects and arrays around the whole, then carried as a text member of an
            // envelope, perhaps twice, perhaps behind whitespace; cut short, or with bytes after.
            const std::size_t wrapped = chance(30) ? 1 + random() % 8 : 0;
            for (std::size_t i = 0; i < wrapped; ++i) {
                body = "{\"n\":[" + body + "]}";
            }
            const bool leadingWhitespace = chance(50);
            for (std::size_t i = random() % 3; i > 0; --i) {
                std::string envelope = "{\"mensaje\":";
                writeString(envelope, (leadingWhitespace ? " \n " : "") + body, spelling);
                body = envelope + ",\"firma\":\"ab12\"}";
            }
            const bool truncated = !writer.repeatsACardNumber && chance(25);
            if (truncated) {
                body.resize(body.size() / 4 + random() % (body.size() * 3 / 4));
            }
            const bool trailingBytes = chance(15);
            if (trailingBytes) {
                body += "\n}trailing";
            }

            const std::string output = maskCardData(body);
            const std::string visible = visiblePart(output);
            SCOPED_TRACE(body + "\n  masked: " + output);
            for (const auto& number : writer.cardNumbers) {
                for (std::size_t at = 0; at + 5 <= number.size(); ++at) {
                    ASSERT_EQ(visible.find(number.substr(at, 5)), std::string::npos);
                }
            }
            for (const auto& value : writer.hiddenValues) {
                ASSERT_EQ(visible.find(value), std::string::npos) << value;
            }
            // What is no card data prints as it stood (long digit runs are masked only where
            // the text does not parse).
            for (const auto& value : writer.ordinaryValues) {
                if (!truncated && (!trailingBytes || value.size() < 12)) {
                    ASSERT_NE(output.find(value), std::string::npos) << value;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vanto
