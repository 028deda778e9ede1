#include "UiTest.h"

#include <QDir>
#include <QPixmap>

namespace vanto::testing {

void UiTest::saveScreenshot(QWidget& widget, const QString& name) {
    const QDir folder(QStringLiteral(VANTO_UI_SCREENSHOTS));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QString file = folder.filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
}

QLineEdit* fieldNamed(const QWidget& window, const QString& name) {
    return childWhere<QLineEdit>(window,
                                 [&](auto* field) { return field->accessibleName() == name; });
}

QPushButton* buttonTitled(const QWidget& window, const QString& title) {
    return childWhere<QPushButton>(window, [&](auto* button) { return button->text() == title; });
}

}  // namespace vanto::testing
