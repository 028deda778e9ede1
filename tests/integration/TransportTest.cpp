// The transport against the sandbox: the bytes on the wire, cookies and TLS sessions across calls,
// every failure of a reply, time-outs held by the server, https only, TLS verification, the
// callback queues, many calls at once and a session going away; the check of a certificate no
// system trusts. Traces of real calls are checked for card data by the cli.demo test. How the
// presenters read each answer is their unit tests'; the presenters on the real road, the command
// line's (cli.payments).
#include <atomic>
#include <future>
#include <limits>
#include <map>
#include <sstream>
#include <thread>

#include "SandboxTestSupport.h"
#include "TestRows.h"
#include "platform/DispatchQueue.h"
#include "vanto/config/Constants.h"
#include "vanto/platform/URLSession.h"
#include "vanto/transport/Session.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {
namespace {

using namespace std::chrono_literals;
using sandbox::Fault;

class Transport : public sandbox::testing::SandboxTest {
  protected:
    /// A signed direct payment of 19.99 with the accepted card for `order`.
    static platform::SecretText envelope(const std::string& order) {
        return platform::SecretText(directRequest(std::string(sandbox::kAcceptedCard), order));
    }
    static std::shared_ptr<DirectPaymentRequest> payment(const std::string& order) {
        return std::make_shared<DirectPaymentRequest>(envelope(order));
    }
};

// A direct-payment description with its own idle limit in seconds.
class RequestWithTimeout : public DirectPaymentRequest {
  public:
    RequestWithTimeout(double seconds, platform::SecretText body)
        : DirectPaymentRequest(std::move(body)), seconds_(seconds) {}
    double timeout() const override { return seconds_; }

  private:
    double seconds_;
};

TEST_F(Transport, PutsTheRequestOnTheWireVerbatimAndCarriesCookiesAcrossCalls) {
    const platform::SecretText body = envelope("T0100");
    gateway_->setFaultForAll(Fault::httpStatus(500));
    EXPECT_TRUE(send(std::make_shared<DirectPaymentRequest>(body.copy())).error);
    const auto issued = Session::shared().cookies();
    ASSERT_EQ(issued.size(), 1u) << "a reply's cookie is taken in whatever its status";
    gateway_->setFaultForAll(std::nullopt);
    Session::shared().setCookies({{.name = "first", .value = "1"}, issued[0]});
    send(std::make_shared<DirectPaymentRequest>(body.copy()));

    const auto requests = gateway_->requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/zel/virtualControllerV2/pagoVirtual");
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(request.body, "datoEntrada=" + std::string(body.view()))
            << "the body goes verbatim";
        EXPECT_EQ(request.header("Expect"), std::nullopt);
    }
    EXPECT_EQ(requests[0].header("Cookie"), std::nullopt) << "an empty store sends no Cookie field";
    EXPECT_EQ(requests[1].header("Cookie"), "first=1; " + issued[0].name + "=" + issued[0].value)
        << "stored cookies go in store order";
    EXPECT_TRUE(requests[1].carriedSessionCookie);
    // Each call has a connection of its own, and resumes the TLS session of the one before.
    EXPECT_EQ(gateway_->resumedTlsRequests(), 1u);

    // The same server under another host name is another gateway to the cookie store: the
    // cookie the first one set stays with it.
    ASSERT_TRUE(Constants::setGatewayHost(EnviromentType::test,
                                          "localhost:" + std::to_string(gateway_->port())));
    send(std::make_shared<DirectPaymentRequest>(body.copy()));
    ASSERT_EQ(gateway_->requests().size(), 3u);
    EXPECT_EQ(gateway_->requests()[2].header("Cookie"), "first=1")
        << "only the cookie put in without a host goes to another host";
    EXPECT_EQ(gateway_->resumedTlsRequests(), 1u) << "a TLS session stays with its host";
}

