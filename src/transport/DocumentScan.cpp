#include "transport/DocumentScan.h"

#include <algorithm>
#include <tuple>

#include <nlohmann/json.hpp>

namespace vanto::detail {
namespace {

bool isWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

bool holdsJson(std::string_view raw) {
    bool leading = true;
    for (std::size_t at = 0; at < raw.size();) {
        char c = raw[at];
        std::size_t next = at + 1;
        if (c == '\\') {
            long code = 0;
            std::tie(code, next) = jsonEscape(raw, at);
            c = code < 0x80 ? static_cast<char>(code) : '\0';
        }
        if (c == '{' || c == '[' || (leading && c == '"')) {
            return true;
        }
        leading = leading && isWhitespace(c);
        at = next;
    }
    // JSON may be percent-encoded or HTML-escaped too.
    return holdsSpelling(raw, Spelling::percent) || holdsSpelling(raw, Spelling::html);
}

void DocumentScan::skipWhitespace() {
    while (at_ < text_.size() && isWhitespace(text_[at_])) {
        ++at_;
    }
}

namespace {

// The text the JSON parser is given: `text` with every digit but 0 read as 1. The parser keeps its
// tokens and its error text in buffers that are freed without being wiped, so they must never hold
// the text's own digits; a number's syntax only tells 0 from the other digits, so the verdict and
// where it fails are the text's. A \u escape keeps its hex digits (a surrogate stays one), except
// one that stands for a digit, which becomes the escape of 0 or 1 in the same way.
platform::SecretText digitsHidden(std::string_view text) {
    platform::SecretText hidden;
    char* out = hidden.extend(text.size());
    const auto hide = [](char c) { return c >= '1' && c <= '9' ? '1' : c; };
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '\\' && at + 1 < text.size()) {
            const std::size_t length =
                text[at + 1] == 'u' ? std::min<std::size_t>(6, text.size() - at) : 2;
            std::copy_n(text.data() + at, length, out + at);
            if (length == 6 && text.substr(at + 2, 3) == "003") {
                out[at + 5] = hide(text[at + 5]);
            }
            at += length;
        } else {
            out[at] = hide(text[at]);
            ++at;
        }
    }
    return hidden;
}

}  // namespace

// The syntax is checked by the JSON library's parser (the one the answers are read with), which
// also says where it failed; the scan below then only finds where things stand.
bool DocumentScan::syntaxHolds(bool whole) {
    struct Check : nlohmann::detail::json_sax_acceptor<nlohmann::json> {
        std::size_t failedAt = 0;
        bool parse_error(std::size_t position, const std::string&,
                         const nlohmann::detail::exception&) {
            failedAt = position;
            return false;
        }
    } check;
    const std::string_view rest = text_.substr(at_);
    // The parser takes a zero byte for the end of its input: a text holding one is not JSON.
    if (const std::size_t zero = rest.find('\0'); whole && zero != std::string_view::npos) {
        at_ += zero;
        return false;
    }
    const platform::SecretText hidden = digitsHidden(rest);
    if (nlohmann::json::sax_parse(hidden.view().begin(), hidden.view().end(), &check,
                                  nlohmann::json::input_format_t::json, whole)) {
        return true;
    }
    at_ = std::min(at_ + check.failedAt, text_.size());
    return false;
}

bool DocumentScan::run() {
    if (!syntaxHolds(true)) {
        return false;
    }
    // A byte order mark may open a JSON text, and parsers take it in.
    if (text_.substr(at_).starts_with("\xEF\xBB\xBF")) {
        at_ += 3;
    }
    scanValue();
    skipWhitespace();
    return at_ == text_.size();
}

bool DocumentScan::runValue() {
    const bool opens = at_ < text_.size() && (text_[at_] == '{' || text_[at_] == '[');
    if (!opens || !syntaxHolds(false)) {
        return false;
    }
    scanValue();
    return true;
}

