#include "Element.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

namespace vanto::qt::detail {
namespace {

// The visibility a widget without a parent was asked for, applied once it is placed.
constexpr const char* kShownProperty = "vantoShown";
// An element placed without a frame of its own sits in the middle of what it is placed over.
constexpr const char* kCentredProperty = "vantoCentred";

double currentAnimation = 0.0;

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

}  // namespace

Element::Element(QWidget* widget) : widget_(widget) {}

Element::~Element() {
    if (widget_ && !widget_->parent()) {
        widget_->deleteLater();
    }
}

void Element::placeOver(QWidget* parent) {
    if (!widget_ || !parent) {
        return;
    }
    const QRect frame = widget_->geometry();
    const bool shown = widget_->property(kShownProperty).toBool();
    widget_->setParent(parent);
    if (widget_->property(kCentredProperty).toBool()) {
        widget_->move((parent->width() - widget_->width()) / 2,
                      (parent->height() - widget_->height()) / 2);
    } else {
        widget_->setGeometry(frame);
    }
    widget_->setVisible(shown);
    widget_->raise();
}

void Element::setShown(bool shown) {
    if (!widget_) {
        return;
    }
    widget_->setProperty(kShownProperty, shown);
    if (widget_->parentWidget()) {
        widget_->setVisible(shown);
    }
}

// Fading goes through an opacity effect, which is switched off at full opacity: an effect paints
// the widget through an off-screen picture.
void Element::setOpacity(double alpha) {
    if (!widget_) {
        return;
    }
    alpha = std::clamp(alpha, 0.0, 1.0);
    auto* effect = opacityEffect(*widget_);
    for (auto* running : effect->findChildren<QPropertyAnimation*>()) {
        running->stop();
        running->deleteLater();
    }
    const double seconds = AnimationScope::seconds();
    if (seconds <= 0.0) {
        effect->setOpacity(alpha);
        effect->setEnabled(alpha < 1.0);
        return;
    }
    effect->setEnabled(true);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(static_cast<int>(std::lround(seconds * 1000.0)));
    fade->setStartValue(effect->opacity());
    fade->setEndValue(alpha);
    QObject::connect(fade, &QPropertyAnimation::finished, effect,
                     [effect, alpha] { effect->setEnabled(alpha < 1.0); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

QWidget* widgetOf(const ui::View* view) {
    const auto* element = dynamic_cast<const Element*>(view);
    return element ? element->widget() : nullptr;
}

void markCentred(QWidget* widget) {
    widget->setProperty(kCentredProperty, true);
}

void recentreOver(QWidget& parent) {
    for (auto* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property(kCentredProperty).toBool()) {
            child->move((parent.width() - child->width()) / 2,
                        (parent.height() - child->height()) / 2);
        }
    }
}

AnimationScope::AnimationScope(double seconds) : outer_(currentAnimation) {
    currentAnimation = std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
}

AnimationScope::~AnimationScope() {
    currentAnimation = outer_;
}

double AnimationScope::seconds() {
    return currentAnimation;
}

QString toQString(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QColor toQColor(const ui::Color& color) {
    const auto channel = [](double value) { return std::clamp(value, 0.0, 1.0); };
    return QColor::fromRgbF(
        static_cast<float>(channel(color.red)), static_cast<float>(channel(color.green)),
        static_cast<float>(channel(color.blue)), static_cast<float>(channel(color.alpha)));
}

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

}  // namespace vanto::qt::detail
