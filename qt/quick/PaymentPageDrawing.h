#pragma once

#include <cstdint>
#include <memory>

#include <QFont>
#include <QPointer>
#include <QRectF>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebEngineCertificateError>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>
#include <QtQmlIntegration>

#include "PageLaunch.h"
#include "ScreenDrawing.h"
#include "vanto/platform/ui/PaymentPageViewModel.h"

namespace vanto::quick::detail {

namespace ui = platform::ui;

/// The payment page's drawing for PaymentPage.qml: what the QML shows, from the view model of the
/// WebViewPaymentController set in `screen`, and what the page's WebEngineView and the cardholder
/// do, handed to the model.
///
/// The QML hands over its WebEngineView (`view`), made for the screen in a profile of its own
/// and destroyed when the screen goes. This connects to the view's signals: every navigation is
/// decided at once by the model (through PageOnWebEngine, as in every Qt binding), each start,
/// finish and failure of a load goes to the model, certificates are decided against the
/// application's trust anchors, and the page gets no context menu and writes no console lines
/// to the application's output. The view's profile runs the guard script of every payment page
/// (selectionGuardScript), and while the view is there a SelectionGuard takes back what its page
/// hands the clipboard or the primary selection. Pages are loaded as PageLaunch says; a page slower
/// than its request's time-out is stopped, as a failed navigation. Scripts are run by the QML
/// (scriptRequested), which hands their answers back (scriptAnswered).
class PaymentPageDrawing : public ScreenDrawing {
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(QString closeTitle READ closeTitle NOTIFY closeButtonChanged)
    Q_PROPERTY(QFont closeFont READ closeFont NOTIFY closeButtonChanged)
    /// Over the page's top-left corner.
    Q_PROPERTY(QRectF closeFrame READ closeFrame NOTIFY closeButtonChanged)
    Q_PROPERTY(bool closeVisible READ closeVisible NOTIFY closeButtonChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool alertShown READ alertShown NOTIFY alertChanged)
    Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY alertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY alertChanged)
    Q_PROPERTY(QStringList alertButtons READ alertButtons NOTIFY alertChanged)
    Q_PROPERTY(QObject* view READ view WRITE setView NOTIFY viewChanged)

  public:
    explicit PaymentPageDrawing(QQuickItem* parent = nullptr);
    ~PaymentPageDrawing() override;

    QString closeTitle() const;
    QFont closeFont() const;
    QRectF closeFrame() const;
    bool closeVisible() const;
    bool busy() const;
    bool alertShown() const;
    QString alertTitle() const;
    QString alertMessage() const;
    QStringList alertButtons() const;
    QObject* view() const { return view_; }
    void setView(QObject* view);

    // What the cardholder does.
    Q_INVOKABLE void pressCloseButton();
    /// The alert's button at `index`; the model hears of it on the next turn, once the press has
    /// been handled.
    Q_INVOKABLE void pressAlertButton(int index);
    void requestClose() override;
    /// The answer of the script `id` of scriptRequested, as runJavaScript gives it.
    Q_INVOKABLE void scriptAnswered(double id, const QVariant& answer);

    /// From the view model's observer.
    void changed(ui::PaymentPageViewModel::Part part);

  signals:
    void closeButtonChanged();
    void busyChanged();
    void alertChanged();
    void viewChanged();
    /// `source` to run in the page's main world; its answer goes to scriptAnswered(id, ...).
    void scriptRequested(double id, const QString& source);

  protected:
    bool attach(const std::shared_ptr<BaseViewController>& screen) override;
    void detach() override;
    void tellAppeared() override;

  private slots:
    void navigationRequested(QWebEngineNavigationRequest* request);
    void loadingChanged(const QWebEngineLoadingInfo& loading);
    void certificateError(const QWebEngineCertificateError& error);
    void contextMenuRequested(QWebEngineContextMenuRequest* request);
    void javaScriptConsoleMessage();

  private:
    class Observer;

    void connectView();
    void load(const platform::URLRequest& page);
    void stopView();
    bool isLaunch(const QUrl& address) const;

    std::weak_ptr<ui::PaymentPageViewModel> model_;
    // Owned by the view model: it goes with the model, and tells this when it does.
    std::weak_ptr<Observer> observer_;
    QPointer<QObject> view_;
    // Takes back what the view's page hands the clipboard or the primary selection; made with the
    // view, and gone with it.
    QPointer<QObject> guard_;
    PageLaunch launch_;
    // The address of the launching document of a POST, once the view has named it.
    QUrl launchAddress_;
    // Set while the page's own load is on its way: the launching document, then its form's post.
    bool launching_ = false;
    bool posting_ = false;
    QTimer timeout_;
};

}  // namespace vanto::quick::detail
