#include "transport/DocumentScan.h"

#include <tuple>

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

bool DocumentScan::run() {
    // A byte order mark may open a JSON text, and parsers take it in.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text_.substr(at_).starts_with(kByteOrderMark)) {
        at_ += kByteOrderMark.size();
    }
    skipWhitespace();
    if (!readToEnd()) {
        return false;
    }
    skipWhitespace();
    return at_ == text_.size();
}

bool DocumentScan::runValue() {
    return (peek() == '{' || peek() == '[') && readToEnd();
}

// Reads one value whole.
bool DocumentScan::readToEnd() {
    // Whether the last value read is complete (a scalar, or a container now closed).
    bool complete = false;
    while (!complete || !open_.empty()) {
        bool more = false;
        if (complete ? !afterValue(more) : !value(complete)) {
            return false;
        }
        complete = complete && !more;
    }
    return true;
}

// Reads a value, or opens a container and reads up to its first value; `complete` tells which.
bool DocumentScan::value(bool& complete) {
    const std::size_t begin = at_;
    const char c = peek();
    if (c == '{' || c == '[') {
        open_.push_back({c == '{', card_, begin, insideCard()});
        card_.reset();
        encoded_ = false;
        ++at_;
        skipWhitespace();
        if (peek() == (c == '{' ? '}' : ']')) {
            ++at_;
            close();
            complete = true;
            return true;
        }
        complete = false;
        return c == '[' || memberName();
    }
    if (c == '"') {
        Span contents;
        bool escaped = false;
        if (!string(contents, escaped)) {
            return false;
        }
        noteString(contents, escaped);
    } else if (c == '-' || isDigit(c)) {
        if (!number()) {
            return false;
        }
        noteOther({begin, at_}, true);
    } else {
        if (!literal()) {
            return false;
        }
        noteOther({begin, at_}, false);
    }
    card_.reset();
    encoded_ = false;
    complete = true;
    return true;
}

// After a value inside a container: the container's end, or (`more`) a next member or item.
bool DocumentScan::afterValue(bool& more) {
    skipWhitespace();
    const bool object = open_.back().object;
    if (peek() == ',') {
        ++at_;
        skipWhitespace();
        more = true;
        return !object || memberName();
    }
    if (peek() == (object ? '}' : ']')) {
        ++at_;
        close();
        return true;
    }
    return false;
}

bool DocumentScan::memberName() {
    Span contents;
    bool escaped = false;
    if (peek() != '"' || !string(contents, escaped)) {
        return false;
    }
    if (!insideCard()) {
        platform::SecretText buffer;
        card_ = cardMemberNamed(decoded(contents, escaped, buffer));
        encoded_ = card_ == CardField::encoded;
        if (encoded_) {
            card_.reset();
        }
        if (!card_) {
            names.push_back(contents);
        }
    }
    skipWhitespace();
    if (peek() != ':') {
        return false;
    }
    ++at_;
    skipWhitespace();
    return true;
}

bool DocumentScan::string(Span& contents, bool& escaped) {
    contents.begin = ++at_;
    while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '"') {
            contents.end = at_++;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
        if (c != '\\') {
            ++at_;
            continue;
        }
        escaped = true;
        const char escape = at_ + 1 < text_.size() ? text_[at_ + 1] : '\0';
        if (escape == 'u') {
            if (hexDigits(text_, at_ + 2, text_.size(), 4) < 0) {
                return false;
            }
            at_ += 6;
        } else if (escape != '\0' &&
                   std::string_view("\"\\/bfnrt").find(escape) != std::string_view::npos) {
            at_ += 2;
        } else {
            return false;
        }
    }
    return false;
}

bool DocumentScan::number() {
    const auto digits = [this] {
        const std::size_t first = at_;
        while (isDigit(peek())) {
            ++at_;
        }
        return at_ > first;
    };
    if (peek() == '-') {
        ++at_;
    }
    if (peek() == '0') {
        ++at_;
    } else if (!digits()) {
        return false;
    }
    if (peek() == '.') {
        ++at_;
        if (!digits()) {
            return false;
        }
    }
    if (peek() == 'e' || peek() == 'E') {
        ++at_;
        if (peek() == '+' || peek() == '-') {
            ++at_;
        }
        if (!digits()) {
            return false;
        }
    }
    return true;
}

bool DocumentScan::literal() {
    for (const std::string_view word : {"true", "false", "null"}) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
    }
    return false;
}

// Closes the innermost container; one that was a card member's value is masked whole.
void DocumentScan::close() {
    const Container closed = open_.back();
    open_.pop_back();
    if (closed.card) {
        const std::string_view value = text_.substr(closed.begin, at_ - closed.begin);
        noteCard({closed.begin, at_}, value, *closed.card,
                 maskedAsJsonText(value, *closed.card, level_));
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
        noteCard(contents, value, *card_, maskedCardValue(value, *card_));
        return;
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
    if (card_) {
        noteCard(token, value, *card_, maskedAsJsonText(value, *card_, level_));
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
