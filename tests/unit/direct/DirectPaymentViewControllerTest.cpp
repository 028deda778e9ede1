#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "FakeUi.h"
#include "RecordingViews.h"
#include "vanto/config/PaymentUILabel.h"
#include "vanto/direct/DirectPaymentService.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/text/CardText.h"

namespace vanto {
namespace {

using platform::ui::Color;
using platform::ui::Font;
using platform::ui::Image;
using Outcome = testing::DirectOutcome;

// Records each outcome with the number of times the screen had closed when it came.
class RecordingDelegate : public DirectPaymentResponseDelegate {
  public:
    explicit RecordingDelegate(std::shared_ptr<testing::FakePresentation> presentation)
        : presentation_(std::move(presentation)) {}
    void responseDirectPaymentOK(const DirectPaymentResponseOK& response) override {
        outcomes.emplace_back(response);
        closedWhenTold.push_back(presentation_->dismissals);
    }
    void responseDirectPaymentKO(const DirectPaymentResponseKO& response) override {
        outcomes.emplace_back(response);
        closedWhenTold.push_back(presentation_->dismissals);
    }
    std::vector<Outcome> outcomes;
    std::vector<int> closedWhenTold;

  private:
    std::shared_ptr<testing::FakePresentation> presentation_;
};

// December of next year as typed: "12" and the year's two digits, valid whatever today is.
std::string nextDecember() {
    const int year = (std::stoi(getCurrentYeah()) + 1) % 100;
    return std::string("12") + (year < 10 ? "0" : "") + std::to_string(year);
}

class CardScreen : public testing::ScreenTest<DirectPaymentRequest, setDirectPaymentService> {
  protected:
    // A screen loaded and on screen, with the delegate set; kept in `screen` as an application
    // keeps the screen it presents.
    std::shared_ptr<DirectPaymentViewController> show(
        double amount = 19.99, const std::string& identifier = "REQUIRED",
        std::shared_ptr<const VantInAppUIConfig> config = nullptr) {
        screen = DirectPaymentViewController::create("ORDER1", amount, "Libro 1/2",
                                                     TransactionType::preauthorization, identifier,
                                                     std::move(config));
        screen->setDelegate(delegate);
        screen->loadViewIfNeeded();
        screen->viewDidAppear(true);
        return screen;
    }
    void fillValidCard() const {
        ui.numberField->type("4000000000000002");
        ui.expiryField->type(nextDecember());
        ui.cvvField->type("123");
    }
    const DirectPaymentResponseKO& refusal() const {
        EXPECT_EQ(delegate->outcomes.size(), 1u);
        return std::get<DirectPaymentResponseKO>(delegate->outcomes.at(0));
    }

