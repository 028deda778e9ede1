#pragma once

#include <optional>
#include <string>
#include <utility>

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// A colour as red, green, blue and alpha components from 0.0 to 1.0, independent of any UI
/// toolkit (a Qt binding maps it with QColor::fromRgbF).
struct VANTO_EXPORT Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;

    static constexpr Color black() { return {0.0, 0.0, 0.0, 1.0}; }
    static constexpr Color white() { return {1.0, 1.0, 1.0, 1.0}; }

    friend bool operator==(const Color&, const Color&) = default;
};

/// The weights a font can be asked for in, lightest first (a Qt binding maps them onto
/// QFont::Thin ... QFont::Black).
enum class FontWeight {
    ultraLight,
    thin,
    light,
    regular,
    medium,
    semibold,
    bold,
    heavy,
    black,
};

/// A font as family, point size and weight, independent of any UI toolkit.
struct VANTO_EXPORT Font {
    /// The family that stands for the system's own user-interface font.
    static constexpr const char* kSystemFamily = "system";

    std::string family;
    double size = 0.0;
    /// Absent: the family's default weight, what a font asked for by family and size alone gets.
    /// A font asked for with an explicit weight, even the regular one, carries it.
    std::optional<FontWeight> weight;

    /// The font of `family` (a name the toolkit resolves) at `size` points in its default weight.
    static Font named(std::string family, double size) {
        return {std::move(family), size, std::nullopt};
    }
    /// The system font of `size` points in its default weight.
    static Font systemFont(double size) { return {kSystemFamily, size, std::nullopt}; }
    /// The system font of `size` points in the given weight.
    static Font systemFont(double size, FontWeight weight) { return {kSystemFamily, size, weight}; }
    /// The system font of `size` points, bold.
    static Font boldSystemFont(double size) { return systemFont(size, FontWeight::bold); }

    bool isSystemFont() const { return family == kSystemFamily; }

    friend bool operator==(const Font&, const Font&) = default;
};

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

/// A frame in points, relative to the element's parent: origin at the top-left corner.
struct VANTO_EXPORT Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace vanto::platform::ui
