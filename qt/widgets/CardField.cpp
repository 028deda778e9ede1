#include "CardField.h"

#include <algorithm>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "base/QtValues.h"

namespace vanto::qt::detail {
namespace {

// A copy with storage of its own, which wiping the original leaves intact.
QString deepCopy(const QString& text, qsizetype from, qsizetype length) {
    return QString(text.constData() + from, length);
}

// Keys after which the line edit holds no selection: they replace it or move off it. After any
// other key it would hand a selection to the primary selection.
bool leavesNoSelection(const QKeyEvent& key) {
    for (const auto sequence : {QKeySequence::Paste, QKeySequence::Delete,
                                QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
                                QKeySequence::MoveToNextChar, QKeySequence::MoveToPreviousChar,
                                QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
                                QKeySequence::MoveToStartOfLine, QKeySequence::MoveToEndOfLine,
                                QKeySequence::MoveToStartOfBlock, QKeySequence::MoveToEndOfBlock}) {
        if (key.matches(sequence)) {
            return true;
        }
    }
    switch (key.key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        default:
            break;
    }
    const auto typing = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return !key.text().isEmpty() && key.text().front().isPrint() && !(key.modifiers() & typing);
}

}  // namespace

CardLineEdit::CardLineEdit(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(false);
    setDragEnabled(false);
    setInputMethodHints(kHints);
    connect(this, &QLineEdit::textEdited, this, &CardLineEdit::putToRule);
}

CardLineEdit::~CardLineEdit() {
    wipeShownText();
}

void CardLineEdit::showText(const QString& text) {
    wipeShownText();
    setText(text);
}

// An input method commits digits without reading the text around the cursor: it is not handed
// the card data (Qt would give it the field's whole text).
QVariant CardLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImSurroundingText:
        case Qt::ImCurrentSelection:
        case Qt::ImTextBeforeCursor:
        case Qt::ImTextAfterCursor:
            return QString();
        default:
            return QLineEdit::inputMethodQuery(query);
    }
}

// The shown copy changes with the echo mode, which also resets the hints an input method is
// given.
void CardLineEdit::setMasked(bool masked) {
    wipeInPlace(displayText());
    setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    setInputMethodHints(masked ? kHints | Qt::ImhHiddenText : kHints);
}

// The line edit draws its text from a copy of its own (the display text), made anew at every
// change: both go before the text changes.
void CardLineEdit::wipeShownText() {
    wipeInPlace(displayText());
    wipeInPlace(text());
}

// The field as it stood before `change` tells where an edit happened. The line edit lets go of
// the text it showed as soon as it has made the next one, card number and all: that text is
// held here until then, and overwritten once the line edit shows another.
template <typename Change>
auto CardLineEdit::asEdit(Change change) {
    Before outer = std::move(before_);
    before_ = {text(), cursorPosition(), selectionStart(), selectionLength()};
    const QString shown = displayText();
    auto result = change();
    if (shown.constData() != displayText().constData()) {
        wipeInPlace(shown);
    }
    before_ = std::move(outer);
    return result;
}

// Every edit starts from an event the field receives (keys, the input method, the mouse) or from
// the context menu's actions.
bool CardLineEdit::event(QEvent* event) {
    return asEdit([this, event] { return QLineEdit::event(event); });
}

void CardLineEdit::keyPressEvent(QKeyEvent* event) {
    if (editWithoutClipboard(*event)) {
        event->accept();
        return;
    }
    if (hasSelectedText() && !leavesNoSelection(*event)) {
        deselect();
    }
    QLineEdit::keyPressEvent(event);
}

