#include "Kiosk.h"

#include <functional>

#include <QMetaObject>
#include <QScreen>
#include <QWindow>

#include "ExampleSetup.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/quick/ScreenHandle.h"
#include "vanto/web/WebViewPaymentController.h"

namespace kiosk {

namespace {

// The kiosk's one order: what it sells, and its total.
const char* const kLines[] = {"Café con leche — 1,80 €", "Bocadillo — 2,70 €"};
constexpr double kAmount = 4.50;
const char* const kTotal = "4,50 €";
const char* const kDescription = "Café con leche y bocadillo";

}  // namespace

/// Receives the end of either screen as one outcome.
class Receipt final : public vanto::DirectPaymentResponseDelegate,
                      public vanto::WebViewPaymentResponseDelegate {
  public:
    using Told = std::function<void(bool accepted, QString verdict, QString detail)>;
    explicit Receipt(Told told) : told_(std::move(told)) {}

    void paymentEnded(const vanto::PaymentOutcome& outcome) override {
        const QString text = QString::fromStdString(outcome.text);
        switch (outcome.verdict) {
            case vanto::PaymentVerdict::paid:
                told_(true, QStringLiteral("Pago aceptado"),
                      QStringLiteral("Autorización %1")
                          .arg(QString::fromStdString(outcome.authorisationCode)));
                return;
            case vanto::PaymentVerdict::inDoubt:
                told_(false, QStringLiteral("Pago en duda"),
                      QStringLiteral("Puede que se haya cobrado: el pago queda por revisar."));
                return;
            case vanto::PaymentVerdict::cancelled:
                told_(false, QStringLiteral("Pago cancelado"),
                      QStringLiteral("No se ha cobrado nada."));
                return;
            case vanto::PaymentVerdict::declined:
            case vanto::PaymentVerdict::failedBeforeSending:
                told_(false, QStringLiteral("Pago rechazado"), text);
                return;
        }
    }

  private:
    Told told_;
};

Kiosk::Kiosk(std::shared_ptr<vanto::PaymentJournal> journal, QObject* parent)
    : QObject(parent), journal_(std::move(journal)) {
    // Order numbers go on from the journal's: an order number is never used twice.
    if (const auto payments = journal_->payments()) {
        nextOrder_ = static_cast<int>(payments.value().size()) + 1;
    }
    receipt_ = std::make_shared<Receipt>([this](bool accepted, QString verdict, QString detail) {
        ended(accepted, std::move(verdict), std::move(detail));
    });
    readJournal();
}

Kiosk::~Kiosk() {
    delete handle_;
}

QObject* Kiosk::screen() const {
    return handle_;
}

QString Kiosk::order() const {
    return QStringLiteral("KIOSCO%1").arg(nextOrder_, 4, 10, QLatin1Char('0'));
}

QStringList Kiosk::lines() const {
    QStringList shown;
    for (const char* line : kLines) {
        shown.append(QString::fromUtf8(line));
    }
    return shown;
}

QString Kiosk::total() const {
    return QString::fromUtf8(kTotal);
}

void Kiosk::payByCard() {
    if (!canSell()) {
        return;
    }
    auto screen = vanto::DirectPaymentViewController::create(
        order().toStdString(), kAmount, kDescription, vanto::TransactionType::normal, "", nullptr);
    screen->setDelegate(receipt_);
    begin(std::move(screen), QStringLiteral("card"));
}

void Kiosk::payOnPage() {
    if (!canSell()) {
        return;
    }
    auto screen = vanto::WebViewPaymentController::create(
        order().toStdString(), kAmount, kDescription, vanto::TransactionType::normal, "");
    screen->setDelegate(receipt_);
    begin(std::move(screen), QStringLiteral("page"));
}

void Kiosk::begin(std::shared_ptr<vanto::BaseViewController> screen, const QString& stage) {
    screen_ = std::move(screen);
    handle_ = new vanto::quick::ScreenHandle(screen_, this);
    stage_ = stage;
    emit changed();
}

// The screen has told its end: the result shows, and the screen (whose item the QML drops now)
// is let go of on the next turn, outside its report.
void Kiosk::ended(bool accepted, QString verdict, QString detail) {
    accepted_ = accepted;
    verdict_ = std::move(verdict);
    detail_ = std::move(detail);
    stage_ = QStringLiteral("result");
    ++nextOrder_;
    readJournal();
    emit changed();
    QMetaObject::invokeMethod(
        this,
        [this] {
            screen_.reset();
            if (handle_) {
                handle_->deleteLater();
            }
            handle_ = nullptr;
            emit changed();
        },
        Qt::QueuedConnection);
}

void Kiosk::newSale() {
    if (stage_ != QLatin1String("result")) {
        return;
    }
    stage_ = QStringLiteral("order");
    readJournal();
    emit changed();
}

bool Kiosk::markReviewed(const QString& note) {
    const QString given = note.trimmed();
    if (unresolvedOrders_.empty() || given.isEmpty()) {
        return false;
    }
    const bool marked =
        static_cast<bool>(journal_->markReviewed(unresolvedOrders_.front(), given.toStdString()));
    readJournal();
    emit changed();
    return marked;
}

void Kiosk::readJournal() {
    unresolved_.clear();
    unresolvedOrders_.clear();
    const auto unresolved = journal_->unresolved();
    if (!unresolved) {
        unresolved_.append(QStringLiteral("El diario de pagos no se puede leer: %1")
                               .arg(QString::fromStdString(unresolved.problem().text)));
        unresolvedOrders_.emplace_back();
        return;
    }
    for (const auto& entry : unresolved.value()) {
        unresolved_.append(vanto::examples::reviewLine(entry));
        unresolvedOrders_.push_back(entry.order);
    }
}

void showFillingScreen(QWindow& window) {
    QScreen* screen = window.screen();
    if (!screen) {
        window.showFullScreen();
        return;
    }
    window.setGeometry(screen->availableGeometry());
    QObject::connect(screen, &QScreen::availableGeometryChanged, &window,
                     [&window](const QRect& room) { window.setGeometry(room); });
    window.showFullScreen();
}

}  // namespace kiosk
