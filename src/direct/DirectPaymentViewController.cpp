#include "vanto/direct/DirectPaymentViewController.h"

#include <algorithm>
#include <array>
#include <vector>

#include "flow/ThisPayment.h"
#include "text/RemoveAll.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/text/CardText.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {

using platform::SecretText;
using platform::ui::CardField;
using platform::ui::TextRange;

namespace {

constexpr std::string_view kRequestReference = "REQUIRED";
constexpr std::string_view kNumberMask = "**** **** **** ****";
constexpr std::string_view kExpiryMask = "**/**";
constexpr std::string_view kCvvMask = "***";

// Limits on the text an edit would leave, in characters: 19 digits in groups of four make 23.
constexpr std::size_t kNumberTooLong = 24;
constexpr std::size_t kExpiryTooLong = 6;
constexpr std::size_t kCvvLongest = 4;
constexpr std::size_t kCvvShortest = 3;
// What a field shows under it when the cardholder left it with content that cannot be valid.
constexpr const char* kNumberProblem = "Número de tarjeta no válido";
constexpr const char* kExpiryProblem = "Fecha de caducidad no válida";
constexpr const char* kCvvProblem = "Código de seguridad no válido";

constexpr double kFadeInSeconds = 0.4;

// Native screen heights, in pixels, of the phones the layout knows.
constexpr std::array<int, 5> kKnownPhoneHeights = {1136, 1334, 1920, 2208, 2436};
constexpr int kPhoneWithoutStatusBarSpace = 2436;

constexpr std::array<CardField, 3> kFields = {CardField::number, CardField::expiry,
                                              CardField::securityCode};

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < text.size();
         offset += utf8CharacterLength(text, offset)) {
        ++count;
    }
    return count;
}

// The expiry as the gateway takes it, year then month ("12/26" gives "2612"); empty when the
// text does not hold two pieces around its "/".
SecretText yearThenMonth(std::string_view expiry) {
    std::vector<std::string_view> pieces;
    for (std::size_t from = 0; from <= expiry.size();) {
        const std::size_t to = std::min(expiry.find('/', from), expiry.size());
        if (to > from) {
            pieces.push_back(expiry.substr(from, to - from));
        }
        from = to + 1;
    }
    SecretText sent;
    if (pieces.size() >= 2) {
        sent.append(pieces[1]);
        sent.append(pieces[0]);
    }
    return sent;
}

platform::ui::Caption captionOf(const std::shared_ptr<PaymentUILabelConfig>& config) {
    if (!config) {
        return {};
    }
    return {config->text(), config->textFont(), config->textColor()};
}

}  // namespace

// The cardholder's input, from the view model to the screen while the screen lives.
class DirectPaymentViewController::Inputs final : public platform::ui::CardEntryViewModel::Inputs {
  public:
    void attach(std::weak_ptr<DirectPaymentViewController> screen) { screen_ = std::move(screen); }

    bool shouldChange(CardField field, TextRange range, const SecretText& replacement) override {
        const auto screen = screen_.lock();
        return screen && screen->textField(field, range, replacement);
    }
    void continuePressed() override {
        run(&DirectPaymentViewController::buttonContinuarPaymentCliked);
    }
    void cancelPressed() override { run(&DirectPaymentViewController::buttonCancelPaymentCliked); }
    void tappedOutside() override { run(&DirectPaymentViewController::dismissKeyboard); }
    void closeRequested() override { run(&DirectPaymentViewController::closeRequested); }
    void appeared() override {
        if (const auto screen = screen_.lock()) {
            screen->viewDidAppear(true);
        }
    }
    void deviceDescribed(const platform::ui::DeviceMetrics& device) override {
        if (const auto screen = screen_.lock()) {
            screen->adjustNavigationTopSpacing(device);
        }
    }

  private:
    // The screen is held for the call: the delegate it may tell can let go of it.
    void run(void (DirectPaymentViewController::*action)()) const {
        if (const auto screen = screen_.lock()) {
            ((*screen).*action)();
        }
    }

    std::weak_ptr<DirectPaymentViewController> screen_;
};

struct DirectPaymentViewController::Private {
    Private(std::string orderNumber, double amount, std::string productDescription,
            TransactionType transactionType, std::string identifier,
            std::shared_ptr<const VantInAppUIConfig> uiViewConfig)
        : orderNumber(std::move(orderNumber)),
          amount(amount),
          productDescription(std::move(productDescription)),
          transactionType(transactionType),
          identifier(std::move(identifier)),
          uiViewConfig(uiViewConfig ? std::move(uiViewConfig)
                                    : std::make_shared<const VantInAppUIConfig>()) {}

