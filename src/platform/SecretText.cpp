#include "vanto/platform/SecretText.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "vanto/platform/SecureWipe.h"

namespace vanto::platform {

SecretText::SecretText(std::string_view text) {
    append(text);
}

SecretText::SecretText(SecretText&& other) noexcept
    : data_(std::move(other.data_)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::move(other.data_);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

SecretText::~SecretText() {
    release();
}

SecretText SecretText::adopt(std::unique_ptr<char[]> bytes, std::size_t size,
                             std::size_t capacity) {
    SecretText text;
    text.data_ = std::move(bytes);
    text.size_ = text.data_ ? std::min(size, capacity) : 0;
    text.capacity_ = text.data_ ? capacity : 0;
    return text;
}

SecretText SecretText::copy() const {
    return SecretText(view());
}

void SecretText::append(std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (capacity_ - size_ < text.size()) {
        reserve(std::max(size_ + text.size(), 2 * capacity_));
    }
    std::memcpy(data_.get() + size_, text.data(), text.size());
    size_ += text.size();
}

void SecretText::reserve(std::size_t capacity) {
    if (capacity <= capacity_) {
        return;
    }
    std::unique_ptr<char[]> larger(new char[capacity]);
    if (size_ > 0) {
        std::memcpy(larger.get(), data_.get(), size_);
    }
    const std::size_t size = size_;
    release();
    data_ = std::move(larger);
    size_ = size;
    capacity_ = capacity;
}

void SecretText::clear() noexcept {
    secureWipe(data_.get(), capacity_);
    size_ = 0;
}

void SecretText::release() noexcept {
    secureWipe(data_.get(), capacity_);
    data_.reset();
    size_ = 0;
    capacity_ = 0;
}

bool operator==(const SecretText& a, const SecretText& b) noexcept {
    return a.view() == b.view();
}

bool operator==(const SecretText& a, std::string_view text) noexcept {
    return a.view() == text;
}

}  // namespace vanto::platform
