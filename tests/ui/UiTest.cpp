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
    for (auto* field : window.findChildren<QLineEdit*>()) {
        if (field->accessibleName() == name) {
            return field;
        }
    }
    return nullptr;
}

QPushButton* buttonTitled(const QWidget& window, const QString& title) {
    for (auto* button : window.findChildren<QPushButton*>()) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

}  // namespace vanto::testing
