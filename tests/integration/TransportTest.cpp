#include <atomic>
#include <future>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SandboxFixture.h"
#include "vanto/platform/DispatchQueue.h"
#include "vanto/platform/OperationQueue.h"
#include "vanto/web/WebViewPaymentRequest.h"

namespace vanto {
namespace {

using namespace std::chrono_literals;
using sandbox::Fault;

class Transport : public testing::SandboxTest {};

// A direct-payment description with its own idle limit in seconds.
template <double Seconds>
class RequestWithTimeout : public DirectPaymentRequest {
  public:
    using DirectPaymentRequest::DirectPaymentRequest;
    double timeout() const override { return Seconds; }
};

std::optional<std::string> cookieValue(std::string_view name) {
    for (const auto& cookie : Session::shared().cookies()) {
        if (cookie.name == name) {
            return cookie.value;
        }
    }
    return std::nullopt;
}

TEST_F(Transport, DeliversTheDecodedAnswersOfBothServices) {
    const auto paid = send(
        std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0001")));
    ASSERT_TRUE(paid.record) << (paid.error ? paid.error->errorDescription() : "");
    EXPECT_EQ(paid.record->code, 0);
    ASSERT_TRUE(paid.record->datosRespuesta);
    EXPECT_EQ(paid.record->datosRespuesta->Ds_Response, "0000");
    EXPECT_EQ(paid.record->datosRespuesta->Ds_Order, "T0001");

    const auto signedPage = send(std::make_shared<WebViewPaymentRequest>(
        Encode::encodeStringWebViewPayment("T0002", "", 19.99, "false", "0", "Libro")));
    ASSERT_TRUE(signedPage.record);
    EXPECT_EQ(signedPage.record->code, 0);
    ASSERT_TRUE(signedPage.record->datosPeticion);
    EXPECT_FALSE(signedPage.record->datosPeticion->Ds_MerchantParameters.empty());

    const auto refused = send(
        std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kGatewayErrorCard, "T0003")));
    ASSERT_TRUE(refused.record) << "a gateway refusal is an answer, not a transport failure";
    EXPECT_NE(refused.record->code, 0);
}

TEST_F(Transport, PutsTheDescribedRequestOnTheWire) {
    const platform::SecretText envelope = directPayment(sandbox::kAcceptedCard, "T0100");
    send(std::make_shared<DirectPaymentRequest>(envelope.copy()));
    Session::shared().setCookies(
        {{.name = "first", .value = "1"}, Session::shared().cookies().at(0)});
    send(std::make_shared<DirectPaymentRequest>(envelope.copy()));

    const auto requests = gateway().requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/zel/virtualControllerV2/pagoVirtual");
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(request.body, "datoEntrada=" + std::string(envelope.view()))
            << "the body goes verbatim";
        EXPECT_EQ(request.header("Expect"), std::nullopt);
    }
    EXPECT_EQ(requests[0].header("Cookie"), std::nullopt) << "an empty store sends no Cookie field";
    const std::string session = std::string(sandbox::SandboxGateway::kSessionCookieName);
    EXPECT_EQ(requests[1].header("Cookie"), "first=1; " + session + "=" + *cookieValue(session))
        << "stored cookies go in store order";
    EXPECT_TRUE(requests[1].carriedSessionCookie);
}

