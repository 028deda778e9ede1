#pragma once

#include <memory>
#include <string>

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace vanto {
class BaseViewController;
class PaymentJournal;
}  // namespace vanto
namespace vanto::sandbox {
class SandboxGateway;
}

namespace shop {

class Receipt;

/// The shop's checkout: the order (number, amount, description, transaction type, card
/// reference), a button for each way to pay, and the record of the last payment's outcome.
///
/// One payment at a time: while a payment screen is open and has not told its outcome, the pay
/// buttons are disabled. The payments left in doubt or whose outcome no screen told (a crash, a
/// cut connection) are listed from the payment journal when the shop opens and after each
/// payment, and the shop makes no sale until each one has been reviewed with a note.
class ShopWindow final : public QWidget {
    Q_OBJECT

  public:
    /// `gateway`: the sandbox the payments go to, for the shop's own return pages. `journal`: the
    /// payment journal installed for the library's flows.
    ShopWindow(const vanto::sandbox::SandboxGateway& gateway,
               std::shared_ptr<vanto::PaymentJournal> journal);
    ~ShopWindow() override;

    /// The screen of the payment under way, if any.
    const std::shared_ptr<vanto::BaseViewController>& screen() const { return screen_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void payOnCardScreen();
    void payOnPaymentPage();
    void begin(std::shared_ptr<vanto::BaseViewController> screen);
    void showOutcome(bool accepted, const QString& record, const std::string& reference);
    void paymentEnded();
    void showUnresolved();
    void markReviewed();
    void enableSales();

    const vanto::sandbox::SandboxGateway& gateway_;
    std::shared_ptr<vanto::PaymentJournal> journal_;
    QLineEdit* order_;
    QDoubleSpinBox* amount_;
    QLineEdit* description_;
    QComboBox* type_;
    QComboBox* identifier_;
    QCheckBox* ownReturnPages_;
    QPushButton* cardScreen_;
    QPushButton* paymentPage_;
    QLabel* verdict_;
    QPlainTextEdit* record_;
    QGroupBox* toReview_;
    QListWidget* unresolved_;
    QLineEdit* note_;
    QPushButton* reviewed_;
    std::shared_ptr<Receipt> receipt_;
    std::shared_ptr<vanto::BaseViewController> screen_;
    // The window of the payment under way: when it goes, so does the payment.
    QWidget* watched_ = nullptr;
    bool paying_ = false;
    int nextOrder_ = 1;
};

}  // namespace shop
