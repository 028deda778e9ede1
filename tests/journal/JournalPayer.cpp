// A merchant program that records its payments in a journal, for the tests that end it in every
// way a program ends, paying through a gateway in another process (`vanto sandbox`).
//
// Usage: vanto_journal_payer MODE JOURNAL GATEWAY(host:port) CERTIFICATE(PEM file) ORDER(prefix)
//   MODE  eight: eight payments at once, answered over 0.3 s, until every outcome is in;
//         hold: one payment the gateway holds for two minutes;
//         return: one payment, then return from main() once its answer is in the journal and
//         before the main queue could deliver it
// Writes "ready" once the journal is open, then "done". Exit status 0, or 1 with a line on
// standard error.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/sandbox/TestCards.h"
#include "vanto/transport/TraceSink.h"

namespace {

using namespace std::chrono_literals;

struct Counter : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { ++told; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { ++told; }
    int told = 0;
};

using Presenter = vanto::DirectPaymentPresenter<Counter>;

int fail(const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
}

void pay(Presenter& presenter, std::string_view card, const std::string& order) {
    presenter.makePaymentAction(card, "7391", "3012", 19.99, order, "",
                                vanto::TransactionType::normal, "Libro");
}

// Eight payments on three cards, the gateway holding each answer a little longer than the last.
int eight(const std::string& prefix) {
    const std::string_view cards[] = {vanto::sandbox::kAcceptedCard, vanto::sandbox::kDeclinedCard,
                                      vanto::sandbox::kGatewayErrorCard};
    auto view = std::make_shared<Counter>();
    auto presenter = std::make_shared<Presenter>(view);
    for (int payment = 0; payment < 8; ++payment) {
        pay(*presenter, cards[payment % 3],
            prefix + "-" + std::to_string(payment) + "-FAULT_DELAY_" +
                std::to_string(40 * payment));
    }
    if (!vanto::platform::MainQueue::runUntil([&] { return view->told == 8; }, 60s)) {
        return fail("only " + std::to_string(view->told) + " outcomes within a minute");
    }
    return 0;
}

// One payment whose answer reaches the journal; main() returns before it is delivered.
int returnOnceAnswered(const std::string& order, vanto::PaymentJournal& journal) {
    auto view = std::make_shared<Counter>();
    auto presenter = std::make_shared<Presenter>(view);
    pay(*presenter, vanto::sandbox::kAcceptedCard, order);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto entry = journal.payment(order);
        if (entry.ok() && entry.value() && entry.value()->outcome) {
            return view->told == 0 ? 0 : fail("delivered before main() returned");
        }
        std::this_thread::sleep_for(5ms);  // the journal is looked at every few milliseconds
    }
    return fail("no answer in the journal within 30 s");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        return fail(
            "usage: vanto_journal_payer eight|hold|return JOURNAL GATEWAY CERTIFICATE ORDER");
    }
    const std::string mode = argv[1];
    if (!vanto::sandbox::useAsTestEnvironment(argv[3], vanto::testing::fileBytes(argv[4]))) {
        return fail("the gateway's address or certificate was not taken");
    }
    vanto::setTraceSink([](std::string_view) {});
    auto journal = vanto::PaymentJournal::open(argv[2]);
    if (const auto problem = journal->problem()) {
        return fail(problem->text);
    }
    vanto::PaymentJournal::install(journal);
    std::printf("ready\n");
    std::fflush(stdout);

    int status = 1;
    if (mode == "eight") {
        status = eight(argv[5]);
    } else if (mode == "return") {
        status = returnOnceAnswered(argv[5], *journal);
    } else if (mode == "hold") {
        auto view = std::make_shared<Counter>();
        auto presenter = std::make_shared<Presenter>(view);
        pay(*presenter, vanto::sandbox::kAcceptedCard,
            std::string(argv[5]) + "-FAULT_DELAY_120000");
        vanto::platform::MainQueue::runUntil([&] { return view->told > 0; }, 150s);
        status = 0;
    }
    std::printf("done\n");
    std::fflush(stdout);
    return status;
}