// Notes what one value, known to be JSON, holds.
void DocumentScan::scanValue() {
    bool nameNext = false;
    do {
        skipWhitespace();
        if (at_ >= text_.size()) {
            return;
        }
        const char c = text_[at_];
        const std::size_t begin = at_;
        if (c == '{' || c == '[' || c == ',' || c == ':') {
            if (c == '{' || c == '[') {
                open_.push_back({c == '{', card_, begin, insideCard()});
                card_ = nullptr;
                encoded_ = false;
            }
            ++at_;
            nameNext = c == '{' || (c == ',' && !open_.empty() && open_.back().object);
            continue;
        }
        if (c == '}' || c == ']') {
            ++at_;
            close();
        } else if (c == '"') {
            bool escaped = false;
            ++at_;
            while (at_ < text_.size() && text_[at_] != '"') {
                escaped = escaped || text_[at_] == '\\';
                at_ += text_[at_] == '\\' ? 2 : 1;
            }
            const Span contents{begin + 1, std::min(at_++, text_.size())};
            if (nameNext) {
                memberName(contents, escaped);
                nameNext = false;
                continue;
            }
            noteString(contents, escaped);
        } else {
            at_ = std::min(text_.find_first_of(",:[]{}\" \t\n\r", at_), text_.size());
            noteOther({begin, at_}, c == '-' || isDigit(c));
        }
        card_ = nullptr;
        encoded_ = false;
    } while (!open_.empty());
}

void DocumentScan::memberName(Span contents, bool escaped) {
    if (insideCard()) {
        return;
    }
    platform::SecretText buffer;
    card_ = cardMemberNamed(decoded(contents, escaped, buffer));
    encoded_ = card_ != nullptr && card_->field == CardField::encoded;
    if (encoded_) {
        card_ = nullptr;
    }
    if (!card_) {
        names.push_back(contents);
    }
}

void DocumentScan::close() {
    const Container closed = open_.back();
    open_.pop_back();
    if (closed.card) {
        const std::string_view value = text_.substr(closed.begin, at_ - closed.begin);
        noteCard({closed.begin, at_}, value, closed.card->field,
                 maskedAsJsonText(value, closed.card->field, level_));
    }
}

std::string_view DocumentScan::decoded(Span contents, bool escaped,
                                       platform::SecretText& buffer) const {
    const std::string_view raw = text_.substr(contents.begin, contents.size());
    if (!escaped) {
        return raw;
    }
    decodeSpelling(raw, Spelling::json, buffer);
    return buffer.view();
}

void DocumentScan::noteString(Span contents, bool escaped) {
    if (insideCard()) {
        return;
    }
    if (card_) {
        platform::SecretText buffer;
        const std::string_view value = decoded(contents, escaped, buffer);
        if (holdsCardData(*card_, value)) {
            noteCard(contents, value, card_->field, maskedCardValue(value, card_->field));
            return;
        }
    }
    if (encoded_) {
        encodedTexts.push_back(contents);
    }
    auto& into = holdsJson(text_.substr(contents.begin, contents.size())) ? nestedTexts : texts;
    into.push_back(contents);
}

void DocumentScan::noteOther(Span token, bool isNumber) {
    if (insideCard()) {
        return;
    }
    const std::string_view value = text_.substr(token.begin, token.size());
    if (card_ && holdsCardData(*card_, value)) {
        noteCard(token, value, card_->field, maskedAsJsonText(value, card_->field, level_));
    } else if (isNumber) {
        numbers.push_back(token);
    }
}

void DocumentScan::noteCard(Span span, std::string_view value, CardField field,
                            std::string masked) {
    if (!masked.empty()) {
        cardValues.push_back({span, std::move(masked)});
    }
    platform::SecretText digits =
        field == CardField::number ? cardNumberDigits(value) : platform::SecretText();
    if (!digits.empty()) {
        cardNumbers.push_back(std::move(digits));
    }
}

}  // namespace vanto::detail
