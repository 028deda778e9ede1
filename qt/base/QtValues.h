#pragma once

#include <string_view>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringView>

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

/// How many digits (0-9) `text` holds: where an edit of a card field stood, counted so that the
/// insertion point can follow it once the screen has regrouped the field's text.
template <typename Text>
qsizetype digitsIn(const Text& text) {
    qsizetype digits = 0;
    for (const auto character : text) {
        digits += character >= u'0' && character <= u'9' ? 1 : 0;
    }
    return digits;
}

/// The insertion point in `text` right after its `digits`-th digit; 0 for none, its end when it
/// holds fewer.
inline qsizetype afterDigits(QStringView text, qsizetype digits) {
    qsizetype position = 0;
    while (digits > 0 && position < text.size()) {
        digits -= digitsIn(text.mid(position, 1));
        ++position;
    }
    return position;
}

}  // namespace vanto::qt::detail
