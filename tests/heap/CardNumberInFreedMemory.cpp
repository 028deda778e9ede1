// After a direct payment, no buffer that the library freed may still hold the card number in
// clear: every copy on the card data's road (the encoder's message and envelope, the request
// body and the form body around it, the trace's masking) is secret text that wipes itself.
//
// The program replaces the global operator new and delete: every block is kept on a list while
// it lives, and every block freed is searched for the card number first. Memory that libcurl
// takes with malloc() is watched by the Qt card screen's heap test, which replaces malloc.
// The sandbox runs in a child process, since it keeps what it receives.
#include <malloc.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "SandboxProcess.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/transport/Manager.h"

namespace {

constexpr char kCardNumber[] = "4000000000000002";

// Each block starts with this header, linking it into the list of live blocks.
struct alignas(std::max_align_t) Header {
    Header* previous;
    Header* next;
    std::size_t size;
};

Header live{&live, &live, 0};
std::mutex blocks;
std::atomic<bool> searching{false};
std::atomic<int> freedWithCardNumber{0};

bool holdsCardNumber(const void* data, std::size_t size) {
    return memmem(data, size, kCardNumber, sizeof kCardNumber - 1) != nullptr;
}

void* allocate(std::size_t size) {
    auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + (size == 0 ? 1 : size)));
    if (header == nullptr) {
        throw std::bad_alloc();
    }
    header->size = size;
    const std::lock_guard lock(blocks);
    header->previous = &live;
    header->next = live.next;
    live.next->previous = header;
    live.next = header;
    return header + 1;
}

void release(void* data) noexcept {
    if (data == nullptr) {
        return;
    }
    Header* header = static_cast<Header*>(data) - 1;
    {
        const std::lock_guard lock(blocks);
        header->previous->next = header->next;
        header->next->previous = header->previous;
    }
    if (searching && holdsCardNumber(data, header->size)) {
        ++freedWithCardNumber;
    }
    std::free(header);
}

// Whether any block still alive holds the card number.
bool liveBlockHoldsCardNumber() {
    const std::lock_guard lock(blocks);
    for (const Header* header = live.next; header != &live; header = header->next) {
        if (holdsCardNumber(header + 1, header->size)) {
            return true;
        }
    }
    return false;
}

struct Receipt : vanto::DirectPaymentViewProtocol {
    void notifyUserOK(const vanto::DirectPaymentResponseOK&) override { accepted = done = true; }
    void notifyUserKO(const vanto::DirectPaymentResponseKO&) override { done = true; }
    bool done = false;
    bool accepted = false;
};

}  // namespace

// The array, sized and nothrow forms of libstdc++ end in these two.
void* operator new(std::size_t size) {
    return allocate(size);
}
void operator delete(void* data) noexcept {
    release(data);
}
void operator delete(void* data, std::size_t) noexcept {
    release(data);
}

int main() {
    using namespace std::chrono_literals;
    if (!vanto::testing::payThroughSandboxProcess()) {
        return 1;
    }

    searching = true;
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
    while (liveBlockHoldsCardNumber()) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "a buffer still holds the card number after the payment\n");
            return 1;
        }
        std::this_thread::sleep_for(1ms);
    }
    searching = false;
    if (freedWithCardNumber > 0) {
        std::fprintf(stderr, "%d freed buffers still held the card number\n",
                     freedWithCardNumber.load());
        return 1;
    }
    std::puts("no freed buffer held the card number");
    return 0;
}
