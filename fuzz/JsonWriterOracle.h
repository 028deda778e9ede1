#pragma once

// The JSON writer, on member names, texts and integers taken from the input: what it writes must
// read back as the same members, its nested copy as the same text carried as a string, and any
// text that is not well-formed UTF-8, or name that would need escaping, must be refused.
//
// The input is cut at each zero byte into pieces: "{name" opens an object member, "}" closes
// it, "#name" is an integer member, and any other two pieces are a name and its text.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/text/Utf8.h"

namespace vanto::fuzz::jsonwriter {

using nlohmann::json;

struct Event {
    enum class Kind { name, text, integer, open, close } kind;
    std::string text;
    std::int64_t integer = 0;

    bool operator==(const Event&) const = default;
};

// What a parser reads, as events; nothing when it reads anything but objects, strings and
// integers.
inline std::optional<std::vector<Event>> parsedEvents(std::string_view text) {
    using Parse = json::parse_event_t;
    std::vector<Event> events;
    bool other = false;
    const auto note = [&](int, Parse event, json& parsed) {
        if (event == Parse::object_start || event == Parse::object_end) {
            events.push_back(
                {event == Parse::object_start ? Event::Kind::open : Event::Kind::close, ""});
        } else if (event == Parse::key || (event == Parse::value && parsed.is_string())) {
            events.push_back({event == Parse::key ? Event::Kind::name : Event::Kind::text,
                              parsed.get<std::string>()});
        } else if (event == Parse::value && parsed.is_number_integer() &&
                   !(parsed.is_number_unsigned() && parsed.get<std::uint64_t>() > INT64_MAX)) {
            events.push_back({Event::Kind::integer, "", parsed.get<std::int64_t>()});
        } else {
            other = true;
        }
        return true;
    };
    if (json::parse(text, note, false).is_discarded() || other) {
        return std::nullopt;
    }
    return events;
}

inline std::int64_t integerFrom(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return static_cast<std::int64_t>(hash);
}

inline void checkEscaping(std::string_view text) {
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

}  // namespace vanto::fuzz::jsonwriter

namespace vanto::fuzz {

/// Checks the writer on the members `input` describes, as above.
inline void checkJsonWriter(std::string_view input) {
    using namespace jsonwriter;
    if (input.empty()) {
        return;
    }
    // The first byte: whether to keep a nested copy (bit 0), whether the writer is for sensitive
    // text (bit 1), and its starting size (the rest).
    const auto first = static_cast<unsigned char>(input[0]);
    const bool nested = (first & 1) != 0;
    const auto sensitive =
        (first & 2) != 0 ? vanto::JsonWriter::Sensitive::yes : vanto::JsonWriter::Sensitive::no;
    vanto::JsonWriter writer(first >> 2, sensitive);
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
    // Names go in as they are: one with a byte that would need escaping, or outside ASCII, has
    // no name, and its member is left out.
    const auto nameOf = [](std::string_view text) {
        const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80 ||
                   c == '"' || c == '\\' || c == '/';
        });
        const auto name = vanto::JsonWriter::Name::checked(text);
        FUZZ_CHECK(name.has_value() == plain);
        return name;
    };
    writer.beginObject();
    int depth = 0;
    const auto pieces = vanto::fuzz::split(input.substr(1), '\0');
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        if (piece.starts_with('{') && depth < 60) {
            if (const auto name = nameOf(piece.substr(1))) {
                writer.key(*name);
                writer.beginObject();
                expected.push_back({Event::Kind::name, given(piece.substr(1))});
                expected.push_back({Event::Kind::open, ""});
                ++depth;
            }
        } else if (piece == "}" && depth > 0) {
            writer.endObject();
            expected.push_back({Event::Kind::close, ""});
            --depth;
        } else if (piece.starts_with('#')) {
            if (const auto name = nameOf(piece.substr(1))) {
                const std::int64_t integer = integerFrom(piece);
                writer.member(*name, integer);
                expected.push_back({Event::Kind::name, given(piece.substr(1))});
                expected.push_back({Event::Kind::integer, "", integer});
            }
        } else if (i + 1 < pieces.size()) {
            if (const auto name = nameOf(piece)) {
                writer.member(*name, pieces[i + 1]);
                expected.push_back({Event::Kind::name, given(piece)});
                expected.push_back({Event::Kind::text, given(pieces[i + 1])});
            }
            ++i;
        }
    }
    for (; depth >= 0; --depth) {
        writer.endObject();
        expected.push_back({Event::Kind::close, ""});
    }

    FUZZ_CHECK(writer.ok() == allText);
    if (!allText) {
        return;
    }
    const std::string text(writer.text());
    FUZZ_CHECK(parsedEvents(text) == expected);
    if (nested) {
        writer.appendToNestedCopy("\"]");
        const json copy = json::parse(writer.takeNestedCopy(), nullptr, false);
        FUZZ_CHECK(copy.is_array() && copy.size() == 1 && copy[0] == text);
    }
    FUZZ_CHECK(writer.take() == text);
}

}  // namespace vanto::fuzz
