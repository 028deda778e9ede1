#pragma once

#include <memory>

#include "vanto/quick/Export.h"

class QLocale;

namespace vanto::quick {

/// The Qt Quick binding of the payment screens: the QML module `Vanto`, whose CardEntryScreen
/// and PaymentPage draw a DirectPaymentViewController and a WebViewPaymentController from their
/// view models, with the same rules as every binding (the screens' logic decides each keystroke,
/// navigation and report).
///
/// An application that shows them:
/// 1. calls prepareApplication() before it makes its QGuiApplication (Qt WebEngine for Qt Quick
///    must be set up first);
/// 2. makes one QuickBinding after the QGuiApplication, on its thread, before it loads QML that
///    imports `Vanto`: the module's types are registered from then on, and the library's main
///    queue runs on the Qt event loop, so the outcomes of payments arrive there;
/// 3. hands each screen to QML in a ScreenHandle (<vanto/quick/ScreenHandle.h>), set as the
///    `screen` of a CardEntryScreen or a PaymentPage, and keeps the screen itself
///    (std::shared_ptr) until its delegate has been told.
///
/// Destroy the binding after the screens and before the QGuiApplication: the main queue goes
/// back to the library's own run loop, with whatever was still waiting on it. One at a time.
class VANTO_QUICK_EXPORT QuickBinding {
  public:
    /// Sets up Qt WebEngine for Qt Quick (QtWebEngineQuick::initialize): call it in main()
    /// before the QGuiApplication is made.
    static void prepareApplication();

    /// Makes the library's own texts on the screens drawn from now on (the appearance's default
    /// captions and titles, the payment page's alert, the names given to screen readers) speak
    /// the language of `locale`: Spanish, their own, or English, whose translation the library
    /// embeds. False, and Spanish, for any other. A text the merchant set is shown as set. Call
    /// on the Qt thread, with the QGuiApplication in place; the Widgets binding's
    /// vanto::qt::setScreenLanguage sets the same language.
    static bool setScreenLanguage(const QLocale& locale);

    QuickBinding();
    ~QuickBinding();
    QuickBinding(const QuickBinding&) = delete;
    QuickBinding& operator=(const QuickBinding&) = delete;

  private:
    struct Private;
    std::unique_ptr<Private> d_;
};

}  // namespace vanto::quick
