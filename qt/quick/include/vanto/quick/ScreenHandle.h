#pragma once

#include <memory>

#include <QObject>

#include "vanto/quick/Export.h"

namespace vanto {
class BaseViewController;
}  // namespace vanto

namespace vanto::quick {

/// A payment screen for QML: what the `screen` property of the module `Vanto`'s CardEntryScreen
/// (a DirectPaymentViewController) and PaymentPage (a WebViewPaymentController) takes. An
/// application hands it to QML as it hands any object: a property of one of its own objects, a
/// context property, an argument.
///
/// The handle does not keep the screen: the application does (std::shared_ptr), as with every
/// binding, until the screen's delegate has been told. When the screen goes, the item drawing it
/// lets go of everything it showed (the payment page's web view is destroyed with it).
class VANTO_QUICK_EXPORT ScreenHandle final : public QObject {
    Q_OBJECT

  public:
    explicit ScreenHandle(const std::shared_ptr<BaseViewController>& screen,
                          QObject* parent = nullptr);
    ~ScreenHandle() override;

    /// The screen, while the application keeps it; null afterwards.
    std::shared_ptr<BaseViewController> screen() const { return screen_.lock(); }

  private:
    std::weak_ptr<BaseViewController> screen_;
};

}  // namespace vanto::quick
