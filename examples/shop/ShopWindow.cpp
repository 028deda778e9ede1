#include "ShopWindow.h"

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ExampleSetup.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/qt/PaymentPage.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/Trace.h"
#include "vanto/web/WebViewPaymentController.h"

namespace shop {

/// Receives the outcome of either screen and hands it to the window, as a verdict, the record in
/// JSON with the card data masked, and the card reference the gateway issued, if any.
class Receipt final : public vanto::DirectPaymentResponseDelegate,
                      public vanto::WebViewPaymentResponseDelegate {
  public:
    using Told = std::function<void(bool accepted, QString record, std::string reference)>;
    explicit Receipt(Told told) : told_(std::move(told)) {}

    void responseDirectPaymentOK(const vanto::DirectPaymentResponseOK& response) override {
        told_(true, pretty(vanto::maskCardData(response.toJSON())),
              response.Ds_Merchant_Identifier);
    }
    void responseDirectPaymentKO(const vanto::DirectPaymentResponseKO& response) override {
        told_(false, refusal(response.code, response.desc), {});
    }
    void responsePaymentOK(const vanto::WebViewPaymentResponseOK& response) override {
        told_(true, pretty(vanto::maskCardData(response.toJSON())),
              response.Ds_Merchant_Identifier);
    }
    void responsePaymentKO(const vanto::WebViewPaymentResponseKO& response) override {
        told_(false, refusal(response.code, response.desc), {});
    }

  private:
    static QString pretty(const std::string& json) {
        return QString::fromUtf8(QJsonDocument::fromJson(QByteArray::fromStdString(json))
                                     .toJson(QJsonDocument::Indented));
    }
    static QString refusal(std::int64_t code, const std::string& desc) {
        const QJsonObject record{{QStringLiteral("code"), static_cast<qint64>(code)},
                                 {QStringLiteral("desc"), QString::fromStdString(desc)}};
        return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Indented));
    }

    Told told_;
};

namespace {

const std::pair<const char*, vanto::TransactionType> kTypes[] = {
    {"Pago (normal)", vanto::TransactionType::normal},
    {"Tradicional", vanto::TransactionType::traditional},
    {"Preautorización", vanto::TransactionType::preauthorization},
    {"Autenticación", vanto::TransactionType::authentication},
};

}  // namespace

ShopWindow::ShopWindow(const vanto::sandbox::SandboxGateway& gateway,
                       std::shared_ptr<vanto::PaymentJournal> journal)
    : gateway_(gateway),
      journal_(std::move(journal)),
      order_(new QLineEdit()),
      amount_(new QDoubleSpinBox()),
      description_(new QLineEdit(QStringLiteral("Libro de ejemplo"))),
      type_(new QComboBox()),
      identifier_(new QComboBox()),
      ownReturnPages_(new QCheckBox(QStringLiteral("Volver a la página de la tienda"))),
      cardScreen_(new QPushButton(QStringLiteral("Pagar con tarjeta"))),
      paymentPage_(new QPushButton(QStringLiteral("Pagar en la pasarela"))),
      verdict_(new QLabel(QStringLiteral("Ningún pago todavía."))),
      record_(new QPlainTextEdit()),
      toReview_(new QGroupBox(QStringLiteral("Pagos por revisar antes de la próxima venta"))),
      unresolved_(new QListWidget()),
      note_(new QLineEdit()),
      reviewed_(new QPushButton(QStringLiteral("Marcar como revisado"))) {
    setWindowTitle(QStringLiteral("Tienda de ejemplo"));
    resize(520, 720);
    // Order numbers go on from the journal's: an order number is never used twice.
    if (const auto payments = journal_->payments()) {
        nextOrder_ = static_cast<int>(payments.value().size()) + 1;
    }
    order_->setText(QStringLiteral("TIENDA%1").arg(nextOrder_, 4, 10, QLatin1Char('0')));
    order_->setToolTip(
        QStringLiteral("Los interruptores de la pasarela de pruebas van en el número de pedido, "
                       "por ejemplo TIENDA0001-AUTHSTEP"));
    amount_->setRange(-100.0, 100000.0);
    amount_->setDecimals(2);
    amount_->setValue(19.99);
    amount_->setSuffix(QStringLiteral(" €"));
    for (const auto& [name, type] : kTypes) {
        type_->addItem(QString::fromUtf8(name), static_cast<int>(type));
    }
    identifier_->setEditable(true);
    identifier_->addItems({QString(), QStringLiteral("REQUIRED")});
    identifier_->setToolTip(
        QStringLiteral("Vacío, REQUIRED para pedir una referencia, o una referencia de tarjeta"));
    record_->setReadOnly(true);
    record_->setPlaceholderText(QStringLiteral("El registro del resultado aparecerá aquí."));
    QFont fixed(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::Monospace);
    record_->setFont(fixed);

    auto* form = new QFormLayout();
    form->addRow(QStringLiteral("Pedido"), order_);
    form->addRow(QStringLiteral("Importe"), amount_);
    form->addRow(QStringLiteral("Descripción"), description_);
    form->addRow(QStringLiteral("Operación"), type_);
    form->addRow(QStringLiteral("Identificador"), identifier_);
    form->addRow(QString(), ownReturnPages_);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(cardScreen_);
    buttons->addWidget(paymentPage_);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addLayout(buttons);
    column->addWidget(verdict_);
    column->addWidget(record_, 1);
    note_->setPlaceholderText(
        QStringLiteral("Qué se comprobó (por ejemplo, el cargo en el extracto)"));
    auto* review = new QVBoxLayout(toReview_);
    review->addWidget(unresolved_);
    review->addWidget(note_);
    review->addWidget(reviewed_);
    column->addWidget(toReview_);

    receipt_ =
        std::make_shared<Receipt>([this](bool accepted, QString record, std::string reference) {
            showOutcome(accepted, record, reference);
        });
    connect(cardScreen_, &QPushButton::clicked, this, &ShopWindow::payOnCardScreen);
    connect(paymentPage_, &QPushButton::clicked, this, &ShopWindow::payOnPaymentPage);
    connect(reviewed_, &QPushButton::clicked, this, &ShopWindow::markReviewed);
    showUnresolved();
}

