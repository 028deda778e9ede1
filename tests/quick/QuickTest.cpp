#include "QuickTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QJSEngine>
#include <QMetaProperty>
#include <QQmlComponent>
#include <QTest>

namespace vanto::testing {

bool waitForProperty(const QObject* item, const char* property, const std::function<bool()>& done,
                     int timeoutMs) {
    const QMetaObject* type = item->metaObject();
    const QMetaProperty watched = type->property(type->indexOfProperty(property));
    if (!watched.hasNotifySignal()) {
        ADD_FAILURE() << property << " tells no change";
        return done();
    }
    return waitUntil(item, watched.notifySignal(), done, timeoutMs);
}

QQmlEngine& QuickTest::engine() {
    // Made once, after the binding has registered the module's types; it lives until the program
    // ends, with the application.
    static auto* made = new QQmlEngine(QCoreApplication::instance());
    return *made;
}

QuickTest::Window QuickTest::show(const QByteArray& source, const QVariantMap& properties,
                                  int width, int height) {
    Window shown;
    QQmlComponent component(&engine());
    component.setData(source, QUrl(QStringLiteral("qrc:/vanto-tests/Shown.qml")));
    auto* root = qobject_cast<QQuickItem*>(component.createWithInitialProperties(properties));
    EXPECT_TRUE(root) << component.errorString().toStdString();
    if (!root) {
        return shown;
    }
    shown.window = std::make_unique<QQuickWindow>();
    shown.window->resize(width, height);
    root->setParentItem(shown.window->contentItem());
    root->setParent(shown.window.get());
    root->setSize(QSizeF(width, height));
    QObject::connect(shown.window.get(), &QWindow::widthChanged, root,
                     [root](int changed) { root->setWidth(changed); });
    QObject::connect(shown.window.get(), &QWindow::heightChanged, root,
                     [root](int changed) { root->setHeight(changed); });
    shown.root = root;
    shown.window->show();
    shown.window->requestActivate();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(shown.window.get()));
    EXPECT_TRUE(QTest::qWaitForWindowActive(shown.window.get()));
    return shown;
}

QVariant QuickTest::evaluate(QQuickItem* view, const QString& script) {
    static QJSValue run = engine().evaluate(QStringLiteral(
        "(function (view, source, answer) {"
        "  view.runJavaScript(source, function (value) { answer.take(value); }); })"));
    Answer answer;
    run.call({engine().toScriptValue(static_cast<QObject*>(view)), QJSValue(script),
              engine().toScriptValue(static_cast<QObject*>(&answer))});
    EXPECT_TRUE(waitUntil(&answer, &Answer::taken, [&] { return answer.given; }))
        << "the page ran no script";
    return answer.value;
}

bool QuickTest::cardFormShown(QQuickItem* view) {
    return pageLoaded(view,
                      [&] {
                          return view->property("url").toUrl().path() ==
                                 QStringLiteral("/zel/realizarPago");
                      }) &&
           evaluate(view, QStringLiteral("document.getElementById('card-form') !== null")).toBool();
}

void QuickTest::payOnPage(QQuickItem* view, std::string_view card) {
    ASSERT_TRUE(cardFormShown(view)) << "the card form never came";
    EXPECT_TRUE(evaluate(view, cardFormScript(card)).toBool());
}

void QuickTest::saveScreenshot(QQuickWindow& window, const QString& name) {
    const QDir folder(QStringLiteral(VANTO_QUICK_SCREENSHOTS));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QString file = folder.filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(window.grabWindow().save(file)) << file.toStdString();
}

QQuickItem* itemNamed(const QQuickItem* root, const QString& name) {
    return root ? root->findChild<QQuickItem*>(name) : nullptr;
}

QQuickItem* drawnItemNamed(QQuickItem* item, const char* name) {
    if (item->objectName() == QLatin1String(name)) {
        return item;
    }
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = drawnItemNamed(child, name)) {
            return found;
        }
    }
    return nullptr;
}

bool fadedIn(const QQuickItem* root, const QQuickItem* item) {
    while (item && item->parentItem() != root) {
        item = item->parentItem();
    }
    return item && waitForProperty(item, "opacity", [item] { return item->opacity() == 1.0; });
}

QPoint middleOf(const QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

void tap(QQuickWindow& window, const QQuickItem* item) {
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, middleOf(item));
}

void type(QQuickWindow& window, const QString& text) {
    for (const QChar character : text) {
        QTest::keyClick(&window, character.toLatin1());
    }
}

void press(QQuickWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(&window, key, modifiers);
}

}  // namespace vanto::testing
