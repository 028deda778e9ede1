#pragma once

// Drives the card-entry screen of either Qt binding as a cardholder would, for an application's
// own Qt Test: it finds the controls by their published object names, clicks them and types
// with key events. Header-only, for test programs that link Qt Test and the binding they show:
// with Qt Widgets, pass the window vanto::qt::present() returned; with Qt Quick, the
// CardEntryScreen item. The functions are compiled for whichever of Qt6::Widgets and Qt6::Quick
// the test links (both, when it links both).

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTest>

#ifdef QT_WIDGETS_LIB
#include <QWidget>
#endif
#ifdef QT_QUICK_LIB
#include <QQuickItem>
#include <QQuickWindow>
#endif

namespace vanto::testing {

namespace detail {

// A control by its object name; a Qt Quick field answers with its text input.
inline QObject* control(const QObject* screen, const QString& name) {
    if (!screen) {
        return nullptr;
    }
    if (auto* input = screen->findChild<QObject*>(name + QStringLiteral("Input"))) {
        return input;
    }
    return screen->findChild<QObject*>(name);
}

// A left click in the middle of `control`; false when it is of no binding linked in.
inline bool click(QObject* control) {
#ifdef QT_WIDGETS_LIB
    if (auto* widget = qobject_cast<QWidget*>(control)) {
        QTest::mouseClick(widget, Qt::LeftButton);
        return true;
    }
#endif
#ifdef QT_QUICK_LIB
    if (auto* item = qobject_cast<QQuickItem*>(control); item && item->window()) {
        const QPointF middle(item->width() / 2, item->height() / 2);
        QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier,
                          item->mapToScene(middle).toPoint());
        return true;
    }
#endif
    return false;
}

// A key to `control`, which has the focus.
inline void key(QObject* control, Qt::Key key, char text = 0) {
#ifdef QT_WIDGETS_LIB
    if (auto* widget = qobject_cast<QWidget*>(control)) {
        text ? QTest::keyClick(widget, text) : QTest::keyClick(widget, key);
        return;
    }
#endif
#ifdef QT_QUICK_LIB
    if (auto* item = qobject_cast<QQuickItem*>(control); item && item->window()) {
        text ? QTest::keyClick(item->window(), text) : QTest::keyClick(item->window(), key);
    }
#endif
}

}  // namespace detail

/// Types a card into the card screen `screen`: each field is clicked, typed into key by key after
/// what it holds, and left with Tab, as a cardholder goes through the form (so a field left with
/// content that is not valid says why: shownErrors()). `expiry` as the digits MMYY or as MM/YY.
/// False when a field is missing.
inline bool typeCard(QObject* screen, const QString& number, const QString& expiry,
                     const QString& securityCode) {
    const std::pair<const char*, const QString*> typed[] = {
        {"number", &number}, {"expiry", &expiry}, {"securityCode", &securityCode}};
    for (const auto& [name, text] : typed) {
        QObject* field = detail::control(screen, QLatin1String(name));
        if (!field || !detail::click(field)) {
            return false;
        }
        detail::key(field, Qt::Key_End);
        for (const QChar character : *text) {
            detail::key(field, Qt::Key_unknown, character.toLatin1());
        }
        detail::key(field, Qt::Key_Tab);
    }
    return true;
}

/// Clicks the screen's continue button. False when it is missing or cannot be pressed (continue
/// is enabled only while the three fields are valid).
inline bool pressContinue(QObject* screen) {
    QObject* button = detail::control(screen, QStringLiteral("continueButton"));
    return button && button->property("enabled").toBool() && detail::click(button);
}

/// What the screen says under its fields about their content, one line per field, in the order
/// of the fields; empty when it says nothing.
inline QStringList shownErrors(const QObject* screen) {
    QStringList shown;
    for (const char* name : {"numberProblem", "expiryProblem", "securityCodeProblem"}) {
        const QObject* problem = detail::control(screen, QLatin1String(name));
        const QString text = problem ? problem->property("text").toString() : QString();
        if (problem && problem->property("visible").toBool() && !text.isEmpty()) {
            shown.append(text);
        }
    }
    return shown;
}

}  // namespace vanto::testing
