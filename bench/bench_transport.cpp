// A direct payment through the direct-payment presenter, and the same request sent through
// Manager, to the sandbox, against a bare libcurl POST of the same bytes to the same sandbox,
// each on a fresh connection (the library makes one per call), and the masking of the request's
// trace. The report ends with the ratios library / bare POST from this run, held to 1.25 (the
// program exits non-zero above 1.875), and the process's peak memory.
#include <curl/curl.h>

#include <condition_variable>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "RatioReport.h"

#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/Manager.h"
#include "vanto/transport/Trace.h"

namespace {

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
    static int paid = 0;
    return "BENCH" + std::to_string(++paid);
}

// The next payment's request, made outside the timed part of the iteration.
std::string untimedPayment(benchmark::State& state) {
    state.PauseTiming();
    std::string payment = signedPayment(nextOrder());
    state.ResumeTiming();
    return payment;
}

void BM_ManagerDirectPayment(benchmark::State& state) {
    auto configuration = vanto::platform::URLSessionConfiguration::defaultSessionConfiguration();
    configuration.additionalTrustAnchors = {gateway->certificatePem()};
    for (auto _ : state) {
        const std::string envelope = untimedPayment(state);
        std::mutex mutex;
        std::condition_variable done;
        bool delivered = false;
        bool ok = false;
        vanto::Manager::create(configuration, vanto::CallbackQueue::current())
            ->send(
                std::make_shared<vanto::DirectPaymentRequest>(envelope), std::nullopt,
                [&](std::optional<vanto::DirectPaymentResponse> answer) {
                    const std::lock_guard lock(mutex);
                    ok = answer && answer->code == 0;
                    delivered = true;
                    done.notify_one();
                },
                [&](vanto::SDKError) {
                    const std::lock_guard lock(mutex);
                    delivered = true;
                    done.notify_one();
                });
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return delivered; });
        if (!ok) {
            state.SkipWithError("the payment failed");
            break;
        }
    }
}
BENCHMARK(BM_ManagerDirectPayment)->UseRealTime();

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

void BM_BareCurlPost(benchmark::State& state) {
    const std::string url = vanto::Constants::getURLDirectPayment(vanto::EnviromentType::test);
    const std::string pem = gateway->certificatePem();
    for (auto _ : state) {
        const std::string body = "datoEntrada=" + untimedPayment(state);
        CURL* handle = curl_easy_init();
        std::string reply;
        curl_blob anchors{const_cast<char*>(pem.data()), pem.size(), CURL_BLOB_COPY};
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &anchors);
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
        if (result != CURLE_OK || reply.empty()) {
            state.SkipWithError("the POST failed");
            break;
        }
    }
}
BENCHMARK(BM_BareCurlPost)->UseRealTime();

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

    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway sandbox(options);
    if (!sandbox.start()) {
        std::cerr << "the sandbox did not start: " << sandbox.lastError() << "\n";
        return 1;
    }
    gateway = &sandbox;
    if (!sandbox.useAsTestEnvironment()) {
        std::cerr << "the sandbox could not be made the test environment\n";
        return 1;
    }

    // The library traces every call on standard output; the report goes to standard error so that
    // the traces can be sent elsewhere (bench_transport > /dev/null).
    // The library's payments are held to 1.25 times the bare POST; the program fails above 1.875.
    vanto::bench::RatioReporter reporter(
        true,
        {{.measured = "BM_PresenterDirectPayment", .baseline = "BM_BareCurlPost", .bound = 1.25},
         {.measured = "BM_ManagerDirectPayment", .baseline = "BM_BareCurlPost", .bound = 1.25}});
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.status();
}
