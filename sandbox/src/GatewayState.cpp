#include "GatewayState.h"

#include "Crypto.h"
#include "vanto/sandbox/Switches.h"

namespace vanto::sandbox::detail {

namespace {

std::size_t sizeOf(const RecordedRequest& request) {
    std::size_t size = request.method.size() + request.path.size() + request.body.size();
    for (const auto& [name, value] : request.headers) {
        size += name.size() + value.size();
    }
    return size;
}

}  // namespace

GatewayState::GatewayState(RecordingLimits limits, StateLimits kept)
    : limits_(limits),
      kept_(kept),
      sessionCookies_(kept.entries, kept.sessionAge),
      pageCookies_(kept.entries, kept.sessionAge),
      storedCards_(kept.entries, kept.keptAge),
      openPages_(kept.entries, kept.sessionAge),
      decidedOrders_(kept.entries, kept.keptAge) {
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
    sessionCookies_.add(value, {}, kept_.now());
    return value;
}

bool GatewayState::issuedSessionCookie(const std::string& value) const {
    std::lock_guard lock(mutex_);
    return sessionCookies_.find(value, kept_.now()) != nullptr;
}

std::string GatewayState::issuePageCookie() {
    std::string value = randomHex(16);
    std::lock_guard lock(mutex_);
    pageCookies_.add(value, {}, kept_.now());
    return value;
}

bool GatewayState::issuedPageCookie(const std::string& value) const {
    std::lock_guard lock(mutex_);
    return pageCookies_.find(value, kept_.now()) != nullptr;
}

std::string GatewayState::storeCard(StoredCard card) {
    std::string reference = randomHex(20);
    std::lock_guard lock(mutex_);
    storedCards_.add(reference, std::move(card), kept_.now());
    return reference;
}

std::optional<StoredCard> GatewayState::storedCard(const std::string& merchantCode,
                                                   const std::string& reference) const {
    std::lock_guard lock(mutex_);
    const StoredCard* found = storedCards_.find(reference, kept_.now());
    if (found == nullptr || found->merchantCode != merchantCode) {
        return std::nullopt;
    }
    return *found;
}

std::string GatewayState::openPage(PageOrder order) {
    std::string id = randomHex(16);
    std::lock_guard lock(mutex_);
    openPages_.add(id, std::move(order), kept_.now());
    return id;
}

std::optional<PageOrder> GatewayState::openedPage(const std::string& id) const {
    std::lock_guard lock(mutex_);
    const PageOrder* found = openPages_.find(id, kept_.now());
    return found == nullptr ? std::nullopt : std::optional<PageOrder>(*found);
}

void GatewayState::awaitAuthentication(const std::string& id,
                                       PendingAuthentication authentication) {
    std::lock_guard lock(mutex_);
    if (PageOrder* found = openPages_.find(id, kept_.now())) {
        found->authentication = std::move(authentication);
    }
}

void GatewayState::settlePage(const std::string& id, std::string location) {
    std::lock_guard lock(mutex_);
    if (PageOrder* found = openPages_.find(id, kept_.now())) {
        found->decidedLocation = std::move(location);
    }
}

std::unique_lock<std::mutex> GatewayState::lockPageDecisions() {
    return std::unique_lock(pageDecisions_);
}

void GatewayState::noteDecidedOrder(const Merchant& merchant, const std::string& orderNumber,
                                    DecidedOrder decided) {
    std::lock_guard lock(mutex_);
    decidedOrders_.add({merchant.merchantCode, merchant.terminal, orderNumber}, std::move(decided),
                       kept_.now());
}

std::optional<DecidedOrder> GatewayState::decidedOrder(const Merchant& merchant,
                                                       const std::string& orderNumber) const {
    std::lock_guard lock(mutex_);
    const DecidedOrder* found =
        decidedOrders_.find({merchant.merchantCode, merchant.terminal, orderNumber}, kept_.now());
    return found == nullptr ? std::nullopt : std::optional<DecidedOrder>(*found);
}

void GatewayState::notePayment(DecidedPayment payment) {
    std::lock_guard lock(mutex_);
    payments_.push_back(std::move(payment));
    if (payments_.size() > limits_.requests) {
        payments_.pop_front();
    }
}

std::vector<DecidedPayment> GatewayState::payments() const {
    std::lock_guard lock(mutex_);
    return {payments_.begin(), payments_.end()};
}

void GatewayState::record(RecordedRequest request) {
    auto kept = std::make_shared<const RecordedRequest>(std::move(request));
    {
        std::lock_guard lock(mutex_);
        recordedBytes_ += sizeOf(*kept);
        recorded_.push_back(std::move(kept));
        while (!recorded_.empty() &&
               (recorded_.size() > limits_.requests || recordedBytes_ > limits_.bytes)) {
            recordedBytes_ -= sizeOf(*recorded_.front());
            recorded_.pop_front();
            ++droppedRecorded_;
        }
    }
    recordedChanged_.notify_all();
}

bool GatewayState::waitForRecorded(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return recordedChanged_.wait_for(lock, timeout,
                                     [&] { return recorded_.size() + droppedRecorded_ >= count; });
}

std::vector<RecordedRequest> GatewayState::recorded() const {
    std::lock_guard lock(mutex_);
    std::vector<RecordedRequest> copies;
    copies.reserve(recorded_.size());
    for (const auto& request : recorded_) {
        copies.push_back(*request);
    }
    return copies;
}

std::vector<std::shared_ptr<const RecordedRequest>> GatewayState::recordedShared() const {
    std::lock_guard lock(mutex_);
    return {recorded_.begin(), recorded_.end()};
}

std::size_t GatewayState::droppedRecorded() const {
    std::lock_guard lock(mutex_);
    return droppedRecorded_;
}

void GatewayState::clearRecorded() {
    std::lock_guard lock(mutex_);
    recorded_.clear();
    recordedBytes_ = 0;
    droppedRecorded_ = 0;
}

}  // namespace vanto::sandbox::detail
