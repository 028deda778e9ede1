#pragma once

#include <QColor>

#include "vanto/qt/BaseExport.h"

namespace vanto::qt::detail {

/// The contrast that text must keep with what lies behind it, as WCAG asks of normal text.
inline constexpr double kReadableContrast = 4.5;

/// WCAG's relative luminance of `color`, from 0 (black) to 1 (white); the alpha is not looked at.
VANTO_QT_BASE_EXPORT double relativeLuminance(const QColor& color);
/// WCAG's contrast ratio of two colours, from 1 to 21.
VANTO_QT_BASE_EXPORT double contrastRatio(const QColor& a, const QColor& b);

/// `color` composed over `behind` by its alpha, opaque.
VANTO_QT_BASE_EXPORT QColor composedOver(const QColor& color, const QColor& behind);

/// `preferred` when it keeps `minimum` contrast with `background` (both taken as opaque); else
/// `preferred` mixed with black or white, whichever stands out more from the background, by the
/// least amount that reaches the contrast (at worst black or white themselves, which always
/// reach 4.5:1).
VANTO_QT_BASE_EXPORT QColor readableOn(const QColor& preferred, const QColor& background,
                                       double minimum = kReadableContrast);

}  // namespace vanto::qt::detail
