#include "PaymentPageDrawing.h"

#include <QMetaMethod>
#include <QQuickWebEngineProfile>
#include <QQuickWindow>
#include <QWebEngineCertificateError>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>
#include <QtDebug>

#include "base/QtValues.h"
#include "base/ScreenTexts.h"
#include "vanto/web/WebViewPaymentController.h"
#include "web_base/PageOnWebEngine.h"
#include "web_base/PaymentWebPage.h"
#include "web_base/SelectionGuard.h"

namespace vanto::quick::detail {
namespace {

using Model = ui::PaymentPageViewModel;
using qt::detail::PageOnWebEngine;
using qt::detail::screenText;
using qt::detail::toQFont;
using qt::detail::toQRect;

// The launching document of a POST is text loaded as a data: address.
bool isDataAddress(const QUrl& address) {
    return address.scheme() == QLatin1String("data");
}

QMetaMethod methodNamed(const QMetaObject& type, QByteArrayView name,
                        QMetaMethod::MethodType kind) {
    for (int index = 0; index < type.methodCount(); ++index) {
        const QMetaMethod method = type.method(index);
        if (method.methodType() == kind && method.name() == name) {
            return method;
        }
    }
    return {};
}

QQuickWebEngineProfile* profileOf(const QObject* view) {
    return view ? view->property("profile").value<QQuickWebEngineProfile*>() : nullptr;
}

}  // namespace

class PaymentPageDrawing::Observer final : public DrawingObserver<PaymentPageDrawing, Model> {
  public:
    using DrawingObserver::DrawingObserver;
};

PaymentPageDrawing::PaymentPageDrawing(QQuickItem* parent) : ScreenDrawing(parent) {
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        stopView();
        if (const auto model = model_.lock()) {
            model->navigationFailed();
        }
    });
}

PaymentPageDrawing::~PaymentPageDrawing() {
    screenGone();
    setView(nullptr);
}

bool PaymentPageDrawing::attach(const std::shared_ptr<BaseViewController>& screen) {
    const auto page = std::dynamic_pointer_cast<WebViewPaymentController>(screen);
    if (!page) {
        return false;
    }
    const auto& model = page->viewModel();
    model_ = model;
    const auto observer = std::make_shared<Observer>(this);
    observer_ = observer;
    model->setObserver(observer);
    for (const auto part :
         {Model::Part::closeButton, Model::Part::busy, Model::Part::alert, Model::Part::closed}) {
        changed(part);
    }
    return true;
}

// The view is stopped and goes with the screen (the QML's loader drops it).
void PaymentPageDrawing::detach() {
    timeout_.stop();
    stopView();
    launch_.clear();
    launching_ = false;
    posting_ = false;
    const auto observer = observer_.lock();
    if (observer) {
        observer->forget();
    }
    if (const auto model = model_.lock(); model && observer && model->observer() == observer) {
        model->setObserver(nullptr);
    }
    observer_.reset();
    model_.reset();
    emit closeButtonChanged();
    emit busyChanged();
    emit alertChanged();
}

void PaymentPageDrawing::tellAppeared() {
    if (const auto model = model_.lock()) {
        model->appeared();
    }
}

void PaymentPageDrawing::setView(QObject* view) {
    if (view == view_) {
        return;
    }
    if (view_) {
        QObject::disconnect(view_, nullptr, this, nullptr);
        if (auto* profile = profileOf(view_); profile) {
            profile->setUrlRequestInterceptor(nullptr);
        }
    }
    delete guard_;
    view_ = view;
    if (view_) {
        connectView();
    }
    emit viewChanged();
}

void PaymentPageDrawing::connectView() {
    const struct {
        const char* signal;
        const char* slot;
    } links[] = {
        {"navigationRequested", "navigationRequested"},
        {"loadingChanged", "loadingChanged"},
        {"certificateError", "certificateError"},
        {"contextMenuRequested", "contextMenuRequested"},
        {"javaScriptConsoleMessage", "javaScriptConsoleMessage"},
    };
    for (const auto& link : links) {
        const QMetaMethod signal =
            methodNamed(*view_->metaObject(), link.signal, QMetaMethod::Signal);
        const QMetaMethod slot = methodNamed(*metaObject(), link.slot, QMetaMethod::Slot);
        // Direct: the view waits for each decision while its signal runs.
        if (!signal.isValid() || !connect(view_, signal, this, slot, Qt::DirectConnection)) {
            qWarning("Vanto: the payment page's view must be a WebEngineView (no %s)", link.signal);
        }
    }
    if (auto* profile = profileOf(view_)) {
        profile->setUrlRequestInterceptor(&launch_);
        // Its collection's type is private to Qt: reached as its QML has it.
        auto* scripts = profile->property("userScripts").value<QObject*>();
        if (!scripts ||
            !QMetaObject::invokeMethod(
                scripts, "insert", Q_ARG(QWebEngineScript, qt::detail::selectionGuardScript()))) {
            qWarning("Vanto: the payment page's profile takes no script");
        }
    }
    guard_ = new qt::detail::SelectionGuard(this, [view = QPointer<QObject>(view_)] {
        const auto* item = qobject_cast<const QQuickItem*>(view.data());
        const QQuickItem* focused =
            item && item->window() ? item->window()->activeFocusItem() : nullptr;
        return focused && (focused == item || item->isAncestorOf(focused));
    });
}

