#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/CardData.h"
#include "vanto/platform/SecretText.h"

// Reading JSON with the byte positions of what it holds, for the trace masking.
namespace vanto::detail {

/// Whether the contents of a JSON string, once decoded, may carry JSON: they start (after
/// whitespace) with a quotation mark, hold what opens an object or an array anywhere (an echo of
/// a request after a prefix, say), or hold percent escapes or HTML character references.
bool holdsJson(std::string_view raw);

/// Reads one text as a JSON document (as nlohmann's parser takes it: RFC 8259, UTF-8, no zero
/// byte) and notes where card data stand in it, the texts and numbers in which a card number might
/// be repeated, and the member texts that carry JSON of their own. Neither the parser nor the scan
/// recurses, so no depth of nesting is too deep to read. `level` is how many times the text was
/// carried as a text.
class DocumentScan {
  public:
    /// Reads `text` from `from`.
    DocumentScan(std::string_view text, unsigned level, std::size_t from = 0)
        : text_(text), level_(level), at_(from) {}

    /// False when the text is not one JSON document (malformed, cut short, or with trailing
    /// content).
    bool run();
    /// Reads one value, an object or array, whatever follows it. False when it is not one.
    bool runValue();
    /// Where the reading stopped: after the value, or where it failed.
    std::size_t end() const { return at_; }

    // What run() found, as offsets in the text.
    /// The card members' values with what masks them.
    std::vector<Replacement> cardValues;
    /// The contents of names and strings and the numbers outside card values.
    std::vector<Span> names;
    std::vector<Span> texts;
    std::vector<Span> numbers;
    /// The contents of strings that may carry JSON.
    std::vector<Span> nestedTexts;
    /// The contents of payment results, Base64 of JSON.
    std::vector<Span> encodedTexts;
    /// The digits of each card number found.
    std::vector<platform::SecretText> cardNumbers;

  private:
    struct Container {
        bool object = false;
        // Set when the container is a card member's value: masked whole when it closes.
        const CardMember* card = nullptr;
        std::size_t begin = 0;
        // Set inside a card member's value, where nothing else needs noting.
        bool insideCard = false;
    };

    bool insideCard() const {
        return !open_.empty() && (open_.back().insideCard || open_.back().card != nullptr);
    }
    void skipWhitespace();
    bool syntaxHolds(bool whole);
    void scanValue();
    void memberName(Span contents, bool escaped);
    void close();
    void noteString(Span contents, bool escaped);
    void noteOther(Span token, bool isNumber);
    // A card member's value at `span` and what masks it (nothing when empty).
    void noteCard(Span span, std::string_view value, CardField field, std::string masked);
    // The contents of a string, decoded into `buffer` when they hold escapes.
    std::string_view decoded(Span contents, bool escaped, platform::SecretText& buffer) const;

    std::string_view text_;
    unsigned level_;
    std::size_t at_ = 0;
    std::vector<Container> open_;
    // The card member whose value is read next, and whether it is a payment result instead.
    const CardMember* card_ = nullptr;
    bool encoded_ = false;
};

}  // namespace vanto::detail
