#include "Fading.h"

#include <algorithm>
#include <cmath>

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QWidget>

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

}  // namespace

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
