#pragma once

#include <functional>

#include <QClipboard>
#include <QObject>
#include <QWebEngineScript>

#include "vanto/qt/WebBaseExport.h"

namespace vanto::qt::detail {

/// The script every payment page runs in each of its documents, from their creation on, in a
/// world of its own that the gateway's scripts cannot reach: copying, cutting and dragging are
/// cancelled, no selection starts, and a selection made in a field all the same is collapsed at
/// once. What the cardholder types into the page reaches neither the clipboard nor the X11
/// primary selection, from which any other program on the display could read it.
VANTO_QT_WEB_BASE_EXPORT QWebEngineScript selectionGuardScript();

/// While it lives (as long as a payment page is on screen), what the application hands the
/// clipboard or the primary selection while the page has the keyboard focus is taken back at
/// once: whatever the web engine put there from the page, the card number among it, is there for
/// no other program. What the application sets while the page does not have the focus stays.
class VANTO_QT_WEB_BASE_EXPORT SelectionGuard final : public QObject {
    Q_OBJECT

  public:
    /// `pageFocused` tells whether the page has the keyboard focus.
    SelectionGuard(QObject* parent, std::function<bool()> pageFocused);

  private:
    void changed(QClipboard::Mode mode);

    std::function<bool()> pageFocused_;
};

}  // namespace vanto::qt::detail