TEST_F(Transport, DecodesOnlyStatusesFrom200To299) {
    const auto ok = send(
        std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0200")));
    EXPECT_TRUE(ok.record);
    for (const int status : {299, 300, 404, 500}) {
        gateway().setFaultForAll(Fault::httpStatus(status));
        const auto outcome = send(
            std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0201")));
        ASSERT_TRUE(outcome.error) << status;
        if (status == 299) {
            // Decoded, and the fault's body is no envelope.
            EXPECT_EQ(outcome.error->kind(), SDKError::Case::wrongJsonDecodeNames);
        } else {
            EXPECT_EQ(outcome.error->kind(), SDKError::Case::wrongStatusCode);
            EXPECT_EQ(outcome.error->status(), status);
            EXPECT_EQ(outcome.error->code(), 5550);
        }
    }
}

TEST_F(Transport, ReportsEveryKindOfBrokenReply) {
    const struct {
        Fault fault;
        SDKError::Case expected;
    } cases[] = {
        {Fault::emptyBody(), SDKError::Case::wrongJsonDecodeNames},
        {Fault::notJson(), SDKError::Case::wrongJsonDecodeNames},
        {Fault::unexpectedMensaje(), SDKError::Case::wrongJsonDecodeNames},
        {Fault::numericMensaje(), SDKError::Case::wrongJsonDecodeNames},
        {Fault::closeConnection(), SDKError::Case::nonURLResponse},
        {Fault::truncatedBody(), SDKError::Case::connectionError},
    };
    for (const auto& [fault, expected] : cases) {
        gateway().setFault("T0300", fault);
        const auto outcome = send(
            std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0300")));
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->kind(), expected) << static_cast<int>(fault.kind);
        if (expected == SDKError::Case::nonURLResponse) {
            EXPECT_EQ(outcome.error->response(), nullptr);
        }
        if (expected == SDKError::Case::connectionError) {
            EXPECT_EQ(outcome.error->code(), 5550) << "a reply whose body broke off";
            ASSERT_NE(outcome.error->platformError(), nullptr);
            EXPECT_EQ(outcome.error->platformError()->kind,
                      platform::PlatformError::Kind::connectionLost);
        }
    }
    gateway().setFault("T0300", std::nullopt);
}

TEST_F(Transport, TheIdleLimitEndsASilentCallAndAnEndlessOneStillWaits) {
    // The delay outlasts the wait of send(): only the idle limit can end the call in time.
    gateway().setFault("T0400", Fault::delayed(100s));
    const auto silent = send(
        std::make_shared<RequestWithTimeout<1.0>>(directPayment(sandbox::kAcceptedCard, "T0400")));
    ASSERT_TRUE(silent.error);
    EXPECT_EQ(silent.error->kind(), SDKError::Case::nonURLResponse);

    gateway().setFault("T0401", Fault::delayed(300ms));
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    const auto endless = send(std::make_shared<RequestWithTimeout<kEndless>>(
        directPayment(sandbox::kAcceptedCard, "T0401")));
    EXPECT_TRUE(endless.record) << "an endless time-out is the longest limit, not none";
    const auto huge = send(std::make_shared<RequestWithTimeout<1e300>>(
        directPayment(sandbox::kAcceptedCard, "T0401")));
    EXPECT_TRUE(huge.record);
    gateway().setFault("T0400", std::nullopt);
    gateway().setFault("T0401", std::nullopt);
}

TEST_F(Transport, ARequestThatCannotBeSentSafelyNeverLeaves) {
    const auto badBody = send(std::make_shared<DirectPaymentRequest>("bad \xC3\x28 text"));
    ASSERT_TRUE(badBody.error);
    EXPECT_EQ(badBody.error->kind(), SDKError::Case::requestError);
    EXPECT_EQ(badBody.error->platformError()->kind, platform::PlatformError::Kind::invalidRequest);

    // Card data go over TLS only: a plain http address of the very same server is not even tried.
    class PlainHttpRequest : public DirectPaymentRequest {
      public:
        using DirectPaymentRequest::DirectPaymentRequest;
        std::string baseURL() const override {
            return "http://" + gateway().authority() + "/zel/virtualControllerV2/pagoVirtual";
        }
    };
    const auto plain =
        send(std::make_shared<PlainHttpRequest>(directPayment(sandbox::kAcceptedCard, "T0450")));
    ASSERT_TRUE(plain.error);
    EXPECT_EQ(plain.error->kind(), SDKError::Case::requestError);
    EXPECT_EQ(plain.error->platformError()->kind, platform::PlatformError::Kind::notHttps);

    std::promise<std::optional<platform::PlatformError>> failed;
    platform::URLSession session(trusting());
    platform::URLRequest request("HTTP://" + gateway().authority() + "/");
    request.httpMethod = "POST";
    request.httpBody = platform::SecretText("datoEntrada=");
    session
        .dataTask(std::move(request),
                  [&failed](auto, std::optional<platform::HTTPURLResponse> response, auto error) {
                      EXPECT_FALSE(response);
                      failed.set_value(error);
                  })
        ->resume();
    auto error = failed.get_future();
    ASSERT_EQ(error.wait_for(30s), std::future_status::ready);
    const auto platformError = error.get();
    ASSERT_TRUE(platformError);
    EXPECT_EQ(platformError->kind, platform::PlatformError::Kind::notHttps);
    EXPECT_TRUE(gateway().requests().empty());
}

TEST_F(Transport, RepliesUpdateTheCookieStoreInPlaceWhateverTheStatus) {
    const std::string session(sandbox::SandboxGateway::kSessionCookieName);
    Session::shared().setCookies({{.name = "A", .value = "1"},
                                  {.name = session, .value = "stale"},
                                  {.name = "Z", .value = "9"}});
    gateway().setFaultForAll(Fault::httpStatus(500));
    const auto failed = send(
        std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0500")));
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->status(), 500);
    const auto cookies = Session::shared().cookies();
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[1].name, session) << "a replaced cookie keeps its position";
    EXPECT_NE(cookies[1].value, "stale");
    EXPECT_EQ(cookies[2].name, "Z");

    Session::shared().setCookies({{.name = "A", .value = "1"}});
    gateway().setFaultForAll(std::nullopt);
    send(std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0501")));
    const auto appended = Session::shared().cookies();
    ASSERT_EQ(appended.size(), 2u);
    EXPECT_EQ(appended[1].name, session) << "a new name goes last";
}

TEST_F(Transport, RefusesServersThatFailVerificationBeforeSendingAnything) {
    auto untrusted = platform::URLSessionConfiguration::defaultSessionConfiguration();
    const auto refused =
        send(std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0600")),
             untrusted);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->kind(), SDKError::Case::nonURLResponse);
    EXPECT_EQ(refused.error->code(), 5550);
    EXPECT_TRUE(gateway().requests().empty());

    // A trusted certificate issued to another name: the host name check refuses it.
    sandbox::SandboxOptions options;
    options.certificateNames = {"gateway.example"};
    options.logRequests = false;
    sandbox::SandboxGateway misnamed(options);
    ASSERT_TRUE(misnamed.start());
    ASSERT_TRUE(Constants::setGatewayHost(EnviromentType::test, misnamed.authority()));
    auto trustingMisnamed = platform::URLSessionConfiguration::defaultSessionConfiguration();
    trustingMisnamed.additionalTrustAnchors = {misnamed.certificatePem()};
    const auto mismatch =
        send(std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0601")),
             trustingMisnamed);
    ASSERT_TRUE(Constants::setGatewayHost(EnviromentType::test, gateway().authority()));
    ASSERT_TRUE(mismatch.error);
    EXPECT_EQ(mismatch.error->kind(), SDKError::Case::nonURLResponse);
    EXPECT_TRUE(misnamed.requests().empty());
}

TEST_F(Transport, AnApplicationDefaultConfigurationReachesManagersMadeWithoutOne) {
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(trusting());
    auto outcome = std::make_shared<Outcome<DirectPaymentResponse>>();
    Manager::create()->send(
        std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0650")),
        std::nullopt,
        [outcome](std::optional<DirectPaymentResponse> record) {
            ++outcome->deliveries;
            outcome->record = std::move(record);
        },
        [outcome](SDKError error) {
            ++outcome->deliveries;
            outcome->error = std::move(error);
        });
    EXPECT_TRUE(platform::MainQueue::runUntil([&] { return outcome->deliveries > 0; }, 30s));
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(std::nullopt);
    EXPECT_TRUE(outcome->record) << "the default trusted the sandbox";
    EXPECT_TRUE(platform::URLSessionConfiguration::defaultSessionConfiguration()
                    .additionalTrustAnchors.empty());
}

TEST_F(Transport, DeliversOnTheChosenQueue) {
    const auto deliverOn = [](CallbackQueue queue) {
        std::atomic<bool> done = false;
        std::thread::id ranOn;
        auto request =
            std::make_shared<DirectPaymentRequest>(directPayment(sandbox::kAcceptedCard, "T0700"));
        Manager::create(trusting())
            ->send(
                request, queue,
                [&](std::optional<DirectPaymentResponse>) {
                    ranOn = std::this_thread::get_id();
                    done = true;
                },
                [&](SDKError) {
                    ranOn = std::this_thread::get_id();
                    done = true;
                });
        EXPECT_TRUE(platform::MainQueue::runUntil([&] { return done.load(); }, 30s));
        return ranOn;
    };
    const auto here = std::this_thread::get_id();
    EXPECT_EQ(deliverOn(CallbackQueue::main()), here)
        << "main: on the thread pumping the main queue";
    EXPECT_NE(deliverOn(CallbackQueue::current()), here)
        << "current: on the session's delegate queue";

    auto dispatch = std::make_shared<platform::DispatchQueue>("outcomes");
    std::thread::id dispatchThread;
    dispatch->async([&] { dispatchThread = std::this_thread::get_id(); });
    EXPECT_EQ(deliverOn(CallbackQueue::dispatchQueue(dispatch)), dispatchThread);

    auto operations = std::make_shared<platform::OperationQueue>(1);
    std::thread::id operationThread;
    operations->addOperation([&] { operationThread = std::this_thread::get_id(); });
    operations->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(deliverOn(CallbackQueue::operationQueue(operations)), operationThread);
}

TEST_F(Transport, TracesShowNoCardData) {
    ::testing::internal::CaptureStdout();
    const auto outcome =
        send(std::make_shared<DirectPaymentRequest>(Encode::encodeStringDirectPayment(
            sandbox::kAcceptedCard, "987", "3012", "1999", "T0800", "", "true", "0", "Libro")));
    const std::string output = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(outcome.record);
    EXPECT_NE(output.find("====== REQUEST ======\nMethod: POST\nURL: " + gateway().baseUrl()),
              std::string::npos);
    EXPECT_NE(output.find("====== RESPONSE ======\nSTATUS CODE: 200"), std::string::npos);
    EXPECT_EQ(output.find(sandbox::kAcceptedCard), std::string::npos) << output;
    EXPECT_EQ(output.find(R"(CVV2\":\"987)"), std::string::npos);
    EXPECT_EQ(output.find("3012"), std::string::npos) << "expiry in the request and in the answer";
    EXPECT_NE(output.find(R"(\"DS_MERCHANT_PAN\":\"************0002\")"), std::string::npos);
}

TEST_F(Transport, ManyPaymentsInFlightEachDeliverOnce) {
    constexpr int kPayments = 32;
    gateway().setFaultForAll(Fault::delayed(300ms));  // keeps them all in flight together
    std::atomic<int> deliveries[kPayments] = {};
    std::atomic<int> accepted = 0;
    for (int i = 0; i < kPayments; ++i) {
        const std::string order = "C" + std::to_string(1000 + i);
        Manager::create(trusting(), CallbackQueue::current())
            ->send(
                std::make_shared<DirectPaymentRequest>(
                    directPayment(sandbox::kAcceptedCard, order)),
                std::nullopt,
                [&, i, order](std::optional<DirectPaymentResponse> answer) {
                    ++deliveries[i];
                    if (answer && answer->datosRespuesta &&
                        answer->datosRespuesta->Ds_Order == order) {
                        ++accepted;
                    }
                },
                [&, i](SDKError) { ++deliveries[i]; });
    }
    const auto allDelivered = [&] {
        for (const auto& count : deliveries) {
            if (count == 0) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(platform::MainQueue::runUntil(allDelivered, 60s));
    std::this_thread::sleep_for(100ms);
    for (const auto& count : deliveries) {
        EXPECT_EQ(count, 1);
    }
    EXPECT_EQ(accepted, kPayments);
    const auto cookies = Session::shared().cookies();
    ASSERT_EQ(cookies.size(), 1u) << "one entry per name, however many replies set it";
    EXPECT_EQ(cookies[0].name, sandbox::SandboxGateway::kSessionCookieName);
}

}  // namespace
}  // namespace vanto
