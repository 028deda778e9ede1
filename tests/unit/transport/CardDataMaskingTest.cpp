// Card data never show in clear in a trace, however the text that carries them is spelled.
#include <algorithm>
#include <cstdint>
#include <random>
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
        // A card number repeated elsewhere is compared as read, whatever escapes write it, and
        // any text's card number by the Luhn check is masked, also in groups.
        {R"({"DS_MERCHANT_PAN":"4000000000001235","desc":"ref 4\u003000000000001235"})",
         R"({"DS_MERCHANT_PAN":"************1235","desc":"ref ************1235"})"},
        {R"({"desc":"\u00044548812049400004\\9"})", R"({"desc":"\u0004************0004\\9"})"},
        {R"({"desc":"tarjeta 4548812049400004 rechazada","otro":"4548 8120 4940 0004","n":4548812049400004})",
         R"({"desc":"tarjeta ************0004 rechazada","otro":"**** **** **** ****","n":"************0004"})"},
        // A request echoed in an error text, after a prefix, HTML-escaped, percent-encoded, as a
        // form, as XML.
        {R"({"code":400,"desc":"Bad request: {\"DS_MERCHANT_PAN\":\"4000000000001234\",\"DS_MERCHANT_CVV2\":\"987\",\"DS_MERCHANT_EXPIRYDATE\":\"2912\"}"})",
         R"({"code":400,"desc":"Bad request: {\"DS_MERCHANT_PAN\":\"************1234\",\"DS_MERCHANT_CVV2\":\"***\",\"DS_MERCHANT_EXPIRYDATE\":\"****\"}"})"},
        {R"({"code":400,"desc":"Bad request: {\"DS_MERCHANT_PAN\":\"400000000001234548-8120-4940-0004\"}"})",
         R"({"code":400,"desc":"Bad request: {\"DS_MERCHANT_PAN\":\"******************-****-****-****\"}"})"},
        {R"({"desc":"{&quot;DS_MERCHANT_CVV2&quot;:&quot;987&quot;,&#34;DS_MERCHANT_EXPIRYDATE&#34;:&#x22;2912&#x22;}"})",
         R"({"desc":"{&quot;DS_MERCHANT_CVV2&quot;:&quot;***&quot;,&#34;DS_MERCHANT_EXPIRYDATE&#34;:&#x22;****&#x22;}"})"},
        {R"({"desc":"%7B%22DS_MERCHANT_CVV2%22%3A%22987%22%7D"})",
         R"({"desc":"%7B%22DS_MERCHANT_CVV2%22%3A%22***%22%7D"})"},
        {R"({"desc":"DS_MERCHANT_PAN=4000+0000+0000+1234&DS_MERCHANT_CVV2=987&DS_MERCHANT_EXPIRYDATE=12%2F29"})",
         R"({"desc":"DS_MERCHANT_PAN=****+****+****+****&DS_MERCHANT_CVV2=***&DS_MERCHANT_EXPIRYDATE=*******"})"},
        {R"({"desc":"<pago><DS_MERCHANT_CVV2>987</DS_MERCHANT_CVV2><tarjeta DS_MERCHANT_CVV2=\"987\" DS_MERCHANT_EXPIRYDATE='2912'/></pago>"})",
         R"({"desc":"<pago><DS_MERCHANT_CVV2>***</DS_MERCHANT_CVV2><tarjeta DS_MERCHANT_CVV2=\"***\" DS_MERCHANT_EXPIRYDATE='****'/></pago>"})"},
        // The sandbox page's card form. A form's value runs to its field's end however it is
        // escaped; a card value left open masks what follows it, but not the form's structure.
        {"numero=4000+0000+0000+1234&caducidad=12%2F29&cvv=987&pagina=abc",
         "numero=****+****+****+****&caducidad=*******&cvv=***&pagina=abc"},
        {"cvv=%22bundle%22%3A%22x%22%2C%22f%22%3A%22123%22&pagina=abc",
         "cvv=********************************************&pagina=abc"},
        {"numero=%0D%2520+987&x=1", "numero=************&x=1"},
        {"cvv=12 %26 34&x=1", "cvv=** %26 **&x=1"},
        {"numero=%7B%22Ds_CardNumber%22%3A%5C%7B%22a%22%3A1&cvv=987&pagina=abc",
         "numero=******************************************&***=***&******=***"},
        // ... and a card member's name inside another's value still has its own value masked.
        {"pagina=%22DS_MERCHANT_CVV2%22%3A%221&numero=2%22x%3A345678&cvv=9",
         "pagina=%22DS_MERCHANT_CVV2%22%3A%22***********************&cvv=*"},
        {R"(<DS_MERCHANT_CVV2 x="1" cvv=987 y="2">5</DS_MERCHANT_CVV2>)",
         R"(<DS_MERCHANT_CVV2 x="1" cvv=*** y="2">*</DS_MERCHANT_CVV2>)"},
        // A percent-encoded quotation mark does not close a string opened plainly, nor open one
        // in an object (the control characters keep these from reading as JSON).
        {"{\"DS_MERCHANT_CVV2\":\"98%22a%22%3A7\x01\",\"x\":\"y\"}",
         "{\"DS_MERCHANT_CVV2\":\"**************\",\"x\":\"y\"}"},
        {"{\"DS_MERCHANT_PAN\":{\"a\":\"%22}\",\"b\":\"4000\x01\"}}",
         "{\"DS_MERCHANT_PAN\":{\"*\":\"%22}\",\"*\":\"*****\"}}"},
        // Cut short: the values after the names are masked all the same.
        {R"({"mensaje":"{\"Ds_CardNumber\":\"400000******0002\",\"Ds_ExpiryDate\" : \"30/1)",
         R"({"mensaje":"{\"Ds_CardNumber\":\"************0002\",\"Ds_ExpiryDate\" : \"****)"},
        {R"({"DS_MERCHANT_CVV2":"1\"2","x":"y)", R"({"DS_MERCHANT_CVV2":"****","x":"y)"},
        // ... with escaped whitespace between name and value, and a quotation mark in a value of
        // JSON carried two levels deep; what may be a value up to the next name is masked too.
        {R"({"mensaje":"{\"DS_MERCHANT_CVV2\"\b:\r\n\t\f\"987\",\"x)",
         R"({"mensaje":"{\"DS_MERCHANT_CVV2\"\b:\r\n\t\f\"***\",\"*)"},
        {R"({"a":"{\"b\":\"{\\\"DS_MERCHANT_CVV2\\\":\\\"9\\\\\\\"87\\\"}\"}"} and more)",
         R"({"a":"{\"b\":\"{\\\"DS_MERCHANT_CVV2\\\":\\\"***********\\\"}\"}"} *** ****)"},
        // ... a value closed early (by a quotation mark of an outer level, by a bracket), single
        // quotes, and digits next to escapes, which stay whole.
        {R"({"mensaje":"{\"DS_MERCHANT_CVV2\":\"98"7\",\"Ds_Order\":\"A1\"}")",
         R"({"mensaje":"{\"DS_MERCHANT_CVV2\":\"**"*\",\"Ds_Order\":\"A1\"}")"},
        {R"({"DS_MERCHANT_EXPIRYDATE":[29],12,"x":1)",
         R"({"DS_MERCHANT_EXPIRYDATE":[**],**,"x":1)"},
        {R"({"desc":"x {\"DS_MERCHANT_PAN\":{\"n\u0005\":\"4000\"}}"})",
         R"({"desc":"x {\"DS_MERCHANT_PAN\":{\"**\":\"****\"}}"})"},
        {"{'DS_MERCHANT_PAN': '4000000000001234', 'DS_MERCHANT_CVV2': '987'}",
         "{'DS_MERCHANT_PAN': '************1234', 'DS_MERCHANT_CVV2': '***'}"},
        {R"({"x":"\u00341234567890123)", R"({"x":"**********0123)"},
        {"x=%31234567890123&y", "x=*********0123&y"},
        {"x &#34466666666666666666; y", "x * y"},
        {R"({"x":"\\\%0422222222222222[)", R"({"x":"********************[)"},
        // Not JSON: card numbers as cardholders type them.
        {"datoEntrada=x 4000 0000 0000 1234, 4000000000001234, 4000-0000-0000-1234 and 1234-5678 {",
         "datoEntrada=x **** **** **** ****, ************1234, ****-****-****-**** and 1234-5678 "
         "{"},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(maskCardData(body), expected) << body;
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
    bool escapedDigits = false;   // digits of a repeated card number written as \u escapes
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
    cardForm,        // its card members as the sandbox page's card form
    xmlElements,     // its members as XML elements
    xmlAttributes,   // its members as XML attributes
    count
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
        const char separator = " -+"[below(3)];
        std::string grouped;
        for (std::size_t i = 0; i < number.size(); ++i) {
            grouped += i > 0 && i % 4 == 0 ? std::string(1, separator) : "";
            grouped += number[i];
        }
        return grouped;
    }

    void repeatedCardNumber(std::string& out, const std::string& number) {
        std::string text = "ref ";
        for (std::size_t i = 0; i < number.size(); ++i) {
            text += spelling_.escapedDigits && i % 3 == 1 ? std::string("\\u003") + number[i]
                                                          : std::string(1, number[i]);
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
    static const char* const kQuotes[] = {"&quot;", "&#34;", "&#x22;"};
    std::string out;
    for (const char c : text) {
        out += c == '"' ? kQuotes[variant % 3] : c == '&' ? "&amp;" : std::string(1, c);
    }
    return out;
}

// The members of a document as a flat text of another kind.
std::string flat(const DocumentWriter& writer, Echo echo) {
    std::string out = echo == Echo::xmlAttributes ? "<datos"
                      : echo == Echo::xmlElements ? "<datos>"
                                                  : "";
    for (const auto& [name, value] : writer.members) {
        std::string field = name;
        if (echo == Echo::cardForm) {
            if (name.find("CVV") != std::string::npos) {
                field = "cvv";
            } else if (name.find("EXPIRY") != std::string::npos ||
                       name.find("Expiry") != std::string::npos) {
                field = "caducidad";
            } else if (name.find("PAN") != std::string::npos || name.ends_with("Number")) {
                field = "numero";
            }
        }
        if (echo == Echo::form || echo == Echo::cardForm) {
            out += (out.empty() ? "" : "&") + field + "=" + formEncoded(value);
        } else if (echo == Echo::xmlElements) {
            out += "<" + field + ">" + value + "</" + field + ">";
        } else {
            out += " " + field + "=\"" + value + "\"";
        }
    }
    return out + (echo == Echo::xmlAttributes ? "/>" : echo == Echo::xmlElements ? "</datos>" : "");
}

// The body that carries a JSON document echoed as `echo`.
std::string echoed(const std::string& document, const DocumentWriter& writer, Echo echo,
                   std::size_t variant, const Spelling& spelling) {
    std::string inText;
    switch (echo) {
        case Echo::none:
            return document;
        case Echo::afterPrefix:
            inText = "Bad request: " + document;
            break;
        case Echo::htmlEscaped:
            inText = "Bad request: " + htmlEscaped(document, variant);
            break;
        case Echo::percentEncoded:
            if (variant % 2 == 0) {
                return "datoEntrada=" + percentEncoded(document);
            }
            inText = percentEncoded(document);
            break;
        case Echo::singleQuoted: {
            std::string quoted = document;
            std::replace(quoted.begin(), quoted.end(), '"', '\'');
            if (variant % 2 == 0) {
                return quoted;
            }
            inText = quoted;
            break;
        }
        case Echo::returnAddress:
            return std::string(kReturnAddress) + resultSpelling(document, variant) +
                   "&Ds_Signature=abcd";
        default:
            inText = flat(writer, echo);
            if (variant % 2 == 0) {
                return inText;
            }
    }
    std::string body = "{\"code\":400,\"desc\":";
    writeString(body, inText, spelling);
    return body + "}";
}

// `text` as a reader finally sees it: every escape undone, a payment result's Base64 decoded.
std::string seenByReader(std::string text) {
    text = readersView(std::move(text), true);
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

// Digits from 5 to 9 that a reader sees, apart from the last four of a masked card number.
std::string cardDigitsShown(std::string_view view) {
    const auto digitsFrom = [&](std::size_t at) {
        std::size_t end = at;
        while (end < view.size() && view[end] >= '0' && view[end] <= '9') {
            ++end;
        }
        return end - at;
    };
    std::string shown;
    for (std::size_t at = 0; at < view.size(); ++at) {
        if (view[at] == '*' && digitsFrom(at + 1) == 4) {
            at += 4;
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
            const bool truncated = !writer.cardNumberInText && chance(25);
            if (truncated) {
                body.resize(body.size() / 4 + random() % (body.size() * 3 / 4));
            }
            const bool trailingBytes = chance(15);
            if (trailingBytes) {
                body += "\n}trailing";
            }

            const std::string output = maskCardData(body);
            SCOPED_TRACE(body + "\n  masked: " + output);
            ASSERT_EQ(cardDigitsShown(seenByReader(output)), "");
            ASSERT_LE(brokenEscapes(output), brokenEscapes(body));
            if (nlohmann::json::accept(body)) {
                ASSERT_TRUE(nlohmann::json::accept(output));
            }
            // What is no card data prints as it stood (long digit runs are masked only where
            // the text does not parse).
            const bool lenient = trailingBytes || writer.closedEarly;
            for (const auto& value : writer.ordinaryValues) {
                if (echo == Echo::none && !truncated && (!lenient || value.size() < 12)) {
                    ASSERT_NE(output.find(value), std::string::npos) << value;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vanto
