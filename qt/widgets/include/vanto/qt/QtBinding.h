#pragma once

#include <memory>

#include "vanto/qt/Export.h"

class QLocale;
class QWidget;

namespace vanto {
class BaseViewController;
}  // namespace vanto

namespace vanto::qt {

/// The Qt 6 binding of the payment screens on Qt Widgets: the card-entry screen here (library
/// vanto::qt, which loads no web engine), the payment web page on Qt WebEngine in a library of its
/// own (vanto::qt_web, <vanto/qt/PaymentPage.h>).
///
/// While a QtBinding exists, present() draws the screens with Qt, from their view models, and
/// the library's main queue runs on the Qt event loop (platform::MainQueue::setExecutor), so the
/// outcomes of payments arrive there. Create it after the QApplication, on its thread, before the
/// first screen is presented; keep one at a time; destroy it before the QApplication and after
/// the screens. Destroying it gives the main queue back to the library's own run loop, with
/// whatever was still waiting on it.
///
/// Card data typed into the card-entry screen stay in its three line edits only: each edit goes to
/// the screen's input rules as secret text and is decided before it shows, the undo history of the
/// fields is cleared at every change, and every text a field lets go of (its text, and the copy
/// the line edit draws from, each to the end of its buffer) is overwritten first, as is every
/// string the binding makes of card data. Nothing typed goes to the clipboard, the X11 primary
/// selection, drag and drop or an input method's prediction. What the binding cannot reach: the
/// glyphs Qt lays out and caches to draw the digits (glyph indices, not characters), the window
/// system's pixels, and, where an input method or a screen reader runs, what Qt hands those
/// programs while the field is typed into (the field's text, masked where the field is).
class VANTO_QT_EXPORT QtBinding {
  public:
    QtBinding();
    ~QtBinding();
    QtBinding(const QtBinding&) = delete;
    QtBinding& operator=(const QtBinding&) = delete;

  private:
    struct Private;
    std::unique_ptr<Private> d_;
};

/// Shows `screen` in a window of its own and drives its life cycle: sets it up if needed, shows
/// the window drawn from its view model and, on the next turn of the event loop, tells the screen
/// it appeared. The screen closes the window itself when its payment has ended. A window closed by
/// hand is the screen's own way out: the card-entry screen's cancel (not while a payment is being
/// sent), the web page's close. Returns the window, which belongs to the screen and goes when the
/// screen goes; null without a QtBinding, and for a screen this program cannot draw: a
/// DirectPaymentViewController is always drawn, a WebViewPaymentController only by a program that
/// links vanto::qt_web and includes <vanto/qt/PaymentPage.h>.
VANTO_QT_EXPORT QWidget* present(const std::shared_ptr<BaseViewController>& screen);

/// The window of a screen that was presented; null otherwise. The card-entry screen's fields are
/// its QLineEdits, which assistive technologies know by their captions.
VANTO_QT_EXPORT QWidget* windowOf(const BaseViewController& screen);

/// The language of the library's own texts on the screens drawn from now on: the defaults of the
/// appearance (captions, button titles, the information text), the payment page's alert, the
/// window titles and what assistive technologies are told. Spanish unless the application calls
/// this; the library brings an English translation, embedded in it. Texts the merchant set are
/// shown exactly as set, in whatever language they are. True when `locale`'s language is Spanish
/// or English; false, and Spanish, for any other. Call on the Qt thread, after the QApplication
/// is made. The translation is one of the application's translators
/// (QCoreApplication::installTranslator) while it is in use.
VANTO_QT_EXPORT bool setScreenLanguage(const QLocale& locale);

}  // namespace vanto::qt