ShopWindow::~ShopWindow() {
    if (watched_) {
        watched_->removeEventFilter(this);
    }
}

void ShopWindow::payOnCardScreen() {
    auto screen = vanto::DirectPaymentViewController::create(
        order_->text().toStdString(), amount_->value(), description_->text().toStdString(),
        static_cast<vanto::TransactionType>(type_->currentData().toInt()),
        identifier_->currentText().toStdString(), nullptr);
    screen->setDelegate(receipt_);
    begin(std::move(screen));
}

void ShopWindow::payOnPaymentPage() {
    // The shop's own return pages (served by the sandbox here) stay on screen with the page's
    // close button; the library's placeholders close the page at once.
    auto& configuration = vanto::VantoConfiguration::shared();
    const bool ownPages = ownReturnPages_->isChecked();
    configuration.setAppURLOK(ownPages ? gateway_.baseUrl() + "/sandbox/TIENDA_OK"
                                       : "REDIR_URL_OK");
    configuration.setAppURLKO(ownPages ? gateway_.baseUrl() + "/sandbox/TIENDA_KO"
                                       : "REDIR_URL_KO");
    auto screen = vanto::WebViewPaymentController::create(
        order_->text().toStdString(), amount_->value(), description_->text().toStdString(),
        static_cast<vanto::TransactionType>(type_->currentData().toInt()),
        identifier_->currentText().toStdString());
    screen->setDelegate(receipt_);
    begin(std::move(screen));
}

void ShopWindow::begin(std::shared_ptr<vanto::BaseViewController> screen) {
    verdict_->setText(QStringLiteral("Pago en curso…"));
    record_->clear();
    if (watched_) {
        watched_->removeEventFilter(this);
    }
    screen_ = std::move(screen);
    paying_ = true;
    enableSales();
    watched_ = vanto::qt::present(screen_);
    if (watched_) {
        watched_->installEventFilter(this);
    }
}

// A payment ends with its outcome, or when its window closes without one (the page's close
// button, its load failure).
bool ShopWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watched_ && event->type() == QEvent::Hide) {
        paymentEnded();
    }
    return QWidget::eventFilter(watched, event);
}

// The screen closes itself after telling the outcome; the shop keeps it until the next payment.
void ShopWindow::showOutcome(bool accepted, const QString& record, const std::string& reference) {
    verdict_->setText(accepted ? QStringLiteral("Pago aceptado")
                               : QStringLiteral("Pago rechazado"));
    record_->setPlainText(record);
    if (!reference.empty() && identifier_->findText(QString::fromStdString(reference)) < 0) {
        identifier_->addItem(QString::fromStdString(reference));
    }
    paymentEnded();
}

// The next sale gets the next order number, whether or not this one told an outcome.
void ShopWindow::paymentEnded() {
    if (!paying_) {
        return;
    }
    paying_ = false;
    order_->setText(QStringLiteral("TIENDA%1").arg(++nextOrder_, 4, 10, QLatin1Char('0')));
    showUnresolved();
}

// The journal's payments that need a review; while there is one, no sale.
void ShopWindow::showUnresolved() {
    unresolved_->clear();
    const auto unresolved = journal_->unresolved();
    if (!unresolved) {
        unresolved_->addItem(QStringLiteral("El diario de pagos no se puede leer: %1")
                                 .arg(QString::fromStdString(unresolved.problem().text)));
    } else {
        for (const auto& entry : unresolved.value()) {
            auto* item = new QListWidgetItem(vanto::examples::reviewLine(entry), unresolved_);
            item->setData(Qt::UserRole, QString::fromStdString(entry.order));
        }
        if (unresolved_->count() > 0) {
            unresolved_->setCurrentRow(0);
        }
    }
    toReview_->setVisible(unresolved_->count() > 0);
    enableSales();
}

void ShopWindow::markReviewed() {
    auto* item = unresolved_->currentItem();
    const QString note = note_->text().trimmed();
    if (!item || note.isEmpty() || item->data(Qt::UserRole).isNull()) {
        note_->setFocus();
        return;
    }
    journal_->markReviewed(item->data(Qt::UserRole).toString().toStdString(), note.toStdString());
    note_->clear();
    showUnresolved();
}

void ShopWindow::enableSales() {
    const bool open = !paying_ && unresolved_->count() == 0;
    cardScreen_->setEnabled(open);
    paymentPage_->setEnabled(open);
}

}  // namespace shop
