// A whole direct payment through the direct-payment presenter to an in-process sandbox, with the
// payment journal off and on, in the same run. Each step the journal records is committed and
// waited for on the disk before the payment goes on, so its cost is that of the disk's flushes:
// measured with the journal in the temporary folder (a disk; VANTO_BENCH_JOURNAL_DIR names
// another folder) and in /dev/shm (memory, where a flush costs nothing: what remains is the
// journal's own work). The loopback sandbox answers in about a millisecond, a gateway on a
// network in tens to hundreds: the same pair is measured with answers held back 100 ms. The
// report ends with the ratios journal on / journal off.
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

struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { accepted = ended = true; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { ended = true; }
    bool ended = false;
    bool accepted = false;
};

std::shared_ptr<vanto::PaymentJournal> onDisk;
std::shared_ptr<vanto::PaymentJournal> inMemoryFs;

void pay(benchmark::State& state, std::shared_ptr<vanto::PaymentJournal> journal,
         const std::string& order) {
    vanto::PaymentJournal::install(journal);
    auto receipt = std::make_shared<Receipt>();
    auto presenter = std::make_shared<vanto::DirectPaymentPresenter<Receipt>>(receipt);
    for (auto _ : state) {
        receipt->ended = receipt->accepted = false;
        presenter->makePaymentAction("4000000000000002", "123", "3012", 19.99, order, "",
                                     vanto::TransactionType::normal, "Libro");
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

    const std::string slow = "BENCH0002-FAULT_DELAY_100";
    benchmark::RegisterBenchmark("BM_JournalOff", [](benchmark::State& state) {
        pay(state, nullptr, "BENCH0001");
    })->UseRealTime();
    benchmark::RegisterBenchmark("BM_JournalOnDisk", [](benchmark::State& state) {
        pay(state, onDisk, "BENCH0001");
    })->UseRealTime();
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"BM_JournalOnDisk", "BM_JournalOff"}};
    if (inMemoryFs) {
        benchmark::RegisterBenchmark("BM_JournalInMemoryFs", [](benchmark::State& state) {
            pay(state, inMemoryFs, "BENCH0001");
        })->UseRealTime();
        pairs.emplace_back("BM_JournalInMemoryFs", "BM_JournalOff");
    }
    benchmark::RegisterBenchmark("BM_SlowGatewayJournalOff", [slow](benchmark::State& state) {
        pay(state, nullptr, slow);
    })->UseRealTime();
    benchmark::RegisterBenchmark("BM_SlowGatewayJournalOnDisk", [slow](benchmark::State& state) {
        pay(state, onDisk, slow);
    })->UseRealTime();
    pairs.emplace_back("BM_SlowGatewayJournalOnDisk", "BM_SlowGatewayJournalOff");

    vanto::bench::RatioReporter reporter(false, pairs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    vanto::setTraceSink(nullptr);
    removeJournal(onDisk);
    removeJournal(inMemoryFs);
    return 0;
}
