// After a direct payment, no memory of the process may still hold the card number in clear: no
// block freed along the way (every copy on the card data's road, the encoder's message and
// envelope, the request body and the form body around it, libcurl's and the trace's, is secret
// text that wipes itself), and, once the payment is over, no block still alive either.
// The sandbox runs in a child process, since it keeps what it receives.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "FreedBlockSearch.h"
#include "SandboxProcess.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/transport/Manager.h"

namespace {

using namespace vanto::testing::heap;

// Whether the heap and the process's other private writable memory (the threads' arenas and
// stacks) hold the card number, the main thread's stack, where this reads, aside. Read through
// /proc/self/mem: memory another thread unmaps meanwhile reads as an error, not a crash.
bool memoryHoldsCardNumber() {
    std::ifstream maps("/proc/self/maps");
    const int memory = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    char chunk[64 * 1024];
    constexpr std::size_t kOverlap = 64;  // longer than any spelling searched
    bool found = false;
    for (std::string line; !found && std::getline(maps, line);) {
        unsigned long from = 0, to = 0;
        char permissions[5] = {};
        int nameAt = 0;
        std::sscanf(line.c_str(), "%lx-%lx %4s %*s %*s %*s %n", &from, &to, permissions, &nameAt);
        const std::string name = line.substr(static_cast<std::size_t>(nameAt));
        if (!std::string_view(permissions).starts_with("rw") ||
            !(name.empty() || name == "[heap]")) {
            continue;
        }
        for (unsigned long at = from; !found && at < to; at += sizeof chunk - kOverlap) {
            const ssize_t read =
                ::pread(memory, chunk, std::min<unsigned long>(sizeof chunk, to - at),
                        static_cast<off_t>(at));
            found = read > 0 && holdsCardNumber(chunk, static_cast<std::size_t>(read));
        }
    }
    ::close(memory);
    return found;
}

struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { accepted = done = true; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { done = true; }
    bool done = false;
    bool accepted = false;
};

}  // namespace

int main() {
    using namespace std::chrono_literals;
    if (!vanto::testing::payThroughSandboxProcess()) {
        return 1;
    }
    startSearching();
    {
        auto receipt = std::make_shared<Receipt>();
        auto presenter = std::make_shared<vanto::DirectPaymentPresenter<Receipt>>(receipt);
        presenter->makePaymentAction(kCardNumber, "123", "3012", 19.99, "HEAP0001", "",
                                     vanto::TransactionType::normal, "Libro");
        if (!vanto::Manager::waitForCallsInFlight(60s) || !receipt->accepted) {
            std::fprintf(stderr, "the payment did not go through\n");
            return 1;
        }
    }
    // The delegate thread lets go of the transfer's last pieces just after the delivery.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (memoryHoldsCardNumber()) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "memory still holds the card number after the payment\n");
            return 1;
        }
        std::this_thread::sleep_for(1ms);
    }
    return noneFound() ? 0 : 1;
}
