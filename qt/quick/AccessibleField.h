#pragma once

#include "AccessibleButton.h"

namespace vanto::quick::detail {

/// What assistive technologies read of a card field of the screens (the TextInput of
/// CardInput.qml, marked by its property `readsAsDrawn`): its caption as name, its problem as
/// description, the text as it shows (masked where it is drawn masked), and its state as it is
/// drawn, disabled included, which Qt Quick's own reading of an item leaves out. Nothing in it
/// can be selected through it, as from the keyboard. The factory is installed with the binding.
class AccessibleField final : public AccessibleItem,
                              public QAccessibleTextInterface,
                              public QAccessibleActionInterface {
  public:
    explicit AccessibleField(QQuickItem* input);

    /// The factory for QAccessible::installFactory: an AccessibleField for a marked field.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    QString text(QAccessible::Text kind) const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

  private:
    QString shown() const;
    QRectF caretPlace(int position) const;
};

}  // namespace vanto::quick::detail
