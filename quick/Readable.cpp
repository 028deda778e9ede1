#include "Readable.h"

#include <algorithm>
#include <cmath>

namespace vanto::quick::detail {
namespace {

// The relative luminance of an sRGB colour.
double luminance(const QColor& color) {
    const auto linear = [](float channel) {
        const double value = channel;
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

QColor mixed(const QColor& from, const QColor& to, double share) {
    const auto channel = [share](float a, float b) {
        return static_cast<float>(a + (b - a) * share);
    };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()));
}

}  // namespace

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableOn(const QColor& color, const QColor& background, double ratio) {
    const QColor ground = mixed(background, background, 0.0);
    const QColor drawn = mixed(ground, color, color.alphaF());
    if (contrastRatio(drawn, ground) >= ratio) {
        return drawn;
    }
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor end = contrastRatio(black, ground) >= contrastRatio(white, ground) ? black : white;
    // The least share of the end colour that is enough: contrast grows with the share.
    double low = 0.0;
    double high = 1.0;
    for (int step = 0; step < 24; ++step) {
        const double middle = (low + high) / 2.0;
        (contrastRatio(mixed(drawn, end, middle), ground) >= ratio ? high : low) = middle;
    }
    return mixed(drawn, end, high);
}

}  // namespace vanto::quick::detail
