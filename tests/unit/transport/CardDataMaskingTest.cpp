// Card data never show in clear in a trace, however the JSON that carries them is spelled.
#include <cstdint>
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
        // Not JSON: card numbers as cardholders type them.
        {"datoEntrada=x 4000 0000 0000 1234, 4000000000001234 and 1234-5678 {",
         "datoEntrada=x **** **** **** ****, ************1234 and 1234-5678 {"},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(maskCardData(body), expected) << body;
    }
}

// The JSON texts of the property test below. A small generator with a fixed seed writes
// documents holding card members among other members, and each is spelled in many ways. Card
// data use the digits 5 to 9 and nothing else in a document does, so that a leak cannot hide
// behind another value that reads the same.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    std::string characters(std::string_view from, std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            text += from[below(from.size())];
        }
        return text;
    }

  private:
    std::uint64_t state_;
};

struct Json {
    enum class Kind { text, number, card, object, array } kind = Kind::object;
    std::string scalar;
    // Members, or items with empty names; in two vectors, as a pair cannot hold this type yet.
    std::vector<std::string> names;
    std::vector<Json> values;

    static Json of(Kind kind, std::string text = "") {
        Json json;
        json.kind = kind;
        json.scalar = std::move(text);
        return json;
    }
    void add(std::pair<std::string, Json> member) {
        names.push_back(std::move(member.first));
        values.push_back(std::move(member.second));
    }
};

struct Document {
    Json root;
    std::vector<std::string> cardNumbers;
    std::vector<std::string> hiddenValues;  // security codes and expiry dates
    std::vector<std::string> ordinaryValues;
    bool repeatsACardNumber = false;
};

class Generator {
  public:
    explicit Generator(Random& random) : random_(random) {}

    Document document() {
        document_ = Document();
        document_.root = object(0);
        document_.root.add(cardMember());
        return std::move(document_);
    }

  private:
    Json object(int depth) {
        Json json;
        const std::size_t members = 1 + random_.below(5);
        for (std::size_t i = 0; i < members; ++i) {
            switch (random_.below(depth < 4 ? 7 : 4)) {
                case 0:
                    json.add(cardMember());
                    if (random_.chance(30)) {
                        json.add(cardMember(json.names.back()));
                    }
                    break;
                case 1: {
                    // Letters and the digits 0 to 4; long runs of those are no card data.
                    std::string value = random_.characters("abcdefghijklmnopqrstuvwxyz", 6) +
                                        random_.characters("01234", random_.chance(20) ? 14 : 2);
                    document_.ordinaryValues.push_back(value);
                    json.add({"Ds_Order", Json::of(Json::Kind::text, value)});
                    break;
                }
                case 2:
                    json.add({"code", Json::of(Json::Kind::number, "1024")});
                    break;
                case 3:
                    if (!document_.cardNumbers.empty()) {
                        document_.repeatsACardNumber = true;
                        json.add({"desc", Json::of(Json::Kind::text,
                                                   "ref " + document_.cardNumbers.back() + " ok")});
                    }
                    break;
                case 4:
                case 5:
                    json.add({"datosRespuesta", object(depth + 1)});
                    break;
                default: {
                    Json array = Json::of(Json::Kind::array);
                    array.add({"", object(depth + 1)});
                    array.add({"", Json::of(Json::Kind::number, "-4")});
                    json.add({"lista", std::move(array)});
                }
            }
        }
        return json;
    }

    std::pair<std::string, Json> cardMember(std::string name = "") {
        static const std::string names[] = {"DS_MERCHANT_PAN",        "Ds_CardNumber",
                                            "Ds_Card_Number",         "DS_MERCHANT_CVV2",
                                            "DS_MERCHANT_EXPIRYDATE", "Ds_ExpiryDate"};
        if (name.empty()) {
            name = names[random_.below(std::size(names))];
        }
        std::string value;
        if (name.find("PAN") != std::string::npos || name.find("Number") != std::string::npos) {
            value = random_.characters("56789", 12 + random_.below(8));
            document_.cardNumbers.push_back(value);
        } else {
            value = name.find("CVV") != std::string::npos ? random_.characters("56789", 3)
                    : random_.chance(30)
                        ? random_.characters("56789", 2) + "/" + random_.characters("56789", 2)
                        : random_.characters("56789", 4);
            document_.hiddenValues.push_back(value);
        }
        return {name, Json::of(Json::Kind::card, value)};
    }

    Random& random_;
    Document document_;
};

