#include "ScreenDrawing.h"

#include <QQuickWindow>
#include <QtDebug>

#include "BindingTexts.h"
#include "vanto/flow/BaseViewController.h"
#include "vanto/quick/ScreenHandle.h"

namespace vanto::quick::detail {

ScreenDrawing::ScreenDrawing(QQuickItem* parent) : QQuickItem(parent) {}

// The subclass has let go of its screen already (each one detaches in its own destructor);
// this only stops watching the window.
ScreenDrawing::~ScreenDrawing() {
    QObject::disconnect(windowShown_);
    if (watchedWindow_) {
        watchedWindow_->removeEventFilter(this);
    }
}

void ScreenDrawing::setScreen(QObject* handle) {
    if (handle == handle_) {
        return;
    }
    release();
    handle_ = handle;
    emit screenChanged();
    const auto* given = qobject_cast<const ScreenHandle*>(handle);
    const auto shown = given ? given->screen() : nullptr;
    if (!shown) {
        if (handle) {
            qWarning(
                "Vanto: `screen` takes a ScreenHandle of a screen the application still keeps");
        }
        return;
    }
    shown->loadViewIfNeeded();
    if (!attach(shown)) {
        qWarning(
            "Vanto: this item does not draw that kind of screen (CardEntryScreen draws a "
            "DirectPaymentViewController, PaymentPage a WebViewPaymentController)");
        return;
    }
    attached_ = true;
    ++presentation_;
    appearancePending_ = true;
    emit attachedChanged();
    appearWhenShown();
}

QVariantMap ScreenDrawing::texts() const {
    return bindingTexts();
}

void ScreenDrawing::screenGone() {
    release();
}

void ScreenDrawing::release() {
    appearancePending_ = false;
    if (!attached_) {
        return;
    }
    attached_ = false;
    detach();
    setClosed(false);
    emit attachedChanged();
}

void ScreenDrawing::setClosed(bool closed) {
    if (closed != closed_) {
        closed_ = closed;
        emit closedChanged();
    }
}

void ScreenDrawing::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange) {
        QObject::disconnect(windowShown_);
        if (watchedWindow_) {
            watchedWindow_->removeEventFilter(this);
        }
        watchedWindow_ = value.window;
        if (value.window) {
            windowShown_ = connect(value.window, &QWindow::visibleChanged, this,
                                   &ScreenDrawing::appearWhenShown);
            value.window->installEventFilter(this);
        }
    }
    if (change == ItemSceneChange || change == ItemVisibleHasChanged) {
        appearWhenShown();
    }
}

// A close of the window asked for by hand, while a screen shows in it, is the screen's own way
// out instead: the window stays (the screen may refuse, with its payment on its way), as a
// screen's own window does in every binding.
bool ScreenDrawing::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == watchedWindow_ && attached_ && !closed_ &&
        isVisible()) {
        event->ignore();
        requestClose();
        return true;
    }
    return QQuickItem::eventFilter(watched, event);
}

// On the next turn, as a toolkit says a screen appeared once it is on screen; a screen replaced
// meanwhile hears nothing.
void ScreenDrawing::appearWhenShown() {
    if (!appearancePending_ || !isVisible() || !window() || !window()->isVisible()) {
        return;
    }
    appearancePending_ = false;
    QMetaObject::invokeMethod(
        this,
        [this, presentation = presentation_] {
            if (attached_ && presentation == presentation_) {
                // The screen on screen takes the keyboard: its keys (Escape, Return) work at once;
                // a field the cardholder chose already keeps it.
                if (QQuickItem* shown = parentItem(); shown && !shown->hasActiveFocus()) {
                    shown->forceActiveFocus(Qt::OtherFocusReason);
                }
                tellAppeared();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace vanto::quick::detail
