// Masking of card data in the bodies the traces print.
//
// A traced body is JSON (after the form key of the gateway's requests) that often carries more
// JSON as the text of a member: the message inside the envelope, a request quoted in an error
// text, and in principle JSON inside that. The card members are found on the parsed structure, by
// their decoded names, in the body and in every JSON text found inside a text member, each read as
// a layer of its own that keeps where each of its bytes came from. Their values are then replaced
// where they stand in the body, so that everything else prints exactly as it was sent or
// received. The texts of a document are also searched for a request echoed in another spelling
// and for card numbers. What does not parse is left to the lenient scan, which masks more rather
// than less, and the JSON documents inside it are read as documents too. Payment results (Base64
// of JSON) are decoded, masked as a body of their own and encoded again.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "transport/CardData.h"
#include "transport/DocumentScan.h"
#include "vanto/text/UrlText.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

using detail::CardField;
using detail::Replacement;
using detail::Span;

// Texts carried more deeply inside one another than this (as JSON texts, percent-encoded,
// HTML-escaped) are masked by the lenient scan.
constexpr unsigned kDeepestNestedText = 8;
// Nested texts are decoded up to this many bytes for each byte of the body (and a little more);
// past that the lenient scan takes over.
constexpr std::size_t kDecodedBytesPerByte = 4;
constexpr std::size_t kDecodedBytesExtra = 64 * 1024;
// With more distinct card numbers than this in one body, every long digit run of its texts is
// masked instead of being compared with each.
constexpr std::size_t kMostCardNumbersCompared = 32;
// Payment results carried inside payment results more deeply than this are masked whole.
constexpr unsigned kDeepestEncodedResult = 4;

// A text searched for card data: the body itself, the decoded contents of a JSON string that
// may carry JSON, or a text that does not parse read once more as its percent or HTML escapes
// decode, inside the body or inside another layer.
struct Layer {
    std::string_view text;
    // Where `text` starts in the parent layer (for the body: after the form key).
    std::size_t offset = 0;
    const Layer* parent = nullptr;
    unsigned level = 0;
    // Set below a percent or HTML layer, whose parent would not read a JSON quotation mark as
    // one: what replaces card data there is asterisks and digits only.
    bool plain = false;
    // Set for a text of a document read once more with its escapes undone, only to be searched
    // for card numbers.
    bool textOnly = false;
    // For a nested layer: its own decoded text (card data included, hence secret), and for each
    // of its bytes where the character or escape that wrote it starts in the parent, relative to
    // `offset`, with the end last.
    platform::SecretText decoded;
    std::vector<std::uint32_t> starts;
};

// A span of a layer as the span of the body that wrote it. A span that starts or ends inside a
// multi-byte escape grows to cover the whole escape.
Span inBody(const Layer* layer, Span span) {
    for (; layer->parent != nullptr; layer = layer->parent) {
        const auto& starts = layer->starts;
        const std::uint32_t lastStart = starts[span.end - 1];
        std::size_t next = span.end;
        while (next < layer->text.size() && starts[next] == lastStart) {
            ++next;
        }
        span = {layer->offset + starts[span.begin], layer->offset + starts[next]};
    }
    return {layer->offset + span.begin, layer->offset + span.end};
}

// The value of a Base64 digit in either alphabet, or -1.
int base64Value(char c) {
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t value = kAlphabet.find(c == '-' ? '+' : c == '_' ? '/' : c);
    return value == std::string_view::npos ? -1 : static_cast<int>(value);
}

// The bytes of Base64 text in either alphabet, with or without padding; whatever is outside the
// alphabet is passed over. The flow refuses most such texts, but a trace must not show one in a
// form someone could decode.
platform::SecretText base64Bytes(std::string_view text) {
    platform::SecretText bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const int value = base64Value(c);
        if (value < 0) {
            continue;
        }
        bits = ((bits << 6) | static_cast<std::uint32_t>(value)) & 0xFFFFFF;
        count += 6;
        if (count >= 8) {
            count -= 8;
            const char byte = static_cast<char>((bits >> count) & 0xFF);
            bytes.append(std::string_view(&byte, 1));
        }
    }
    return bytes;
}

