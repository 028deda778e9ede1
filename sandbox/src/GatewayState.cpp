#include "GatewayState.h"

#include "Crypto.h"
#include "vanto/sandbox/Switches.h"

namespace vanto::sandbox::detail {

namespace {

// A payment page left open longer than this is forgotten.
constexpr std::chrono::minutes kPageLifetime{30};

}  // namespace

GatewayState::GatewayState() {
    addMerchant(SandboxGateway::defaultMerchant());
}

void GatewayState::addMerchant(Merchant merchant) {
    std::lock_guard lock(mutex_);
    auto key = std::make_pair(merchant.merchantCode, merchant.terminal);
    merchants_.insert_or_assign(std::move(key), std::move(merchant));
}

std::optional<Merchant> GatewayState::merchant(const std::string& code,
                                               const std::string& terminal) const {
    std::lock_guard lock(mutex_);
    const auto found = merchants_.find({code, terminal});
    return found == merchants_.end() ? std::nullopt : std::optional<Merchant>(found->second);
}

void GatewayState::setFault(const std::string& orderNumber, std::optional<Fault> fault) {
    std::lock_guard lock(mutex_);
    if (fault) {
        faults_.insert_or_assign(orderNumber, *fault);
    } else {
        faults_.erase(orderNumber);
    }
}

void GatewayState::setFaultForAll(std::optional<Fault> fault) {
    std::lock_guard lock(mutex_);
    faultForAll_ = fault;
}

std::optional<Fault> GatewayState::faultForAll() const {
    std::lock_guard lock(mutex_);
    return faultForAll_;
}

std::optional<Fault> GatewayState::faultForOrder(const std::string& orderNumber) const {
    {
        std::lock_guard lock(mutex_);
        const auto found = faults_.find(orderNumber);
        if (found != faults_.end()) {
            return found->second;
        }
    }
    return readOrderSwitches(orderNumber).fault;
}

std::string GatewayState::issueSessionCookie() {
    std::string value = randomHex(16);
    std::lock_guard lock(mutex_);
    sessionCookies_.insert(value);
    return value;
}

bool GatewayState::issuedSessionCookie(const std::string& value) const {
    std::lock_guard lock(mutex_);
    return sessionCookies_.contains(value);
}

std::string GatewayState::issuePageCookie() {
    std::string value = randomHex(16);
    std::lock_guard lock(mutex_);
    pageCookies_.insert(value);
    return value;
}

bool GatewayState::issuedPageCookie(const std::string& value) const {
    std::lock_guard lock(mutex_);
    return pageCookies_.contains(value);
}

std::string GatewayState::storeCard(StoredCard card) {
    std::string reference = randomHex(20);
    std::lock_guard lock(mutex_);
    storedCards_.emplace(reference, std::move(card));
    return reference;
}

std::optional<StoredCard> GatewayState::storedCard(const std::string& merchantCode,
                                                   const std::string& reference) const {
    std::lock_guard lock(mutex_);
    const auto found = storedCards_.find(reference);
    if (found == storedCards_.end() || found->second.merchantCode != merchantCode) {
        return std::nullopt;
    }
    return found->second;
}

std::string GatewayState::openPage(PageOrder order) {
    std::string id = randomHex(16);
    std::lock_guard lock(mutex_);
    std::erase_if(openPages_, [now = order.opened](const auto& entry) {
        return now - entry.second.opened > kPageLifetime;
    });
    openPages_.emplace(id, std::move(order));
    return id;
}

std::optional<PageOrder> GatewayState::openedPage(const std::string& id) const {
    std::lock_guard lock(mutex_);
    const auto found = openPages_.find(id);
    if (found == openPages_.end() ||
        std::chrono::steady_clock::now() - found->second.opened > kPageLifetime) {
        return std::nullopt;
    }
    return found->second;
}

void GatewayState::awaitAuthentication(const std::string& id,
                                       PendingAuthentication authentication) {
    std::lock_guard lock(mutex_);
    const auto found = openPages_.find(id);
    if (found != openPages_.end()) {
        found->second.authentication = std::move(authentication);
    }
}

bool GatewayState::closePage(const std::string& id) {
    std::lock_guard lock(mutex_);
    return openPages_.erase(id) > 0;
}

void GatewayState::record(RecordedRequest request) {
    {
        std::lock_guard lock(mutex_);
        recorded_.push_back(std::move(request));
    }
    recordedChanged_.notify_all();
}

bool GatewayState::waitForRecorded(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return recordedChanged_.wait_for(lock, timeout, [&] { return recorded_.size() >= count; });
}

std::vector<RecordedRequest> GatewayState::recorded() const {
    std::lock_guard lock(mutex_);
    return recorded_;
}

void GatewayState::clearRecorded() {
    std::lock_guard lock(mutex_);
    recorded_.clear();
}

void GatewayState::sleepUnlessStopping(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    stoppingChanged_.wait_for(lock, delay, [this] { return stopping_; });
}

void GatewayState::setStopping(bool stopping) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = stopping;
    }
    stoppingChanged_.notify_all();
}

}  // namespace vanto::sandbox::detail
