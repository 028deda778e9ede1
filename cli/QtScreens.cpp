#include "QtScreens.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/qt/PaymentPage.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/web/WebViewPaymentController.h"

namespace vanto::cli {
namespace {

using namespace std::chrono_literals;

constexpr auto kScreenBound = 120s;
// Slow enough for a person watching the demo to follow the typing.
constexpr auto kKeystroke = 40ms;
constexpr auto kGlance = 400ms;

bool hasValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

void addFlag(std::string& flags, const std::string& flag) {
    if (flags.find(flag) == std::string::npos) {
        flags += (flags.empty() ? "" : " ") + flag;
    }
}

void prepareWebEngine(bool loopbackOnly) {
    std::string flags =
        hasValue("QTWEBENGINE_CHROMIUM_FLAGS") ? std::getenv("QTWEBENGINE_CHROMIUM_FLAGS") : "";
    addFlag(flags, "--disable-background-networking");
    addFlag(flags, "--disable-component-update");
    addFlag(flags, "--no-pings");
    addFlag(flags, "--log-level=3");
    if (loopbackOnly && flags.find("--proxy-server") == std::string::npos) {
        // Loopback never goes through a proxy; everything else goes to one that is not there.
        addFlag(flags, "--proxy-server=http://127.0.0.1:9");
    }
    if (::geteuid() == 0) {
        addFlag(flags, "--no-sandbox");
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    if (!hasValue("QT_LOGGING_RULES")) {
        // The web engine's report of its graphics set-up says nothing about the payment.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));
    }
}

// Runs the event loop until `done` holds or `bound` has passed (none: no bound); returns done().
bool runUntil(const std::function<bool()>& done, std::optional<std::chrono::milliseconds> bound) {
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    look.start(10);
    if (bound) {
        QTimer::singleShot(*bound, &loop, &QEventLoop::quit);
    }
    if (!done()) {
        loop.exec();
    }
    return done();
}

void pause(std::chrono::milliseconds length) {
    runUntil([] { return false; }, length);
}

// One key as a keyboard sends it, through the field's own handling of keys.
void typeKey(QWidget& field, char character) {
    const auto key = static_cast<int>(Qt::Key_0) + (character - '0');
    const QString text(QChar::fromLatin1(character));
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(&field, &release);
}

// The card-entry screen's field that assistive technologies know by `caption`.
QLineEdit* fieldCaptioned(const QWidget& window, const QString& caption) {
    for (auto* field : window.findChildren<QLineEdit*>()) {
        if (field->accessibleName() == caption) {
            return field;
        }
    }
    return nullptr;
}

void typeInto(QLineEdit* field, std::string_view digits) {
    if (!field) {
        return;
    }
    field->setFocus();
    for (const char digit : digits) {
        typeKey(*field, digit);
        pause(kKeystroke);
    }
}

class DirectReceiver final : public DirectPaymentResponseDelegate {
  public:
    void responseDirectPaymentOK(const DirectPaymentResponseOK& response) override {
        outcome = response;
    }
    void responseDirectPaymentKO(const DirectPaymentResponseKO& response) override {
        outcome = response;
    }
    std::optional<DirectOutcome> outcome;
};

class WebReceiver final : public WebViewPaymentResponseDelegate {
  public:
    void responsePaymentOK(const WebViewPaymentResponseOK& response) override {
        if (!outcome) {
            outcome = response;
        }
    }
    void responsePaymentKO(const WebViewPaymentResponseKO& response) override {
        if (!outcome) {
            outcome = response;
        }
    }
    std::optional<WebOutcome> outcome;
};

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// What a cardholder types into the sandbox's card form, as a script that types it and presses
// "Pagar"; false when the page holds no card form.
QString cardFormScript(const Payment& payment) {
    return QStringLiteral(
               "(function () {"
               " var form = document.getElementById('card-form');"
               " if (!form) { return false; }"
               " document.getElementById('card-number').value = '%1';"
               " document.getElementById('card-expiry').value = '%2';"
               " document.getElementById('card-cvv').value = '%3';"
               " document.getElementById('pay-button').click();"
               " return true; })()")
        .arg(latin1(payment.pan.view()), latin1(payment.typedExpiry.view()),
             latin1(payment.cvv.view()));
}

}  // namespace

struct QtSession::State {
    int argc = 1;
    char name[6] = "vanto";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> application;
    std::unique_ptr<qt::QtBinding> binding;
};

QtSession::QtSession(bool loopbackOnly) : state_(std::make_unique<State>()) {
    prepareWebEngine(loopbackOnly);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    state_->application = std::make_unique<QApplication>(state_->argc, state_->argv);
    state_->binding = std::make_unique<qt::QtBinding>();
}

// The screens are gone by now; their windows go with the deferred deletions.
QtSession::~QtSession() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state_->binding.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state_->application.reset();
}

std::optional<DirectOutcome> directPaymentOnScreen(QtSession&, Payment& payment,
                                                   std::string& problem) {
    auto screen =
        DirectPaymentViewController::create(payment.order, payment.amount, payment.description,
                                            payment.type, payment.identifier, nullptr);
    auto receiver = std::make_shared<DirectReceiver>();
    screen->setDelegate(receiver);
    QWidget* window = qt::present(screen);
    if (!window) {
        problem = "the card-entry screen could not be shown";
        return std::nullopt;
    }
    pause(kGlance);
    // The default appearance's captions and button title.
    const VantInAppUIConfig look;
    if (!payment.storedCard) {
        // The screen's expiry field takes the four digits and puts the slash in itself.
        const std::string_view typed = payment.typedExpiry.view();
        QLineEdit* expiry =
            fieldCaptioned(*window, QString::fromStdString(look.expireDateLabel()->text()));
        typeInto(fieldCaptioned(*window, QString::fromStdString(look.numberCardLabel()->text())),
                 payment.pan.view());
        typeInto(expiry, typed.substr(0, 2));
        typeInto(expiry, typed.substr(3, 2));
        typeInto(fieldCaptioned(*window, QString::fromStdString(look.cvvLabel()->text())),
                 payment.cvv.view());
    }
    payment.wipeCardData();
    QPushButton* proceed = nullptr;
    for (auto* button : window->findChildren<QPushButton*>()) {
        if (button->text() == QString::fromStdString(look.continueButtonText())) {
            proceed = button;
        }
    }
    if (!proceed || !proceed->isEnabled()) {
        problem = "the card-entry screen did not take the card data";
        return std::nullopt;
    }
    pause(kGlance);
    proceed->click();
    if (!runUntil([&] { return receiver->outcome && !window->isVisible(); }, kScreenBound)) {
        problem = "the card-entry screen gave no outcome within two minutes";
        return std::nullopt;
    }
    return receiver->outcome;
}

std::optional<WebOutcome> webPaymentInWindow(QtSession&, Payment& payment, bool fillCardForm,
                                             std::string& problem) {
    auto screen = WebViewPaymentController::create(
        payment.order, payment.amount, payment.description, payment.type, payment.identifier);
    auto receiver = std::make_shared<WebReceiver>();
    screen->setDelegate(receiver);
    QWidget* window = qt::present(screen);
    auto* view = window ? window->findChild<QWebEngineView*>() : nullptr;
    if (!view) {
        problem = "the payment page window could not be shown";
        return std::nullopt;
    }
    if (fillCardForm) {
        // Once, on the first page that holds the card form.
        auto script = std::make_shared<QString>(cardFormScript(payment));
        QObject::connect(view->page(), &QWebEnginePage::loadFinished, view,
                         [view, script](bool ok) {
                             if (!ok || script->isEmpty()) {
                                 return;
                             }
                             view->page()->runJavaScript(*script, [script](const QVariant& filled) {
                                 if (filled.toBool()) {
                                     script->fill(QChar(0));
                                     script->clear();
                                 }
                             });
                         });
    }
    payment.wipeCardData();
    const auto closed = [&] { return !window->isVisible(); };
    if (!runUntil(closed, fillCardForm ? std::optional(std::chrono::milliseconds(kScreenBound))
                                       : std::nullopt)) {
        problem = "the payment page gave no outcome within two minutes";
        return std::nullopt;
    }
    if (!receiver->outcome) {
        problem = "the payment page window closed without an outcome";
    }
    return receiver->outcome;
}

}  // namespace vanto::cli