    std::string orderNumber;
    double amount;
    std::string productDescription;
    TransactionType transactionType;
    std::string identifier;
    bool isCardNumberCorrect = false;
    bool isDateCorrect = false;
    bool isCVVCorrect = false;
    // The payment of this presentation has gone to the gateway.
    bool paymentSent = false;
    // When the screen came on screen: the journal's entries of its payment are from then on.
    std::chrono::system_clock::time_point began;
    std::shared_ptr<const VantInAppUIConfig> uiViewConfig;
    std::shared_ptr<DirectPaymentResponseDelegate> delegate;
    std::shared_ptr<DirectPaymentPresenter<DirectPaymentViewController>> presenter;
    std::shared_ptr<Inputs> inputs = std::make_shared<Inputs>();
    std::shared_ptr<platform::ui::CardEntryViewModel> model =
        std::make_shared<platform::ui::CardEntryViewModel>(inputs);

    // A card reference issued earlier pays without card data.
    bool isStoredCard() const { return !identifier.empty() && identifier != kRequestReference; }
};

std::shared_ptr<DirectPaymentViewController> DirectPaymentViewController::create(
    std::string orderNumber, double amount, std::string productDescription,
    TransactionType transactionType, std::string identifier,
    std::shared_ptr<const VantInAppUIConfig> uiViewConfig) {
    auto screen = std::shared_ptr<DirectPaymentViewController>(new DirectPaymentViewController(
        std::move(orderNumber), amount, std::move(productDescription), transactionType,
        std::move(identifier), std::move(uiViewConfig)));
    screen->d_->inputs->attach(screen);
    return screen;
}

DirectPaymentViewController::DirectPaymentViewController(
    std::string orderNumber, double amount, std::string productDescription,
    TransactionType transactionType, std::string identifier,
    std::shared_ptr<const VantInAppUIConfig> uiViewConfig)
    : BaseViewController("DirectPaymentViewController"),
      d_(std::make_unique<Private>(std::move(orderNumber), amount, std::move(productDescription),
                                   transactionType, std::move(identifier),
                                   std::move(uiViewConfig))) {
    setModalPresentationStyle(platform::ui::ModalPresentationStyle::fullScreen);
}

// Let go of while on screen before it reported: the notice goes through the flow, as every report
// does, though the flow can no longer reach this screen, and so to the delegate from here.
DirectPaymentViewController::~DirectPaymentViewController() {
    if (!awaitsReport()) {
        return;
    }
    const bool mayHavePaid = d_->paymentSent;
    if (d_->presenter) {
        d_->presenter->closedWithoutOutcome(mayHavePaid);
    }
    finishPayment();
    if (const auto delegate = d_->delegate) {
        delegate->paymentScreenClosedWithoutOutcome(mayHavePaid);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began, [&](auto&&... payment) {
                return closedOutcome(PaymentFlowKind::direct, mayHavePaid, payment...);
            });
    }
}

const std::shared_ptr<platform::ui::CardEntryViewModel>& DirectPaymentViewController::viewModel()
    const {
    return d_->model;
}

const std::string& DirectPaymentViewController::orderNumber() const {
    return d_->orderNumber;
}
void DirectPaymentViewController::setOrderNumber(std::string orderNumber) {
    d_->orderNumber = std::move(orderNumber);
}
double DirectPaymentViewController::amount() const {
    return d_->amount;
}
void DirectPaymentViewController::setAmount(double amount) {
    d_->amount = amount;
}
const std::string& DirectPaymentViewController::productDescription() const {
    return d_->productDescription;
}
void DirectPaymentViewController::setProductDescription(std::string productDescription) {
    d_->productDescription = std::move(productDescription);
}
TransactionType DirectPaymentViewController::transactionType() const {
    return d_->transactionType;
}
void DirectPaymentViewController::setTransactionType(TransactionType transactionType) {
    d_->transactionType = transactionType;
}
const std::string& DirectPaymentViewController::identifier() const {
    return d_->identifier;
}
void DirectPaymentViewController::setIdentifier(std::string identifier) {
    d_->identifier = std::move(identifier);
}
bool DirectPaymentViewController::isCardNumberCorrect() const {
    return d_->isCardNumberCorrect;
}
bool DirectPaymentViewController::isDateCorrect() const {
    return d_->isDateCorrect;
}
bool DirectPaymentViewController::isCVVCorrect() const {
    return d_->isCVVCorrect;
}
const std::shared_ptr<DirectPaymentResponseDelegate>& DirectPaymentViewController::delegate()
    const {
    return d_->delegate;
}
void DirectPaymentViewController::setDelegate(
    std::shared_ptr<DirectPaymentResponseDelegate> delegate) {
    d_->delegate = std::move(delegate);
}

void DirectPaymentViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    d_->model->setFade({0.0, 0.0});
    d_->model->setContinueEnabled(false);
    d_->presenter =
        std::make_shared<DirectPaymentPresenter<DirectPaymentViewController>>(weak_from_this());
    setupUI();
}

// On a phone the bar sits below the status bar, except on systems from 11 on and on the phone
// whose layout already leaves room for it.
void DirectPaymentViewController::adjustNavigationTopSpacing(
    const platform::ui::DeviceMetrics& device) {
    if (device.idiom != platform::ui::UserInterfaceIdiom::phone) {
        return;
    }
    const int height = device.nativeScreenHeight;
    if (std::find(kKnownPhoneHeights.begin(), kKnownPhoneHeights.end(), height) ==
        kKnownPhoneHeights.end()) {
        writeTrace("unknown DEVICE");
    }
    const bool roomLeft = device.systemMajorVersion >= 11 || height == kPhoneWithoutStatusBarSpace;
    d_->model->setNavigationTopSpacing(roomLeft ? 0.0 : device.statusBarHeight);
}

void DirectPaymentViewController::setupUI() {
    auto& model = *d_->model;
    if (d_->isStoredCard()) {
        model.setFieldText(CardField::number, SecretText(kNumberMask));
        model.setFieldText(CardField::expiry, SecretText(kExpiryMask));
        model.setFieldText(CardField::securityCode, SecretText(kCvvMask));
        for (const CardField field : kFields) {
            model.setFieldEnabled(field, false);
        }
        model.setContinueEnabled(true);
    }

    const VantInAppUIConfig& config = *d_->uiViewConfig;
    platform::ui::CardEntryAppearance look;
    look.logo = config.logo().value_or(
        platform::ui::Image::named(platform::ui::CardEntryAppearance::kOwnLogo));
    look.backgroundImage = config.backgroundImageView();
    look.backgroundColor = config.backgorundViewColor();
    look.numberCaption = captionOf(config.numberCardLabel());
    look.expiryCaption = captionOf(config.expireDateLabel());
    look.securityCodeCaption = captionOf(config.cvvLabel());
    look.infoCaption = captionOf(config.infoPaymentLabel());
    look.securityCodeMasked = config.securityCodeMasked();
    model.setAppearance(std::move(look));
    model.setButtonTitles(config.cancelButtonText(), config.continueButtonText());
}

void DirectPaymentViewController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    d_->paymentSent = false;
    d_->began = std::chrono::system_clock::now();
    if (d_->amount < 0) {
        // After this returns, so that the screen is on screen when it closes.
        platform::MainQueue::async([screen = weak_from_this()] {
            auto shown = screen.lock();
            if (shown && shown->d_->presenter) {
                shown->d_->presenter->candelPaymentIncorrectaAmount();
            }
        });
    }
    d_->model->setFade({1.0, kFadeInSeconds});
}

void DirectPaymentViewController::dismissKeyboard() {
    d_->model->endEditing();
}

void DirectPaymentViewController::buttonCancelPaymentCliked() {
    if (d_->presenter) {
        d_->presenter->cancelPaymentAction();
    }
}

// A window closed by hand is the cardholder's cancel, which is not offered while the payment is
// on its way.
void DirectPaymentViewController::closeRequested() {
    if (d_->model->cancelButton().enabled) {
        buttonCancelPaymentCliked();
    }
}

