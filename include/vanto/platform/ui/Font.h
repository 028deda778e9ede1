#pragma once

#include <optional>
#include <string>
#include <utility>

#include "vanto/Export.h"

namespace vanto::platform::ui {

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

}  // namespace vanto::platform::ui
