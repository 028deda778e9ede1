#pragma once

class QWidget;

namespace vanto::qt::detail {

/// Fades `widget` to `alpha` over `seconds` (at once for 0), from where it stands, stopping a
/// fade under way.
void fadeTo(QWidget& widget, double alpha, double seconds);

}  // namespace vanto::qt::detail
