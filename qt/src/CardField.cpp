#include "CardField.h"

#include <algorithm>

#include "vanto/platform/SecureWipe.h"
#include "vanto/platform/ui/TextFieldDelegate.h"

namespace vanto::qt::detail {
namespace {

// UTF-8 of `text`, with the conversion's own buffer overwritten.
std::string toWipedUtf8(const QString& text) {
    QByteArray bytes = text.toUtf8();
    std::string converted(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    platform::secureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
    return converted;
}

// A copy with storage of its own, which wiping the original leaves intact.
QString deepCopy(const QString& text, qsizetype from, qsizetype length) {
    return QString(text.constData() + from, length);
}

}  // namespace

void wipeInPlace(const QString& text) {
    if (text.isEmpty() || !text.data_ptr().isMutable()) {
        return;
    }
    // Every string sharing this storage is about to be replaced; what it held must not linger
    // in freed memory.
    auto* characters = const_cast<QChar*>(text.constData());
    platform::secureWipe(characters, static_cast<std::size_t>(text.size()) * sizeof(QChar));
}

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
    const bool applies = !rule_ || rule_(range, replacement);
    if (applies) {
        const QString current = text();
        const auto from = static_cast<qsizetype>(range.location);
        const auto length = static_cast<qsizetype>(range.length);
        if (from + length <= current.size()) {
            // Built in one buffer: no piece of it is left behind in another.
            QString applied;
            applied.reserve(current.size() - length + replacement.size());
            applied.append(QStringView(current).left(from))
                .append(replacement)
                .append(QStringView(current).mid(from + length));
            showText(applied);
            setCursorPosition(static_cast<int>(from + replacement.size()));
        }
    }
    wipeInPlace(replacement);
    deciding_ = false;
}

QtTextField::QtTextField(CardLineEdit* edit) : Element(edit), edit_(edit) {
    edit->setEditRule([this](ui::TextRange range, const QString& replacement) {
        return decide(range, replacement);
    });
}

QtTextField::~QtTextField() {
    if (edit_) {
        edit_->setEditRule(nullptr);
    }
}

std::optional<std::string> QtTextField::text() const {
    return edit_ ? toWipedUtf8(edit_->text()) : std::string();
}

void QtTextField::setText(const std::string& text) {
    if (edit_) {
        edit_->showText(toQString(text));
    }
}

void QtTextField::setEnabled(bool enabled) {
    if (edit_) {
        edit_->setEnabled(enabled);
    }
}

void QtTextField::setDelegate(std::weak_ptr<ui::TextFieldDelegate> delegate) {
    delegate_ = std::move(delegate);
}

bool QtTextField::decide(ui::TextRange range, const QString& replacement) {
    const auto delegate = delegate_.lock();
    if (!delegate) {
        return true;
    }
    std::string utf8 = toWipedUtf8(replacement);
    const bool applies = delegate->textField(*this, range, utf8);
    platform::secureWipe(utf8);
    return applies;
}

}  // namespace vanto::qt::detail
