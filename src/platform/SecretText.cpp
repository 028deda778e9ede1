#include "vanto/platform/SecretText.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "vanto/platform/SecureWipe.h"

namespace vanto::platform {

SecretText::SecretText(std::string_view text) {
    append(text);
}

SecretText::SecretText(SecretText&& other) noexcept {
    takeFrom(other);
}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        release();
        takeFrom(other);
    }
    return *this;
}

SecretText::~SecretText() {
    release();
}

SecretText SecretText::adopt(std::unique_ptr<char[]> bytes, std::size_t size,
                             std::size_t capacity) {
    SecretText text;
    if (bytes) {
        text.heap_ = std::move(bytes);
        text.capacity_ = capacity;
        text.size_ = std::min(size, capacity);
        // Whatever the block held past the text goes now, so that only the text needs wiping.
        secureWipe(text.heap_.get() + text.size_, capacity - text.size_);
    }
    return text;
}

SecretText SecretText::copy() const {
    return SecretText(view());
}

void SecretText::growAndAppend(std::string_view text) {
    reserve(std::max(size_ + text.size(), 2 * capacity_));
    std::memcpy(bytes() + size_, text.data(), text.size());
    size_ += text.size();
}

void SecretText::reserve(std::size_t capacity) {
    if (capacity <= capacity_) {
        return;
    }
    std::unique_ptr<char[]> larger(new char[capacity]);
    const std::size_t size = size_;
    if (size > 0) {
        std::memcpy(larger.get(), bytes(), size);
    }
    release();
    heap_ = std::move(larger);
    size_ = size;
    capacity_ = capacity;
}

// A text only grows at its end and is wiped whenever it is emptied, so no byte past its end ever
// held any of it: wiping the text itself is enough.
void SecretText::clear() noexcept {
    secureWipe(bytes(), size_);
    size_ = 0;
}

// Wipes everything the text holds (the inline bytes whole) and frees its block.
void SecretText::release() noexcept {
    if (heap_) {
        secureWipe(heap_.get(), size_);
        heap_.reset();
    }
    secureWipe(inline_, kInlineCapacity);
    size_ = 0;
    capacity_ = kInlineCapacity;
}

// Takes `other`'s text, which this one does not hold yet, and leaves `other` empty and wiped.
void SecretText::takeFrom(SecretText& other) noexcept {
    if (other.heap_) {
        heap_ = std::move(other.heap_);
        capacity_ = other.capacity_;
    } else {
        std::memcpy(inline_, other.inline_, other.size_);
        capacity_ = kInlineCapacity;
    }
    size_ = other.size_;
    other.release();
}

bool operator==(const SecretText& a, const SecretText& b) noexcept {
    return a.view() == b.view();
}

bool operator==(const SecretText& a, std::string_view text) noexcept {
    return a.view() == text;
}

}  // namespace vanto::platform
