#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include <gtest/gtest.h>

#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QVariantMap>

#include "SandboxScreenTest.h"
#include "vanto/quick/QuickBinding.h"
#include "vanto/quick/ScreenHandle.h"

namespace vanto::testing {

/// Runs the event loop until `done` holds, woken by any change of `item`'s property `property`
/// (its notify signal); see waitUntil().
bool waitForProperty(const QObject* item, const char* property, const std::function<bool()>& done,
                     int timeoutMs = kStepBound);

/// Takes the answer of a script a page ran.
class Answer : public QObject {
    Q_OBJECT

  public:
    Q_INVOKABLE void take(const QVariant& answer) {
        value = answer;
        given = true;
        emit taken();
    }
    QVariant value;
    bool given = false;

  signals:
    void taken();
};

/// The Qt Quick screens in a real Qt application, the Quick binding in place, against a sandbox
/// gateway on loopback, which stands in for the test environment for a whole suite; the library's
/// URL sessions, and so the web views, trust its certificate. One QML engine serves the whole
/// program. The library's traces are kept for the test to read.
class QuickTest : public SandboxScreenTest<quick::QuickBinding> {
  protected:
    static QQmlEngine& engine();

    /// A window of `width` by `height` showing the QML `source` (which imports what it uses), its
    /// root item made with `properties`, filling the window; shown, exposed and active.
    struct Window {
        std::unique_ptr<QQuickWindow> window;
        QPointer<QQuickItem> root;
    };
    static Window show(const QByteArray& source, const QVariantMap& properties, int width,
                       int height);
    /// Runs `script` in the page of the WebEngineView `view` and waits for its value.
    static QVariant evaluate(QQuickItem* view, const QString& script);
    /// Waits until the page of `view` has finished loading where `there` holds.
    template <typename Predicate>
    static bool pageLoaded(const QQuickItem* view, Predicate there) {
        // The view goes with its screen, which may end meanwhile.
        const QPointer<const QQuickItem> watched(view);
        return watched &&
               waitForProperty(
                   view, "loading",
                   [&] { return watched && !watched->property("loading").toBool() && there(); },
                   kPageBound);
    }
    /// Waits until `view` shows the sandbox's card form.
    static bool cardFormShown(QQuickItem* view);
    /// Fills the sandbox's card form in `view` with `card` and sends it.
    static void payOnPage(QQuickItem* view, std::string_view card);
    /// Saves a picture of `window` as <build>/tests/quick/screenshots/<name>.png.
    static void saveScreenshot(QQuickWindow& window, const QString& name);
};

/// The item named `name` under `root` (its objectName); null when there is none.
QQuickItem* itemNamed(const QQuickItem* root, const QString& name);
/// The item named `name` drawn under `item`, popups among them (which belong to the window's
/// overlay, not to the item that opened them); null when there is none.
QQuickItem* drawnItemNamed(QQuickItem* item, const char* name);
/// Waits until the screen drawn by `root` has faded in: its elements, the child of `root` that
/// holds `item`, are opaque.
bool fadedIn(const QQuickItem* root, const QQuickItem* item);
/// The scene position of the middle of `item`.
QPoint middleOf(const QQuickItem* item);
/// Clicks `item` with the left button, as a cardholder taps it.
void tap(QQuickWindow& window, const QQuickItem* item);
/// Types `text` into the window's focused item, key by key.
void type(QQuickWindow& window, const QString& text);
/// Sends the key `key` (with `modifiers`) to the window's focused item.
void press(QQuickWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace vanto::testing
