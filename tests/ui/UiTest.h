#pragma once

#include <algorithm>

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "SandboxScreenTest.h"
#include "vanto/qt/QtBinding.h"

namespace vanto::testing {

/// The screens in a real Qt application, the Qt binding in place, against a sandbox gateway on
/// loopback, which stands in for the test environment for a whole suite; the library's URL
/// sessions, and so the web view, trust its certificate. The library's traces are kept for the test
/// to read.
class UiTest : public SandboxScreenTest<qt::QtBinding> {
  protected:
    /// Saves a picture of `widget` as <build>/tests/ui/screenshots/<name>.png.
    static void saveScreenshot(QWidget& widget, const QString& name);
};

/// The first of the window's children of type `Widget` for which `is` holds; null when none does.
template <typename Widget, typename Predicate>
Widget* childWhere(const QWidget& window, Predicate is) {
    const auto children = window.findChildren<Widget*>();
    const auto found = std::find_if(children.begin(), children.end(), is);
    return found == children.end() ? nullptr : *found;
}

/// The window's line edit that assistive technologies know by `name`.
QLineEdit* fieldNamed(const QWidget& window, const QString& name);
/// The window's push button showing `title`.
QPushButton* buttonTitled(const QWidget& window, const QString& title);

}  // namespace vanto::testing
