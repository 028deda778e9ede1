#pragma once

#include <string>
#include <utility>

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// An image, independent of any UI toolkit: either a named resource that the toolkit binding
/// resolves (the library's own logo is "logoQuenta"), or the encoded bytes of an image file
/// (PNG, JPEG, ...) that the binding decodes.
class VANTO_EXPORT Image {
  public:
    /// The resource called `name`.
    static Image named(std::string name) { return Image(true, std::move(name), {}); }
    /// The image encoded in `bytes`.
    static Image fromData(std::string bytes) { return Image(false, {}, std::move(bytes)); }

    bool isNamed() const { return named_; }
    /// The resource name; "" for an image given as bytes.
    const std::string& name() const { return name_; }
    /// The encoded bytes; "" for a named image.
    const std::string& data() const { return data_; }

    friend bool operator==(const Image&, const Image&) = default;

  private:
    Image(bool named, std::string name, std::string data)
        : named_(named), name_(std::move(name)), data_(std::move(data)) {}

    bool named_;
    std::string name_;
    std::string data_;
};

}  // namespace vanto::platform::ui
