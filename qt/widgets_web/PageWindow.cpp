#include "PageWindow.h"

#include <functional>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include "PaymentWebView.h"
#include "base/QtValues.h"
#include "web_base/PageOnWebEngine.h"
#include "web_base/PaymentWebPage.h"
#include "widgets/Widgets.h"

namespace vanto::qt::detail {
namespace {

using Model = ui::PaymentPageViewModel;

const QSize kWindowSize(480, 720);

const char* const kCloseButtonStyle =
    "QPushButton { background: rgba(255, 255, 255, 230); color: #111827;"
    " border: 1px solid #cbd5e1; border-radius: 8px; }"
    "QPushButton:pressed { background: #e2e8f0; }";

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
    view_->paymentPage()->setDecision([model = model_](const QUrl& address, bool submitsForm) {
        return PageOnWebEngine::decideNavigation(model, address, submitsForm);
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
    if (loading.status() != QWebEngineLoadingInfo::LoadStartedStatus) {
        timeout_->stop();
    }
    PageOnWebEngine::loadingChanged(model_, loading);
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
    timeout_->start(PageOnWebEngine::timeoutMilliseconds(page));
    view_->paymentPage()->load(PageOnWebEngine::request(page));
}

void PageWindow::run(const ui::PageScript& script) {
    view_->paymentPage()->runJavaScript(PageOnWebEngine::scriptToRun(script),
                                        QWebEngineScript::MainWorld,
                                        [model = model_, id = script.id](const QVariant& answer) {
                                            PageOnWebEngine::scriptAnswered(model, id, answer);
                                        });
}

}  // namespace vanto::qt::detail