// The TLS sessions of the latest trust configurations are kept, not of every one the process saw:
// an application that keeps changing its anchors stays bounded.
TEST_F(Transport, KeepsTheTlsSessionsOfTheLatestTrustConfigurationsOnly) {
    const auto trustedAs = [this](int n) {
        auto configuration = trusting();
        configuration.additionalTrustAnchors[0].insert(0,
                                                       "configuration " + std::to_string(n) + "\n");
        return configuration;
    };
    int order = 20;
    const auto resumedWith = [&](int n) {
        const auto before = gateway_->resumedTlsRequests();
        EXPECT_TRUE(send(payment("T01" + std::to_string(order++)), trustedAs(n)).record);
        return gateway_->resumedTlsRequests() - before;
    };
    EXPECT_EQ(resumedWith(0), 0u);
    for (int n = 1; n <= 7; ++n) {
        EXPECT_EQ(resumedWith(n), 0u);
    }
    EXPECT_EQ(resumedWith(0), 1u) << "the eighth latest configuration is still kept";
    EXPECT_EQ(resumedWith(8), 0u);
    EXPECT_EQ(resumedWith(9), 0u);
    EXPECT_EQ(resumedWith(1), 0u) << "the oldest configuration is forgotten";
}

// Each broken reply is asked for by its order number, so that the sandbox's switches are read
// on the way: a switch the sandbox ignored would be paid normally.
TEST_F(Transport, FailsOnEveryStatusOutside200To299AndEveryBrokenReply) {
    using enum SDKError::Case;
    const std::map<std::string, SDKError::Case> errors = {
        {"wrongJsonDecodeNames", wrongJsonDecodeNames},
        {"wrongStatusCode", wrongStatusCode},
        {"nonURLResponse", nonURLResponse},
        {"connectionError", connectionError}};
    const std::map<std::string, platform::PlatformError::Kind> lostAs = {
        {"connectionLost", platform::PlatformError::Kind::connectionLost},
        {"invalidReply", platform::PlatformError::Kind::invalidReply}};
    const auto rows = testing::readTestRows("transport-faults.txt");
    for (const auto& row : rows) {
        const std::string& order = *row.at(0);
        const SDKError::Case expected = errors.at(*row.at(1));
        const auto outcome = send(payment(order));
        ASSERT_TRUE(outcome.error) << order;
        EXPECT_EQ(outcome.error->kind(), expected) << order;
        if (expected == wrongStatusCode) {
            EXPECT_EQ(outcome.error->status(), std::stoi(order.substr(13)));
        }
        if (expected == nonURLResponse) {
            EXPECT_EQ(outcome.error->response(), nullptr);
        }
        if (row.size() > 2) {
            ASSERT_NE(outcome.error->platformError(), nullptr) << order;
            EXPECT_EQ(outcome.error->platformError()->kind, lostAs.at(*row[2])) << order;
            EXPECT_TRUE(outcome.error->platformError()->requestSent)
                << order << ": the gateway read the request, it may have acted on it";
        }
    }
    EXPECT_EQ(gateway_->requests().size(), rows.size()) << "every fault is recorded";
}

TEST_F(Transport, TheIdleLimitEndsASilentCallAndAnEndlessOneStillWaits) {
    // The server holds its answer past the wait of send(): only the idle limit ends the call.
    gateway_->setFault("T0400", Fault::delayed(100s));
    const auto silent = send(std::make_shared<RequestWithTimeout>(1.0, envelope("T0400")));
    ASSERT_TRUE(silent.error && silent.error->platformError());
    EXPECT_EQ(silent.error->kind(), SDKError::Case::nonURLResponse);
    EXPECT_EQ(silent.error->platformError()->kind, platform::PlatformError::Kind::timedOut);
    EXPECT_EQ(silent.error->platformError()->localizedDescription,
              "the time-out passed: nothing was sent or received for 1 s");
    EXPECT_TRUE(silent.error->platformError()->requestSent);
    // The session's time-out takes the place of the request's own.
    auto configuration = trusting();
    configuration.timeoutIntervalForRequest = 1.0;
    gateway_->setFault("T0402", Fault::delayed(100s));
    const auto sessionLimit =
        send(std::make_shared<DirectPaymentRequest>(envelope("T0402")), configuration);
    ASSERT_TRUE(sessionLimit.error && sessionLimit.error->platformError());
    EXPECT_EQ(sessionLimit.error->platformError()->kind, platform::PlatformError::Kind::timedOut);

    gateway_->setFault("T0401", Fault::delayed(300ms));
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(send(std::make_shared<RequestWithTimeout>(kEndless, envelope("T0401"))).record)
        << "an endless time-out is the longest limit, not none";
    EXPECT_TRUE(send(std::make_shared<RequestWithTimeout>(1e300, envelope("T0401"))).record);
}

