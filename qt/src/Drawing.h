#pragma once

#include <string>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "vanto/platform/SecretText.h"
#include "vanto/platform/ui/Color.h"
#include "vanto/platform/ui/Font.h"
#include "vanto/platform/ui/Rect.h"

class QWidget;

namespace vanto::qt::detail {

namespace ui = platform::ui;

QString toQString(std::string_view utf8);
QColor toQColor(const ui::Color& color);
QFont toQFont(const ui::Font& font);
QRect toQRect(const ui::Rect& frame);
/// The UTF-8 of `text` as secret text, with the conversion's own buffer overwritten.
platform::SecretText toSecretText(const QString& text);

/// Fades `widget` to `alpha` over `seconds` (at once for 0), from where it stands, stopping a
/// fade under way.
void fadeTo(QWidget& widget, double alpha, double seconds);

}  // namespace vanto::qt::detail