struct Spelling {
    bool pretty = false;         // whitespace around colons and commas, a member a line
    bool escapedNames = false;   // names partly written as \u escapes
    bool numbers = false;        // card data written as JSON numbers where they are digits
    bool escapedSolidus = true;  // "/" written as "\/"
    int wrapped = 0;             // objects and arrays around the whole
    int carried = 0;             // times carried as a text member of an envelope
    bool leadingWhitespace = false;
    bool truncated = false;
    bool trailingBytes = false;
};

void writeString(std::string& out, std::string_view text, const Spelling& spelling) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '/' && spelling.escapedSolidus) {
            out += "\\/";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    out += '"';
}

void writeName(std::string& out, std::string_view name, const Spelling& spelling) {
    std::string escaped;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (spelling.escapedNames && i % 2 == 0) {
            static constexpr char kHex[] = "0123456789abcdef";
            escaped += "\\u00";
            escaped += kHex[static_cast<unsigned char>(name[i]) >> 4];
            escaped += kHex[name[i] & 0xF];
        } else {
            escaped += name[i];
        }
    }
    out += '"' + escaped + '"';
}

void write(std::string& out, const Json& json, const Spelling& spelling, int indent) {
    const std::string newline = spelling.pretty ? "\n" + std::string(2 * indent + 2, ' ') : "";
    switch (json.kind) {
        case Json::Kind::number:
            out += json.scalar;
            return;
        case Json::Kind::card:
            if (spelling.numbers && json.scalar.find('/') == std::string::npos) {
                out += json.scalar;
                return;
            }
            [[fallthrough]];
        case Json::Kind::text:
            writeString(out, json.scalar, spelling);
            return;
        default:
            break;
    }
    const bool object = json.kind == Json::Kind::object;
    out += object ? '{' : '[';
    for (std::size_t i = 0; i < json.values.size(); ++i) {
        out += (i > 0 ? "," : "") + newline;
        if (object) {
            writeName(out, json.names[i], spelling);
            out += spelling.pretty ? " : " : ":";
        }
        write(out, json.values[i], spelling, indent + 1);
    }
    out += (spelling.pretty ? "\n" + std::string(2 * indent, ' ') : "") + (object ? '}' : ']');
}

std::string spelled(const Document& document, const Spelling& spelling, Random& random) {
    Json root = document.root;
    for (int i = 0; i < spelling.wrapped; ++i) {
        Json array = Json::of(Json::Kind::array);
        array.add({"", std::move(root)});
        root = Json::of(Json::Kind::object);
        root.add({"n", std::move(array)});
    }
    std::string text;
    write(text, root, spelling, 0);
    for (int i = 0; i < spelling.carried; ++i) {
        std::string envelope = "{\"mensaje\":";
        writeString(envelope, (spelling.leadingWhitespace ? " \n " : "") + text, spelling);
        text = envelope + ",\"firma\":\"ab12\"}";
    }
    if (spelling.truncated) {
        text.resize(text.size() / 4 + random.below(text.size() * 3 / 4));
    }
    return spelling.trailingBytes ? text + "\n}trailing" : text;
}

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
    Random random(20240611);
    Generator generator(random);
    for (int d = 0; d < 150; ++d) {
        const Document document = generator.document();
        for (int s = 0; s < 16; ++s) {
            Spelling spelling{
                .pretty = random.chance(50),
                .escapedNames = random.chance(50),
                .numbers = random.chance(50),
                .escapedSolidus = random.chance(50),
                .wrapped = random.chance(30) ? 1 + static_cast<int>(random.below(8)) : 0,
                .carried = static_cast<int>(random.below(3)),
                .leadingWhitespace = random.chance(50),
                .truncated = !document.repeatsACardNumber && random.chance(25),
                .trailingBytes = random.chance(15)};
            const std::string body = spelled(document, spelling, random);
            const std::string output = maskCardData(body);
            const std::string visible = visiblePart(output);
            SCOPED_TRACE(body + "\n  masked: " + output);
            for (const auto& number : document.cardNumbers) {
                for (std::size_t at = 0; at + 5 <= number.size(); ++at) {
                    ASSERT_EQ(visible.find(number.substr(at, 5)), std::string::npos);
                }
            }
            for (const auto& value : document.hiddenValues) {
                ASSERT_EQ(visible.find(value), std::string::npos) << value;
            }
            // What is no card data prints as it stood (long digit runs are masked only where
            // the text does not parse).
            const bool parses = !spelling.truncated && !spelling.trailingBytes;
            for (const auto& value : document.ordinaryValues) {
                if (!spelling.truncated && (parses || value.size() < 12)) {
                    ASSERT_NE(output.find(value), std::string::npos) << value;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vanto
