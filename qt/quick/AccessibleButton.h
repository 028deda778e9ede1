#pragma once

#include <QAccessibleObject>

class QQuickItem;

namespace vanto::quick::detail {

/// What the screens' controls read as drawn (marked by their property `readsAsDrawn`) have in
/// common: a leaf under the nearest reading above it, where it is on screen, and its state as it
/// is drawn, disabled included, which Qt Quick's own reading of an item leaves out.
class AccessibleItem : public QAccessibleObject {
  public:
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QRect rect() const override;

  protected:
    explicit AccessibleItem(QQuickItem* item);
    QQuickItem* item() const;
    QAccessible::State drawnState() const;

    /// `object` when the factory is asked with its own class, it is marked and it is (or is
    /// not) a text input; null otherwise. Each change of its enabled state is then announced.
    static QQuickItem* marked(const QString& className, QObject* object, bool textInput);
};

/// What assistive technologies read of a button of the screens (BarButton.qml): its title, as an
/// AccessibleItem; it can be pressed. The factory is installed with the binding.
class AccessibleButton final : public AccessibleItem, public QAccessibleActionInterface {
  public:
    explicit AccessibleButton(QQuickItem* button);

    /// The factory for QAccessible::installFactory: an AccessibleButton for a marked button.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    QString text(QAccessible::Text kind) const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;
};

}  // namespace vanto::quick::detail
