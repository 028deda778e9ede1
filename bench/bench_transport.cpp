// A direct payment through the direct-payment presenter, and the same request sent through
// Manager, to the sandbox, against the floor: a bare libcurl POST of the same bytes to the same
// sandbox, each on a fresh connection (the library makes one per call) with the TLS settings the
// library's transfers use; and the masking of the request's trace. Manager and the floor also run
// on 8 and 64 threads at once, one payment after another on each: 1, 8 and 64 payments in flight,
// each reported as payments per second. The report ends with the ratios library / floor from this
// run (for the threaded runs, of the time per payment, the inverse of the throughputs), held to
// 1.25 (the program exits non-zero above 1.875), and the process's peak memory. Beside them, the
// first payment of a trust configuration (a full TLS handshake) against a repeat payment under one
// (each on a fresh connection, resuming the TLS session of the payment before): the ratio
// repeat / first is held to 0.8, and either benchmark stops with an error when the sandbox saw a
// handshake of the other kind.
#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "BareTransfer.h"
#include "RatioReport.h"

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/Trace.h"

namespace {

using vanto::bench::setLibraryTls;
using vanto::bench::trustStore;

vanto::sandbox::SandboxGateway* gateway = nullptr;

// The request text of a payment of `order`, in clear: the bare POST sends these very bytes.
std::string signedPayment(const std::string& order = "BENCH0001") {
    return std::string(vanto::Encode::encodeStringDirectPayment("4000000000000002", "123", "3012",
                                                                "1999", order, "", "true", "0",
                                                                "Libro")
                           .view());
}

// The order of a run's next payment: the gateway pays an order once.
std::string nextOrder() {
    static std::atomic<int> paid = 0;
    return "BENCH" + std::to_string(++paid);
}

// The next payment's request, made outside the timed part of the iteration.
std::string untimedPayment(benchmark::State& state) {
    state.PauseTiming();
    std::string payment = signedPayment(nextOrder());
    state.ResumeTiming();
    return payment;
}

// What a payment's handlers tell the benchmark's thread: shared with them, so that a handler
// that comes after the benchmark gave up waiting still has somewhere to write.
struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    bool delivered = false;
    bool accepted = false;

    void deliver(bool ok) {
        const std::lock_guard lock(mutex);
        accepted = ok;
        delivered = true;
        done.notify_one();
    }
};

// Sends one payment through `manager` and waits for its outcome; true when it was accepted.
bool pay(vanto::Manager& manager, const std::string& envelope) {
    auto outcome = std::make_shared<Outcome>();
    manager.send(
        std::make_shared<vanto::DirectPaymentRequest>(envelope), std::nullopt,
        [outcome](std::optional<vanto::DirectPaymentResponse> answer) {
            outcome->deliver(answer && answer->code == 0);
        },
        [outcome](vanto::SDKError) { outcome->deliver(false); });
    std::unique_lock lock(outcome->mutex);
    outcome->done.wait_for(lock, std::chrono::seconds(30), [&] { return outcome->delivered; });
    return outcome->accepted;
}

