#pragma once

#include <QAccessibleObject>

class QQuickItem;

namespace vanto::quick::detail {

/// What assistive technologies read of a button of the screens (BarButton.qml, marked by its
/// property `readsAsDrawn`): its title, where it is, and its state as it is drawn, disabled
/// included, which Qt Quick's own reading of an item leaves out; it can be pressed. The
/// factory is installed with the binding.
class AccessibleButton final : public QAccessibleObject, public QAccessibleActionInterface {
  public:
    explicit AccessibleButton(QQuickItem* button);

    /// The factory for QAccessible::installFactory: an AccessibleButton for a marked button.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    /// For the screens' other controls read as drawn: the nearest reading above `item`, where
    /// it is on screen, and an announcement of each change of its enabled state.
    static QAccessibleInterface* parentOf(const QQuickItem* item);
    static QRect placeOf(const QQuickItem* item);
    static void announcesEnabledChanges(QQuickItem* item);

  private:
    QQuickItem* item() const;
};

}  // namespace vanto::quick::detail
