#pragma once

#include <functional>

#include <QLineEdit>
#include <QPointer>

#include "vanto/platform/ui/TextRange.h"

namespace vanto::qt::detail {

namespace ui = platform::ui;

/// A line edit whose every edit by the cardholder (typing, deleting, pasting, cutting, an input
/// method's commit, from keys or from the context menu) is put to an edit rule before it shows:
/// the edit is taken back at once and the rule is given the range it replaced (UTF-16 units of
/// the text before it) and the replacement; the rule sets what the field shows meanwhile, with
/// showText(). Every text is set anew with setText(), which clears the line edit's undo history,
/// so no earlier text can come back with an undo; each text the field leaves behind is
/// overwritten before it is let go.
class CardLineEdit final : public QLineEdit {
    Q_OBJECT

  public:
    /// True: the edit shows as proposed, and the insertion point goes after it.
    using EditRule = std::function<bool(ui::TextRange range, const QString& replacement)>;

    explicit CardLineEdit(QWidget* parent = nullptr);
    ~CardLineEdit() override;

    void setEditRule(EditRule rule) { rule_ = std::move(rule); }
    /// Shows exactly `text`, the insertion point at its end, without asking the rule.
    void showText(const QString& text);

  protected:
    bool event(QEvent* event) override;

  private:
    // The field as it was before the event being handled.
    struct Before {
        QString text;
        int cursor = 0;
        int selectionStart = -1;
        int selectionLength = 0;
    };

    void putToRule(const QString& edited);
    ui::TextRange rangeOf(const QString& edited, int& replacementEnd) const;

    EditRule rule_;
    Before before_;
    bool deciding_ = false;
};

}  // namespace vanto::qt::detail