// Of two replacements of the same span, whether `a` is the one to print: it shows fewer digits,
// or as many and keeps a JSON text where a value of another type stood.
bool preferred(std::string_view a, std::string_view b) {
    const auto digits = [](std::string_view text) {
        return std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const auto quoted = [](std::string_view text) {
        return text.find('"') != std::string_view::npos;
    };
    return digits(a) != digits(b) ? digits(a) < digits(b) : quoted(a) && !quoted(b);
}

class CardDataMasker {
  public:
    CardDataMasker(std::string_view body, unsigned encodedLevel)
        : body_(body), encodedLevel_(encodedLevel) {}

    std::string masked();

  private:
    struct Text {
        const Layer* layer;
        Span span;
        bool number;
    };
    struct Encoded {
        const Layer* layer;
        Span span;
    };

    void read(const Layer& layer);
    void take(const Layer& layer, detail::DocumentScan& scan, bool namesMasked);
    void readEmbedded(const Layer& layer);
    Layer* nestedLayer(const Layer& layer, Span contents, detail::Spelling decoding);
    void addText(const Layer& layer, Span span);
    void maskLeniently(const Layer& layer, Span span, bool namesOnly = false);
    void maskEncodedResults();
    std::optional<std::string> maskedResult(const Encoded& value, Span inBody);
    void maskCardNumbersInTexts();
    bool holdsCardNumber(std::string_view text, const detail::DigitRun& run) const;
    void replace(const Layer& layer, Span span, std::string text);
    std::string assembled();

    std::string_view body_;
    unsigned encodedLevel_;
    // A deque, so that layers stay where they are while nested ones are added.
    std::deque<Layer> layers_;
    std::vector<Replacement> replacements_;
    std::vector<Text> texts_;
    std::vector<Encoded> encoded_;
    // The payment results read as JSON, and what replaces those whose masking changed them.
    std::vector<Span> readResults_;
    std::vector<Replacement> maskedResults_;
    std::vector<platform::SecretText> cardNumbers_;
    std::size_t decodedBytes_ = 0;
};

std::string CardDataMasker::masked() {
    // The gateway's requests are a form with one field whose value is the JSON.
    constexpr std::string_view kFormKey = "datoEntrada=";
    Layer& body = layers_.emplace_back();
    body.offset = body_.starts_with(kFormKey) ? kFormKey.size() : 0;
    body.text = body_.substr(body.offset);
    for (std::size_t i = 0; i < layers_.size(); ++i) {
        if (!layers_[i].textOnly) {
            read(layers_[i]);
        }
    }
    maskEncodedResults();
    maskCardNumbersInTexts();
    return assembled();
}

void CardDataMasker::read(const Layer& layer) {
    detail::DocumentScan scan(layer.text, layer.level);
    if (scan.run()) {
        take(layer, scan, false);
        return;
    }
    maskLeniently(layer, {0, layer.text.size()});
    readEmbedded(layer);
    // Read once more with its percent or HTML escapes undone (masked leniently as it is above).
    const Span whole{0, layer.text.size()};
    if (detail::holdsSpelling(layer.text, detail::Spelling::percent)) {
        nestedLayer(layer, whole, detail::Spelling::percent);
    }
    if (detail::holdsSpelling(layer.text, detail::Spelling::html)) {
        nestedLayer(layer, whole, detail::Spelling::html);
    }
}

// What a scan of a document found: its card values, its texts and numbers, its payment results,
// and the JSON carried in its texts, read as layers of their own.
void CardDataMasker::take(const Layer& layer, detail::DocumentScan& scan, bool namesMasked) {
    for (auto& [span, text] : scan.cardValues) {
        replace(layer, span, std::move(text));
    }
    for (const Span span : scan.names) {
        addText(layer, span);
    }
    for (const Span span : scan.texts) {
        addText(layer, span);
        if (!namesMasked) {
            maskLeniently(layer, span, true);
        }
    }
    for (const Span span : scan.numbers) {
        texts_.push_back({&layer, span, true});
    }
    for (const Span span : scan.encodedTexts) {
        encoded_.push_back({&layer, span});
    }
    std::move(scan.cardNumbers.begin(), scan.cardNumbers.end(), std::back_inserter(cardNumbers_));
    for (const Span contents : scan.nestedTexts) {
        // Past the depth or the budget of decoding, a JSON text is masked leniently instead.
        if (nestedLayer(layer, contents, detail::Spelling::json) == nullptr) {
            maskLeniently(layer, contents);
        }
    }
}

// The JSON documents inside a text that is not one (a request quoted after a prefix, an answer
// followed by more bytes) are read as documents, over the lenient scan of the whole text.
void CardDataMasker::readEmbedded(const Layer& layer) {
    std::size_t from = layer.text.find_first_of("{[");
    while (from != std::string_view::npos) {
        detail::DocumentScan scan(layer.text, layer.level, from);
        const bool read = scan.runValue();
        if (read) {
            take(layer, scan, true);
        }
        // A document that stops short is not looked into again, which keeps this linear.
        from = layer.text.find_first_of("{[", std::max(from + 1, scan.end()));
    }
}

// A layer of `contents` decoded, or none past the depth or the budget of decoding.
Layer* CardDataMasker::nestedLayer(const Layer& layer, Span contents, detail::Spelling decoding) {
    const std::size_t budget = kDecodedBytesPerByte * body_.size() + kDecodedBytesExtra;
    // (Positions in a nested text are kept in 32 bits.)
    if (layer.level + 1 > kDeepestNestedText || decodedBytes_ + contents.size() > budget ||
        contents.size() >= std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;
    }
    decodedBytes_ += contents.size();
    Layer& nested = layers_.emplace_back();
    nested.offset = contents.begin;
    nested.parent = &layer;
    nested.level = layer.level + 1;
    nested.plain = layer.plain || decoding != detail::Spelling::json;
    const std::string_view raw = layer.text.substr(contents.begin, contents.size());
    detail::decodeSpelling(raw, decoding, nested.decoded, &nested.starts);
    nested.text = nested.decoded.view();
    return &nested;
}

// A text of a document is searched for card numbers as written and as read, and a text with
// escapes also as the document's reader decodes it, which may join digits neither of those does.
void CardDataMasker::addText(const Layer& layer, Span span) {
    texts_.push_back({&layer, span, false});
    if (layer.text.substr(span.begin, span.size()).find('\\') == std::string_view::npos) {
        return;
    }
    if (Layer* decoded = nestedLayer(layer, span, detail::Spelling::json)) {
        decoded->textOnly = true;
        texts_.push_back({decoded, {0, decoded->text.size()}, false});
    }
}

// A text of a document may quote a request in another spelling (a form, XML, HTML-escaped JSON):
// the values after names are masked there; elsewhere every long digit run too.
void CardDataMasker::maskLeniently(const Layer& layer, Span span, bool namesOnly) {
    detail::LenientFindings found;
    (namesOnly ? detail::maskValuesAfterNames : detail::maskLeniently)(layer.text, span, found);
    for (auto& [at, text] : found.replacements) {
        replace(layer, at, std::move(text));
    }
    std::move(found.cardNumbers.begin(), found.cardNumbers.end(), std::back_inserter(cardNumbers_));
    for (const Span span : found.encodedValues) {
        encoded_.push_back({&layer, span});
    }
}

// Each payment result, found once or more, is masked as a body of its own and, where that
// changed it, encoded again in standard Base64 (which a trace may show in any context).
void CardDataMasker::maskEncodedResults() {
    std::vector<std::pair<Span, const Encoded*>> results;
    for (const Encoded& value : encoded_) {
        if (value.span.size() > 0) {
            results.emplace_back(inBody(value.layer, value.span), &value);
        }
    }
    std::sort(results.begin(), results.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first.begin, a.first.end) < std::pair(b.first.begin, b.first.end);
    });
    results.erase(std::unique(results.begin(), results.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  results.end());
    for (const auto& [span, value] : results) {
        if (auto masked = maskedResult(*value, span)) {
            maskedResults_.push_back({span, std::move(*masked)});
        }
    }
}

