#include "base/Contrast.h"

#include <algorithm>
#include <cmath>

namespace vanto::qt::detail {
namespace {

// Steps of the mix towards black or white: fine enough that the colour found is not visibly
// further from the one asked for than it must be.
constexpr int kMixSteps = 64;

double linear(float channel) {
    return channel <= 0.04045f ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor mixed(const QColor& from, const QColor& to, double share) {
    const auto channel = [share](float a, float b) {
        return static_cast<float>(a + (b - a) * share);
    };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()));
}

QColor opaque(const QColor& color) {
    QColor made = color.toRgb();
    made.setAlphaF(1.0f);
    return made;
}

}  // namespace

double relativeLuminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor composedOver(const QColor& color, const QColor& behind) {
    return mixed(opaque(behind), opaque(color), color.toRgb().alphaF());
}

QColor readableOn(const QColor& preferred, const QColor& background, double minimum) {
    const QColor start = opaque(preferred);
    const QColor back = opaque(background);
    if (contrastRatio(start, back) >= minimum) {
        return start;
    }
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor toward = contrastRatio(black, back) >= contrastRatio(white, back) ? black : white;
    for (int step = 1; step < kMixSteps; ++step) {
        const QColor candidate = mixed(start, toward, static_cast<double>(step) / kMixSteps);
        if (contrastRatio(candidate, back) >= minimum) {
            return candidate;
        }
    }
    return toward;
}

}  // namespace vanto::qt::detail