TEST_F(Transport, ARequestThatCannotBeSentSafelyNeverLeaves) {
    // Card data go over TLS only: a plain http address of the very same server is not even tried.
    struct PlainHttpRequest : DirectPaymentRequest {
        PlainHttpRequest(platform::SecretText body, std::string authority)
            : DirectPaymentRequest(std::move(body)), authority(std::move(authority)) {}
        std::string baseURL() const override {
            return "http://" + authority + "/zel/virtualControllerV2/pagoVirtual";
        }
        std::string authority;
    };
    const auto plain =
        send(std::make_shared<PlainHttpRequest>(envelope("T0450"), gateway_->authority()));
    ASSERT_TRUE(plain.error);
    EXPECT_EQ(plain.error->kind(), SDKError::Case::requestError);
    EXPECT_EQ(plain.error->platformError()->kind, platform::PlatformError::Kind::notHttps);

    // The session itself refuses, whatever the case of the scheme.
    std::promise<std::optional<platform::PlatformError>> failed;
    platform::URLSession session(trusting());
    platform::URLRequest request("HTTP://" + gateway_->authority() + "/");
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
    EXPECT_TRUE(gateway_->requests().empty());
}

// A server the session cannot verify ends the payment unsent, a refusal for the presenter.
TEST_F(Transport, AServerNobodyTrustsIsARefusalAndReceivesNothing) {
    platform::URLSessionConfiguration::setDefaultSessionConfiguration(std::nullopt);
    const auto view = payDirectly(sandbox::kAcceptedCard, "T0600");
    ASSERT_EQ(view->outcomes.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<DirectPaymentResponseKO>(view->outcomes[0]));
    const auto& refusal = std::get<DirectPaymentResponseKO>(view->outcomes[0]);
    EXPECT_EQ(refusal.code, 5550);
    EXPECT_EQ(refusal.desc, "Error de conexión.");
    EXPECT_TRUE(gateway_->requests().empty());
}

// A sandbox whose certificate, trusted, names another host.
class MisnamedServer : public Transport {
    sandbox::SandboxOptions options() const override {
        auto options = Transport::options();
        options.certificateNames = {"gateway.example"};
        return options;
    }
};

TEST_F(MisnamedServer, RefusesATrustedCertificateIssuedToAnotherNameBeforeSendingAnything) {
    std::vector<std::string> traces;
    setTraceSink([&traces](std::string_view block) { traces.emplace_back(block); });
    const auto mismatch = send(payment("T0601"));
    ASSERT_TRUE(mismatch.error && mismatch.error->platformError());
    EXPECT_EQ(mismatch.error->kind(), SDKError::Case::nonURLResponse);
    EXPECT_EQ(mismatch.error->platformError()->kind, platform::PlatformError::Kind::tlsRefused);
    EXPECT_FALSE(mismatch.error->platformError()->requestSent);
    EXPECT_TRUE(gateway_->requests().empty());
    ASSERT_EQ(traces.size(), 2u) << "the request, then the failure: no reply trace";
    EXPECT_TRUE(traces[1].starts_with("====== NO RESPONSE ======\nERROR: "));
    EXPECT_NE(traces[1].find("libcurl code 60"), std::string::npos)
        << "the trace says which failure it was: " << traces[1];
    EXPECT_NE(traces[1].find("REQUEST SENT: no"), std::string::npos);
}

TEST_F(Transport, DeliversOnTheQueueChosenForTheCall) {
    const auto deliveredOn = [this](CallbackQueue queue) {
        auto ranOn = std::make_shared<std::thread::id>();
        const auto note = [ranOn](auto&&...) { *ranOn = std::this_thread::get_id(); };
        Manager::create(trusting())->send(payment("T0700"), queue, note, note);
        EXPECT_TRUE(Manager::waitForCallsInFlight(30s));
        return *ranOn;
    };
    const auto here = std::this_thread::get_id();
    EXPECT_EQ(deliveredOn(CallbackQueue::main()), here)
        << "main: on the thread pumping the main queue";
    EXPECT_NE(deliveredOn(CallbackQueue::current()), here)
        << "current: on the session's delegate queue";
    auto dispatch = std::make_shared<platform::DispatchQueue>("outcomes");
    std::thread::id dispatchThread;
    dispatch->async([&] { dispatchThread = std::this_thread::get_id(); });
    EXPECT_EQ(deliveredOn(CallbackQueue::dispatchQueue(dispatch)), dispatchThread);
}

