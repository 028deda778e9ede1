#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QWindow;

namespace vanto {
class BaseViewController;
class PaymentJournal;
}  // namespace vanto
namespace vanto::quick {
class ScreenHandle;
}  // namespace vanto::quick

namespace kiosk {

class Receipt;

/// The kiosk's sale, for Kiosk.qml: an order, paid on either of the library's screens, then the
/// result, one payment at a time. The payments the journal holds unresolved (in doubt, or
/// answered while no screen could tell it) are shown before the next sale, which waits until
/// each has been reviewed with a note.
///
/// `stage` says what the kiosk shows: "order", "card" (the card-entry screen), "page" (the
/// payment page) or "result". While paying, `screen` is the screen's ScreenHandle for QML.
class Kiosk final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString stage READ stage NOTIFY changed)
    Q_PROPERTY(QObject* screen READ screen NOTIFY changed)
    Q_PROPERTY(QString order READ order NOTIFY changed)
    Q_PROPERTY(QStringList lines READ lines CONSTANT)
    Q_PROPERTY(QString total READ total CONSTANT)
    Q_PROPERTY(bool accepted READ accepted NOTIFY changed)
    Q_PROPERTY(QString verdict READ verdict NOTIFY changed)
    Q_PROPERTY(QString detail READ detail NOTIFY changed)
    Q_PROPERTY(QStringList unresolved READ unresolved NOTIFY changed)
    Q_PROPERTY(bool canSell READ canSell NOTIFY changed)

  public:
    /// `journal`: the payment journal installed for the library's flows.
    explicit Kiosk(std::shared_ptr<vanto::PaymentJournal> journal, QObject* parent = nullptr);
    ~Kiosk() override;

    QString stage() const { return stage_; }
    QObject* screen() const;
    QString order() const;
    QStringList lines() const;
    QString total() const;
    bool accepted() const { return accepted_; }
    QString verdict() const { return verdict_; }
    QString detail() const { return detail_; }
    QStringList unresolved() const { return unresolved_; }
    bool canSell() const { return stage_ == QLatin1String("order") && unresolvedOrders_.empty(); }

    Q_INVOKABLE void payByCard();
    Q_INVOKABLE void payOnPage();
    /// Back to the order, for the next sale.
    Q_INVOKABLE void newSale();
    /// Marks the first unresolved payment reviewed with `note` (not empty).
    Q_INVOKABLE bool markReviewed(const QString& note);

  signals:
    void changed();

  private:
    void begin(std::shared_ptr<vanto::BaseViewController> screen, const QString& stage);
    void ended(bool accepted, QString verdict, QString detail);
    void readJournal();

    std::shared_ptr<vanto::PaymentJournal> journal_;
    std::shared_ptr<Receipt> receipt_;
    std::shared_ptr<vanto::BaseViewController> screen_;
    QPointer<vanto::quick::ScreenHandle> handle_;
    QString stage_ = QStringLiteral("order");
    int nextOrder_ = 1;
    bool accepted_ = false;
    QString verdict_;
    QString detail_;
    QStringList unresolved_;
    std::vector<std::string> unresolvedOrders_;
};

/// Shows `window` over all its screen leaves to windows, and keeps it there as that changes.
/// Full screen alone is a request to a window manager, which a kiosk often runs without.
void showFillingScreen(QWindow& window);

}  // namespace kiosk
