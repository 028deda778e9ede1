// A merchant program that ends while payments are in flight: it starts eight payments whose
// answers come back at different moments, waits for some of them, and then returns from main()
// or calls exit(). Run many times under the sanitizers, it must end cleanly every time: no
// library thread may touch an object destroyed by the end of the process, and an outcome is
// either delivered whole or not at all.
//
// Usage: vanto_exit_check return|exit <outcomes to wait for, 0-8>
// The sandbox gateway runs in a child process, so that only the library is in this one.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "SandboxProcess.h"
#include "platform/DispatchQueue.h"
#include "platform/OperationQueue.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/transport/Manager.h"

namespace {

using namespace std::chrono_literals;

constexpr int kPayments = 8;

// Objects of the program itself that the outcomes touch; they are destroyed when the process
// ends, which is why no outcome may be delivered after that has begun.
std::mutex outcomesMutex;
std::vector<std::string> outcomes;
std::atomic<int> delivered{0};

void record(std::string outcome) {
    const std::lock_guard lock(outcomesMutex);
    outcomes.push_back(std::move(outcome));
    ++delivered;
}

vanto::CallbackQueue queueFor(int payment) {
    using vanto::CallbackQueue;
    const int kind = payment % 4;
    return kind == 0   ? CallbackQueue::main()
           : kind == 1 ? CallbackQueue::current()
           : kind == 2 ? CallbackQueue::dispatchQueue(
                             std::make_shared<vanto::platform::DispatchQueue>("outcomes"))
                       : CallbackQueue::operationQueue(
                             std::make_shared<vanto::platform::OperationQueue>(1));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s return|exit <outcomes to wait for>\n", argv[0]);
        return 2;
    }
    const std::string how = argv[1];
    const int waitFor = std::atoi(argv[2]);

    if (!vanto::testing::payThroughSandboxProcess()) {
        return 1;
    }
    const auto session = vanto::platform::URLSessionConfiguration::defaultSessionConfiguration();

    for (int i = 0; i < kPayments; ++i) {
        // Each answer is held back a little longer than the one before.
        const std::string order = "FAULT_DELAY_" + std::to_string(40 * i) + "_" + std::to_string(i);
        auto request =
            std::make_shared<vanto::DirectPaymentRequest>(vanto::Encode::encodeStringDirectPayment(
                "4000000000000002", "123", "3012", "1999", order, "", "true", "0", "Libro"));
        vanto::Manager::create(session, queueFor(i))
            ->send(
                request, std::nullopt,
                [i](std::optional<vanto::DirectPaymentResponse> answer) {
                    record(std::to_string(i) + (answer ? " answered" : " empty"));
                },
                [i](vanto::SDKError error) {
                    record(std::to_string(i) + " failed " + std::to_string(error.code()));
                });
    }
    if (!vanto::platform::MainQueue::runUntil([&] { return delivered.load() >= waitFor; }, 30s)) {
        std::fprintf(stderr, "only %d outcomes arrived\n", delivered.load());
        return 1;
    }
    if (how == "exit") {
        std::exit(0);
    }
    return 0;
}