void PaymentPageDrawing::changed(Model::Part part) {
    const auto model = model_.lock();
    if (!model) {
        return;
    }
    switch (part) {
        case Model::Part::closeButton:
            emit closeButtonChanged();
            break;
        case Model::Part::busy:
            emit busyChanged();
            break;
        case Model::Part::alert:
            emit alertChanged();
            break;
        case Model::Part::page:
            if (model->page()) {
                load(*model->page());
            }
            break;
        case Model::Part::script:
            if (const auto& script = model->script()) {
                emit scriptRequested(static_cast<double>(script->id),
                                     PageOnWebEngine::scriptToRun(*script));
            }
            break;
        case Model::Part::closed:
            setClosed(model->closed());
            break;
    }
}

void PaymentPageDrawing::load(const platform::URLRequest& page) {
    if (!view_) {
        return;
    }
    launch_.prepare(page);
    launchAddress_ = QUrl();
    launching_ = launch_.posts();
    posting_ = false;
    timeout_.start(PageOnWebEngine::timeoutMilliseconds(page));
    if (launch_.posts()) {
        QMetaObject::invokeMethod(view_, "loadHtml", Q_ARG(QString, launch_.html()),
                                  Q_ARG(QUrl, QUrl()));
    } else {
        view_->setProperty("url", launch_.address());
    }
}

void PaymentPageDrawing::stopView() {
    if (view_) {
        QMetaObject::invokeMethod(view_, "stop");
    }
}

bool PaymentPageDrawing::isLaunch(const QUrl& address) const {
    return !launchAddress_.isEmpty() && address == launchAddress_;
}

// The launching document and its post are the page's own load: the document is no navigation
// of the page, its post no form of the page's. Going back to the document would post again.
void PaymentPageDrawing::navigationRequested(QWebEngineNavigationRequest* request) {
    const QUrl address = request->url();
    if (launching_ && isDataAddress(address)) {
        launching_ = false;
        posting_ = true;
        launchAddress_ = address;
        request->accept();
    } else if (isLaunch(address)) {
        request->reject();
    } else if (posting_ && address == launch_.address()) {
        posting_ = false;
        if (PageOnWebEngine::decideNavigation(model_, address, false)) {
            request->accept();
        } else {
            request->reject();
        }
    } else {
        PageOnWebEngine::decideNavigation(model_, *request);
    }
}

void PaymentPageDrawing::loadingChanged(const QWebEngineLoadingInfo& loading) {
    if (isLaunch(loading.url()) || (isDataAddress(loading.url()) && (launching_ || posting_))) {
        return;
    }
    if (loading.status() != QWebEngineLoadingInfo::LoadStartedStatus) {
        timeout_.stop();
    }
    PageOnWebEngine::loadingChanged(model_, loading);
}

void PaymentPageDrawing::certificateError(const QWebEngineCertificateError& error) {
    qt::detail::decideCertificate(error);
}

// The page's own menu would offer to copy what the cardholder typed into it.
void PaymentPageDrawing::contextMenuRequested(QWebEngineContextMenuRequest* request) {
    request->setAccepted(true);
}

// Connected so that the page's console messages stay out of the application's output.
void PaymentPageDrawing::javaScriptConsoleMessage() {}

void PaymentPageDrawing::scriptAnswered(double id, const QVariant& answer) {
    PageOnWebEngine::scriptAnswered(model_, static_cast<std::uint64_t>(id), answer);
}

void PaymentPageDrawing::pressCloseButton() {
    if (const auto model = model_.lock()) {
        model->pressCloseButton();
    }
}

void PaymentPageDrawing::pressAlertButton(int index) {
    if (index < 0) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [model = model_, index] {
            if (const auto shown = model.lock()) {
                shown->pressAlertButton(static_cast<std::size_t>(index));
            }
        },
        Qt::QueuedConnection);
}

void PaymentPageDrawing::requestClose() {
    if (const auto model = model_.lock()) {
        model->requestClose();
    }
}

QString PaymentPageDrawing::closeTitle() const {
    const auto model = model_.lock();
    return model ? screenText(model->closeButton().title) : QString();
}

QFont PaymentPageDrawing::closeFont() const {
    const auto model = model_.lock();
    return model ? toQFont(model->closeButton().font) : QFont();
}

QRectF PaymentPageDrawing::closeFrame() const {
    const auto model = model_.lock();
    return model ? QRectF(toQRect(model->closeButton().frame)) : QRectF();
}

bool PaymentPageDrawing::closeVisible() const {
    const auto model = model_.lock();
    return model && model->closeButton().visible;
}

bool PaymentPageDrawing::busy() const {
    const auto model = model_.lock();
    return model && model->busy();
}

bool PaymentPageDrawing::alertShown() const {
    const auto model = model_.lock();
    return model && model->alert();
}

QString PaymentPageDrawing::alertTitle() const {
    const auto model = model_.lock();
    return model && model->alert() ? screenText(model->alert()->title) : QString();
}

QString PaymentPageDrawing::alertMessage() const {
    const auto model = model_.lock();
    return model && model->alert() ? screenText(model->alert()->message) : QString();
}

QStringList PaymentPageDrawing::alertButtons() const {
    QStringList titles;
    if (const auto model = model_.lock(); model && model->alert()) {
        for (const auto& action : model->alert()->actions) {
            titles.append(screenText(action.title));
        }
    }
    return titles;
}

}  // namespace vanto::quick::detail
