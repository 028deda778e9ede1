#include <limits>
#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingViews.h"
#include "TestSupport.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/testing/FakeGatewayService.h"

namespace vanto {
namespace {

using Outcome = testing::DirectOutcome;
using FakeService = testing::FakeGatewayService<DirectPaymentRequest>;
using RecordingView = testing::RecordingDirectView;

class DirectPresenter : public testing::ConfiguredTest {
  protected:
    void TearDown() override {
        service->calls.clear();
        ConfiguredTest::TearDown();
    }

    std::shared_ptr<RecordingView> view = std::make_shared<RecordingView>();
    std::shared_ptr<FakeService> service = std::make_shared<FakeService>();
    std::shared_ptr<DirectPaymentPresenter<RecordingView>> presenter =
        std::make_shared<DirectPaymentPresenter<RecordingView>>(view, service);

    void pay(double amount, TransactionType type = TransactionType::normal) {
        presenter->makePaymentAction("4000000000000002", "123", "2612", amount, "ORDER1", "", type,
                                     "Libro 1/2");
    }

    // The one outcome the view received.
    const Outcome& outcome() const {
        EXPECT_EQ(view->outcomes.size(), 1u);
        return view->outcomes.back();
    }
    DirectPaymentResponseKO refusal() const { return std::get<DirectPaymentResponseKO>(outcome()); }

    // Answers the payment sent with the given answer JSON (the record inside "mensaje").
    void answerWith(const std::string& json) {
        auto answer = DirectPaymentResponse::fromJSON(json);
        ASSERT_TRUE(answer) << json;
        service->answer(std::move(answer));
    }
};

TEST_F(DirectPresenter, ClassifiesTheGatewaysAnswer) {
    for (const auto& row : testing::readTestRows("direct-answers.txt")) {
        const std::string& answer = *row.at(0);
        const std::string& desc = *row.at(2);
        view->outcomes.clear();
        pay(1.0);
        answerWith(answer);
        ASSERT_EQ(view->outcomes.size(), 1u) << answer;
        if (row.at(1)) {
            EXPECT_EQ(refusal(), DirectPaymentResponseKO(std::stoll(*row[1]), desc)) << answer;
        } else {
            const auto* ok = std::get_if<DirectPaymentResponseOK>(&view->outcomes[0]);
            ASSERT_NE(ok, nullptr) << answer;
            EXPECT_EQ(ok->code, 0);
            EXPECT_EQ(ok->desc, desc);
            EXPECT_EQ(ok->Ds_CardNumber, "") << "absent details are empty texts";
        }
    }
}

TEST_F(DirectPresenter, EveryOtherEndIsOneRefusalWithItsCode) {
    pay(1.0);
    service->answer(std::nullopt);
    EXPECT_EQ(refusal().code, 5548) << "even an empty answer ends the payment";

    presenter->closedWithoutOutcome(true);
    EXPECT_EQ(view->notices, std::vector<bool>{true});
}

TEST_F(DirectPresenter, AnAmountOrTypeThatCannotBeSentIsRefusedAndNothingLeaves) {
    // Which amounts have no hundredths to send is the amount helper's table.
    for (const double amount : {-0.01, std::numeric_limits<double>::infinity()}) {
        view->outcomes.clear();
        pay(amount);
        EXPECT_EQ(refusal(),
                  DirectPaymentResponseKO(5548, "El importe tiene que ser igual o mayor de 0,00"))
            << amount;
    }
    view->outcomes.clear();
    pay(1.0, static_cast<TransactionType>(42));
    EXPECT_EQ(refusal(), DirectPaymentResponseKO(5548, "Error interno de la librería."));
    EXPECT_TRUE(service->calls.empty());
    // A test answering the call that never left fails with a message, not by reading past.
    EXPECT_THROW(service->answer(std::nullopt), std::logic_error);
    EXPECT_THROW(service->fail(SDKError::internalError()), std::logic_error);
}

TEST_F(DirectPresenter, OutlivesItsScreenWhileAPaymentIsInFlightAndTellsNoOne) {
    pay(1.0);
    std::weak_ptr<DirectPaymentPresenter<RecordingView>> alive = presenter;
    std::weak_ptr<RecordingView> shown = view;
    presenter.reset();
    view.reset();
    EXPECT_FALSE(alive.expired()) << "the call in flight holds the presenter";
    EXPECT_TRUE(shown.expired());
    answerWith(R"({"code":0,"desc":"ok","datosRespuesta":{"Ds_Response":"0000"}})");
    EXPECT_TRUE(alive.expired()) << "and lets go of it once the outcome is out";
}

}  // namespace
}  // namespace vanto
