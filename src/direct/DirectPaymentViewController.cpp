#include "vanto/direct/DirectPaymentViewController.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "text/RemoveAll.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/text/CardText.h"
#include "vanto/text/Utf8.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {

using platform::ui::TextField;
using platform::ui::TextRange;

namespace {

constexpr std::string_view kRequestReference = "REQUIRED";
constexpr const char* kNumberMask = "**** **** **** ****";
constexpr const char* kExpiryMask = "**/**";
constexpr const char* kCvvMask = "***";
constexpr const char* kOwnLogo = "logoQuenta";

// Limits on the text an edit would leave, in characters: 19 digits in groups of four make 23.
constexpr std::size_t kNumberTooLong = 24;
constexpr std::size_t kExpiryTooLong = 6;
constexpr std::size_t kCvvLongest = 4;
constexpr std::size_t kCvvShortest = 3;

constexpr double kFadeInSeconds = 0.4;

// Native screen heights, in pixels, of the phones the layout knows.
constexpr std::array<int, 5> kKnownPhoneHeights = {1136, 1334, 1920, 2208, 2436};
constexpr int kPhoneWithoutStatusBarSpace = 2436;

// Wipes a text that held card data when the scope it was made for ends.
class WipedOnExit {
  public:
    explicit WipedOnExit(std::string& text) : text_(text) {}
    ~WipedOnExit() { platform::secureWipe(text_); }
    WipedOnExit(const WipedOnExit&) = delete;
    WipedOnExit& operator=(const WipedOnExit&) = delete;

  private:
    std::string& text_;
};

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < text.size();
         offset += utf8CharacterLength(text, offset)) {
        ++count;
    }
    return count;
}

// The expiry as the gateway takes it, year then month ("12/26" gives "2612"); none when the text
// does not hold two pieces around its "/".
std::optional<std::string> yearThenMonth(std::string_view expiry) {
    std::vector<std::string_view> pieces;
    for (std::size_t from = 0; from <= expiry.size();) {
        const std::size_t to = std::min(expiry.find('/', from), expiry.size());
        if (to > from) {
            pieces.push_back(expiry.substr(from, to - from));
        }
        from = to + 1;
    }
    if (pieces.size() < 2) {
        return std::nullopt;
    }
    std::string sent;
    sent.append(pieces[1]).append(pieces[0]);
    return sent;
}

template <typename Element>
void setAlpha(const std::shared_ptr<Element>& element, double alpha) {
    if (element) {
        element->setAlpha(alpha);
    }
}

template <typename Element>
void setEnabled(const std::shared_ptr<Element>& element, bool enabled) {
    if (element) {
        element->setEnabled(enabled);
    }
}

void setText(const std::shared_ptr<TextField>& field, const std::string& text) {
    if (field) {
        field->setText(text);
    }
}

std::optional<std::string> textOf(const std::shared_ptr<TextField>& field) {
    return field ? field->text() : std::nullopt;
}

void apply(const std::shared_ptr<platform::ui::Label>& label,
           const std::shared_ptr<PaymentUILabelConfig>& config) {
    if (!label) {
        return;
    }
    label->setText(config ? config->text() : std::string());
    label->setFont(config ? std::optional(config->textFont()) : std::nullopt);
    label->setTextColor(config ? std::optional(config->textColor()) : std::nullopt);
}

// Everything the screen fades in when it appears, at `alpha`.
void setShownAlpha(const platform::ui::DirectPaymentViewElements& elements, double alpha) {
    setAlpha(elements.infoCardLabel, alpha);
    setAlpha(elements.navigationBar, alpha);
    setAlpha(elements.numberCardTextField, alpha);
    setAlpha(elements.monthCardTextField, alpha);
    setAlpha(elements.cvcCardTextField, alpha);
    setAlpha(elements.numberCardLabel, alpha);
    setAlpha(elements.monthYearCardLabel, alpha);
    setAlpha(elements.cvcCardLabel, alpha);
    setAlpha(elements.logoEntidad, alpha);
}

}  // namespace

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
    std::shared_ptr<const VantInAppUIConfig> uiViewConfig;
    std::shared_ptr<DirectPaymentResponseDelegate> delegate;
    std::shared_ptr<DirectPaymentPresenter<DirectPaymentViewController>> presenter;
    platform::ui::DirectPaymentViewElements elements;

    // A card reference issued earlier pays without card data.
    bool isStoredCard() const { return !identifier.empty() && identifier != kRequestReference; }
};

