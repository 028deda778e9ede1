#include "AccessibleButton.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace vanto::quick::detail {

AccessibleButton::AccessibleButton(QQuickItem* button) : QAccessibleObject(button) {}

QAccessibleInterface* AccessibleButton::factory(const QString& className, QObject* object) {
    // Asked first with the button's own class, before Qt Quick's reading of any item is.
    auto* item = qobject_cast<QQuickItem*>(object);
    if (!item || className != QLatin1String(item->metaObject()->className()) ||
        item->inherits("QQuickTextInput") || !item->property("readsAsDrawn").toBool()) {
        return nullptr;
    }
    announcesEnabledChanges(item);
    return new AccessibleButton(item);
}

// Assistive technologies hear of each change of the enabled state.
void AccessibleButton::announcesEnabledChanges(QQuickItem* item) {
    QObject::connect(item, &QQuickItem::enabledChanged, item, [item] {
        QAccessible::State changed;
        changed.disabled = true;
        QAccessibleStateChangeEvent event(item, changed);
        QAccessible::updateAccessibility(&event);
    });
}

QQuickItem* AccessibleButton::item() const {
    return static_cast<QQuickItem*>(object());
}

QWindow* AccessibleButton::window() const {
    return item()->window();
}

// The nearest item above that assistive technologies know, or the window at the top, as Qt
// Quick's own reading goes up.
QAccessibleInterface* AccessibleButton::parent() const {
    return parentOf(item());
}

QAccessibleInterface* AccessibleButton::parentOf(const QQuickItem* item) {
    QQuickWindow* shownIn = item->window();
    for (QQuickItem* above = item->parentItem(); above; above = above->parentItem()) {
        if (shownIn && above == shownIn->contentItem()) {
            break;
        }
        if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(above)) {
            return known;
        }
    }
    return shownIn ? QAccessible::queryAccessibleInterface(shownIn) : nullptr;
}

// The title is the button's name: nothing inside it is read on its own.
QAccessibleInterface* AccessibleButton::child(int) const {
    return nullptr;
}

int AccessibleButton::childCount() const {
    return 0;
}

int AccessibleButton::indexOfChild(const QAccessibleInterface*) const {
    return -1;
}

QString AccessibleButton::text(QAccessible::Text kind) const {
    return kind == QAccessible::Name ? item()->property("text").toString() : QString();
}

QRect AccessibleButton::rect() const {
    return placeOf(item());
}

QRect AccessibleButton::placeOf(const QQuickItem* item) {
    const QRectF inScene = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    const QWindow* shownIn = item->window();
    const QPoint topLeft = inScene.topLeft().toPoint();
    return {shownIn ? shownIn->mapToGlobal(topLeft) : topLeft, inScene.size().toSize()};
}

QAccessible::Role AccessibleButton::role() const {
    return QAccessible::Button;
}

QAccessible::State AccessibleButton::state() const {
    const QQuickItem* button = item();
    QAccessible::State state;
    state.invisible = !button->isVisible() || qFuzzyIsNull(button->opacity()) ||
                      !button->window() || !button->window()->isVisible();
    state.disabled = !button->isEnabled();
    state.focusable = button->activeFocusOnTab();
    state.focused = button->hasActiveFocus();
    state.pressed = button->property("down").toBool();
    return state;
}

void* AccessibleButton::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

QStringList AccessibleButton::actionNames() const {
    return item()->isEnabled() ? QStringList{pressAction()} : QStringList();
}

// As a tap: the button's own clicked handler runs.
void AccessibleButton::doAction(const QString& actionName) {
    if (actionName == pressAction() && item()->isEnabled()) {
        QMetaObject::invokeMethod(item(), "clicked");
    }
}

QStringList AccessibleButton::keyBindingsForAction(const QString&) const {
    return {};
}

}  // namespace vanto::quick::detail
