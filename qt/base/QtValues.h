#pragma once

#include <string_view>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "vanto/platform/SecretText.h"
#include "vanto/platform/ui/Graphics.h"
#include "vanto/qt/BaseExport.h"

namespace vanto::qt::detail {

namespace ui = platform::ui;

/// The screens' values in Qt's types, for every Qt binding (Widgets and Qt Quick alike).
VANTO_QT_BASE_EXPORT QString toQString(std::string_view utf8);
VANTO_QT_BASE_EXPORT QColor toQColor(const ui::Color& color);
/// Sizes are points of the screens' layout, which are Qt's device-independent pixels.
VANTO_QT_BASE_EXPORT QFont toQFont(const ui::Font& font);
VANTO_QT_BASE_EXPORT QRect toQRect(const ui::Rect& frame);
/// The UTF-8 of `text` as secret text, with the conversion's own buffer overwritten.
VANTO_QT_BASE_EXPORT platform::SecretText toSecretText(const QString& text);

/// Overwrites, where it lies, the storage of `text` and of every string that shares it (a text
/// field's own copy among them): the whole of its buffer, the room beyond its end included, where
/// a text that was shortened in place left its last characters. Only heap storage is written: a
/// literal's is read-only.
VANTO_QT_BASE_EXPORT void wipeInPlace(const QString& text);

}  // namespace vanto::qt::detail
