#include "UiTest.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QPixmap>

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/platform/URLSession.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::testing {

bool Changes::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::ChildAdded) {
        notify();
    }
    return QObject::eventFilter(watched, event);
}

void UiTest::SetUpTestSuite() {
    binding_ = new qt::QtBinding();
    sandbox::SandboxOptions options;
    options.logRequests = false;
    gateway_ = new sandbox::SandboxGateway(options);
    ASSERT_TRUE(gateway_->start()) << gateway_->lastError();
}

void UiTest::TearDownTestSuite() {
    ProcessState::reset();
    delete gateway_;
    gateway_ = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete binding_;
    binding_ = nullptr;
}

void UiTest::SetUp() {
    ProcessState::reset();
    ASSERT_TRUE(gateway_->useAsTestEnvironment());
    setTraceSink([](std::string_view block) {
        const std::lock_guard lock(tracesMutex_);
        traces_.emplace_back(block);
    });
    gateway_->clearRequests();
    gateway_->setFaultForAll(std::nullopt);
    const std::lock_guard lock(tracesMutex_);
    traces_.clear();
}

// Screens dropped by the test have handed their windows to the event loop for deletion.
void UiTest::TearDown() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ProcessState::reset();
}

void UiTest::trustOnly(const std::string& anchor) {
    auto session = platform::URLSessionConfiguration::defaultSessionConfiguration();
    session.additionalTrustAnchors = {anchor};
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(session);
}

std::vector<std::string> UiTest::traces() {
    const std::lock_guard lock(tracesMutex_);
    return traces_;
}

void UiTest::saveScreenshot(QWidget& widget, const QString& name) {
    const QDir folder(QStringLiteral(VANTO_UI_SCREENSHOTS));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QString file = folder.filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
}

QString UiTest::futureExpiryDigits() {
    const int year = (QDate::currentDate().year() + 3) % 100;
    return QStringLiteral("12") + QStringLiteral("%1").arg(year, 2, 10, QLatin1Char('0'));
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
