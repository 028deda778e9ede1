#include "QtToolkit.h"

#include <cmath>

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "CardField.h"
#include "Elements.h"
#include "WebView.h"
#include "Widgets.h"

namespace vanto::qt::detail {
namespace {

const QSize kCardWindowSize(420, 680);
const QSize kWebWindowSize(480, 720);

const char* const kBarButtonStyle =
    "QPushButton { border: none; background: transparent; padding: 8px 14px; color: #0f766e; }"
    "QPushButton:disabled { color: #9ca3af; }";
const char* const kFieldStyle =
    "QLineEdit { padding: 8px 10px; border: 1px solid #cbd5e1; border-radius: 8px;"
    " background: #ffffff; color: #111827; selection-background-color: #99f6e4; }"
    "QLineEdit:focus { border: 2px solid #0f766e; padding: 7px 9px; }"
    "QLineEdit:disabled { background: #f1f5f9; color: #64748b; }";
const char* const kCloseButtonStyle =
    "QPushButton { background: rgba(255, 255, 255, 230); color: #111827;"
    " border: 1px solid #cbd5e1; border-radius: 8px; }"
    "QPushButton:pressed { background: #e2e8f0; }";

QPushButton* barButton(const QString& title, bool prominent) {
    auto* button = new QPushButton(title);
    button->setStyleSheet(QLatin1String(kBarButtonStyle));
    button->setCursor(Qt::PointingHandCursor);
    QFont font = button->font();
    font.setPixelSize(16);
    font.setWeight(prominent ? QFont::DemiBold : QFont::Normal);
    button->setFont(font);
    return button;
}

// Card data only: digits on an on-screen keyboard, nothing remembered by an input method.
CardLineEdit* cardField(const QString& name, const QString& placeholder) {
    auto* field = new CardLineEdit();
    field->setAccessibleName(name);
    field->setPlaceholderText(placeholder);
    field->setInputMethodHints(Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                               Qt::ImhNoAutoUppercase);
    field->setStyleSheet(QLatin1String(kFieldStyle));
    QFont font = field->font();
    font.setPixelSize(18);
    field->setFont(font);
    return field;
}

QLabel* caption(const QString& text, QWidget* field) {
    auto* label = new QLabel(text);
    label->setBuddy(field);
    return label;
}

QVBoxLayout* captioned(QLabel* label, QWidget* field) {
    auto* column = new QVBoxLayout();
    column->setSpacing(6);
    column->addWidget(label);
    column->addWidget(field);
    return column;
}

}  // namespace

ui::DirectPaymentViewElements QtToolkit::loadDirectPaymentViewController() {
    auto* window = new ScreenWindow(QStringLiteral("Pago con tarjeta"));
    window->resize(kCardWindowSize);
    window->setMinimumSize(340, 540);
    auto* background = new ImageBox(ImageBox::Fit::fill);
    window->setBackground(background);

    auto* elements = new QWidget();
    auto* column = new QVBoxLayout(elements);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* topSpacing = new QWidget();
    topSpacing->setFixedHeight(0);
    column->addWidget(topSpacing);

    auto* bar = new QWidget();
    bar->setObjectName(QStringLiteral("navigationBar"));
    auto* barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(8, 6, 8, 6);
    auto* cancel = barButton(QStringLiteral("Cancelar"), false);
    auto* proceed = barButton(QStringLiteral("Continuar"), true);
    barRow->addWidget(cancel);
    barRow->addStretch();
    barRow->addWidget(proceed);
    column->addWidget(bar);
    auto* rule = new QFrame();
    rule->setFrameShape(QFrame::HLine);
    rule->setFixedHeight(1);
    rule->setStyleSheet(QStringLiteral("background: rgba(15, 23, 42, 28); border: none;"));
    column->addWidget(rule);

    auto* body = new QWidget();
    auto* form = new QVBoxLayout(body);
    form->setContentsMargins(28, 16, 28, 24);
    form->setSpacing(14);
    auto* logo = new ImageBox(ImageBox::Fit::whole);
    logo->setFixedHeight(84);
    logo->setAccessibleName(QStringLiteral("Logotipo"));
    form->addWidget(logo);
    auto* info = new QLabel();
    info->setWordWrap(true);
    info->setAlignment(Qt::AlignCenter);
    form->addWidget(info);

    auto* number =
        cardField(QStringLiteral("N.º de tarjeta"), QStringLiteral("0000 0000 0000 0000"));
    auto* expiry = cardField(QStringLiteral("Caducidad"), QStringLiteral("MM/AA"));
    auto* cvv = cardField(QStringLiteral("Cód. seguridad"), QStringLiteral("123"));
    auto* numberLabel = caption(QStringLiteral("N.º de tarjeta"), number);
    auto* expiryLabel = caption(QStringLiteral("Caducidad"), expiry);
    auto* cvvLabel = caption(QStringLiteral("Cód. seguridad"), cvv);
    form->addLayout(captioned(numberLabel, number));
    auto* row = new QHBoxLayout();
    row->setSpacing(16);
    row->addLayout(captioned(expiryLabel, expiry), 3);
    row->addLayout(captioned(cvvLabel, cvv), 2);
    form->addLayout(row);

    auto* indicator = new BusyIndicator();
    form->addWidget(indicator, 0, Qt::AlignHCenter);
    form->addStretch();
    column->addWidget(body, 1);
    window->setElements(elements);

    QWidget::setTabOrder(number, expiry);
    QWidget::setTabOrder(expiry, cvv);
    QWidget::setTabOrder(cvv, proceed);
    QWidget::setTabOrder(proceed, cancel);
    number->setFocus();

    ui::DirectPaymentViewElements screen;
    screen.view = std::make_shared<QtMainView>(window);
    screen.presentation = std::make_shared<QtPresentation>(window);
    screen.numberCardTextField = std::make_shared<QtTextField>(number);
    screen.monthCardTextField = std::make_shared<QtTextField>(expiry);
    screen.cvcCardTextField = std::make_shared<QtTextField>(cvv);
    screen.numberCardLabel = std::make_shared<QtLabel>(numberLabel);
    screen.monthYearCardLabel = std::make_shared<QtLabel>(expiryLabel);
    screen.cvcCardLabel = std::make_shared<QtLabel>(cvvLabel);
    screen.infoCardLabel = std::make_shared<QtLabel>(info);
    auto activity = std::make_shared<QtActivityIndicator>(indicator);
    activity->setHidden(true);
    screen.activityIndicator = std::move(activity);
    screen.logoEntidad = std::make_shared<QtImageView>(logo);
    screen.cancelPaymentButton = std::make_shared<QtBarButton>(cancel);
    screen.continuePaymentButton = std::make_shared<QtBarButton>(proceed);
    screen.backgroundImageView = std::make_shared<QtImageView>(background);
    screen.navigationTopSpacing = std::make_shared<QtLayoutConstraint>(topSpacing);
    screen.navigationBar = std::make_shared<QtNavigationBar>(bar);
    return screen;
}

ui::WebViewPaymentViewElements QtToolkit::loadWebViewPaymentController() {
    auto* window = new ScreenWindow(QStringLiteral("Pago"));
    window->resize(kWebWindowSize);
    window->setMinimumSize(360, 480);
    return {std::make_shared<QtMainView>(window), std::make_shared<QtPresentation>(window)};
}

std::shared_ptr<ui::WebView> QtToolkit::makeWebView() {
    return std::make_shared<QtWebView>(new PaymentWebView());
}

std::shared_ptr<ui::ActivityIndicator> QtToolkit::makeActivityIndicator() {
    return std::make_shared<QtActivityIndicator>(new BusyIndicator());
}

std::shared_ptr<ui::Button> QtToolkit::makeButton(const ui::Rect& frame) {
    auto* button = new QPushButton();
    button->setStyleSheet(QLatin1String(kCloseButtonStyle));
    button->setCursor(Qt::PointingHandCursor);
    auto made = std::make_shared<QtButton>(button);
    made->setFrame(frame);
    made->setHidden(false);
    return made;
}

ui::DeviceMetrics QtToolkit::deviceMetrics() const {
    ui::DeviceMetrics metrics;
    metrics.idiom = ui::UserInterfaceIdiom::other;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        metrics.nativeScreenHeight =
            static_cast<int>(std::lround(screen->geometry().height() * screen->devicePixelRatio()));
    }
    return metrics;
}

void QtToolkit::animate(double seconds, std::function<void()> changes) {
    const AnimationScope animation(seconds);
    if (changes) {
        changes();
    }
}

}  // namespace vanto::qt::detail