void DirectPaymentViewController::buttonContinuarPaymentCliked() {
    auto& model = *d_->model;
    SecretText pan;
    SecretText yymm;
    SecretText cvv;
    if (!d_->isStoredCard()) {
        detail::appendWithout(pan, model.field(CardField::number).text.view(), " ");
        yymm = yearThenMonth(model.field(CardField::expiry).text.view());
        cvv = model.field(CardField::securityCode).text.copy();
        if (yymm.empty()) {
            return;  // no month and year to send: continue cannot have been enabled
        }
    }

    dismissKeyboard();
    model.setBusy(true);
    model.setCancelEnabled(false);
    model.setContinueEnabled(false);
    for (const CardField field : kFields) {
        model.setFieldEnabled(field, false);
    }
    d_->paymentSent = true;
    if (d_->presenter) {
        d_->presenter->makePaymentAction(pan.view(), cvv.view(), yymm.view(), d_->amount,
                                         d_->orderNumber, d_->identifier, d_->transactionType,
                                         d_->productDescription);
    }
}

bool DirectPaymentViewController::textField(CardField field, TextRange shouldChangeCharactersIn,
                                            const SecretText& replacementString) {
    auto edited = platform::ui::replacingCharacters(
        d_->model->field(field).text.view(), shouldChangeCharactersIn, replacementString.view());
    if (!edited) {
        return false;
    }
    // The fields take digits and their own separator only: an edit that brings a letter, another
    // sign or an emoji is refused whole, so the field never shows what cannot be valid.
    const char separator = field == CardField::number   ? ' '
                           : field == CardField::expiry ? '/'
                                                        : '0';
    for (const char c : replacementString.view()) {
        if ((c < '0' || c > '9') && c != separator) {
            return false;
        }
    }
    const std::size_t length = characterCount(edited->view());
    switch (field) {
        case CardField::securityCode:
            if (length > kCvvLongest) {
                return false;
            }
            d_->isCVVCorrect = length >= kCvvShortest;
            isCorrectData();
            return true;
        case CardField::number: {
            if (length >= kNumberTooLong) {
                return false;
            }
            SecretText digits;
            detail::appendWithout(digits, edited->view(), " ");
            d_->isCardNumberCorrect = lunhsTest(digits.view());
            d_->model->setFieldText(field, grouping(*edited, 4, " "));
            break;
        }
        case CardField::expiry: {
            if (length >= kExpiryTooLong) {
                return false;
            }
            // Checked as the field shows it: a pasted "1229" is as valid as 1, 2, 2, 9 typed.
            SecretText shown = grouping(*edited, 2, "/");
            d_->isDateCorrect = expireDateIsCorrect(shown.view());
            d_->model->setFieldText(field, std::move(shown));
            break;
        }
    }
    isCorrectData();
    return false;
}

void DirectPaymentViewController::isCorrectData() {
    auto& model = *d_->model;
    model.setFieldProblem(CardField::number, d_->isCardNumberCorrect ? "" : kNumberProblem);
    model.setFieldProblem(CardField::expiry, d_->isDateCorrect ? "" : kExpiryProblem);
    model.setFieldProblem(CardField::securityCode, d_->isCVVCorrect ? "" : kCvvProblem);
    model.setContinueEnabled(d_->isCardNumberCorrect && d_->isDateCorrect && d_->isCVVCorrect);
}

void DirectPaymentViewController::notifyUserOK(const DirectPaymentResponseOK& response) {
    if (!takeReport()) {
        return;
    }
    if (const auto delegate = d_->delegate) {
        delegate->responseDirectPaymentOK(response);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began,
            [&](auto&&... payment) { return paymentOutcome(response, payment...); });
    }
    finishPayment();
}

void DirectPaymentViewController::notifyUserKO(const DirectPaymentResponseKO& response) {
    if (!takeReport()) {
        return;
    }
    if (const auto delegate = d_->delegate) {
        delegate->responseDirectPaymentKO(response);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began,
            [&](auto&&... payment) { return paymentOutcome(response, payment...); });
    }
    finishPayment();
}

void DirectPaymentViewController::notifyUserClosedWithoutOutcome(bool mayHavePaid) {
    if (!takeReport()) {
        return;
    }
    finishPayment();
    if (const auto delegate = d_->delegate) {
        delegate->paymentScreenClosedWithoutOutcome(mayHavePaid);
        flow::tellPaymentEnded(
            *delegate, d_->orderNumber, d_->amount, d_->began, [&](auto&&... payment) {
                return closedOutcome(PaymentFlowKind::direct, mayHavePaid, payment...);
            });
    }
}

// The payment has ended: no field keeps the card data any longer, and the screen closes.
void DirectPaymentViewController::finishPayment() {
    for (const CardField field : kFields) {
        d_->model->setFieldText(field, SecretText());
    }
    d_->model->close();
}

}  // namespace vanto
