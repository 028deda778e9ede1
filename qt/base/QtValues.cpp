#include "base/QtValues.h"

#include <algorithm>
#include <cmath>

#include <QByteArray>
#include <QGuiApplication>

#include "vanto/platform/SecureWipe.h"

namespace vanto::qt::detail {
namespace {

QFont::Weight toQWeight(ui::FontWeight weight) {
    switch (weight) {
        case ui::FontWeight::ultraLight:
            return QFont::ExtraLight;
        case ui::FontWeight::thin:
            return QFont::Thin;
        case ui::FontWeight::light:
            return QFont::Light;
        case ui::FontWeight::regular:
            return QFont::Normal;
        case ui::FontWeight::medium:
            return QFont::Medium;
        case ui::FontWeight::semibold:
            return QFont::DemiBold;
        case ui::FontWeight::bold:
            return QFont::Bold;
        case ui::FontWeight::heavy:
            return QFont::ExtraBold;
        case ui::FontWeight::black:
            return QFont::Black;
    }
    return QFont::Normal;
}

}  // namespace

QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QColor toQColor(const ui::Color& color) {
    const auto channel = [](double value) {
        return static_cast<float>(std::clamp(value, 0.0, 1.0));
    };
    return QColor::fromRgbF(channel(color.red), channel(color.green), channel(color.blue),
                            channel(color.alpha));
}

QFont toQFont(const ui::Font& font) {
    QFont converted = font.isSystemFont() ? QGuiApplication::font() : QFont(toQString(font.family));
    if (std::isfinite(font.size) && font.size >= 1.0) {
        converted.setPixelSize(static_cast<int>(std::lround(std::min(font.size, 1000.0))));
    }
    if (font.weight) {
        converted.setWeight(toQWeight(*font.weight));
    }
    return converted;
}

QRect toQRect(const ui::Rect& frame) {
    const auto whole = [](double value) {
        return std::isfinite(value) ? static_cast<int>(std::lround(std::clamp(value, -1e6, 1e6)))
                                    : 0;
    };
    return {whole(frame.x), whole(frame.y), std::max(0, whole(frame.width)),
            std::max(0, whole(frame.height))};
}

platform::SecretText toSecretText(const QString& text) {
    QByteArray bytes = text.toUtf8();
    platform::SecretText secret(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    // The conversion may have made its buffer larger than the text: all of it goes.
    platform::secureWipe(bytes.data(), static_cast<std::size_t>(bytes.capacity()));
    return secret;
}

void wipeInPlace(const QString& text) {
    if (text.capacity() == 0 || !text.data_ptr().isMutable()) {
        return;
    }
    // Every string sharing this storage is about to be replaced; what it held must not linger
    // in freed memory.
    auto* characters = const_cast<QChar*>(text.constData());
    platform::secureWipe(characters, static_cast<std::size_t>(text.capacity()) * sizeof(QChar));
}

}  // namespace vanto::qt::detail
