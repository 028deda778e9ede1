#include "Drawing.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QByteArray>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QWidget>

#include "vanto/platform/SecureWipe.h"

namespace vanto::qt::detail {
namespace {

QGraphicsOpacityEffect* opacityEffect(QWidget& widget) {
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget.graphicsEffect())) {
        return effect;
    }
    auto* effect = new QGraphicsOpacityEffect(&widget);
    effect->setOpacity(1.0);
    effect->setEnabled(false);
    widget.setGraphicsEffect(effect);
    return effect;
}

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

// Sizes are points of the screens' layout, which are the widgets' device-independent pixels.
QFont toQFont(const ui::Font& font) {
    QFont converted = font.isSystemFont() ? QApplication::font() : QFont(toQString(font.family));
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
    platform::secureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
    return secret;
}

// Fading goes through an opacity effect, which is switched off at full opacity: an effect paints
// the widget through an off-screen picture.
void fadeTo(QWidget& widget, double alpha, double seconds) {
    alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
    auto* effect = opacityEffect(widget);
    for (auto* running : effect->findChildren<QPropertyAnimation*>()) {
        running->stop();
        running->deleteLater();
    }
    if (!std::isfinite(seconds) || seconds <= 0.0) {
        effect->setOpacity(alpha);
        effect->setEnabled(alpha < 1.0);
        return;
    }
    effect->setEnabled(true);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(static_cast<int>(std::lround(std::min(seconds, 60.0) * 1000.0)));
    fade->setStartValue(effect->opacity());
    fade->setEndValue(alpha);
    QObject::connect(fade, &QPropertyAnimation::finished, effect,
                     [effect, alpha] { effect->setEnabled(alpha < 1.0); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace vanto::qt::detail
