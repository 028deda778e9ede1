// Masking of card data in the bodies the traces print.
//
// A traced body is JSON (after the form key of the gateway's requests) that often carries more
// JSON as the text of a member: the message inside the envelope, and in principle JSON inside
// that. The card members are found on the parsed structure, by their decoded names, in the body
// and in every JSON text found inside a text member, each read as a layer of its own that keeps
// where each of its bytes came from. Their values are then replaced where they stand in the body,
// so that everything else prints exactly as it was sent or received. What does not parse is left
// to the lenient scan, which masks more rather than less.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <limits>

#include "transport/CardData.h"
#include "transport/DocumentScan.h"
#include "vanto/transport/Trace.h"

namespace vanto {
namespace {

using detail::CardField;
using detail::Replacement;
using detail::Span;

// JSON texts carried more deeply inside one another than this are masked by the lenient scan.
constexpr unsigned kDeepestNestedText = 8;
// Nested texts are decoded up to this many bytes for each byte of the body (and a little more);
// past that the lenient scan takes over.
constexpr std::size_t kDecodedBytesPerByte = 4;
constexpr std::size_t kDecodedBytesExtra = 64 * 1024;
// With more distinct card numbers than this in one body, every long digit run of its texts is
// masked instead of being compared with each.
constexpr std::size_t kMostCardNumbersCompared = 32;

// A text searched for card data: the body itself, or the decoded contents of a JSON string that
// carries JSON, inside the body or inside another layer.
struct Layer {
    std::string_view text;
    // Where `text` starts in the parent layer (for the body: after the form key).
    std::size_t offset = 0;
    const Layer* parent = nullptr;
    unsigned level = 0;
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

class CardDataMasker {
  public:
    explicit CardDataMasker(std::string_view body) : body_(body) {}

    std::string masked();

  private:
    struct Text {
        const Layer* layer;
        Span span;
        bool number;
    };

    void read(const Layer& layer);
    void readNested(const Layer& layer, Span contents);
    void maskLeniently(const Layer& layer, Span span);
    void maskRepeatedCardNumbers();
    bool holdsCardNumber(std::string_view text, const detail::DigitRun& run) const;
    void replace(const Layer& layer, Span span, std::string text);
    std::string assembled();

    std::string_view body_;
    // A deque, so that layers stay where they are while nested ones are added.
    std::deque<Layer> layers_;
    std::vector<Replacement> replacements_;
    std::vector<Text> texts_;
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
        read(layers_[i]);
    }
    maskRepeatedCardNumbers();
    return assembled();
}

void CardDataMasker::read(const Layer& layer) {
    detail::DocumentScan scan(layer.text, layer.level);
    if (!scan.run()) {
        maskLeniently(layer, {0, layer.text.size()});
        return;
    }
    for (auto& [span, text] : scan.cardValues) {
        replace(layer, span, std::move(text));
    }
    for (const Span span : scan.texts) {
        texts_.push_back({&layer, span, false});
    }
    for (const Span span : scan.numbers) {
        texts_.push_back({&layer, span, true});
    }
    std::move(scan.cardNumbers.begin(), scan.cardNumbers.end(), std::back_inserter(cardNumbers_));
    for (const Span contents : scan.nestedTexts) {
        readNested(layer, contents);
    }
}

void CardDataMasker::readNested(const Layer& layer, Span contents) {
    const std::size_t budget = kDecodedBytesPerByte * body_.size() + kDecodedBytesExtra;
    // (Positions in a nested text are kept in 32 bits.)
    if (layer.level + 1 > kDeepestNestedText || decodedBytes_ + contents.size() > budget ||
        contents.size() >= std::numeric_limits<std::uint32_t>::max()) {
        maskLeniently(layer, contents);
        return;
    }
    decodedBytes_ += contents.size();
    Layer& nested = layers_.emplace_back();
    nested.offset = contents.begin;
    nested.parent = &layer;
    nested.level = layer.level + 1;
    detail::decodeJsonString(layer.text.substr(contents.begin, contents.size()), nested.decoded,
                             &nested.starts);
    nested.text = nested.decoded.view();
}

void CardDataMasker::maskLeniently(const Layer& layer, Span span) {
    std::vector<Replacement> found;
    detail::maskLeniently(layer.text, span, found);
    for (auto& [at, text] : found) {
        replace(layer, at, std::move(text));
    }
}

// A card number may be repeated outside its member (in a description, an order number): the
// runs of digits that hold one are masked too, and no other digits.
void CardDataMasker::maskRepeatedCardNumbers() {
    if (cardNumbers_.empty()) {
        return;
    }
    std::sort(cardNumbers_.begin(), cardNumbers_.end(),
              [](const auto& a, const auto& b) { return a.view() < b.view(); });
    cardNumbers_.erase(std::unique(cardNumbers_.begin(), cardNumbers_.end()), cardNumbers_.end());
    for (const auto& [layer, span, number] : texts_) {
        for (const auto& run : detail::longDigitRuns(layer->text, span)) {
            if (!holdsCardNumber(layer->text, run)) {
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
    if (cardNumbers_.size() > kMostCardNumbersCompared) {
        return true;
    }
    const platform::SecretText digits =
        detail::cardNumberDigits(text.substr(run.span.begin, run.span.size()));
    return std::any_of(cardNumbers_.begin(), cardNumbers_.end(),
                       [&](const platform::SecretText& card) {
                           return digits.view().find(card.view()) != std::string_view::npos;
                       });
}

void CardDataMasker::replace(const Layer& layer, Span span, std::string text) {
    if (span.size() > 0) {
        replacements_.push_back({inBody(&layer, span), std::move(text)});
    }
}

// The body with every replacement made. Replacements that overlap (found by the lenient scan
// both after a name and as a digit run) become one of asterisks over both.
std::string CardDataMasker::assembled() {
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
            overlapped = overlapped || !(replacements_[i].span == merged.span &&
                                         replacements_[i].text == merged.text);
            merged.span.end = std::max(merged.span.end, replacements_[i].span.end);
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
    return CardDataMasker(text).masked();
}

}  // namespace vanto
