#pragma once

#include <QColor>

namespace vanto::quick::detail {

/// The least contrast between a text and what it is drawn on, as accessibility guidelines ask of
/// normal text (WCAG 2, level AA).
inline constexpr double kReadableContrast = 4.5;

/// The contrast ratio of two opaque colours, from 1 (the same) to 21 (black and white).
double contrastRatio(const QColor& first, const QColor& second);

/// `color` as drawn on `background` (its alpha laid over it), opaque; when that stands out from
/// the background by less than `ratio`, the closest colour of the same hue, darker or lighter
/// (towards black or white, whichever stands out more), that does. Black or white stand out from
/// any background by more than 4.5.
QColor readableOn(const QColor& color, const QColor& background, double ratio = kReadableContrast);

}  // namespace vanto::quick::detail
