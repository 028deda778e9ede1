#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto::platform {

/// Text that carries card data: a card number, a security code, an expiry date, or a request
/// body or form body that holds them.
///
/// Its storage is overwritten with zeros whenever it is let go of: when the text is destroyed,
/// cleared, moved from, or grows into a larger block. It cannot be printed or turned into a
/// std::string without saying so (view(), which a caller uses only where the bytes must go, such
/// as a digest or the transfer), and it is copied only through copy().
class VANTO_EXPORT SecretText {
  public:
    SecretText() noexcept = default;
    /// A secret copy of `text`.
    explicit SecretText(std::string_view text);
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText();

    /// Takes over `bytes`, a block of `capacity` bytes made with new char[] whose first `size`
    /// bytes are the text: it is wiped and freed by this object from now on.
    static SecretText adopt(std::unique_ptr<char[]> bytes, std::size_t size, std::size_t capacity);

    /// A second secret holding the same text.
    SecretText copy() const;

    /// The bytes, for where they must go (a digest, an escaper, the transfer). Valid until the
    /// text changes.
    std::string_view view() const noexcept { return {data(), size_}; }
    const char* data() const noexcept { return heap_ ? heap_.get() : inline_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    /// Adds `text` at the end; when the text must grow, it moves to a larger block and the old
    /// one is wiped.
    void append(std::string_view text) {
        // Text that fits, by far the most common case, is copied here without a call.
        if (text.size() <= capacity_ - size_) {
            std::char_traits<char>::copy(bytes() + size_, text.data(), text.size());
            size_ += text.size();
        } else {
            growAndAppend(text);
        }
    }
    /// Adds one character at the end.
    void push_back(char c) {
        if (size_ < capacity_) {
            bytes()[size_++] = c;
        } else {
            growAndAppend(std::string_view(&c, 1));
        }
    }
    /// Lengthens the text by `count` bytes and returns where they start, for the caller to write
    /// every one of them in place; when the text must grow, it moves as append() does.
    char* extend(std::size_t count) {
        if (count > capacity_ - size_) {
            reserve(std::max(size_ + count, 2 * capacity_));
        }
        char* at = bytes() + size_;
        size_ += count;
        return at;
    }
    /// Makes room for `capacity` bytes in all.
    void reserve(std::size_t capacity);
    /// Wipes the text and empties it; the storage is kept.
    void clear() noexcept;

    /// Whether both hold the same bytes.
    friend VANTO_EXPORT bool operator==(const SecretText& a, const SecretText& b) noexcept;
    /// Whether the text is `text`.
    friend VANTO_EXPORT bool operator==(const SecretText& a, std::string_view text) noexcept;

  private:
    // Card numbers, security codes and expiry dates fit in the object itself, which saves an
    // allocation for each; longer texts live in a block of their own.
    static constexpr std::size_t kInlineCapacity = 24;

    char* bytes() noexcept { return heap_ ? heap_.get() : inline_; }
    void growAndAppend(std::string_view text);
    void release() noexcept;
    void takeFrom(SecretText& other) noexcept;

    std::unique_ptr<char[]> heap_;
    char inline_[kInlineCapacity] = {};
    std::size_t size_ = 0;
    std::size_t capacity_ = kInlineCapacity;
};

}  // namespace vanto::platform
