#include "PageWindow.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include "Drawing.h"
#include "WebView.h"
#include "Widgets.h"

namespace vanto::qt::detail {
namespace {

using Model = ui::PaymentPageViewModel;

const QSize kWindowSize(480, 720);

const char* const kCloseButtonStyle =
    "QPushButton { background: rgba(255, 255, 255, 230); color: #111827;"
    " border: 1px solid #cbd5e1; border-radius: 8px; }"
    "QPushButton:pressed { background: #e2e8f0; }";

// Chromium's "the navigation was aborted": a page that another navigation replaced before it
// finished, or one the decision cancelled. Neither is a failure.
constexpr int kAborted = -3;

constexpr double kDefaultTimeoutSeconds = 60.0;
constexpr double kLongestTimeoutSeconds = 24.0 * 60.0 * 60.0;

const char* const kScriptWrapper =
    "(function () { try { return [true, (%1\n)]; } catch (e) { return [false, String(e)]; } })()";

// A field that the browser writes from the request itself and refuses to be given.
bool computedByBrowser(const std::string& name) {
    const QByteArray lower = QByteArray::fromStdString(name).toLower();
    return lower == "content-length" || lower == "host";
}

int timeoutMilliseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0) {
        seconds = kDefaultTimeoutSeconds;
    }
    return static_cast<int>(std::lround(std::min(seconds, kLongestTimeoutSeconds) * 1000.0));
}

std::optional<ui::ScriptValue> toScriptValue(const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        return std::nullopt;
    }
    switch (value.typeId()) {
        case QMetaType::QString:
            return ui::ScriptValue(value.toString().toStdString());
        case QMetaType::Bool:
            return ui::ScriptValue(value.toBool());
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return ui::ScriptValue(value.toDouble());
        default:
            return ui::ScriptValue(ui::OtherScriptValue{});
    }
}

QMessageBox::ButtonRole roleOf(ui::AlertActionStyle style) {
    switch (style) {
        case ui::AlertActionStyle::cancel:
            return QMessageBox::RejectRole;
        case ui::AlertActionStyle::destructive:
            return QMessageBox::DestructiveRole;
        case ui::AlertActionStyle::defaultStyle:
            break;
    }
    return QMessageBox::AcceptRole;
}

// An input for the model, which holds it for the call only: the screen behind it may go
// meanwhile.
std::function<void()> toModel(std::weak_ptr<Model> model, void (Model::*input)()) {
    return [model = std::move(model), input] {
        if (const auto shown = model.lock()) {
            ((*shown).*input)();
        }
    };
}

}  // namespace

PageWindow& PageWindow::of(const std::shared_ptr<Model>& model) {
    if (auto* drawn = dynamic_cast<PageWindow*>(model->observer().get())) {
        return *drawn;
    }
    auto made = std::shared_ptr<PageWindow>(new PageWindow(model));
    model->setObserver(made);
    return *made;
}

PageWindow::PageWindow(const std::shared_ptr<Model>& model) : model_(model) {
    build();
    connectInputs();
    changed(Model::Part::closeButton);
    changed(Model::Part::busy);
}

// The window lives on until the event loop deletes it: nothing it does may reach this any more.
PageWindow::~PageWindow() {
    if (!window_) {
        return;
    }
    timeout_->stop();
    QObject::disconnect(view_->paymentPage(), nullptr, window_, nullptr);
    QObject::disconnect(timeout_, nullptr, window_, nullptr);
    view_->paymentPage()->setDecision(nullptr);
    view_->paymentPage()->triggerAction(QWebEnginePage::Stop);
    window_->hide();
    window_->deleteLater();
}

void PageWindow::build() {
    window_ = new ScreenWindow(QStringLiteral("Pago"));
    window_->resize(kWindowSize);
    window_->setMinimumSize(360, 480);
    view_ = new PaymentWebView();
    window_->setContent(view_);
    indicator_ = new BusyIndicator();
    view_->addOverlay(indicator_, true);
    closeButton_ = new QPushButton();
    closeButton_->setStyleSheet(QLatin1String(kCloseButtonStyle));
    closeButton_->setCursor(Qt::PointingHandCursor);
    view_->addOverlay(closeButton_, false);
    timeout_ = new QTimer(window_);
    timeout_->setSingleShot(true);
}

void PageWindow::connectInputs() {
    // Once the model has gone, the page goes nowhere.
    view_->paymentPage()->setDecision([model = model_](const QUrl& address, bool submitsForm) {
        const auto shown = model.lock();
        if (!shown) {
            return false;
        }
        ui::NavigationAction action;
        if (!address.isEmpty()) {
            action.address = address.toString(QUrl::FullyEncoded).toStdString();
        }
        action.submitsForm = submitsForm;
        return shown->decideNavigation(action) == ui::NavigationActionPolicy::allow;
    });
    QObject::connect(view_->paymentPage(), &QWebEnginePage::loadingChanged, window_,
                     [this](const QWebEngineLoadingInfo& loading) { loadingChanged(loading); });
    QObject::connect(timeout_, &QTimer::timeout, window_, [this, model = model_] {
        view_->paymentPage()->triggerAction(QWebEnginePage::Stop);
        toModel(model, &Model::navigationFailed)();
    });
    QObject::connect(closeButton_, &QPushButton::clicked, window_,
                     toModel(model_, &Model::pressCloseButton));
    window_->setCloseRequestHandler(toModel(model_, &Model::requestClose));
}

