#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "FakeUi.h"
#include "TempFolder.h"
#include "TestSupport.h"
#include "vanto/config/VantInAppUIConfig.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/direct/DirectPaymentViewController.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/text/CardText.h"

namespace vanto {
namespace {

using platform::ui::CardField;
using platform::ui::Color;
using platform::ui::Font;
using platform::ui::Image;
using Part = platform::ui::CardEntryViewModel::Part;

// December of next year as typed: "12" and the year's two digits, valid whatever today is.
std::string nextDecember() {
    const int year = (std::stoi(getCurrentYeah()) + 1) % 100;
    return std::string("12") + (year < 10 ? "0" : "") + std::to_string(year);
}

class CardScreen : public testing::ScreenTest<DirectPaymentRequest, setDirectPaymentService> {
  protected:
    // A screen loaded, drawn by a binding that records what changes, and on screen, with the
    // delegate set; kept in `screen` as an application keeps the screen it presents.
    void show(double amount = 19.99, const std::string& identifier = "REQUIRED",
              std::shared_ptr<const VantInAppUIConfig> config = nullptr,
              std::optional<platform::ui::DeviceMetrics> device = std::nullopt) {
        screen = DirectPaymentViewController::create("ORDER1", amount, "Libro 1/2",
                                                     TransactionType::preauthorization, identifier,
                                                     std::move(config));
        screen->setDelegate(delegate);
        watchClosing(screen->viewModel());
        screen->loadViewIfNeeded();
        binding = std::make_shared<Binding>();
        model().setObserver(binding);
        if (device) {
            model().describeDevice(*device);
        }
        model().appeared();
    }
    platform::ui::CardEntryViewModel& model() const { return *screen->viewModel(); }
    testing::CardholderAt number() const { return {model(), CardField::number}; }
    testing::CardholderAt expiry() const { return {model(), CardField::expiry}; }
    testing::CardholderAt cvv() const { return {model(), CardField::securityCode}; }
    void fillValidCard() const {
        number().type("4000000000000002");
        expiry().type(nextDecember());
        cvv().type("123");
    }