std::shared_ptr<DirectPaymentViewController> DirectPaymentViewController::create(
    std::string orderNumber, double amount, std::string productDescription,
    TransactionType transactionType, std::string identifier,
    std::shared_ptr<const VantInAppUIConfig> uiViewConfig) {
    return std::shared_ptr<DirectPaymentViewController>(new DirectPaymentViewController(
        std::move(orderNumber), amount, std::move(productDescription), transactionType,
        std::move(identifier), std::move(uiViewConfig)));
}

DirectPaymentViewController::DirectPaymentViewController(
    std::string orderNumber, double amount, std::string productDescription,
    TransactionType transactionType, std::string identifier,
    std::shared_ptr<const VantInAppUIConfig> uiViewConfig)
    : BaseViewController("DirectPaymentViewController", platform::ui::toolkit()),
      d_(std::make_unique<Private>(std::move(orderNumber), amount, std::move(productDescription),
                                   transactionType, std::move(identifier),
                                   std::move(uiViewConfig))) {
    setModalPresentationStyle(platform::ui::ModalPresentationStyle::fullScreen);
}

DirectPaymentViewController::~DirectPaymentViewController() = default;

std::shared_ptr<TextField> DirectPaymentViewController::numberCardTextField() const {
    return d_->elements.numberCardTextField;
}
std::shared_ptr<TextField> DirectPaymentViewController::monthCardTextField() const {
    return d_->elements.monthCardTextField;
}
std::shared_ptr<TextField> DirectPaymentViewController::cvcCardTextField() const {
    return d_->elements.cvcCardTextField;
}
std::shared_ptr<platform::ui::Label> DirectPaymentViewController::numberCardLabel() const {
    return d_->elements.numberCardLabel;
}
std::shared_ptr<platform::ui::Label> DirectPaymentViewController::monthYearCardLabel() const {
    return d_->elements.monthYearCardLabel;
}
std::shared_ptr<platform::ui::Label> DirectPaymentViewController::cvcCardLabel() const {
    return d_->elements.cvcCardLabel;
}
std::shared_ptr<platform::ui::Label> DirectPaymentViewController::infoCardLabel() const {
    return d_->elements.infoCardLabel;
}
std::shared_ptr<platform::ui::ActivityIndicator> DirectPaymentViewController::activityIndicator()
    const {
    return d_->elements.activityIndicator;
}
std::shared_ptr<platform::ui::ImageView> DirectPaymentViewController::logoEntidad() const {
    return d_->elements.logoEntidad;
}
std::shared_ptr<platform::ui::BarButton> DirectPaymentViewController::cancelPaymentButton() const {
    return d_->elements.cancelPaymentButton;
}
std::shared_ptr<platform::ui::BarButton> DirectPaymentViewController::continuePaymentButton()
    const {
    return d_->elements.continuePaymentButton;
}
std::shared_ptr<platform::ui::ImageView> DirectPaymentViewController::backgroundImageView() const {
    return d_->elements.backgroundImageView;
}
std::shared_ptr<platform::ui::LayoutConstraint> DirectPaymentViewController::navigationTopSpacing()
    const {
    return d_->elements.navigationTopSpacing;
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

void DirectPaymentViewController::loadView() {
    if (!toolkit()) {
        return;
    }
    d_->elements = toolkit()->loadDirectPaymentViewController();
    setView(d_->elements.view, d_->elements.presentation);
    // The buttons' connections, which hold the screen weakly: it owns them.
    const std::weak_ptr<DirectPaymentViewController> screen = weak_from_this();
    if (d_->elements.cancelPaymentButton) {
        d_->elements.cancelPaymentButton->setAction([screen] {
            if (auto shown = screen.lock()) {
                shown->buttonCancelPaymentCliked();
            }
        });
    }
    if (d_->elements.continuePaymentButton) {
        d_->elements.continuePaymentButton->setAction([screen] {
            if (auto shown = screen.lock()) {
                shown->buttonContinuarPaymentCliked();
            }
        });
    }
}

void DirectPaymentViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    adjustNavigationTopSpacing();
    hideUntilShown();
    d_->presenter =
        std::make_shared<DirectPaymentPresenter<DirectPaymentViewController>>(weak_from_this());
    setupGestures();
    setupUI();
}

