#include "AccessibleField.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace vanto::quick::detail {

AccessibleField::AccessibleField(QQuickItem* input) : AccessibleItem(input) {}

QAccessibleInterface* AccessibleField::factory(const QString& className, QObject* object) {
    QQuickItem* input = marked(className, object, true);
    return input ? new AccessibleField(input) : nullptr;
}

// The text as the field draws it: masked where the field masks it.
QString AccessibleField::shown() const {
    return item()->property("displayText").toString();
}

// The name and the description are what the QML gives the field as Accessible.name and
// Accessible.description, kept on the item's attached Accessible object.
QString AccessibleField::text(QAccessible::Text kind) const {
    const char* property = kind == QAccessible::Name          ? "name"
                           : kind == QAccessible::Description ? "description"
                                                              : nullptr;
    if (kind == QAccessible::Value) {
        return shown();
    }
    if (!property) {
        return {};
    }
    for (const QObject* child : item()->children()) {
        if (child->inherits("QQuickAccessibleAttached")) {
            return child->property(property).toString();
        }
    }
    return {};
}

QAccessible::Role AccessibleField::role() const {
    return QAccessible::EditableText;
}

QAccessible::State AccessibleField::state() const {
    const QQuickItem* input = item();
    QAccessible::State state = drawnState();
    state.editable = true;
    state.readOnly = input->property("readOnly").toBool();
    state.passwordEdit = input->property("echoMode").toInt() != 0;
    return state;
}

void* AccessibleField::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

// Nothing is ever selected in a card field, from which the X11 selection would copy.
void AccessibleField::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
}

int AccessibleField::selectionCount() const {
    return 0;
}

void AccessibleField::addSelection(int, int) {}

void AccessibleField::removeSelection(int) {}

void AccessibleField::setSelection(int, int, int) {}

int AccessibleField::cursorPosition() const {
    return item()->property("cursorPosition").toInt();
}

void AccessibleField::setCursorPosition(int position) {
    item()->setProperty("cursorPosition", position);
}

QString AccessibleField::text(int startOffset, int endOffset) const {
    return shown().mid(startOffset, endOffset - startOffset);
}

int AccessibleField::characterCount() const {
    return static_cast<int>(shown().size());
}

QRectF AccessibleField::caretPlace(int position) const {
    QRectF place;
    QMetaObject::invokeMethod(item(), "positionToRectangle", Q_RETURN_ARG(QRectF, place),
                              Q_ARG(int, position));
    return place;
}

QRect AccessibleField::characterRect(int offset) const {
    if (offset < 0 || offset >= characterCount()) {
        return {};
    }
    const QRectF from = caretPlace(offset);
    const QRectF inItem(from.topLeft(), QPointF(caretPlace(offset + 1).x(), from.bottom()));
    const QRectF inScene = item()->mapRectToScene(inItem);
    const QWindow* shownIn = item()->window();
    const QPoint topLeft = inScene.topLeft().toPoint();
    return {shownIn ? shownIn->mapToGlobal(topLeft) : topLeft, inScene.size().toSize()};
}

// The character whose left edge is the last one at or before the point: a field is one short line.
int AccessibleField::offsetAtPoint(const QPoint& point) const {
    const QWindow* shownIn = item()->window();
    const QPointF inItem =
        item()->mapFromScene(shownIn ? QPointF(shownIn->mapFromGlobal(point)) : QPointF(point));
    if (!item()->contains(inItem)) {
        return -1;
    }
    int at = 0;
    for (int offset = 1; offset < characterCount(); ++offset) {
        if (caretPlace(offset).x() <= inItem.x()) {
            at = offset;
        }
    }
    return characterCount() > 0 ? at : -1;
}

// The field keeps its caret in view itself.
void AccessibleField::scrollToSubstring(int, int) {}

QString AccessibleField::attributes(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

QStringList AccessibleField::actionNames() const {
    return item()->isEnabled() ? QStringList{setFocusAction()} : QStringList();
}

void AccessibleField::doAction(const QString& actionName) {
    if (actionName == setFocusAction() && item()->isEnabled()) {
        item()->forceActiveFocus(Qt::OtherFocusReason);
    }
}

QStringList AccessibleField::keyBindingsForAction(const QString&) const {
    return {};
}

}  // namespace vanto::quick::detail
