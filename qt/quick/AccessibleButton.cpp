#include "AccessibleButton.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace vanto::quick::detail {

AccessibleItem::AccessibleItem(QQuickItem* item) : QAccessibleObject(item) {}

QQuickItem* AccessibleItem::marked(const QString& className, QObject* object, bool textInput) {
    // Asked first with the item's own class, before Qt Quick's reading of any item is.
    auto* item = qobject_cast<QQuickItem*>(object);
    if (!item || className != QLatin1String(item->metaObject()->className()) ||
        item->inherits("QQuickTextInput") != textInput ||
        !item->property("readsAsDrawn").toBool()) {
        return nullptr;
    }
    // Assistive technologies hear of each change of the enabled state.
    QObject::connect(item, &QQuickItem::enabledChanged, item, [item] {
        QAccessible::State changed;
        changed.disabled = true;
        QAccessibleStateChangeEvent event(item, changed);
        QAccessible::updateAccessibility(&event);
    });
    return item;
}

QQuickItem* AccessibleItem::item() const {
    return static_cast<QQuickItem*>(object());
}

QWindow* AccessibleItem::window() const {
    return item()->window();
}

// The nearest item above that assistive technologies know, or the window at the top, as Qt
// Quick's own reading goes up.
QAccessibleInterface* AccessibleItem::parent() const {
    QQuickWindow* shownIn = item()->window();
    for (QQuickItem* above = item()->parentItem(); above; above = above->parentItem()) {
        if (shownIn && above == shownIn->contentItem()) {
            break;
        }
        if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(above)) {
            return known;
        }
    }
    return shownIn ? QAccessible::queryAccessibleInterface(shownIn) : nullptr;
}

// A control is read whole: nothing inside it is read on its own.
QAccessibleInterface* AccessibleItem::child(int) const {
    return nullptr;
}

int AccessibleItem::childCount() const {
    return 0;
}

int AccessibleItem::indexOfChild(const QAccessibleInterface*) const {
    return -1;
}

QRect AccessibleItem::rect() const {
    const QRectF inScene = item()->mapRectToScene(QRectF(0, 0, item()->width(), item()->height()));
    const QWindow* shownIn = item()->window();
    const QPoint topLeft = inScene.topLeft().toPoint();
    return {shownIn ? shownIn->mapToGlobal(topLeft) : topLeft, inScene.size().toSize()};
}

QAccessible::State AccessibleItem::drawnState() const {
    const QQuickItem* control = item();
    QAccessible::State state;
    state.invisible = !control->isVisible() || qFuzzyIsNull(control->opacity()) ||
                      !control->window() || !control->window()->isVisible();
    state.disabled = !control->isEnabled();
    state.focusable = control->activeFocusOnTab();
    state.focused = control->hasActiveFocus();
    return state;
}

AccessibleButton::AccessibleButton(QQuickItem* button) : AccessibleItem(button) {}

QAccessibleInterface* AccessibleButton::factory(const QString& className, QObject* object) {
    QQuickItem* button = marked(className, object, false);
    return button ? new AccessibleButton(button) : nullptr;
}

// The title is the button's name.
QString AccessibleButton::text(QAccessible::Text kind) const {
    return kind == QAccessible::Name ? item()->property("text").toString() : QString();
}

QAccessible::Role AccessibleButton::role() const {
    return QAccessible::Button;
}

QAccessible::State AccessibleButton::state() const {
    QAccessible::State state = drawnState();
    state.pressed = item()->property("down").toBool();
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