void PageWindow::loadingChanged(const QWebEngineLoadingInfo& loading) {
    const auto status = loading.status();
    if (status != QWebEngineLoadingInfo::LoadStartedStatus) {
        timeout_->stop();
    }
    const auto model = model_.lock();
    if (!model) {
        return;
    }
    switch (status) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            model->navigationStarted();
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            model->navigationFinished();
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            if (loading.errorCode() != kAborted) {
                model->navigationFailed();
            }
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            break;
    }
}

void PageWindow::changed(Model::Part part) {
    const auto model = model_.lock();
    if (!window_ || !model) {
        return;
    }
    switch (part) {
        case Model::Part::closeButton:
            drawCloseButton(*model);
            break;
        case Model::Part::busy:
            indicator_->setSpinning(model->busy());
            indicator_->setVisible(model->busy());
            break;
        case Model::Part::alert:
            drawAlert(*model);
            break;
        case Model::Part::page:
            if (model->page()) {
                load(*model->page());
            }
            break;
        case Model::Part::script:
            if (model->script()) {
                run(*model->script());
            }
            break;
        case Model::Part::closed:
            window_->setVisible(!model->closed());
            break;
    }
}

void PageWindow::drawCloseButton(const Model& model) {
    const auto& button = model.closeButton();
    closeButton_->setText(toQString(button.title));
    closeButton_->setFont(toQFont(button.font));
    closeButton_->setGeometry(toQRect(button.frame));
    closeButton_->setVisible(button.visible);
}

// A window-modal message box over the window, which closes itself when one of its buttons is
// pressed; the model hears of the press once the box's signal has returned.
void PageWindow::drawAlert(const Model& model) {
    if (alert_) {
        alert_->close();
    }
    if (!model.alert()) {
        return;
    }
    const auto& alert = *model.alert();
    alert_ = new QMessageBox(window_);
    alert_->setAttribute(Qt::WA_DeleteOnClose);
    alert_->setWindowModality(Qt::WindowModal);
    alert_->setWindowTitle(toQString(alert.title));
    alert_->setTextFormat(Qt::PlainText);
    alert_->setText(toQString(alert.title));
    alert_->setInformativeText(toQString(alert.message));
    for (std::size_t index = 0; index < alert.actions.size(); ++index) {
        const auto& action = alert.actions[index];
        auto* button = alert_->addButton(toQString(action.title), roleOf(action.style));
        QObject::connect(
            button, &QAbstractButton::clicked, window_,
            [model = model_, index] {
                if (const auto shown = model.lock()) {
                    shown->pressAlertButton(index);
                }
            },
            Qt::QueuedConnection);
    }
    alert_->open();
}

void PageWindow::load(const platform::URLRequest& page) {
    const bool post = page.httpMethod && *page.httpMethod == "POST";
    QWebEngineHttpRequest request(QUrl(toQString(page.url)),
                                  post ? QWebEngineHttpRequest::Post : QWebEngineHttpRequest::Get);
    for (const auto& [name, value] : page.allHTTPHeaderFields.fields()) {
        if (!computedByBrowser(name)) {
            request.setHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        }
    }
    if (page.cachePolicy == platform::CachePolicy::reloadIgnoringLocalAndRemoteCacheData) {
        request.setHeader("Cache-Control", "no-cache");
        request.setHeader("Pragma", "no-cache");
    }
    if (page.httpBody) {
        request.setPostData(
            QByteArray(page.httpBody->data(), static_cast<qsizetype>(page.httpBody->size())));
    }
    timeout_->start(timeoutMilliseconds(page.timeoutInterval));
    view_->paymentPage()->load(request);
}

void PageWindow::run(const ui::PageScript& script) {
    const QString wrapped = QString::fromLatin1(kScriptWrapper).arg(toQString(script.source));
    view_->paymentPage()->runJavaScript(
        wrapped, QWebEngineScript::MainWorld,
        [model = model_, id = script.id](const QVariant& outcome) {
            const auto shown = model.lock();
            if (!shown) {
                return;
            }
            const QVariantList pair = outcome.toList();
            if (pair.size() != 2) {
                shown->scriptEvaluated(id, std::nullopt, std::nullopt);
            } else if (pair.front().toBool()) {
                shown->scriptEvaluated(id, toScriptValue(pair.back()), std::nullopt);
            } else {
                shown->scriptEvaluated(id, std::nullopt,
                                       ui::ScriptError{pair.back().toString().toStdString()});
            }
        });
}

}  // namespace vanto::qt::detail
