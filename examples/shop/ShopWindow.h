#pragma once

#include <memory>
#include <string>

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vanto {
class BaseViewController;
}
namespace vanto::sandbox {
class SandboxGateway;
}

namespace shop {

class Receipt;

/// The shop's checkout: the order (number, amount, description, transaction type, card
/// reference), a button for each way to pay, and the record of the last payment's outcome.
class ShopWindow final : public QWidget {
    Q_OBJECT

  public:
    /// `gateway`: the sandbox the payments go to, for the shop's own return pages.
    explicit ShopWindow(const vanto::sandbox::SandboxGateway& gateway);
    ~ShopWindow() override;

    /// The screen of the payment under way, if any.
    const std::shared_ptr<vanto::BaseViewController>& screen() const { return screen_; }

  private:
    void payOnCardScreen();
    void payOnPaymentPage();
    void begin(std::shared_ptr<vanto::BaseViewController> screen);
    void showOutcome(bool accepted, const QString& record, const std::string& reference);

    const vanto::sandbox::SandboxGateway& gateway_;
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
    std::shared_ptr<Receipt> receipt_;
    std::shared_ptr<vanto::BaseViewController> screen_;
    int nextOrder_ = 1;
};

}  // namespace shop
