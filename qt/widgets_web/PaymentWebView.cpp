#include "PaymentWebView.h"

#include <QApplication>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>

#include "web_base/PaymentWebPage.h"
#include "web_base/SelectionGuard.h"

namespace vanto::qt::detail {

PaymentWebView::PaymentWebView() : page_(new PaymentWebPage(this)) {
    setPage(page_);
    new SelectionGuard(this, [this] {
        const QWidget* focused = QApplication::focusWidget();
        return focused && (focused == this || isAncestorOf(focused));
    });
}

void PaymentWebView::addOverlay(QWidget* overlay, bool centred) {
    overlay->setParent(this);
    overlays_.emplace_back(overlay);
    if (centred) {
        centred_.emplace_back(overlay);
        overlay->move((width() - overlay->width()) / 2, (height() - overlay->height()) / 2);
    }
    overlay->raise();
}

// The view adds the widget it draws the page on when the page first renders, above what is
// there; that widget takes the keyboard focus for the page.
bool PaymentWebView::event(QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        QMetaObject::invokeMethod(this, &PaymentWebView::raiseOverlays, Qt::QueuedConnection);
        static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
    }
    return QWebEngineView::event(event);
}

// The page's widget claims every key before the shortcuts (it accepts their ShortcutOverride);
// Escape is left unclaimed, so that a shortcut of the window may take it.
bool PaymentWebView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        return true;
    }
    return QWebEngineView::eventFilter(watched, event);
}

// The engine's own menu, but for the entries that would hand what was typed to the clipboard or
// select it.
void PaymentWebView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    for (const auto action :
         {QWebEnginePage::Cut, QWebEnginePage::Copy, QWebEnginePage::SelectAll,
          QWebEnginePage::CopyLinkToClipboard, QWebEnginePage::CopyImageToClipboard,
          QWebEnginePage::CopyImageUrlToClipboard, QWebEnginePage::CopyMediaUrlToClipboard}) {
        menu->removeAction(page_->action(action));
    }
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    // The menu goes when it closes, not with the view: a view open for long would keep them all.
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PaymentWebView::resizeEvent(QResizeEvent* event) {
    QWebEngineView::resizeEvent(event);
    for (const auto& overlay : centred_) {
        if (overlay) {
            overlay->move((width() - overlay->width()) / 2, (height() - overlay->height()) / 2);
        }
    }
}

void PaymentWebView::raiseOverlays() {
    for (const auto& overlay : overlays_) {
        if (overlay) {
            overlay->raise();
        }
    }
}

}  // namespace vanto::qt::detail
