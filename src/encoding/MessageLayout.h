#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "encoding/JsonEscape.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/platform/SecretText.h"

// A request message of fixed shape written straight from its texts: the member names,
// punctuation and quotation marks between the texts are worked out when the program is compiled,
// once as they stand in the message and once escaped as they stand when the message travels as a
// JSON text member, so that writing a message copies fixed pieces and the texts, in turn, into
// both at once.
namespace vanto::detail {

/// One step of a message's shape, for `Texts`, the record of the texts it carries: a member whose
/// value is one of those texts, a member whose value is the same in every message, the start of a
/// member whose value is an object, or that object's end.
template <typename Texts>
struct MessageStep {
    enum class Kind { text, constant, object, end };
    Kind kind;
    JsonWriter::Name name = "";
    std::string_view Texts::*text = nullptr;
    std::string_view constant;
};

template <typename Texts>
constexpr MessageStep<Texts> textMember(JsonWriter::Name name, std::string_view Texts::*text) {
    return {MessageStep<Texts>::Kind::text, name, text, {}};
}

/// A member whose value is always `value`, plain text that needs no escaping.
template <typename Texts>
consteval MessageStep<Texts> constantMember(JsonWriter::Name name, std::string_view value) {
    for (const char c : value) {
        if (kAttention[static_cast<unsigned char>(c)] != 0) {
            throw "a constant member's value must need no escaping";
        }
    }
    return {MessageStep<Texts>::Kind::constant, name, nullptr, value};
}

template <typename Texts>
constexpr MessageStep<Texts> objectMember(JsonWriter::Name name) {
    return {MessageStep<Texts>::Kind::object, name, nullptr, {}};
}

template <typename Texts>
constexpr MessageStep<Texts> objectEnd() {
    return {MessageStep<Texts>::Kind::end, "", nullptr, {}};
}

// Walks a message of `steps` (an object around them): `put` takes each character of the fixed
// pieces, `gap` each text's place between them.
template <typename Step, std::size_t N, typename Put, typename Gap>
constexpr void walkMessage(const std::array<Step, N>& steps, Put put, Gap gap) {
    constexpr std::size_t kMaxDepth = 4;
    std::array<bool, kMaxDepth> hasMembers{};
    std::size_t depth = 0;
    put('{');
    for (const Step& step : steps) {
        if (step.kind == Step::Kind::end) {
            put('}');
            --depth;
            continue;
        }
        if (hasMembers.at(depth)) {
            put(',');
        }
        hasMembers.at(depth) = true;
        put('"');
        for (const char c : step.name.view()) {
            put(c);
        }
        put('"');
        put(':');
        if (step.kind == Step::Kind::object) {
            put('{');
            hasMembers.at(++depth) = false;
        } else {
            put('"');
            if (step.kind == Step::Kind::constant) {
                for (const char c : step.constant) {
                    put(c);
                }
            } else {
                gap(step.text);
            }
            put('"');
        }
    }
    if (depth != 0) {
        throw "every object of a message's layout must end";
    }
    put('}');
}

template <typename Step, std::size_t N>
consteval std::size_t textCount(const std::array<Step, N>& steps) {
    std::size_t count = 0;
    walkMessage(
        steps, [](char) {}, [&count](auto) { ++count; });
    return count;
}

template <typename Step, std::size_t N>
consteval std::size_t fixedSize(const std::array<Step, N>& steps) {
    std::size_t size = 0;
    walkMessage(
        steps, [&size](char) { ++size; }, [](auto) {});
    return size;
}

/// The fixed pieces of a message around its `kTexts` texts: piece i comes before text i, the last
/// piece after the last text.
template <typename Texts, std::size_t kTexts, std::size_t kFixedSize>
struct MessageLayout {
    std::array<char, kFixedSize> pieces{};
    // The pieces escaped as the body of a JSON string: only their quotation marks change.
    std::array<char, 2 * kFixedSize> nestedPieces{};
    std::array<std::uint16_t, kTexts + 2> pieceAt{};
    std::array<std::uint16_t, kTexts + 2> nestedPieceAt{};
    std::array<std::string_view Texts::*, kTexts> texts{};

