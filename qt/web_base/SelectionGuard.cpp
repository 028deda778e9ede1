#include "web_base/SelectionGuard.h"

#include <QGuiApplication>

namespace vanto::qt::detail {
namespace {

// Listeners on the window in the capture phase, added before any of the page's own, see every
// event first. A field's selection is collapsed to its end, where the insertion point was; the
// web engine may have handed it to the primary selection already, which SelectionGuard takes
// back.
const char* const kGuard = R"(
(function () {
    'use strict';
    const refuse = (event) => {
        event.preventDefault();
        event.stopImmediatePropagation();
    };
    for (const type of ['copy', 'cut', 'dragstart', 'selectstart']) {
        window.addEventListener(type, refuse, true);
    }
    // A double or triple click would select a word or the line, in a field too.
    window.addEventListener('mousedown', (event) => {
        if (event.detail > 1) {
            event.preventDefault();
        }
    }, true);
    const collapse = () => {
        const field = document.activeElement;
        if (field && typeof field.selectionEnd === 'number' &&
            field.selectionStart !== field.selectionEnd) {
            field.setSelectionRange(field.selectionEnd, field.selectionEnd);
        }
    };
    window.addEventListener('select', collapse, true);
    document.addEventListener('selectionchange', collapse, true);
})();
)";

bool owns(const QClipboard& clipboard, QClipboard::Mode mode) {
    switch (mode) {
        case QClipboard::Clipboard:
            return clipboard.ownsClipboard();
        case QClipboard::Selection:
            return clipboard.ownsSelection();
        case QClipboard::FindBuffer:
            return clipboard.ownsFindBuffer();
    }
    return false;
}

}  // namespace

QWebEngineScript selectionGuardScript() {
    QWebEngineScript script;
    script.setName(QStringLiteral("vanto-selection-guard"));
    script.setSourceCode(QString::fromLatin1(kGuard));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    return script;
}

SelectionGuard::SelectionGuard(QObject* parent, std::function<bool()> pageFocused)
    : QObject(parent), pageFocused_(std::move(pageFocused)) {
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &SelectionGuard::changed);
}

// Taken back as it is set, before any other program may ask for it.
void SelectionGuard::changed(QClipboard::Mode mode) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (owns(*clipboard, mode) && pageFocused_ && pageFocused_()) {
        clipboard->clear(mode);
    }
}

}  // namespace vanto::qt::detail
