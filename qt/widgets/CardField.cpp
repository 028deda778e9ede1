#include "CardField.h"

#include <algorithm>

#include "base/QtValues.h"

namespace vanto::qt::detail {
namespace {

// A copy with storage of its own, which wiping the original leaves intact.
QString deepCopy(const QString& text, qsizetype from, qsizetype length) {
    return QString(text.constData() + from, length);
}

}  // namespace

CardLineEdit::CardLineEdit(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(false);
    setDragEnabled(false);
    connect(this, &QLineEdit::textEdited, this, &CardLineEdit::putToRule);
}

CardLineEdit::~CardLineEdit() {
    wipeInPlace(text());
}

void CardLineEdit::showText(const QString& text) {
    wipeInPlace(this->text());
    setText(text);
}

// Every edit starts from an event the field receives (keys, the input method, the context
// menu); the field as it stood then tells where the edit happened.
bool CardLineEdit::event(QEvent* event) {
    Before outer = std::move(before_);
    before_ = {text(), cursorPosition(), selectionStart(), selectionLength()};
    const bool handled = QLineEdit::event(event);
    before_ = std::move(outer);
    return handled;
}

// The range the edit replaced, in the text before it, and where the replacement ends in
// `edited`. Typing, pasting and deleting replace the selection or end at the cursor; an edit
// that fits neither (another program's input method) is found by comparing the two texts.
ui::TextRange CardLineEdit::rangeOf(const QString& edited, int& replacementEnd) const {
    const QString& old = before_.text;
    const qsizetype oldSize = old.size();
    const qsizetype newSize = edited.size();
    const int cursor = cursorPosition();
    qsizetype start = before_.selectionStart >= 0 ? before_.selectionStart
                      : cursor >= before_.cursor  ? before_.cursor
                                                  : cursor;
    const qsizetype end = oldSize - (newSize - cursor);
    const bool fits = start >= 0 && start <= end && end <= oldSize && start <= cursor &&
                      QStringView(old).left(start) == QStringView(edited).left(start) &&
                      QStringView(old).mid(end) == QStringView(edited).mid(cursor);
    if (fits) {
        replacementEnd = cursor;
        return {static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)};
    }
    qsizetype prefix = 0;
    while (prefix < oldSize && prefix < newSize && old[prefix] == edited[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < oldSize - prefix && suffix < newSize - prefix &&
           old[oldSize - 1 - suffix] == edited[newSize - 1 - suffix]) {
        ++suffix;
    }
    replacementEnd = static_cast<int>(newSize - suffix);
    return {static_cast<std::size_t>(prefix), static_cast<std::size_t>(oldSize - suffix - prefix)};
}

void CardLineEdit::putToRule(const QString& edited) {
    if (deciding_) {
        return;
    }
    deciding_ = true;
    int replacementEnd = 0;
    const ui::TextRange range = rangeOf(edited, replacementEnd);
    QString replacement = deepCopy(edited, static_cast<qsizetype>(range.location),
                                   replacementEnd - static_cast<qsizetype>(range.location));
    // Back to the text before the edit, which is what the rule reads as the field's text.
    showText(before_.text);
    if (rule_ && rule_(range, replacement)) {
        setCursorPosition(
            static_cast<int>(static_cast<qsizetype>(range.location) + replacement.size()));
    }
    wipeInPlace(replacement);
    deciding_ = false;
}

}  // namespace vanto::qt::detail
