#pragma once

#include <memory>

#include <QPointer>

#include "vanto/platform/ui/PaymentPageViewModel.h"
#include "vanto/qt/WebExport.h"

class QMessageBox;
class QPushButton;
class QShortcut;
class QTimer;
class QWebEngineLoadingInfo;

namespace vanto::qt::detail {

namespace ui = platform::ui;

class BusyIndicator;
class PaymentWebView;
class ScreenWindow;

/// The payment web page on Qt WebEngine: a window filled by a web view, with the activity
/// indicator in its middle and the close button over its top-left corner, drawn from the screen's
/// view model, which it observes and which owns it. It hands the model every navigation the page
/// makes (decided at once), each start, finish and failure, the scripts' answers and what the
/// cardholder presses; Escape presses the close button while it is shown. The window goes when
/// this does.
///
/// Each time the screen comes on screen it gets a web view of its own, with a page in a profile
/// of its own (PaymentWebPage), and when the screen closes the view goes with its page and
/// profile: what the cardholder typed into the gateway's page does not outlive the screen, and
/// the next presentation starts clean.
///
/// Pages, navigations and scripts go between the model and the web view as PageOnWebEngine has
/// them; the time-out stops a page that has not finished loading by then, as a failed navigation.
class VANTO_QT_WEB_EXPORT PageWindow final : public ui::PaymentPageViewModel::Observer {
  public:
    /// The window drawing `model`, made and set as its observer when it has none.
    static PageWindow& of(const std::shared_ptr<ui::PaymentPageViewModel>& model);
    ~PageWindow() override;
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    ScreenWindow* window() const { return window_; }
    void changed(ui::PaymentPageViewModel::Part part) override;

  private:
    explicit PageWindow(const std::shared_ptr<ui::PaymentPageViewModel>& model);
    void build();
    void makeView();
    void dropView();
    void loadingChanged(const QWebEngineLoadingInfo& loading);
    void drawCloseButton(const ui::PaymentPageViewModel& model);
    void drawBusy(const ui::PaymentPageViewModel& model);
    void drawAlert(const ui::PaymentPageViewModel& model);
    void load(const platform::URLRequest& page);
    void run(const ui::PageScript& script);

    std::weak_ptr<ui::PaymentPageViewModel> model_;
    QPointer<ScreenWindow> window_;
    QTimer* timeout_ = nullptr;
    QShortcut* escape_ = nullptr;
    // The view of this presentation, with its page, indicator and close button; none while the
    // screen is closed.
    QPointer<PaymentWebView> view_;
    BusyIndicator* indicator_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPointer<QMessageBox> alert_;
};

}  // namespace vanto::qt::detail