    constexpr std::string_view piece(std::size_t i) const {
        return {pieces.data() + pieceAt[i], std::size_t{pieceAt[i + 1]} - pieceAt[i]};
    }
    constexpr std::string_view nestedPiece(std::size_t i) const {
        return {nestedPieces.data() + nestedPieceAt[i],
                std::size_t{nestedPieceAt[i + 1]} - nestedPieceAt[i]};
    }
    constexpr std::size_t nestedSize() const { return nestedPieceAt[kTexts + 1]; }
};

/// The layout of a message of `steps`; use as
/// `makeLayout<textCount(kSteps), fixedSize(kSteps)>(kSteps)`.
template <std::size_t kTexts, std::size_t kFixedSize, typename Texts, std::size_t N>
consteval MessageLayout<Texts, kTexts, kFixedSize> makeLayout(
    const std::array<MessageStep<Texts>, N>& steps) {
    if (2 * kFixedSize > std::numeric_limits<std::uint16_t>::max()) {
        throw "a message's fixed pieces must be short enough for their offsets";
    }
    MessageLayout<Texts, kTexts, kFixedSize> layout;
    std::size_t size = 0;
    std::size_t nestedSize = 0;
    std::size_t texts = 0;
    walkMessage(
        steps,
        [&](char c) {
            layout.pieces[size++] = c;
            if (c == '"') {
                layout.nestedPieces[nestedSize++] = '\\';
            }
            layout.nestedPieces[nestedSize++] = c;
        },
        [&](std::string_view Texts::*text) {
            layout.texts[texts++] = text;
            layout.pieceAt[texts] = static_cast<std::uint16_t>(size);
            layout.nestedPieceAt[texts] = static_cast<std::uint16_t>(nestedSize);
        });
    layout.pieceAt[kTexts + 1] = static_cast<std::uint16_t>(size);
    layout.nestedPieceAt[kTexts + 1] = static_cast<std::uint16_t>(nestedSize);
    return layout;
}

// The sizes of a message's texts, escaped once and twice, and which of them need no escaping.
struct TextSizes {
    EscapedSizes escaped;
    std::uint64_t plain = 0;  // bit i: text i goes as it is
};

template <typename Texts, std::size_t kTexts>
std::optional<TextSizes> measureTexts(
    const Texts& texts, const std::array<std::string_view Texts::*, kTexts>& members) {
    static_assert(kTexts <= 64, "one bit a text");
    TextSizes sizes;
    for (std::size_t i = 0; i < kTexts; ++i) {
        const std::string_view value = texts.*members[i];
        if (isPlainJsonText(value)) {
            sizes.plain |= std::uint64_t{1} << i;
            sizes.escaped.once += value.size();
            sizes.escaped.twice += value.size();
            continue;
        }
        const auto escaped = escapedSizes(value);
        if (!escaped) {
            return std::nullopt;
        }
        sizes.escaped.once += escaped->once;
        sizes.escaped.twice += escaped->twice;
    }
    return sizes;
}

inline char* extendBy(platform::SecretText& buffer, std::size_t size) {
    return buffer.extend(size);
}

inline char* extendBy(std::string& buffer, std::size_t size) {
    const std::size_t start = buffer.size();
    buffer.resize(start + size);
    return buffer.data() + start;
}

// Copies fixed piece `kPiece` of `kLayout`, of a size known here, and the text after it, into
// room that has been made for them.
template <const auto& kLayout, std::size_t kPiece, typename Texts>
void writePieceAndText(const Texts& texts, std::uint64_t plain, char*& text, char*& nested) {
    constexpr std::string_view piece = kLayout.piece(kPiece);
    constexpr std::string_view nestedPiece = kLayout.nestedPiece(kPiece);
    std::memcpy(text, piece.data(), piece.size());
    text += piece.size();
    std::memcpy(nested, nestedPiece.data(), nestedPiece.size());
    nested += nestedPiece.size();
    if constexpr (kPiece < kLayout.texts.size()) {
        const std::string_view value = texts.*kLayout.texts[kPiece];
        if ((plain >> kPiece & 1) != 0) {
            copyBytes(text, value.data(), value.size());
            copyBytes(nested, value.data(), value.size());
        } else {
            writeEscaped(value, text, nested);
        }
    }
}

template <const auto& kLayout, typename Texts, std::size_t... kPieces>
void writePieces(const Texts& texts, std::uint64_t plain, char* text, char* nested,
                 std::index_sequence<kPieces...>) {
    (writePieceAndText<kLayout, kPieces>(texts, plain, text, nested), ...);
}

/// Appends the message `kLayout` makes of `texts` to `text`, and the same message escaped as the
/// body of a JSON string to `nested`, which keeps room for `nestedTail` more bytes. The texts are
/// measured first, so that each buffer grows once, to its final size, and nothing is written when
/// a text is not well-formed UTF-8 (false).
template <const auto& kLayout, typename Buffer, typename Texts>
bool writeMessage(const Texts& texts, Buffer& text, Buffer& nested, std::size_t nestedTail) {
    const auto sizes = measureTexts(texts, kLayout.texts);
    if (!sizes) {
        return false;
    }
    const std::size_t textSize = kLayout.pieces.size() + sizes->escaped.once;
    const std::size_t nestedSize = kLayout.nestedSize() + sizes->escaped.twice;
    text.reserve(text.size() + textSize);
    nested.reserve(nested.size() + nestedSize + nestedTail);
    char* const textAt = extendBy(text, textSize);
    char* const nestedAt = extendBy(nested, nestedSize);
    writePieces<kLayout>(texts, sizes->plain, textAt, nestedAt,
                         std::make_index_sequence<kLayout.texts.size() + 1>());
    return true;
}

}  // namespace vanto::detail
