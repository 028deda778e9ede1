#pragma once

#include <vector>

#include <QPointer>
#include <QWebEngineView>

namespace vanto::qt::detail {

class PaymentWebPage;

/// The web view of the payment page, on a PaymentWebPage, which keeps the widgets placed over its
/// page on top of it: at their own geometry, or in its middle. Escape is offered to the window's
/// shortcuts before the page sees it (the page gets it when no shortcut takes it). Its context menu
/// offers neither copying nor cutting nor selecting, and while it lives a SelectionGuard takes
/// back what the page hands the clipboard or the primary selection.
class PaymentWebView final : public QWebEngineView {
    Q_OBJECT

  public:
    PaymentWebView();
    PaymentWebPage* paymentPage() const { return page_; }
    void addOverlay(QWidget* overlay, bool centred);

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void raiseOverlays();

    PaymentWebPage* page_;
    std::vector<QPointer<QWidget>> overlays_;
    std::vector<QPointer<QWidget>> centred_;
};

}  // namespace vanto::qt::detail
