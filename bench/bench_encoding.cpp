// Encoding and signing the two requests, and decoding a direct-payment answer.
//
// Each encoder is measured beside SHA-256 of its own message text, the unavoidable part of
// signing, and the report ends with the ratio encode / hash from this same run, held to 2: the
// program exits non-zero when either passes 3.
#include <map>
#include <set>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "RatioReport.h"

#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/encoding/Encode.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/Sha256.h"

namespace {

void configure() {
    auto& configuration = vanto::VantoConfiguration::shared();
    configuration.setAppFuc("999008881");
    configuration.setAppTerminal("1");
    configuration.setAppLicense("sandbox-signing-credential");
    configuration.setAppMerchantURL("https://shop.example/notify");
    vanto::IAClientServiceSSM::setAppBundle("com.shop.kiosk");
}

vanto::platform::SecretText encodeDirect() {
    return vanto::Encode::encodeStringDirectPayment("4000000000000002", "123", "3012", "1999",
                                                    "BENCH0001", "", "true", "0",
                                                    "Libro de ejemplo 1/2");
}

std::string encodeWeb() {
    return vanto::Encode::encodeStringWebViewPayment("BENCH0002", "REQUIRED", 19.99, "false", "0",
                                                     "Libro de ejemplo 1/2");
}

// The message text inside an envelope: the text the signature is computed over.
std::string messageOf(const std::string& envelope) {
    const std::string start = "{\"mensaje\":\"";
    const std::string end = "\",\"firma\":\"";
    std::string escaped = envelope.substr(start.size(), envelope.rfind(end) - start.size());
    std::string text;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size()) {
            ++i;
        }
        text.push_back(escaped[i]);
    }
    return text;
}

void BM_EncodeDirectPayment(benchmark::State& state) {
    configure();
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeDirect());
    }
}
BENCHMARK(BM_EncodeDirectPayment);

void BM_Sha256DirectMessage(benchmark::State& state) {
    configure();
    const std::string message = messageOf(std::string(encodeDirect().view()));
    state.counters["bytes"] = static_cast<double>(message.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(vanto::sha256(message));
    }
}
BENCHMARK(BM_Sha256DirectMessage);

void BM_EncodeWebViewPayment(benchmark::State& state) {
    configure();
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeWeb());
    }
}
BENCHMARK(BM_EncodeWebViewPayment);

void BM_Sha256WebMessage(benchmark::State& state) {
    configure();
    const std::string message = messageOf(encodeWeb());
    state.counters["bytes"] = static_cast<double>(message.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(vanto::sha256(message));
    }
}
BENCHMARK(BM_Sha256WebMessage);

void BM_DecodeDirectPaymentAnswer(benchmark::State& state) {
    const std::string answer =
        R"({"code":0,"desc":"OK","datosRespuesta":{"Ds_Card_Country":"724","Ds_Amount":"1999",)"
        R"("Ds_MerchantData":"","Ds_Currency":"978","Ds_Order":"BENCH0001","Ds_MerchantCode":"999008881",)"
        R"("Ds_Card_Type":"C","Ds_Card_Brand":"1","Ds_AuthorisationCode":"123456","Ds_Language":"1",)"
        R"("Ds_SecurePayment":"0","Ds_Response":"0000","Ds_TransactionType":"0","Ds_Terminal":"1",)"
        R"("Ds_ExpiryDate":"3012","Ds_Merchant_Identifier":"","Ds_CardNumber":"400000******0002"}})";
    for (auto _ : state) {
        benchmark::DoNotOptimize(vanto::DirectPaymentResponse::fromJSON(answer));
    }
}
BENCHMARK(BM_DecodeDirectPaymentAnswer);

}  // namespace

int main(int argc, char** argv) {
    if (!vanto::bench::initialize(argc, argv, {"--benchmark_min_warmup_time=0.05"}, 7)) {
        return 1;
    }
    // Encoding and signing a request is held to three times hashing its message.
    vanto::bench::RatioReporter reporter(
        false,
        {{.measured = "BM_EncodeDirectPayment", .baseline = "BM_Sha256DirectMessage", .bound = 2},
         {.measured = "BM_EncodeWebViewPayment", .baseline = "BM_Sha256WebMessage", .bound = 2}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.status();
}