// The masked Base64 of a payment result, or none when masking leaves it as it is. A result that
// reads as JSON is the only card data its text holds: nothing else masks its letters and digits.
std::optional<std::string> CardDataMasker::maskedResult(const Encoded& value, Span inBody) {
    const platform::SecretText written = detail::readCharacters(value.layer->text, value.span);
    const platform::SecretText json = base64Bytes(written.view());
    if (json.empty()) {
        return std::nullopt;
    }
    // What cannot be read as text is not shown, nor is what is carried too deeply to be read.
    if (encodedLevel_ >= kDeepestEncodedResult || !isValidUtf8(json.view())) {
        return std::string(inBody.size(), '*');
    }
    const std::string_view text = json.view();
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && (text[first] == '{' || text[first] == '[')) {
        readResults_.push_back(inBody);
    }
    std::string masked = CardDataMasker(text, encodedLevel_ + 1).masked();
    if (masked == text) {
        return std::nullopt;
    }
    return base64Encode(masked);
}

// A card number may be repeated outside its member (in a description, an order number), and any
// text may hold one without a member at all: the runs of digits, as read or as written, that hold
// a card number found in the body or that pass the Luhn check are masked, and no other digits.
void CardDataMasker::maskCardNumbersInTexts() {
    std::sort(cardNumbers_.begin(), cardNumbers_.end(),
              [](const auto& a, const auto& b) { return a.view() < b.view(); });
    cardNumbers_.erase(std::unique(cardNumbers_.begin(), cardNumbers_.end()), cardNumbers_.end());
    for (const auto& [layer, span, number] : texts_) {
        std::vector<detail::DigitRun> runs = detail::longDigitRuns(layer->text, span);
        // Digits read and written differ only where something is escaped.
        if (layer->text.substr(span.begin, span.size()).find_first_of("\\%&") !=
            std::string_view::npos) {
            const auto written = detail::writtenDigitRuns(layer->text, span);
            runs.insert(runs.end(), written.begin(), written.end());
        }
        for (const auto& run : runs) {
            if (!holdsCardNumber(layer->text, run) && !detail::holdsLuhnNumber(layer->text, run)) {
                continue;
            }
            if (number) {
                const std::string_view value = layer->text.substr(span.begin, span.size());
                replace(*layer, span,
                        detail::maskedAsJsonText(value, CardField::number, layer->level));
                break;
            }
            replace(*layer, run.span, detail::maskedDigitRun(layer->text, run));
        }
    }
}

