#include "PageWindow.h"

#include <functional>

#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include "PaymentWebView.h"
#include "base/QtValues.h"
#include "base/ScreenTexts.h"
#include "web_base/PageOnWebEngine.h"
#include "web_base/PaymentWebPage.h"
#include "widgets/Widgets.h"

namespace vanto::qt::detail {
namespace {

using Model = ui::PaymentPageViewModel;

const QSize kWindowSize(480, 720);

// Dark on light whatever the page beneath, with a ring of two pixels while it has the focus.
const char* const kCloseButtonStyle =
    "QPushButton { background: rgba(255, 255, 255, 235); color: #111827;"
    " border: 1px solid #94a3b8; border-radius: 8px; }"
    "QPushButton:focus { border: 2px solid #111827; }"
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
    makeView();
}

// The window lives on until the event loop deletes it: nothing it does may reach this any more.
PageWindow::~PageWindow() {
    if (!window_) {
        return;
    }
    dropView();
    QObject::disconnect(timeout_, nullptr, window_, nullptr);
    QObject::disconnect(escape_, nullptr, window_, nullptr);
    window_->hide();
    window_->deleteLater();
}

void PageWindow::build() {
    window_ = new ScreenWindow(ownText(OwnText::pageWindowTitle));
    window_->resize(kWindowSize);
    window_->setMinimumSize(360, 480);
    timeout_ = new QTimer(window_);
    timeout_->setSingleShot(true);
    QObject::connect(timeout_, &QTimer::timeout, window_, [this, model = model_] {
        if (view_) {
            view_->paymentPage()->triggerAction(QWebEnginePage::Stop);
        }
        toModel(model, &Model::navigationFailed)();
    });
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), window_);
    escape_->setContext(Qt::WindowShortcut);
    escape_->setEnabled(false);
    QObject::connect(escape_, &QShortcut::activated, window_,
                     toModel(model_, &Model::pressCloseButton));
    window_->setCloseRequestHandler(toModel(model_, &Model::requestClose));
}

// The view of a presentation, its page deciding every navigation through the model.
void PageWindow::makeView() {
    view_ = new PaymentWebView();
    view_->setObjectName(QStringLiteral("paymentWebView"));
    view_->setAccessibleName(ownText(OwnText::paymentPage));
    window_->setContent(view_);
    indicator_ = new BusyIndicator();
    indicator_->setObjectName(QStringLiteral("busyIndicator"));
    view_->addOverlay(indicator_, true);
    closeButton_ = new QPushButton();
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    closeButton_->setStyleSheet(QLatin1String(kCloseButtonStyle));
    closeButton_->setCursor(Qt::PointingHandCursor);
    closeButton_->setAccessibleName(ownText(OwnText::closeButton));
    view_->addOverlay(closeButton_, false);
    PaymentWebPage* page = view_->paymentPage();
    page->setDecision([model = model_](const QUrl& address, bool submitsForm) {
        return PageOnWebEngine::decideNavigation(model, address, submitsForm);
    });
    QObject::connect(page, &QWebEnginePage::loadingChanged, window_,
                     [this](const QWebEngineLoadingInfo& loading) { loadingChanged(loading); });
    QObject::connect(closeButton_, &QPushButton::clicked, window_,
                     toModel(model_, &Model::pressCloseButton));
    if (const auto model = model_.lock()) {
        drawCloseButton(*model);
        drawBusy(*model);
    }
}

// The view goes with its page and the page's profile once the event loop is back: this may run
// inside one of the page's own signals.
void PageWindow::dropView() {
    timeout_->stop();
    if (!view_) {
        return;
    }
    PaymentWebView* view = view_;
    view_ = nullptr;
    indicator_ = nullptr;
    closeButton_ = nullptr;
    escape_->setEnabled(false);
    PaymentWebPage* page = view->paymentPage();
    QObject::disconnect(page, nullptr, window_, nullptr);
    page->setDecision(nullptr);
    page->triggerAction(QWebEnginePage::Stop);
    view->hide();
    view->deleteLater();
}

void PageWindow::loadingChanged(const QWebEngineLoadingInfo& loading) {
    if (loading.status() != QWebEngineLoadingInfo::LoadStartedStatus) {
        timeout_->stop();
    }
    PageOnWebEngine::loadingChanged(model_, loading);
}

// While the screen is not closed it has a view: a screen presented again gets a new one.
void PageWindow::changed(Model::Part part) {
    const auto model = model_.lock();
    if (!window_ || !model) {
        return;
    }
    if (part == Model::Part::closed) {
        window_->setVisible(!model->closed());
        if (model->closed()) {
            dropView();
        }
        return;
    }
    if (!view_ && !model->closed()) {
        makeView();
    }
    switch (part) {
        case Model::Part::closeButton:
            drawCloseButton(*model);
            break;
        case Model::Part::busy:
            drawBusy(*model);
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
            break;
    }
}

void PageWindow::drawCloseButton(const Model& model) {
    const auto& button = model.closeButton();
    escape_->setEnabled(view_ && button.visible);
    if (!closeButton_) {
        return;
    }
    closeButton_->setText(screenText(button.title));
    closeButton_->setFont(toQFont(button.font));
    closeButton_->setGeometry(toQRect(button.frame));
    closeButton_->setVisible(button.visible);
}

void PageWindow::drawBusy(const Model& model) {
    if (indicator_) {
        indicator_->setSpinning(model.busy());
        indicator_->setVisible(model.busy());
    }
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
    alert_->setObjectName(QStringLiteral("alert"));
    alert_->setAttribute(Qt::WA_DeleteOnClose);
    alert_->setWindowModality(Qt::WindowModal);
    alert_->setWindowTitle(screenText(alert.title));
    alert_->setTextFormat(Qt::PlainText);
    alert_->setText(screenText(alert.title));
    alert_->setInformativeText(screenText(alert.message));
    for (std::size_t index = 0; index < alert.actions.size(); ++index) {
        const auto& action = alert.actions[index];
        auto* button = alert_->addButton(screenText(action.title), roleOf(action.style));
        button->setObjectName(QStringLiteral("alertButton") + QString::number(index));
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
    if (!view_) {
        return;
    }
    timeout_->start(PageOnWebEngine::timeoutMilliseconds(page));
    view_->paymentPage()->load(PageOnWebEngine::request(page));
}

void PageWindow::run(const ui::PageScript& script) {
    if (!view_) {
        return;
    }
    view_->paymentPage()->runJavaScript(PageOnWebEngine::scriptToRun(script),
                                        QWebEngineScript::MainWorld,
                                        [model = model_, id = script.id](const QVariant& answer) {
                                            PageOnWebEngine::scriptAnswered(model, id, answer);
                                        });
}

}  // namespace vanto::qt::detail