    std::shared_ptr<RecordingDelegate> delegate =
        std::make_shared<RecordingDelegate>(toolkit->presentation);
    std::shared_ptr<DirectPaymentViewController> screen;
};

TEST_F(CardScreen, ShowsItsAppearanceOnlyOnceOnScreen) {
    screen = DirectPaymentViewController::create("ORDER1", 1.0, "Libro", TransactionType::normal,
                                                 "REQUIRED", nullptr);
    screen->loadViewIfNeeded();
    const std::vector<double> faded = {
        ui.infoLabel->alpha,   ui.navigationBar->alpha, ui.numberField->alpha,
        ui.expiryField->alpha, ui.cvvField->alpha,      ui.numberLabel->alpha,
        ui.expiryLabel->alpha, ui.cvvLabel->alpha,      ui.logo->alpha};
    EXPECT_EQ(faded, std::vector<double>(9, 0.0));
    EXPECT_FALSE(ui.continueButton->enabled);

    EXPECT_EQ(ui.logo->image, Image::named("logoQuenta"));
    EXPECT_FALSE(ui.background->image) << "no background image unless one is set";
    EXPECT_EQ(ui.view->background, Color::white());
    EXPECT_EQ(ui.cancelButton->title, "Cancelar");
    EXPECT_EQ(ui.continueButton->title, "Continuar");
    const struct {
        const testing::FakeLabel& label;
        const char* text;
        Font font;
    } captions[] = {
        {*ui.infoLabel,
         "Por favor, compruebe que el número de tarjeta y el resto de datos son exactamente los "
         "mismos que aparecen en la tarjeta.",
         Font::systemFont(16, platform::ui::FontWeight::regular)},  // asked for in regular weight
        {*ui.numberLabel, "N.º de tarjeta", Font::systemFont(16)},
        {*ui.expiryLabel, "Caducidad", Font::systemFont(16)},
        {*ui.cvvLabel, "Cód. seguridad", Font::systemFont(16)},
    };
    for (const auto& [label, text, font] : captions) {
        EXPECT_EQ(label.text, text);
        EXPECT_EQ(label.font, font) << text;
        EXPECT_EQ(label.color, Color::black()) << text;
    }

    screen->viewDidAppear(true);
    EXPECT_EQ(ui.animations, std::vector<double>{0.4});
    EXPECT_EQ(ui.infoLabel->alpha + ui.navigationBar->alpha + ui.numberField->alpha +
                  ui.expiryField->alpha + ui.cvvField->alpha + ui.numberLabel->alpha +
                  ui.expiryLabel->alpha + ui.cvvLabel->alpha + ui.logo->alpha,
              9.0);

    ui.view->tap();
    EXPECT_EQ(ui.view->editingEnded, 1) << "a tap closes the keyboard";
    EXPECT_FALSE(screen->shouldAutorotate());
}

TEST_F(CardScreen, AppliesTheMerchantsAppearance) {
    auto config = std::make_shared<VantInAppUIConfig>();
    config->setLogo(Image::fromData("logo"))
        .setBackgroundImageView(Image::named("fondo"))
        .setBackgorundViewColor({0, 0, 1, 1})
        .setInfoPaymentLabel(nullptr)
        .setCVVLabel(PaymentUILabel::create("CVV", {1, 0, 0, 1}, Font::named("Serif", 9)))
        .setContinueButtonText("Pagar");
    show(1.0, "REQUIRED", config);
    EXPECT_EQ(ui.logo->image, Image::fromData("logo"));
    EXPECT_EQ(ui.background->image, Image::named("fondo"));
    EXPECT_EQ(ui.view->background, (Color{0, 0, 1, 1}));
    EXPECT_EQ(ui.cvvLabel->text, "CVV");
    EXPECT_EQ(ui.cvvLabel->color, (Color{1, 0, 0, 1}));
    EXPECT_EQ(ui.cvvLabel->font, (Font::named("Serif", 9)));
    EXPECT_EQ(ui.continueButton->title, "Pagar");
    EXPECT_EQ(ui.infoLabel->text, "") << "no information caption: no text, font or colour";
    EXPECT_FALSE(ui.infoLabel->font);
    EXPECT_FALSE(ui.infoLabel->color);
}

TEST_F(CardScreen, LaysTheBarOutBelowTheStatusBarOnlyOnOlderPhones) {
    using platform::ui::UserInterfaceIdiom;
    const struct {
        UserInterfaceIdiom idiom;
        int height;
        int version;
        double constant;
        bool unknown;
    } cases[] = {
        {UserInterfaceIdiom::other, 1334, 10, 20.0, false},  // the layout's own value stays
        {UserInterfaceIdiom::phone, 1334, 10, 24.0, false},
        {UserInterfaceIdiom::phone, 2208, 10, 24.0, false},
        {UserInterfaceIdiom::phone, 2436, 10, 0.0, false},
        {UserInterfaceIdiom::phone, 1334, 11, 0.0, false},
        {UserInterfaceIdiom::phone, 1920, 17, 0.0, false},
        {UserInterfaceIdiom::phone, 2532, 10, 24.0, true},
        {UserInterfaceIdiom::phone, 2532, 12, 0.0, true},
    };
    for (const auto& expected : cases) {
        *toolkit = testing::FakeToolkit();
        ui.metrics = {expected.idiom, expected.height, 24.0, expected.version};
        traces.clear();
        show();
        EXPECT_EQ(ui.topSpacing->constant, expected.constant) << expected.height;
        EXPECT_EQ(traces, expected.unknown ? std::vector<std::string>{"unknown DEVICE"}
                                           : std::vector<std::string>{})
            << expected.height;
    }
}

TEST_F(CardScreen, GroupsTheCardNumberAndChecksItAtEveryKeystroke) {
    show();
    const std::string digits = "1818181818181818181";
    for (std::size_t typed = 1; typed <= digits.size(); ++typed) {
        EXPECT_FALSE(ui.numberField->paste(digits.substr(typed - 1, 1)));
        EXPECT_EQ(screen->isCardNumberCorrect(), typed % 2 == 0) << typed << " digits";
    }
    EXPECT_EQ(ui.numberField->shown, "1818 1818 1818 1818 181") << "19 digits, 23 characters";
    EXPECT_FALSE(ui.numberField->paste("8"));
    EXPECT_EQ(ui.numberField->shown, "1818 1818 1818 1818 181") << "a 20th digit is refused";
    EXPECT_FALSE(screen->isCardNumberCorrect());

    ui.numberField->shown = "1818 1818";
    EXPECT_FALSE(ui.numberField->edit({4, 1}, ""));
    EXPECT_EQ(ui.numberField->shown, "1818 1818") << "a deleted separator comes back";
    EXPECT_TRUE(screen->isCardNumberCorrect());
    EXPECT_FALSE(ui.numberField->edit({2, 0}, "a"));
    EXPECT_EQ(ui.numberField->shown, "18a1 8181 8");
    EXPECT_FALSE(screen->isCardNumberCorrect()) << "a pasted letter is not a valid number";
}

TEST_F(CardScreen, ChecksTheExpiryAsTypedBeforeRegroupingIt) {
    show();
    const std::string december = nextDecember();
    std::vector<std::string> shown;
    std::vector<bool> flags;
    for (const char key : december) {
        ui.expiryField->paste(std::string(1, key));
        shown.push_back(*ui.expiryField->shown);
        flags.push_back(screen->isDateCorrect());
    }
    const std::string year = december.substr(2);
    EXPECT_EQ(shown,
              (std::vector<std::string>{"1", "12", "12/" + year.substr(0, 1), "12/" + year}));
    EXPECT_EQ(flags, (std::vector<bool>{false, false, false, true}));
    EXPECT_FALSE(ui.expiryField->paste("1")) << "a sixth character";
    EXPECT_EQ(ui.expiryField->shown, "12/" + year);

    ui.expiryField->deleteBackward();
    EXPECT_FALSE(screen->isDateCorrect());
    ui.expiryField->deleteBackward();
    EXPECT_EQ(ui.expiryField->shown, "12") << "the separator goes with the year";

    ui.expiryField->shown = "";
    ui.expiryField->paste(december);
    EXPECT_EQ(ui.expiryField->shown, "12/" + year);
    EXPECT_FALSE(screen->isDateCorrect()) << "the pasted text had no separator";
    ui.expiryField->shown = "";
    ui.expiryField->type("1220");
    EXPECT_FALSE(screen->isDateCorrect()) << "a month long past";
}

TEST_F(CardScreen, EnablesContinueOnlyWhileAllThreeFieldsAreValid) {
    show();
    ui.numberField->type("4000000000000002");
    ui.expiryField->type(nextDecember());
    EXPECT_FALSE(ui.continueButton->enabled);
    ui.cvvField->type("12");
    EXPECT_FALSE(screen->isCVVCorrect());
    EXPECT_TRUE(ui.cvvField->paste("3")) << "the field applies the security code's edits";
    EXPECT_TRUE(screen->isCVVCorrect());
    EXPECT_TRUE(ui.continueButton->enabled);
    EXPECT_TRUE(ui.cvvField->paste("4"));
    EXPECT_FALSE(ui.cvvField->paste("5"));
    EXPECT_EQ(ui.cvvField->shown, "1234");
    EXPECT_TRUE(ui.continueButton->enabled);

    ui.numberField->deleteBackward();
    EXPECT_FALSE(ui.continueButton->enabled);
    ui.numberField->paste("2");
    EXPECT_TRUE(ui.continueButton->enabled);
    ui.cvvField->edit({0, 2}, "");
    EXPECT_FALSE(ui.continueButton->enabled);
}

TEST_F(CardScreen, CountsEditRangesInUtf16Units) {
    show();
    const std::string emoji = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units
    EXPECT_TRUE(ui.cvvField->paste("1" + emoji));
    EXPECT_FALSE(screen->isCVVCorrect());
    EXPECT_TRUE(ui.cvvField->edit({3, 0}, "2")) << "after the pair";
    EXPECT_EQ(ui.cvvField->shown, "1" + emoji + "2");
    EXPECT_TRUE(screen->isCVVCorrect()) << "three characters";
    EXPECT_FALSE(ui.cvvField->edit({2, 0}, "3")) << "inside the pair";
    EXPECT_FALSE(ui.cvvField->edit({5, 0}, "3")) << "past the end";
    EXPECT_EQ(ui.cvvField->shown, "1" + emoji + "2");

    ui.numberField->paste("4000" + emoji);
    EXPECT_EQ(ui.numberField->shown, "4000 " + emoji);
    EXPECT_FALSE(ui.numberField->edit({5, 2}, ""));
    EXPECT_EQ(ui.numberField->shown, "4000");

    ui.expiryField->shown = std::nullopt;
    EXPECT_TRUE(ui.expiryField->paste("ab")) << "a field without any text takes the edit";
    EXPECT_EQ(ui.expiryField->shown, "ab");
}

TEST_F(CardScreen, ContinueSendsTheCardDataAndLocksTheScreenUntilTheOutcome) {
    show(19.99);
    fillValidCard();
    ui.continueButton->tap();
    ASSERT_EQ(service->calls.size(), 1u);
    const auto sent = service->lastMessage()["datosPeticion"];
    EXPECT_EQ(sent["DS_MERCHANT_PAN"], "4000000000000002") << "without spaces";
    EXPECT_EQ(sent["DS_MERCHANT_EXPIRYDATE"], nextDecember().substr(2) + "12") << "YYMM";
    EXPECT_EQ(sent["DS_MERCHANT_CVV2"], "123");
    EXPECT_EQ(sent["DS_MERCHANT_AMOUNT"], "1999");
    EXPECT_EQ(sent["DS_MERCHANT_ORDER"], "ORDER1");
    EXPECT_EQ(sent["DS_MERCHANT_IDENTIFIER"], "REQUIRED");
    EXPECT_EQ(sent["DS_MERCHANT_TRANSACTIONTYPE"], "1");
    EXPECT_EQ(sent["DS_MERCHANT_PRODUCTDESCRIPTION"], "Libro 1/2");

    EXPECT_EQ(ui.view->editingEnded, 1);
    EXPECT_FALSE(ui.indicator->hidden);
    EXPECT_TRUE(ui.indicator->animating);
    for (const auto* field : {&ui.numberField, &ui.expiryField, &ui.cvvField}) {
        EXPECT_FALSE((*field)->enabled);
    }
    EXPECT_FALSE(ui.continueButton->enabled);
    EXPECT_FALSE(ui.cancelButton->enabled);
    ui.cancelButton->tap();
    EXPECT_TRUE(delegate->outcomes.empty()) << "cancel is disabled once the payment is sent";

    service->answer(DirectPaymentResponse::fromJSON(
        R"({"code":0,"desc":"ok","datosRespuesta":{"Ds_Response":"0000","Ds_AuthorisationCode":"1"}})"));
    ASSERT_EQ(delegate->outcomes.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<DirectPaymentResponseOK>(delegate->outcomes[0]));
    EXPECT_EQ(delegate->closedWhenTold, std::vector<int>{0}) << "told before the screen closes";
    EXPECT_EQ(ui.presentation->dismissals, 1);
    EXPECT_TRUE(ui.presentation->lastAnimated);
    EXPECT_EQ(ui.numberField->shown, "") << "no element keeps the card data";
    EXPECT_EQ(ui.expiryField->shown, "");
    EXPECT_EQ(ui.cvvField->shown, "");
}

TEST_F(CardScreen, AStoredCardPaysWithItsReferenceAndNoCardData) {
    for (const char* typed : {"REQUIRED", ""}) {
        *toolkit = testing::FakeToolkit();
        show(1.0, typed);
        EXPECT_EQ(ui.numberField->shown, "") << typed;
        EXPECT_TRUE(ui.numberField->enabled);
        EXPECT_FALSE(ui.continueButton->enabled);
    }
    *toolkit = testing::FakeToolkit();
    show(1.0, "ref-0001");
    EXPECT_EQ(ui.numberField->shown, "**** **** **** ****");
    EXPECT_EQ(ui.expiryField->shown, "**/**");
    EXPECT_EQ(ui.cvvField->shown, "***");
    EXPECT_FALSE(ui.numberField->enabled || ui.expiryField->enabled || ui.cvvField->enabled);
    EXPECT_TRUE(ui.continueButton->enabled) << "enabled after the load disabled it";
    ui.continueButton->tap();
    const auto sent = service->lastMessage()["datosPeticion"];
    EXPECT_EQ(sent["DS_MERCHANT_PAN"], "");
    EXPECT_EQ(sent["DS_MERCHANT_EXPIRYDATE"], "");
    EXPECT_EQ(sent["DS_MERCHANT_CVV2"], "");
    EXPECT_EQ(sent["DS_MERCHANT_IDENTIFIER"], "ref-0001");
}

TEST_F(CardScreen, CancelAndRefusalsReachTheDelegateThenTheScreenCloses) {
    show();
    ui.cancelButton->tap();
    EXPECT_EQ(refusal(), DirectPaymentResponseKO(78, "Operación cancelada por el usuario."));
    EXPECT_EQ(delegate->closedWhenTold, std::vector<int>{0});
    EXPECT_EQ(ui.presentation->dismissals, 1);

    *toolkit = testing::FakeToolkit();
    show();
    screen->setDelegate(nullptr);
    fillValidCard();
    ui.continueButton->tap();
    service->fail(SDKError::wrongStatusCode(500));
    EXPECT_EQ(ui.presentation->dismissals, 1) << "without a delegate the screen still closes";
}

TEST_F(CardScreen, RefusesANegativeAmountOnceTheScreenIsOnScreen) {
    show(-0.01);
    EXPECT_TRUE(delegate->outcomes.empty()) << "not while the screen is appearing";
    platform::MainQueue::runPending();
    EXPECT_EQ(refusal(),
              DirectPaymentResponseKO(5548, "El importe tiene que ser igual o mayor de 0,00"));
    EXPECT_EQ(ui.presentation->dismissals, 1);
    EXPECT_TRUE(service->calls.empty());

    delegate->outcomes.clear();
    *toolkit = testing::FakeToolkit();
    show(0.0);
    platform::MainQueue::runPending();
    EXPECT_TRUE(delegate->outcomes.empty());
    fillValidCard();
    ui.continueButton->tap();
    EXPECT_EQ(service->lastMessage()["datosPeticion"]["DS_MERCHANT_AMOUNT"], "0");
}

TEST_F(CardScreen, NeitherTheScreenNorItsPresenterKeepsTheOtherAlive) {
    show();
    fillValidCard();
    ui.continueButton->tap();
    std::weak_ptr<DirectPaymentViewController> gone = screen;
    screen.reset();
    EXPECT_TRUE(gone.expired()) << "the payment in flight does not hold the screen";
    service->answer(DirectPaymentResponse::fromJSON(R"({"code":9999,"desc":"x"})"));
    EXPECT_TRUE(delegate->outcomes.empty());

    *toolkit = testing::FakeToolkit();
    show();
    std::weak_ptr<RecordingDelegate> told = delegate;
    auto kept = std::move(delegate);
    delegate.reset();
    kept.reset();
    ASSERT_FALSE(told.expired()) << "the screen holds its delegate";
    ui.cancelButton->tap();
    EXPECT_EQ(told.lock()->outcomes.size(), 1u);
}

}  // namespace
}  // namespace vanto
