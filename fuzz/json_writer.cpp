// The JSON writer, on member names, texts and integers taken from the input: what it writes must
// read back as the same members, its nested copy as the same text carried as a string, and any
// text that is not well-formed UTF-8 must be refused.
//
// The input is cut at each zero byte into pieces: "{name" opens an object member, "}" closes
// it, "#name" is an integer member, and any other two pieces are a name and its text.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/text/Utf8.h"

namespace {

using nlohmann::json;

struct Event {
    enum class Kind { name, text, integer, open, close } kind;
    std::string text;
    std::int64_t integer = 0;

    bool operator==(const Event&) const = default;
};

// What a parser reads, as events; anything but objects, strings and integers is a failure.
class Recorder : public nlohmann::json_sax<json> {
  public:
    std::vector<Event> events;

    bool null() override { return false; }
    bool boolean(bool) override { return false; }
    bool number_integer(number_integer_t value) override {
        events.push_back({Event::Kind::integer, "", value});
        return true;
    }
    bool number_unsigned(number_unsigned_t value) override {
        events.push_back({Event::Kind::integer, "", static_cast<std::int64_t>(value)});
        return value <= static_cast<number_unsigned_t>(INT64_MAX);
    }
    bool number_float(number_float_t, const string_t&) override { return false; }
    bool string(string_t& value) override {
        events.push_back({Event::Kind::text, value});
        return true;
    }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override {
        events.push_back({Event::Kind::open, ""});
        return true;
    }
    bool key(string_t& value) override {
        events.push_back({Event::Kind::name, value});
        return true;
    }
    bool end_object() override {
        events.push_back({Event::Kind::close, ""});
        return true;
    }
    bool start_array(std::size_t) override { return false; }
    bool end_array() override { return false; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }
};

std::optional<std::vector<Event>> parsedEvents(std::string_view text) {
    Recorder recorder;
    if (!json::sax_parse(text, &recorder)) {
        return std::nullopt;
    }
    return recorder.events;
}

std::int64_t integerFrom(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return static_cast<std::int64_t>(hash);
}

void checkEscaping(std::string_view text) {
    std::string out = "x";
    const bool written = vanto::appendJsonEscaped(out, text);
    FUZZ_CHECK(written == vanto::isValidUtf8(text));
    if (!written) {
        FUZZ_CHECK(out == "x");
        return;
    }
    const json parsed = json::parse("\"" + out.substr(1) + "\"", nullptr, false);
    FUZZ_CHECK(parsed.is_string() && parsed.get<std::string>() == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool nested = (data[0] & 1) != 0;
    const auto sensitive =
        (data[0] & 2) != 0 ? vanto::JsonWriter::Sensitive::yes : vanto::JsonWriter::Sensitive::no;
    vanto::JsonWriter writer(data[0] >> 2, sensitive);
    if (nested) {
        writer.keepNestedCopy("[\"");
    }
    std::vector<Event> expected = {{Event::Kind::open, ""}};
    bool allText = true;
    const auto given = [&](std::string_view text) {
        allText = allText && vanto::isValidUtf8(text);
        checkEscaping(text);
        return std::string(text);
    };
    writer.beginObject();
    int depth = 0;
    const auto pieces = vanto::fuzz::split(vanto::fuzz::textOf(data + 1, size - 1), '\0');
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        if (piece.starts_with('{') && depth < 60) {
            writer.key(piece.substr(1));
            writer.beginObject();
            expected.push_back({Event::Kind::name, given(piece.substr(1))});
            expected.push_back({Event::Kind::open, ""});
            ++depth;
        } else if (piece == "}" && depth > 0) {
            writer.endObject();
            expected.push_back({Event::Kind::close, ""});
            --depth;
        } else if (piece.starts_with('#')) {
            const std::int64_t integer = integerFrom(piece);
            writer.member(piece.substr(1), integer);
            expected.push_back({Event::Kind::name, given(piece.substr(1))});
            expected.push_back({Event::Kind::integer, "", integer});
        } else if (i + 1 < pieces.size()) {
            writer.member(piece, pieces[i + 1]);
            expected.push_back({Event::Kind::name, given(piece)});
            expected.push_back({Event::Kind::text, given(pieces[++i])});
        }
    }
    for (; depth >= 0; --depth) {
        writer.endObject();
        expected.push_back({Event::Kind::close, ""});
    }

    FUZZ_CHECK(writer.ok() == allText);
    if (!allText) {
        return 0;
    }
    const std::string text(writer.text());
    FUZZ_CHECK(parsedEvents(text) == expected);
    if (nested) {
        writer.appendToNestedCopy("\"]");
        const json copy = json::parse(writer.takeNestedCopy(), nullptr, false);
        FUZZ_CHECK(copy.is_array() && copy.size() == 1 && copy[0] == text);
    }
    FUZZ_CHECK(writer.take() == text);
    return 0;
}
