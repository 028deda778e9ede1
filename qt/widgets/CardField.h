#pragma once

#include <functional>

#include <QLineEdit>

#include "vanto/platform/ui/CardEntryViewModel.h"

class QKeyEvent;

namespace vanto::qt::detail {

namespace ui = platform::ui;

/// A line edit for card data.
///
/// Every edit by the cardholder (typing, deleting, pasting, an input method's commit, from keys
/// or from the context menu) is put to an edit rule before it shows: the edit is taken back at
/// once and the rule is given the range it replaced (UTF-16 units of the text before it) and the
/// replacement; the rule sets what the field shows meanwhile, with showText(). Every text is set
/// anew with setText(), which clears the line edit's undo history, so no earlier text can come
/// back with an undo; each text the field leaves behind, and the copy the line edit draws it from,
/// is overwritten before it is let go.
///
/// Nothing typed leaves the field: copy and cut do nothing (by key, and the context menu does not
/// offer them), a selection never becomes the system's primary selection, the text cannot be
/// dragged out and nothing can be dropped in, and input methods are told the text is sensitive
/// (no prediction, no learning, no capitals) and are not handed the text around the cursor.
/// Pasting into the field, from the clipboard or the
/// primary selection, goes through the rule like any edit.
class CardLineEdit final : public QLineEdit {
    Q_OBJECT

  public:
    /// True: the edit shows as proposed, and the insertion point goes after it.
    using EditRule = std::function<bool(ui::TextRange range, const QString& replacement)>;

    /// Input-method hints of a field for card data, digits only.
    static constexpr Qt::InputMethodHints kHints =
        Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;

    explicit CardLineEdit(QWidget* parent = nullptr);
    ~CardLineEdit() override;

    void setEditRule(EditRule rule) { rule_ = std::move(rule); }
    /// Called each time the field loses the focus.
    void setLeaveHandler(std::function<void()> left) { left_ = std::move(left); }
    /// Shows exactly `text`, the insertion point at its end, without asking the rule.
    void showText(const QString& text);
    /// Shows the text as a row of dots (the input methods are told it is hidden) or as it is.
    void setMasked(bool masked);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // The field as it was before the event being handled.
    struct Before {
        QString text;
        int cursor = 0;
        int selectionStart = -1;
        int selectionLength = 0;
    };

    template <typename Change>
    auto asEdit(Change change);
    bool editWithoutClipboard(const QKeyEvent& key);
    void putToRule(const QString& edited);
    ui::TextRange rangeOf(const QString& edited, int& replacementEnd) const;
    void wipeShownText();

    EditRule rule_;
    std::function<void()> left_;
    Before before_;
    bool deciding_ = false;
};

}  // namespace vanto::qt::detail