void BM_ManagerDirectPayment(benchmark::State& state) {
    auto configuration = vanto::platform::URLSessionConfiguration::defaultSessionConfiguration();
    configuration.additionalTrustAnchors = {gateway->certificatePem()};
    for (auto _ : state) {
        std::string envelope = untimedPayment(state);
        const bool accepted =
            pay(*vanto::Manager::create(configuration, vanto::CallbackQueue::current()), envelope);
        vanto::platform::secureWipe(envelope);
        if (!accepted) {
            state.SkipWithError("the payment failed or had no answer within 30 s");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
// One payment after another on each thread: 1, 8 and 64 payments in flight.
BENCHMARK(BM_ManagerDirectPayment)->UseRealTime()->Threads(1)->Threads(8)->Threads(64);

// One payment of a fresh envelope through a Manager made for `configuration`, timed from the send
// until the outcome is delivered: the Manager is made, and let go, while the timing is paused, so
// that the two benchmarks below differ only in the payment's TLS handshake. False, with the
// benchmark stopped, when the payment failed.
bool timedPayment(benchmark::State& state,
                  const vanto::platform::URLSessionConfiguration& configuration) {
    state.PauseTiming();
    std::string envelope = signedPayment(nextOrder());
    auto manager = vanto::Manager::create(configuration, vanto::CallbackQueue::current());
    state.ResumeTiming();
    const bool accepted = pay(*manager, envelope);
    state.PauseTiming();
    vanto::platform::secureWipe(envelope);
    manager.reset();
    state.ResumeTiming();
    if (!accepted) {
        state.SkipWithError("the payment failed or had no answer within 30 s");
    }
    return accepted;
}

// Stops the benchmark when the sandbox did not see the handshakes it was meant to measure: the
// comparison below means something only if every first payment made a full handshake and every
// repeat resumed its session.
void checkResumed(benchmark::State& state, std::size_t before, std::size_t expected) {
    const std::size_t resumed = gateway->resumedTlsRequests() - before;
    if (!state.error_occurred() && resumed != expected) {
        state.SkipWithError(("resumed " + std::to_string(resumed) + " TLS sessions of " +
                             std::to_string(state.iterations()) + " payments, expected " +
                             std::to_string(expected))
                                .c_str());
    }
}

// The first payment of a trust configuration: nothing is cached for the gateway yet, so its
// connection makes a full TLS handshake. Each iteration trusts the same certificate through a
// configuration of its own (the anchor's text differs by a line before the certificate, which the
// PEM reader skips), and the library keeps TLS sessions per trust configuration.
void BM_FirstPayment(benchmark::State& state) {
    static int configurations = 0;
    const std::size_t before = gateway->resumedTlsRequests();
    for (auto _ : state) {
        state.PauseTiming();
        auto configuration =
            vanto::platform::URLSessionConfiguration::defaultSessionConfiguration();
        configuration.additionalTrustAnchors = {"trust configuration " +
                                                std::to_string(++configurations) + "\n" +
                                                gateway->certificatePem()};
        state.ResumeTiming();
        if (!timedPayment(state, configuration)) {
            break;
        }
    }
    checkResumed(state, before, 0);
}
BENCHMARK(BM_FirstPayment)->UseRealTime();

// A repeat payment to the same gateway under one trust configuration, on a fresh connection as
// every payment is: it resumes the TLS session an earlier payment made. One payment before the
// timed ones makes sure there is a session to resume.
void BM_RepeatPayment(benchmark::State& state) {
    auto configuration = vanto::platform::URLSessionConfiguration::defaultSessionConfiguration();
    configuration.additionalTrustAnchors = {"repeat payments\n" + gateway->certificatePem()};
    std::string envelope = signedPayment(nextOrder());
    const bool primed =
        pay(*vanto::Manager::create(configuration, vanto::CallbackQueue::current()), envelope);
    vanto::platform::secureWipe(envelope);
    if (!primed) {
        state.SkipWithError("the payment before the timed ones failed");
        return;
    }
    const std::size_t before = gateway->resumedTlsRequests();
    for (auto _ : state) {
        if (!timedPayment(state, configuration)) {
            break;
        }
    }
    checkResumed(state, before, static_cast<std::size_t>(state.iterations()));
}
BENCHMARK(BM_RepeatPayment)->UseRealTime();

// The presenter's view: it notes that the payment ended, and whether it was accepted.
struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { accepted = ended = true; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { ended = true; }
    bool ended = false;
    bool accepted = false;
};

void BM_PresenterDirectPayment(benchmark::State& state) {
    auto configuration = vanto::platform::URLSessionConfiguration::defaultSessionConfiguration();
    configuration.additionalTrustAnchors = {gateway->certificatePem()};
    vanto::platform::URLSessionConfiguration::setDefaultSessionConfiguration(configuration);
    auto receipt = std::make_shared<Receipt>();
    auto presenter = std::make_shared<vanto::DirectPaymentPresenter<Receipt>>(receipt);
    for (auto _ : state) {
        receipt->ended = receipt->accepted = false;
        presenter->makePaymentAction("4000000000000002", "123", "3012", 19.99, nextOrder(), "",
                                     vanto::TransactionType::normal, "Libro");
        vanto::platform::MainQueue::runUntil([&] { return receipt->ended; },
                                             std::chrono::seconds(30));
        if (!receipt->accepted) {
            state.SkipWithError("the payment was not accepted");
            break;
        }
    }
    vanto::platform::URLSessionConfiguration::setDefaultSessionConfiguration(std::nullopt);
}
BENCHMARK(BM_PresenterDirectPayment)->UseRealTime();

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The trust the floor verifies the sandbox with, as the library's sessions do: the system's
// certificates and the sandbox's, in one store built once.
X509_STORE* floorTrust = nullptr;

// One POST of `body` with libcurl alone, on a fresh connection, with the TLS settings the
// library's transfers use: https only, the peer and its host name verified against the shared
// store, libcurl's default protocol versions and ciphers, no pinned key (the benchmark's
// configuration names none). True when the payment was accepted, as the library's must be.
bool barePost(const std::string& url, const std::string& body) {
    CURL* handle = curl_easy_init();
    std::string reply;
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    setLibraryTls(handle, floorTrust);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_slist* headers =
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);
    const CURLcode result = curl_easy_perform(handle);
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    const auto answer = vanto::DirectPaymentRequest(std::string_view()).result(reply);
    // The reply holds card details, as the library's does; it wipes both, and so does the floor.
    vanto::platform::secureWipe(reply);
    return result == CURLE_OK && answer.isSuccess() && answer.value() && answer.value()->code == 0;
}

// The floor: the same bytes posted by libcurl alone, one payment after another on each of the
// benchmark's threads.
void BM_BareCurlPost(benchmark::State& state) {
    const std::string url = vanto::Constants::getURLDirectPayment(vanto::EnviromentType::test);
    for (auto _ : state) {
        std::string envelope = untimedPayment(state);
        std::string body = "datoEntrada=" + envelope;
        const bool accepted = barePost(url, body);
        vanto::platform::secureWipe(envelope);
        vanto::platform::secureWipe(body);
        if (!accepted) {
            state.SkipWithError("the POST failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareCurlPost)->UseRealTime()->Threads(1)->Threads(8)->Threads(64);

// The card data masking that every request and reply trace goes through, on the library's own
// request; it runs on the calling thread before each send.
void BM_MaskRequestTrace(benchmark::State& state) {
    const std::string body = "datoEntrada=" + signedPayment();
    for (auto _ : state) {
        benchmark::DoNotOptimize(vanto::maskCardData(body));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_MaskRequestTrace);

}  // namespace

int main(int argc, char** argv) {
    if (!vanto::bench::initialize(argc, argv, {"--benchmark_min_time=1"})) {
        return 1;
    }
    // Before any thread: libcurl's global set-up is not thread-safe.
    curl_global_init(CURL_GLOBAL_DEFAULT);

    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway sandbox(options);
    if (!sandbox.start()) {
        std::cerr << "the sandbox did not start: " << sandbox.lastError() << "\n";
        return 1;
    }
    gateway = &sandbox;
    if ((floorTrust = trustStore(sandbox.certificatePem(), true)) == nullptr) {
        std::cerr << "the sandbox's certificate could not be trusted\n";
        return 1;
    }
    if (!sandbox.useAsTestEnvironment()) {
        std::cerr << "the sandbox could not be made the test environment\n";
        return 1;
    }

    // The library traces every call on standard output; the report goes to standard error so that
    // the traces can be sent elsewhere (bench_transport > /dev/null).
    // The library's payments are held to 1.25 times the floor's, one at a time and with 8 and 64 in
    // flight; the program fails above 1.875.
    using vanto::bench::Ratio;
    std::vector<Ratio> ratios = {{.measured = "BM_PresenterDirectPayment",
                                  .baseline = "BM_BareCurlPost/threads:1",
                                  .bound = 1.25}};
    for (const char* threads : {"threads:1", "threads:8", "threads:64"}) {
        ratios.push_back({.measured = std::string("BM_ManagerDirectPayment/") + threads,
                          .baseline = std::string("BM_BareCurlPost/") + threads,
                          .bound = 1.25,
                          .perItem = true});
    }
    // A repeat payment, resuming its TLS session, is held to 0.8 times the first payment of a
    // trust configuration, which makes a full handshake; the program fails above 1.2.
    ratios.push_back({.measured = "BM_RepeatPayment", .baseline = "BM_FirstPayment", .bound = 0.8});
    vanto::bench::RatioReporter reporter(true, ratios);
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    X509_STORE_free(floorTrust);
    return reporter.status();
}