    using Binding = testing::RecordingBinding<platform::ui::CardEntryViewModel>;
    std::shared_ptr<DirectPaymentViewController> screen;
    std::shared_ptr<Binding> binding;
};

// How the screen fades in, and that Continue starts disabled, are the Qt screens' tests.
TEST_F(CardScreen, ATapOutsideTheFieldsClosesTheKeyboard) {
    show();
    EXPECT_FALSE(model().appearance().backgroundImage) << "no background image unless one is set";
    model().tapOutside();
    EXPECT_EQ(binding->count(Part::editingEnded), 1u);
}

// Colours, captions and titles as drawn are the Qt screens' tests; here, the images and what is
// left out.
TEST_F(CardScreen, AppliesTheMerchantsAppearance) {
    auto config = std::make_shared<VantInAppUIConfig>();
    config->setLogo(Image::fromData("logo"))
        .setBackgroundImageView(Image::named("fondo"))
        .setInfoPaymentLabel(nullptr)
        .setNumberCardLabel(nullptr)
        .setSecurityCodeMasked(true);
    show(1.0, "REQUIRED", config);
    const auto& look = model().appearance();
    EXPECT_EQ(look.logo, Image::fromData("logo"));
    EXPECT_EQ(look.backgroundImage, Image::named("fondo"));
    EXPECT_TRUE(look.securityCodeMasked);
    EXPECT_EQ(look.infoCaption, platform::ui::Caption{})
        << "no information caption: no text, font or colour";
    EXPECT_EQ(look.numberCaption,
              (platform::ui::Caption{"N.º de tarjeta", Font::systemFont(16), Color::black()}))
        << "a field caption is never absent";
}

TEST_F(CardScreen, LaysTheBarOutBelowTheStatusBarOnlyOnOlderPhones) {
    using platform::ui::UserInterfaceIdiom;
    for (const auto& row : testing::readTestRows("card-screen-layout.txt")) {
        const int height = std::stoi(*row.at(1));
        const auto idiom =
            row.at(0) == "phone" ? UserInterfaceIdiom::phone : UserInterfaceIdiom::other;
        traces.clear();
        show(19.99, "REQUIRED", nullptr,
             platform::ui::DeviceMetrics{idiom, height, 24.0, std::stoi(*row.at(2))});
        const auto spacing = row.at(3) ? std::optional(std::stod(*row[3])) : std::nullopt;
        EXPECT_EQ(model().navigationTopSpacing(), spacing) << height;
        EXPECT_EQ(traces, row.at(4) == "yes" ? std::vector<std::string>{"unknown DEVICE"}
                                             : std::vector<std::string>{})
            << height;
    }
}

// The cardholder's edits, a row each of card-entry-edits.txt.
TEST_F(CardScreen, ShowsEachFieldAsTypedAndChecksItAtEveryKeystroke) {
    const std::string year = nextDecember().substr(2);
    const auto expanded = [&year](std::string text) {
        for (const auto& [token, value] : {std::pair<std::string, std::string>{"{YY}", year},
                                           {"{Y1}", year.substr(0, 1)},
                                           {"{Y2}", year.substr(1)}}) {
            for (auto at = text.find(token); at != std::string::npos; at = text.find(token)) {
                text.replace(at, token.size(), value);
            }
        }
        return text;
    };
    for (const auto& row : testing::readTestRows("card-entry-edits.txt")) {
        const std::string& edit = *row.at(1);
        const std::string text = expanded(*row.at(2));
        SCOPED_TRACE(*row[0] + " " + edit + " " + ::testing::PrintToString(text));
        if (edit == "show") {
            show();
            continue;
        }
        const CardField field = row[0] == "number"   ? CardField::number
                                : row[0] == "expiry" ? CardField::expiry
                                                     : CardField::securityCode;
        const testing::CardholderAt at{model(), field};
        std::optional<bool> accepted;
        if (edit == "type") {
            at.type(text);
        } else if (edit == "paste") {
            accepted = at.paste(text);
        } else if (edit == "delete") {
            accepted = at.deleteBackward();
        } else {
            const auto comma = edit.find(',');
            ASSERT_TRUE(edit.starts_with("edit@") && comma != std::string::npos);
            accepted = at.edit(
                {std::stoul(edit.substr(5, comma - 5)), std::stoul(edit.substr(comma + 1))}, text);
        }
        const bool valid = field == CardField::number   ? screen->isCardNumberCorrect()
                           : field == CardField::expiry ? screen->isDateCorrect()
                                                        : screen->isCVVCorrect();
        if (row.at(3) != "-") {
            EXPECT_EQ(accepted, row[3] == "yes");
        }
        if (row.at(4) != "-") {
            EXPECT_EQ(at.shown(), expanded(*row[4]));
        }
        if (row.at(5) != "-") {
            EXPECT_EQ(valid, row[5] == "yes");
        }
        if (row.at(6) != "-") {
            EXPECT_EQ(model().continueButton().enabled, row[6] == "yes");
        }
    }
}

// Locked while it pays, closed and wiped after, each way it ends giving one report: the Qt
// screens' tests, through both bindings. Here, what the screen hands the presenter, and the ends
// those tests cannot reach.
TEST_F(CardScreen, ContinueSendsTheCardDataAndLocksTheScreenUntilTheOutcome) {
    show(0.105);  // 10.4999... hundredths as a double: rounded half away from zero
    fillValidCard();
    const std::size_t editingEndedBefore = binding->count(Part::editingEnded);
    model().pressContinue();
    ASSERT_EQ(service->calls.size(), 1u);
    const auto sent = sentMessage(*service)["datosPeticion"];
    EXPECT_EQ(nlohmann::json::array(
                  {sent["DS_MERCHANT_PAN"], sent["DS_MERCHANT_EXPIRYDATE"],
                   sent["DS_MERCHANT_CVV2"], sent["DS_MERCHANT_AMOUNT"], sent["DS_MERCHANT_ORDER"],
                   sent["DS_MERCHANT_IDENTIFIER"], sent["DS_MERCHANT_TRANSACTIONTYPE"],
                   sent["DS_MERCHANT_PRODUCTDESCRIPTION"], sent["DS_MERCHANT_DIRECTPAYMENT"]}),
              nlohmann::json::array({"4000000000000002", nextDecember().substr(2) + "12", "123",
                                     "11", "ORDER1", "REQUIRED", "1", "Libro 1/2", "true"}))
        << "the number without spaces, the expiry as YYMM";
    EXPECT_EQ(binding->count(Part::editingEnded), editingEndedBefore + 1);
    EXPECT_FALSE(number().paste("1")) << "a disabled field takes no edit";

    service->answer(DirectPaymentResponse::fromJSON(
        R"({"code":0,"desc":"ok","datosRespuesta":{"Ds_Response":"0000","Ds_AuthorisationCode":"1"}})"));
    EXPECT_EQ(delegate->told, std::vector<std::string>{"OK 0"});
    EXPECT_EQ(delegate->closedWhenTold, std::vector<bool>{false}) << "told before it closes";
    EXPECT_EQ(binding->count(Part::closed), 1u);
}

// The outcome the delegate gets says what the journal holds of this payment: delivered, or, while
// a step the journal could not record (the file held by another process) waits in memory, the
// standing the file gives it until the step lands.
TEST_F(CardScreen, TheOutcomeTellsTheJournalsStandingAndStepsThatWait) {
    const testing::TempFolder folder;
    JournalSettings settings;
    settings.busyWait = std::chrono::milliseconds(20);
    const auto journal = PaymentJournal::open(folder.file("journal.sqlite"), settings);
    PaymentJournal::install(journal);
    const auto& ended = delegate->agreement.outcomes;
    show();
    fillValidCard();
    model().pressContinue();
    service->answer(DirectPaymentResponse::fromJSON(R"({"code":78,"desc":"0190"})"));
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].verdict, PaymentVerdict::declined);
    EXPECT_EQ(ended[0].standing, PaymentStanding::delivered);
    EXPECT_EQ(ended[0].amount, "1999");
    EXPECT_FALSE(ended[0].stepsWaiting);