bool CardDataMasker::holdsCardNumber(std::string_view text, const detail::DigitRun& run) const {
    if (cardNumbers_.empty()) {
        return false;
    }
    if (cardNumbers_.size() > kMostCardNumbersCompared) {
        return true;
    }
    const platform::SecretText digits = detail::runDigits(text, run);
    return std::any_of(cardNumbers_.begin(), cardNumbers_.end(),
                       [&](const platform::SecretText& card) {
                           return digits.view().find(card.view()) != std::string_view::npos;
                       });
}

void CardDataMasker::replace(const Layer& layer, Span span, std::string text) {
    if (span.size() == 0) {
        return;
    }
    if (layer.plain) {
        std::erase_if(text, [](char c) { return c == '"' || c == '\\'; });
    }
    replacements_.push_back({inBody(&layer, span), std::move(text)});
}

// The body with every replacement made. Replacements of the same span keep the one that shows
// the fewest digits (and, of those, one that keeps a JSON text); replacements that overlap
// otherwise (found by the lenient scan both after a name and as a digit run) become one of
// asterisks over both.
std::string CardDataMasker::assembled() {
    // A replacement lies inside a result read as JSON when a result starting at or before it
    // reaches as far: results by their start, with the furthest end reached so far.
    std::sort(readResults_.begin(), readResults_.end(),
              [](Span a, Span b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < readResults_.size(); ++i) {
        readResults_[i].end = std::max(readResults_[i].end, readResults_[i - 1].end);
    }
    std::erase_if(replacements_, [this](const Replacement& replacement) {
        const auto after =
            std::upper_bound(readResults_.begin(), readResults_.end(), replacement.span.begin,
                             [](std::size_t begin, Span result) { return begin < result.begin; });
        return after != readResults_.begin() && std::prev(after)->end >= replacement.span.end;
    });
    std::move(maskedResults_.begin(), maskedResults_.end(), std::back_inserter(replacements_));
    std::sort(replacements_.begin(), replacements_.end(), [](const auto& a, const auto& b) {
        return a.span.begin != b.span.begin ? a.span.begin < b.span.begin : a.span.end > b.span.end;
    });
    std::string out;
    out.reserve(body_.size());
    std::size_t copied = 0;
    for (std::size_t i = 0; i < replacements_.size();) {
        Replacement merged = std::move(replacements_[i]);
        bool overlapped = false;
        for (++i; i < replacements_.size() && replacements_[i].span.begin < merged.span.end; ++i) {
            Replacement& other = replacements_[i];
            if (!overlapped && other.span == merged.span) {
                if (preferred(other.text, merged.text)) {
                    merged.text = std::move(other.text);
                }
                continue;
            }
            overlapped = true;
            merged.span.end = std::max(merged.span.end, other.span.end);
        }
        if (overlapped) {
            merged.text.assign(merged.span.size(), '*');
        }
        out.append(body_.substr(copied, merged.span.begin - copied));
        out.append(merged.text);
        copied = merged.span.end;
    }
    out.append(body_.substr(copied));
    return out;
}

}  // namespace

std::string maskCardData(std::string_view text) {
    return CardDataMasker(text, 0).masked();
}

}  // namespace vanto
