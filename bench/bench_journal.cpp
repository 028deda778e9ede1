// A whole direct payment through the direct-payment presenter to an in-process sandbox, with the
// payment journal off and on, in the same run, against two gateways:
//
// - the bare loopback sandbox, which answers in about two milliseconds: a journaled payment waits
//   for two flushes of the disk (prepared and sent, before the request leaves; answered, before
//   the outcome is handed over), and this ratio shows them whole against almost nothing else;
// - the sandbox holding its answer 250 ms (FAULT_DELAY_250 in the order number), as a gateway
//   takes hundreds of milliseconds to authorise a card payment: the case a shop meets, and the
//   ratio held to 1.05 at most; the program exits non-zero above 1.15.
//
// The journal lives in the temporary folder, a disk (VANTO_BENCH_JOURNAL_DIR names another
// folder). For diagnosis only, the loopback payment is also measured with the journal on
// /dev/shm, memory, where a flush costs nothing: what remains is the journal's own work. The
// report ends with the ratios journal on / journal off, each said in words.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "RatioReport.h"

#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/TraceSink.h"

namespace {

// The order numbers: ordinary ones, and ones whose answer the sandbox holds 250 ms. An order
// pays once, so each payment takes the next number.
constexpr const char* kLoopbackOrder = "";
constexpr const char* kGatewayOrder = "-FAULT_DELAY_250";

std::string nextOrder(const std::string& switches) {
    static int paid = 0;
    return "BENCH" + std::to_string(++paid) + switches;
}

struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { accepted = ended = true; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { ended = true; }
    bool ended = false;
    bool accepted = false;
};

std::shared_ptr<vanto::PaymentJournal> onDisk;
std::shared_ptr<vanto::PaymentJournal> inMemoryFs;

void pay(benchmark::State& state, std::shared_ptr<vanto::PaymentJournal> journal,
         const std::string& switches) {
    vanto::PaymentJournal::install(journal);
    auto receipt = std::make_shared<Receipt>();
    auto presenter = std::make_shared<vanto::DirectPaymentPresenter<Receipt>>(receipt);
    for (auto _ : state) {
        receipt->ended = receipt->accepted = false;
        presenter->makePaymentAction("4000000000000002", "123", "3012", 19.99, nextOrder(switches),
                                     "", vanto::TransactionType::normal, "Libro");
        vanto::platform::MainQueue::runUntil([&] { return receipt->ended; },
                                             std::chrono::seconds(30));
        if (!receipt->accepted) {
            state.SkipWithError("the payment was not accepted");
            break;
        }
    }
    vanto::PaymentJournal::install(nullptr);
}

// A fresh journal file in `folder`, for this run only.
std::shared_ptr<vanto::PaymentJournal> freshJournal(const std::filesystem::path& folder) {
    const auto path = folder / ("vanto-bench-journal-" + std::to_string(::getpid()) + ".sqlite");
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path.string() + suffix);
    }
    auto journal = vanto::PaymentJournal::open(path.string());
    if (const auto problem = journal->problem()) {
        std::cerr << "no journal in " << folder << ": " << problem->text << "\n";
        return nullptr;
    }
    return journal;
}

// Closes `journal` and removes its files.
void removeJournal(std::shared_ptr<vanto::PaymentJournal>& journal) {
    if (journal) {
        const std::string path = journal->path();
        journal.reset();
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(path + suffix);
        }
    }
}

// The ratios, then what each one measures.
class JournalReport : public vanto::bench::RatioReporter {
  public:
    using RatioReporter::RatioReporter;

    void Finalize() override {
        RatioReporter::Finalize();
        GetOutputStream()
            << "BM_Gateway250ms*: a gateway that takes 250 ms to authorise, as card payments take "
               "hundreds of milliseconds: the realistic case, held to a ratio of 1.05 at most (the "
               "program fails above 1.15).\n"
               "BM_Loopback*: the bare loopback sandbox, answering in about 2 ms: the ratio shows "
               "the journal's two flushes of the disk whole, against almost nothing else; no "
               "target.\n"
               "BM_LoopbackJournalInMemoryFs: the journal on /dev/shm, where a flush costs "
               "nothing: its own work, for diagnosis only; a journal belongs on a disk.\n";
    }
};

void registerPayment(const std::string& name, std::shared_ptr<vanto::PaymentJournal>* journal,
                     const char* order) {
    benchmark::RegisterBenchmark(name.c_str(), [journal, order](benchmark::State& state) {
        pay(state, journal ? *journal : nullptr, order);
    })->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    if (!vanto::bench::initialize(argc, argv, {"--benchmark_min_time=1"})) {
        return 1;
    }
    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway sandbox(options);
    if (!sandbox.start() || !sandbox.useAsTestEnvironment()) {
        std::cerr << "the sandbox did not start: " << sandbox.lastError() << "\n";
        return 1;
    }
    vanto::setTraceSink([](std::string_view) {});

    const char* chosen = std::getenv("VANTO_BENCH_JOURNAL_DIR");
    onDisk = freshJournal(chosen != nullptr ? std::filesystem::path(chosen)
                                            : std::filesystem::temp_directory_path());
    inMemoryFs = std::filesystem::is_directory("/dev/shm") ? freshJournal("/dev/shm") : nullptr;
    if (!onDisk) {
        return 1;
    }

    registerPayment("BM_LoopbackJournalOff", nullptr, kLoopbackOrder);
    registerPayment("BM_LoopbackJournalOnDisk", &onDisk, kLoopbackOrder);
    registerPayment("BM_Gateway250msJournalOff", nullptr, kGatewayOrder);
    registerPayment("BM_Gateway250msJournalOnDisk", &onDisk, kGatewayOrder);
    // The 250 ms gateway's ratio is held to 1.05; the program fails above 1.15, where the journal
    // costs three times the 5 % it may (a ratio this close to 1 would hide a journal twice as
    // slow inside a margin of its own size). The loopback ratios have no bound.
    std::vector<vanto::bench::Ratio> pairs = {
        {.measured = "BM_Gateway250msJournalOnDisk",
         .baseline = "BM_Gateway250msJournalOff",
         .bound = 1.05,
         .failAbove = 1.15},
        {.measured = "BM_LoopbackJournalOnDisk", .baseline = "BM_LoopbackJournalOff"}};
    if (inMemoryFs) {
        registerPayment("BM_LoopbackJournalInMemoryFs", &inMemoryFs, kLoopbackOrder);
        pairs.push_back(
            {.measured = "BM_LoopbackJournalInMemoryFs", .baseline = "BM_LoopbackJournalOff"});
    }

    JournalReport reporter(false, pairs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    vanto::setTraceSink(nullptr);
    removeJournal(onDisk);
    removeJournal(inMemoryFs);
    return reporter.status();
}