// On a phone the bar sits below the status bar, except on systems from 11 on and on the phone
// whose layout already leaves room for it.
void DirectPaymentViewController::adjustNavigationTopSpacing() {
    if (!toolkit()) {
        return;
    }
    const auto metrics = toolkit()->deviceMetrics();
    if (metrics.idiom != platform::ui::UserInterfaceIdiom::phone) {
        return;
    }
    const int height = metrics.nativeScreenHeight;
    if (std::find(kKnownPhoneHeights.begin(), kKnownPhoneHeights.end(), height) ==
        kKnownPhoneHeights.end()) {
        writeTrace("unknown DEVICE");
    }
    const bool roomLeft = metrics.systemMajorVersion >= 11 || height == kPhoneWithoutStatusBarSpace;
    if (d_->elements.navigationTopSpacing) {
        d_->elements.navigationTopSpacing->setConstant(roomLeft ? 0.0 : metrics.statusBarHeight);
    }
}

void DirectPaymentViewController::hideUntilShown() {
    setShownAlpha(d_->elements, 0.0);
    setEnabled(d_->elements.continuePaymentButton, false);
}

void DirectPaymentViewController::setupGestures() {
    if (!view()) {
        return;
    }
    view()->addTapRecognizer([screen = weak_from_this()] {
        if (auto shown = screen.lock()) {
            shown->dismissKeyboard();
        }
    });
}

void DirectPaymentViewController::setupUI() {
    const auto& elements = d_->elements;
    for (const auto& field :
         {elements.numberCardTextField, elements.monthCardTextField, elements.cvcCardTextField}) {
        if (field) {
            field->setDelegate(weak_from_this());
        }
    }
    if (d_->isStoredCard()) {
        setText(elements.numberCardTextField, kNumberMask);
        setText(elements.monthCardTextField, kExpiryMask);
        setText(elements.cvcCardTextField, kCvvMask);
        setEnabled(elements.numberCardTextField, false);
        setEnabled(elements.monthCardTextField, false);
        setEnabled(elements.cvcCardTextField, false);
        setEnabled(elements.continuePaymentButton, true);
    }

    const VantInAppUIConfig& config = *d_->uiViewConfig;
    if (elements.logoEntidad) {
        elements.logoEntidad->setImage(
            config.logo().value_or(platform::ui::Image::named(kOwnLogo)));
    }
    if (elements.backgroundImageView && config.backgroundImageView()) {
        elements.backgroundImageView->setImage(*config.backgroundImageView());
    }
    if (elements.view) {
        elements.view->setBackgroundColor(config.backgorundViewColor());
    }
    apply(elements.numberCardLabel, config.numberCardLabel());
    apply(elements.monthYearCardLabel, config.expireDateLabel());
    apply(elements.cvcCardLabel, config.cvvLabel());
    apply(elements.infoCardLabel, config.infoPaymentLabel());
    if (elements.cancelPaymentButton) {
        elements.cancelPaymentButton->setTitle(config.cancelButtonText());
    }
    if (elements.continuePaymentButton) {
        elements.continuePaymentButton->setTitle(config.continueButtonText());
    }
}

void DirectPaymentViewController::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    if (d_->amount < 0) {
        // After this returns, so that the screen is on screen when it closes.
        platform::MainQueue::async([screen = weak_from_this()] {
            auto shown = screen.lock();
            if (shown && shown->d_->presenter) {
                shown->d_->presenter->candelPaymentIncorrectaAmount();
            }
        });
    }
    if (toolkit()) {
        toolkit()->animate(kFadeInSeconds,
                           [elements = d_->elements] { setShownAlpha(elements, 1.0); });
    }
}

void DirectPaymentViewController::dismissKeyboard() {
    if (view()) {
        view()->endEditing();
    }
}

void DirectPaymentViewController::buttonCancelPaymentCliked() {
    if (d_->presenter) {
        d_->presenter->cancelPaymentAction();
    }
}

