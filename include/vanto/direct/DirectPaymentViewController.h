#pragma once

#include <memory>
#include <string>
#include <utility>

#include "vanto/Export.h"
#include "vanto/config/CodeTables.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/flow/BaseViewController.h"
#include "vanto/platform/SecretText.h"
#include "vanto/platform/ui/CardEntryViewModel.h"
#include "vanto/text/CardText.h"

namespace vanto {

/// The library's card-entry screen for a direct payment. The merchant application creates it
/// with the order data and an appearance, sets its delegate and presents it (through a UI
/// binding, which draws its viewModel()). The cardholder types the card number, the expiry
/// (MM/YY) and the security code; the screen checks and regroups them as they are typed, enables
/// continue only when all three are valid, sends the payment through its DirectPaymentPresenter
/// and, when the outcome arrives, hands it to the delegate and closes itself. Cancel, and closing
/// the window by hand before the payment is sent, report code 78; a negative amount is refused
/// with 5548 as soon as the screen is on screen. Each time the screen comes on screen the delegate
/// hears exactly one report; a screen let go of while on screen before it reported tells the
/// delegate paymentScreenClosedWithoutOutcome, with mayHavePaid true when the payment had been
/// sent.
///
/// Stored-card mode: with an `identifier` other than "" and "REQUIRED" (a card reference the
/// gateway issued earlier), the fields show "**** **** **** ****", "**/**" and "***", cannot be
/// edited, continue is enabled at once and the payment is sent with empty card data.
///
/// Input rules, for each edit of a field (ranges in UTF-16 units; lengths in characters, which
/// are Unicode code points as in grouping()). An edit that brings anything but digits (and the
/// number's space, the expiry's "/") is refused whole.
/// - card number: refused when the new text would have 24 characters or more, separators
///   included (so 19 digits at most); otherwise the digits without spaces are checked with
///   lunhsTest() and the field shows the new text regrouped in fours;
/// - expiry: refused at 6 characters or more; otherwise the field shows the new text regrouped
///   as MM/YY, and that is checked with expireDateIsCorrect() (so a pasted "1229" is valid);
/// - security code: refused at 5 characters or more; valid with 3 or 4.
/// After each accepted edit continue is enabled exactly when all three are valid. An edit whose
/// range does not fit the text is refused. A field the cardholder leaves with content that is not
/// valid shows why under it ("Número de tarjeta no válido", "Fecha de caducidad no válida",
/// "Código de seguridad no válido": CardEntryViewModel::fieldProblem) until it is edited again.
///
/// Ownership: the application owns the screen (std::shared_ptr); the screen holds its delegate
/// strongly, owns its presenter and its view model; the presenter holds the screen weakly. The
/// application may let go of the screen inside any delegate call. The card data that pass
/// through the screen are secret text, wiped once used, and the fields are emptied when the
/// payment has ended.
class VANTO_EXPORT DirectPaymentViewController final
    : public BaseViewController,
      public DirectPaymentViewProtocol,
      public std::enable_shared_from_this<DirectPaymentViewController> {
  public:
    /// A new screen, not yet loaded. `amount` is in currency units; a null `uiViewConfig` stands
    /// for the defaults.
    static std::shared_ptr<DirectPaymentViewController> create(
        std::string orderNumber, double amount, std::string productDescription,
        TransactionType transactionType, std::string identifier,
        std::shared_ptr<const VantInAppUIConfig> uiViewConfig);
    /// The same with an exact amount, which charges exactly its hundredths.
    static std::shared_ptr<DirectPaymentViewController> create(
        std::string orderNumber, Amount amount, std::string productDescription,
        TransactionType transactionType, std::string identifier,
        std::shared_ptr<const VantInAppUIConfig> uiViewConfig) {
        return create(std::move(orderNumber), amount.units(), std::move(productDescription),
                      transactionType, std::move(identifier), std::move(uiViewConfig));
    }
    ~DirectPaymentViewController() override;

    /// What the screen shows and takes from the cardholder, for the binding that draws it.
    const std::shared_ptr<platform::ui::CardEntryViewModel>& viewModel() const;

    /// The order data, read when the screen appears and when the payment is sent.
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

    /// The outcome of the last check of each field.
    bool isCardNumberCorrect() const;
    bool isDateCorrect() const;
    bool isCVVCorrect() const;

    /// Where the outcome goes; may be null (the screen still closes).
    const std::shared_ptr<DirectPaymentResponseDelegate>& delegate() const;
    void setDelegate(std::shared_ptr<DirectPaymentResponseDelegate> delegate);

    /// Fades the screen in; with a negative amount, refuses the payment (5548) on the next turn
    /// of the main queue.
    void viewDidAppear(bool animated) override;
    /// The screen keeps its orientation.
    bool shouldAutorotate() const override { return false; }

    /// Closes the keyboard: editing ends.
    void dismissKeyboard();
    /// Cancel: reports code 78 "Operación cancelada por el usuario." and closes.
    void buttonCancelPaymentCliked();
    /// Continue: sends the payment with the card number without spaces, the expiry as YYMM and
    /// the security code (empty texts in stored-card mode), and locks the screen until the
    /// outcome arrives.
    void buttonContinuarPaymentCliked();

    /// The input rules above; false when the screen has set the field's text itself or refused
    /// the edit, true when the field is to apply it.
    bool textField(platform::ui::CardField field, platform::ui::TextRange shouldChangeCharactersIn,
                   const platform::SecretText& replacementString);

    /// The outcome, from the presenter: the delegate is told, then the screen closes.
    void notifyUserOK(const DirectPaymentResponseOK& response) override;
    void notifyUserKO(const DirectPaymentResponseKO& response) override;
    /// From the presenter: the screen closes and the delegate hears that it closed without an
    /// outcome.
    void notifyUserClosedWithoutOutcome(bool mayHavePaid) override;

  protected:
    /// Hides the elements until the screen appears, creates the presenter and applies the
    /// appearance.
    void viewDidLoad() override;

  private:
    struct Private;
    class Inputs;

    DirectPaymentViewController(std::string orderNumber, double amount,
                                std::string productDescription, TransactionType transactionType,
                                std::string identifier,
                                std::shared_ptr<const VantInAppUIConfig> uiViewConfig);

    void setupUI();
    void isCorrectData();
    void adjustNavigationTopSpacing(const platform::ui::DeviceMetrics& device);
    void closeRequested();
    void finishPayment();

    std::unique_ptr<Private> d_;
};

}  // namespace vanto