// The keys with which the line edit would copy the text or end with some of it selected, done
// here without the clipboard. Cut and copy do nothing; undo and redo neither, as no edit is kept.
bool CardLineEdit::editWithoutClipboard(const QKeyEvent& key) {
    if (key.matches(QKeySequence::Copy) || key.matches(QKeySequence::Cut) ||
        key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo)) {
        return true;
    }
    if (key.matches(QKeySequence::DeleteEndOfLine) ||
        key.matches(QKeySequence::DeleteCompleteLine)) {
        if (!isReadOnly()) {
            const int from = key.matches(QKeySequence::DeleteEndOfLine) ? cursorPosition() : 0;
            setSelection(from, static_cast<int>(text().size()) - from);
            del();
        }
        return true;
    }
    if (key.matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (key.matches(QKeySequence::SelectNextChar)) {
        cursorForward(true);
    } else if (key.matches(QKeySequence::SelectPreviousChar)) {
        cursorBackward(true);
    } else if (key.matches(QKeySequence::SelectNextWord)) {
        cursorWordForward(true);
    } else if (key.matches(QKeySequence::SelectPreviousWord)) {
        cursorWordBackward(true);
    } else if (key.matches(QKeySequence::SelectStartOfLine) ||
               key.matches(QKeySequence::SelectStartOfBlock)) {
        home(true);
    } else if (key.matches(QKeySequence::SelectEndOfLine) ||
               key.matches(QKeySequence::SelectEndOfBlock)) {
        end(true);
    } else {
        return false;
    }
    return true;
}

// The line edit hands a selection made with the mouse to the primary selection as the button
// goes up: it sees none then, and gets it back after.
void CardLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !hasSelectedText()) {
        QLineEdit::mouseReleaseEvent(event);
        return;
    }
    const int start = selectionStart();
    const int length = selectionLength();
    const bool cursorAtStart = cursorPosition() == start;
    deselect();
    QLineEdit::mouseReleaseEvent(event);
    if (cursorAtStart) {
        setSelection(start + length, -length);
    } else {
        setSelection(start, length);
    }
}

// A menu of the line edit's own entries but cut and copy (Qt names none of its entries, so the
// menu is made here): paste and delete edit as keys do.
// Another window coming forward or a menu opening is no leaving of the field.
void CardLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (left_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        left_();
    }
}

void CardLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto entry = [menu](const char* title, QKeySequence::StandardKey key, const char* name,
                              bool enabled) {
        QString text = QLineEdit::tr(title);
        if (const QKeySequence keys(key); !keys.isEmpty()) {
            text += QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
        }
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
        return action;
    };
    const bool editable = !isReadOnly();
    connect(entry("&Paste", QKeySequence::Paste, "edit-paste",
                  editable && !QGuiApplication::clipboard()->text().isEmpty()),
            &QAction::triggered, this, [this] {
                asEdit([this] {
                    paste();
                    return true;
                });
            });
    connect(entry("Delete", QKeySequence::UnknownKey, "edit-delete", editable && hasSelectedText()),
            &QAction::triggered, this, [this] {
                asEdit([this] {
                    del();
                    return true;
                });
            });
    menu->addSeparator();
    connect(entry("Select All", QKeySequence::SelectAll, "select-all",
                  !text().isEmpty() && selectedText().size() != text().size()),
            &QAction::triggered, this, [this] { selectAll(); });
    menu->popup(event->globalPos());
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
    // Where the insertion point belongs should the screen regroup the text: after what was
    // typed, behind as many digits as before (where a refused edit left it, when the digits are
    // as many as before). Counted now: the text before is wiped once left.
    const QStringView before(before_.text);
    const qsizetype digitsBefore = digitsIn(before);
    const qsizetype upToEdit = digitsIn(before.left(static_cast<qsizetype>(range.location)));
    const qsizetype typed = digitsIn(QStringView(replacement));
    if (rule_ && rule_(range, replacement)) {
        setCursorPosition(
            static_cast<int>(static_cast<qsizetype>(range.location) + replacement.size()));
    } else {
        const QString shown = text();
        const qsizetype behind =
            digitsIn(QStringView(shown)) != digitsBefore ? upToEdit + typed : upToEdit;
        setCursorPosition(static_cast<int>(afterDigits(shown, behind)));
    }
    wipeInPlace(replacement);
    deciding_ = false;
}

}  // namespace vanto::qt::detail