TEST_F(Transport, ManyPaymentsInFlightEachDeliverOnceAndKeepOneCookiePerName) {
    constexpr int kPayments = 32;
    gateway_->setFaultForAll(Fault::delayed(300ms));  // keeps them in flight together
    std::atomic<int> deliveries[kPayments] = {};
    std::atomic<int> accepted = 0;
    for (int i = 0; i < kPayments; ++i) {
        const std::string order = "C" + std::to_string(1000 + i);
        Manager::create(trusting(), CallbackQueue::current())
            ->send(
                payment(order), std::nullopt,
                [&, i, order](std::optional<DirectPaymentResponse> answer) {
                    ++deliveries[i];
                    accepted += answer && answer->datosRespuesta &&
                                answer->datosRespuesta->Ds_Order == order;
                },
                [&, i](SDKError) { ++deliveries[i]; });
    }
    // Done once every handler and delivery is gone: a second delivery would have come by then.
    EXPECT_TRUE(Manager::waitForCallsInFlight(60s));
    for (const auto& count : deliveries) {
        EXPECT_EQ(count, 1);
    }
    EXPECT_EQ(accepted, kPayments);
    const auto cookies = Session::shared().cookies();
    ASSERT_EQ(cookies.size(), 1u) << "one entry per name, however many replies set it";
    EXPECT_EQ(cookies[0].name, sandbox::SandboxGateway::kSessionCookieName);
}

using Lifetime = Transport;

TEST_F(Lifetime, ASessionGoesAwayWithoutWaitingAndItsTransfersStillEnd) {
    gateway_->setFaultForAll(Fault::delayed(100s));  // answers only when stopped

    const auto paymentRequest = [](const std::string& order) {
        return DirectPaymentRequest(envelope(order)).build().value();
    };
    std::promise<bool> ended;
    auto session = std::make_unique<platform::URLSession>(trusting());
    auto started = session->dataTask(paymentRequest("L0001"), [&ended](auto, auto response, auto) {
        ended.set_value(response.has_value());
    });
    auto later = session->dataTask(paymentRequest("L0002"), [](auto, auto, auto) {});
    started->resume();
    auto outcome = ended.get_future();
    session.reset();
    EXPECT_NE(outcome.wait_for(0s), std::future_status::ready)
        << "destroying the session waited for its transfer";
    later->resume();  // a task of a session that is gone still runs (or fails) on its own

    gateway_->stop();  // cuts the delay short: the transfer ends, with or without a reply
    ASSERT_EQ(outcome.wait_for(30s), std::future_status::ready);
}

// The check a web view makes before it accepts a certificate the system does not trust: against
// the sandbox's real certificates, which are self-signed and name localhost and 127.0.0.1.
std::string certificateOf(sandbox::SandboxOptions options) {
    options.logRequests = false;
    sandbox::SandboxGateway gateway(std::move(options));
    EXPECT_TRUE(gateway.start()) << gateway.lastError();
    return gateway.certificatePem();
}

TEST(CertificateTrust, AcceptsOnlyTheAnchorItselfForTheNamesItCarries) {
    const std::string sandbox = certificateOf({});
    const std::string other = certificateOf({});  // the same names, another key
    sandbox::SandboxOptions elsewhere;
    elsewhere.certificateNames = {"shop.test"};
    const std::string named = certificateOf(elsewhere);
    ASSERT_FALSE(sandbox.empty());
    const std::map<std::string, std::string> certificates = {
        {"sandbox", sandbox}, {"other", other}, {"named", named}, {"garbage", "not a certificate"}};
    const auto list = [&](const std::string& names) {
        std::vector<std::string> pems;
        std::istringstream in(names);
        for (std::string name; std::getline(in, name, ',');) {
            pems.push_back(certificates.at(name));
        }
        return pems;
    };
    for (const auto& row : testing::readTestRows("certificate-trust.txt")) {
        EXPECT_EQ(platform::chainsToTrustAnchor(list(*row.at(0)), list(*row.at(1)), *row.at(2)),
                  row.at(3) == "yes")
            << *row[0] << " / " << *row[1] << " for " << *row[2];
    }
}

}  // namespace
}  // namespace vanto