void DirectPaymentViewController::buttonContinuarPaymentCliked() {
    const auto& elements = d_->elements;
    auto number = textOf(elements.numberCardTextField);
    auto expiry = textOf(elements.monthCardTextField);
    auto cvv = textOf(elements.cvcCardTextField);
    if (!number || !expiry || !cvv) {
        return;
    }
    const WipedOnExit wipeNumber(*number), wipeExpiry(*expiry), wipeCvv(*cvv);
    std::string pan = detail::removeAll(*number, " ");
    std::string yymm = yearThenMonth(*expiry).value_or("");
    const WipedOnExit wipePan(pan), wipeYymm(yymm);
    if (d_->isStoredCard()) {
        platform::secureWipe(pan);
        platform::secureWipe(yymm);
        platform::secureWipe(*cvv);
    } else if (yymm.empty()) {
        return;  // no month and year to send: continue cannot have been enabled
    }

    dismissKeyboard();
    if (elements.activityIndicator) {
        elements.activityIndicator->setHidden(false);
        elements.activityIndicator->startAnimating();
    }
    setEnabled(elements.cancelPaymentButton, false);
    setEnabled(elements.continuePaymentButton, false);
    setEnabled(elements.numberCardTextField, false);
    setEnabled(elements.monthCardTextField, false);
    setEnabled(elements.cvcCardTextField, false);

    if (d_->presenter) {
        d_->presenter->makePaymentAction(pan, *cvv, yymm, d_->amount, d_->orderNumber,
                                         d_->identifier, d_->transactionType,
                                         d_->productDescription);
    }
}

bool DirectPaymentViewController::textField(TextField& textField,
                                            TextRange shouldChangeCharactersIn,
                                            std::string_view replacementString) {
    const auto& elements = d_->elements;
    const bool isNumber = &textField == elements.numberCardTextField.get();
    const bool isExpiry = &textField == elements.monthCardTextField.get();
    const bool isCvv = &textField == elements.cvcCardTextField.get();
    if (!isNumber && !isExpiry && !isCvv) {
        return true;
    }
    auto current = textField.text();
    if (!current) {
        return true;
    }
    const WipedOnExit wipeCurrent(*current);
    auto edited =
        platform::ui::replacingCharacters(*current, shouldChangeCharactersIn, replacementString);
    if (!edited) {
        return false;
    }
    const WipedOnExit wipeEdited(*edited);
    const std::size_t length = characterCount(*edited);

    if (isCvv) {
        if (length > kCvvLongest) {
            return false;
        }
        d_->isCVVCorrect = length >= kCvvShortest;
        isCorrectData();
        return true;
    }
    if (isNumber) {
        if (length >= kNumberTooLong) {
            return false;
        }
        std::string digits = detail::removeAll(*edited, " ");
        const WipedOnExit wipeDigits(digits);
        d_->isCardNumberCorrect = lunhsTest(digits);
    } else {
        if (length >= kExpiryTooLong) {
            return false;
        }
        d_->isDateCorrect = expireDateIsCorrect(*edited);
    }
    std::string shown = isNumber ? grouping(*edited, 4, " ") : grouping(*edited, 2, "/");
    const WipedOnExit wipeShown(shown);
    textField.setText(shown);
    isCorrectData();
    return false;
}

void DirectPaymentViewController::isCorrectData() {
    setEnabled(d_->elements.continuePaymentButton,
               d_->isCardNumberCorrect && d_->isDateCorrect && d_->isCVVCorrect);
}

void DirectPaymentViewController::notifyUserOK(const DirectPaymentResponseOK& response) {
    if (d_->delegate) {
        d_->delegate->responseDirectPaymentOK(response);
    }
    finishPayment();
}

void DirectPaymentViewController::notifyUserKO(const DirectPaymentResponseKO& response) {
    if (d_->delegate) {
        d_->delegate->responseDirectPaymentKO(response);
    }
    finishPayment();
}

// The payment has ended: no element keeps the card data any longer, and the screen closes.
void DirectPaymentViewController::finishPayment() {
    setText(d_->elements.numberCardTextField, "");
    setText(d_->elements.monthCardTextField, "");
    setText(d_->elements.cvcCardTextField, "");
    dismiss(true);
}

}  // namespace vanto