    show();  // the same order: a declined payment does not hold it
    fillValidCard();
    model().pressContinue();
    sqlite3* other = nullptr;
    sqlite3_open(folder.file("journal.sqlite").c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    service->answer(DirectPaymentResponse::fromJSON(
        R"({"code":0,"desc":"ok","datosRespuesta":{"Ds_Response":"0000","Ds_AuthorisationCode":"1"}})"));
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_EQ(ended[1].verdict, PaymentVerdict::paid);
    EXPECT_TRUE(ended[1].stepsWaiting);
    EXPECT_EQ(ended[1].standing, PaymentStanding::inDoubt) << "sent, its answer not recorded";
    EXPECT_EQ(journal->recordWaitingSteps(), 2u) << "answered and delivered wait";
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    show();  // the order paid: refused, once the steps that waited have landed, in order
    fillValidCard();
    model().pressContinue();
    EXPECT_EQ(delegate->told.back().substr(0, 7), "KO 5553");
    const auto paid = journal->payment("ORDER1").value();
    std::vector<PaymentStep> steps;
    for (const auto& step : paid->steps) {
        steps.push_back(step.step);
    }
    EXPECT_EQ(steps, (std::vector{PaymentStep::prepared, PaymentStep::sent, PaymentStep::answered,
                                  PaymentStep::delivered}));
    EXPECT_EQ(paid->standing, PaymentStanding::delivered);
    PaymentJournal::install(nullptr);
}

TEST_F(CardScreen, AStoredCardPaysWithItsReferenceAndNoCardData) {
    for (const char* typed : {"REQUIRED", ""}) {
        show(1.0, typed);
        EXPECT_EQ(number().shown(), "") << typed;
        EXPECT_TRUE(number().enabled());
        EXPECT_FALSE(model().continueButton().enabled);
    }
    show(1.0, "ref-0001");
    EXPECT_TRUE(model().continueButton().enabled) << "enabled after the load disabled it";
    model().pressContinue();
    const auto sent = sentMessage(*service)["datosPeticion"];
    EXPECT_EQ(nlohmann::json::array({sent["DS_MERCHANT_PAN"], sent["DS_MERCHANT_EXPIRYDATE"],
                                     sent["DS_MERCHANT_CVV2"], sent["DS_MERCHANT_IDENTIFIER"]}),
              nlohmann::json::array({"", "", "", "ref-0001"}));
}

TEST_F(CardScreen, CancelClosingByHandAndRefusalsReachTheDelegateThenTheScreenCloses) {
    for (const bool byHand : {false, true}) {
        delegate->told.clear();
        delegate->closedWhenTold.clear();
        show();
        byHand ? model().requestClose() : model().pressCancel();
        EXPECT_EQ(delegate->told,
                  std::vector<std::string>{"KO 78 Operación cancelada por el usuario."});
        EXPECT_EQ(delegate->closedWhenTold, std::vector<bool>{false});
        EXPECT_TRUE(model().closed());
    }

    show();
    screen->setDelegate(nullptr);
    fillValidCard();
    model().pressContinue();
    service->fail(SDKError::wrongStatusCode(500));
    EXPECT_TRUE(model().closed()) << "without a delegate the screen still closes";
}

TEST_F(CardScreen, RefusesANegativeAmountOnceTheScreenIsOnScreen) {
    show(-0.01);
    EXPECT_TRUE(delegate->told.empty()) << "not while the screen is appearing";
    platform::MainQueue::runPending();
    EXPECT_EQ(delegate->told.size(), 1u);

    delegate->told.clear();
    show(0.0);
    platform::MainQueue::runPending();
    EXPECT_TRUE(delegate->told.empty());
    fillValidCard();
    model().pressContinue();
    EXPECT_EQ(sentMessage(*service)["datosPeticion"]["DS_MERCHANT_AMOUNT"], "0");
}

TEST_F(CardScreen, TheScreenHoldsItsDelegate) {
    show();
    std::weak_ptr<testing::RecordingDelegate> told = delegate;
    delegate.reset();
    ASSERT_FALSE(told.expired()) << "the screen holds its delegate";
    model().pressCancel();
    EXPECT_EQ(told.lock()->told.size(), 1u);
}

TEST_F(CardScreen, EachPresentationEndsWithExactlyOneReport) {
    show();
    fillValidCard();
    model().pressContinue();
    std::weak_ptr<DirectPaymentViewController> gone = screen;
    const auto kept = screen->viewModel();
    screen.reset();
    EXPECT_TRUE(gone.expired()) << "the payment in flight does not hold the screen";
    EXPECT_EQ(delegate->told, std::vector<std::string>{"closed 1"}) << "sent: in doubt";
    EXPECT_TRUE(kept->closed());
    EXPECT_EQ(kept->field(CardField::number).text, "") << "no field keeps the card data";
    service->answer(DirectPaymentResponse::fromJSON(R"({"code":9999,"desc":"x"})"));
    kept->appeared();
    kept->pressCancel();
    EXPECT_EQ(delegate->told.size(), 1u) << "the notice was the report, and a model that "
                                            "outlives its screen does nothing";

    show(-0.01);
    platform::MainQueue::runPending();
    model().pressCancel();
    screen.reset();
    EXPECT_EQ(delegate->told.size(), 2u) << "an outcome, then nothing more";

    auto unseen = DirectPaymentViewController::create("ORDER1", 1.0, "Libro",
                                                      TransactionType::normal, "", nullptr);
    unseen->setDelegate(delegate);
    unseen->loadViewIfNeeded();
    unseen.reset();
    EXPECT_EQ(delegate->told.size(), 2u) << "a screen never shown has nothing to report";
}

TEST_F(CardScreen, TheApplicationMayLetGoOfTheScreenInsideAReport) {
    delegate->onReport = [this] { screen.reset(); };
    show();
    auto model = screen->viewModel();
    model->pressCancel();
    EXPECT_FALSE(screen);
    EXPECT_EQ(delegate->told.size(), 1u);
    EXPECT_TRUE(model->closed()) << "the screen still closed after telling";
}

}  // namespace
}  // namespace vanto
