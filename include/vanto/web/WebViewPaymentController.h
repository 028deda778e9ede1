#pragma once

#include <memory>
#include <string>
#include <utility>

#include "vanto/Export.h"
#include "vanto/config/CodeTables.h"
#include "vanto/flow/BaseViewController.h"
#include "vanto/platform/ui/PaymentPageViewModel.h"
#include "vanto/text/CardText.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto {

/// The payment web page: the screen of a web payment. The merchant application creates it with
/// the order data, sets its delegate and presents it (through a UI binding, which draws its
/// viewModel()). Each time it comes on screen it asks its WebViewPaymentPresenter for the
/// gateway's payment page and loads it in the web view; it hands the address of every navigation
/// to the presenter, which recognises the merchant's return addresses and reads the payment's
/// result from them. The outcome goes to the delegate; then the screen closes, or, when the
/// merchant configured a return address of its own, stays on the merchant's page with a close
/// button "X" in its top-left corner.
///
/// Each time the screen comes on screen, the delegate hears exactly one report: the outcome, or,
/// when the screen closes without one, paymentScreenClosedWithoutOutcome, whose mayHavePaid is
/// true once the page has posted a form (the card form, most likely). The ways to close without
/// an outcome:
/// - the close button, shown where a payment comes to an end without an outcome (a return address
///   whose result carries no decision the library can read, a signature-service answer without
///   the payment-page parameters, a page that the gateway refused or that cannot be read);
/// - the "ERROR 404" alert raised by a page that fails to load (not once the outcome is out),
///   whose button "Aceptar" closes the screen;
/// - the window closed by hand, and the screen let go of while on screen.
/// A second navigation to a return address does not report the payment again, and an outcome
/// that arrives after the screen was closed is dropped. Every navigated address is written to the
/// trace sink with the card data of a result masked.
///
/// Ownership: the application owns the screen (std::shared_ptr); the screen holds its delegate
/// strongly and owns its presenter and view model; the presenter holds the screen weakly, and a
/// payment page that arrives for a screen that has gone is not loaded. The application may let
/// go of the screen inside any delegate call.
class VANTO_EXPORT WebViewPaymentController final
    : public BaseViewController,
      public WebViewPaymentViewProtocol,
      public std::enable_shared_from_this<WebViewPaymentController> {
  public:
    /// A new screen, not yet loaded. `amount` is in currency units; `identifier` goes to the
    /// gateway as the merchant's card identifier ("REQUIRED" asks for a card reference).
    static std::shared_ptr<WebViewPaymentController> create(std::string orderNumber, double amount,
                                                            std::string productDescription,
                                                            TransactionType transactionType,
                                                            std::string identifier);
    /// The same with an exact amount, which charges exactly its hundredths.
    static std::shared_ptr<WebViewPaymentController> create(std::string orderNumber, Amount amount,
                                                            std::string productDescription,
                                                            TransactionType transactionType,
                                                            std::string identifier) {
        return create(std::move(orderNumber), amount.units(), std::move(productDescription),
                      transactionType, std::move(identifier));
    }
    ~WebViewPaymentController() override;

    /// What the screen shows and takes from its web view and the cardholder, for the binding
    /// that draws it.
    const std::shared_ptr<platform::ui::PaymentPageViewModel>& viewModel() const;

    /// Where the outcome goes; may be null (the screen still closes).
    const std::shared_ptr<WebViewPaymentResponseDelegate>& delegate() const;
    void setDelegate(std::shared_ptr<WebViewPaymentResponseDelegate> delegate);

    /// The order data, read each time the screen comes on screen.
    const std::string& orderNumber() const;
    void setOrderNumber(std::string orderNumber);
    double amount() const;
    void setAmount(double amount);
    void setAmount(Amount amount) { setAmount(amount.units()); }
    const std::string& productDescription() const;
    void setProductDescription(std::string productDescription);
    TransactionType transactionType() const;
    void setTransactionType(TransactionType transactionType);
    const std::string& identifier() const;
    void setIdentifier(std::string identifier);

    /// Starts a payment: shows the activity indicator and asks for the payment page, or, with a
    /// negative amount, refuses it (5548) on the next turn of the main queue.
    void viewDidAppear(bool animated) override;
    /// The screen keeps its orientation.
    bool shouldAutorotate() const override { return false; }

    /// The close button's action: closes the screen, without an outcome unless one was told.
    void closeButtonClicked();

    /// From the presenter: the outcome goes to the delegate, then the screen closes (redirect
    /// false) or shows its close button over the merchant's page (redirect true).
    void notifyUserOK(const WebViewPaymentResponseOK& response, bool redirect) override;
    void notifyUserKO(const WebViewPaymentResponseKO& response, bool redirect) override;
    /// From the presenter: the screen closes and the delegate hears that it closed without an
    /// outcome.
    void notifyUserClosedWithoutOutcome(bool mayHavePaid) override;
    /// Shows the close button.
    void showButtonDismiss() override;
    /// Raises the "ERROR 404" alert.
    void showDidFailLoadWithError() override;

  protected:
    /// Creates the presenter, hides the close button.
    void viewDidLoad() override;

  private:
    struct Private;
    class Inputs;

    WebViewPaymentController(std::string orderNumber, double amount, std::string productDescription,
                             TransactionType transactionType, std::string identifier);

    void setupUI();
    void exitView();
    void loadPage(platform::URLRequest page);
    void signatureAnswered();
    void closeOrOfferWayOut(bool redirect);
    platform::ui::NavigationActionPolicy decidePolicyFor(
        const platform::ui::NavigationAction& action);
    void didStartProvisionalNavigation();
    void didFinishNavigation();
    void didFailNavigation();

    std::unique_ptr<Private> d_;
};

}  // namespace vanto
