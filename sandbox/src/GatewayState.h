#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "Cards.h"
#include "ExpiringTable.h"
#include "vanto/sandbox/SandboxGateway.h"

namespace vanto::sandbox::detail {

/// A card kept under a reference, for payments without card data.
struct StoredCard {
    std::string merchantCode;
    std::string maskedNumber;
    std::string expiryDate;  // YYMM
    CardProfile profile;
};

/// A payment decided on the card form and waiting for the cardholder's authentication.
struct PendingAuthentication {
    PaymentOutcome outcome;
    /// The random token that the authentication page posts back.
    std::string token;
};

/// An order shown on the payment page and waiting for the cardholder's card.
struct PageOrder {
    Merchant merchant;
    /// The decoded Ds_MerchantParameters, keys in the order they came.
    nlohmann::ordered_json parameters;
    /// The page cookie under which the card form was served; the form's posts must carry it.
    std::string cookie;
    std::optional<PendingAuthentication> authentication;
    /// Where the page sent the cardholder once the payment was decided; a later post of the
    /// same page (a second click) is sent there too.
    std::optional<std::string> decidedLocation;
};

/// An order number a merchant's terminal has decided (accepted or declined), in either flow.
struct DecidedOrder {
    /// The payment page that decided it and the parameters it was opened with; an empty id for
    /// a direct payment.
    std::string pageId;
    nlohmann::ordered_json parameters;
};

/// How much of the recording stays in memory: the newest requests, within both limits.
struct RecordingLimits {
    std::size_t requests;
    std::size_t bytes;
};

/// How many entries of each kind the state keeps (session and page cookies, card references,
/// open pages, decided orders), and for how long: the oldest go first.
struct StateLimits {
    std::size_t entries = 10000;
    /// Cookies and open payment pages.
    std::chrono::steady_clock::duration sessionAge = std::chrono::minutes(30);
    /// Card references and decided orders.
    std::chrono::steady_clock::duration keptAge = std::chrono::hours(24);
    /// The clock the ages are read on.
    std::chrono::steady_clock::time_point (*now)() = std::chrono::steady_clock::now;
};

/// Everything the handlers share: merchants, faults, issued cookies, card references, open
/// payment pages, decided payments and the recording. Every member function takes the one lock.
class GatewayState {
  public:
    explicit GatewayState(RecordingLimits limits, StateLimits kept = {});

    void addMerchant(Merchant merchant);
    std::optional<Merchant> merchant(const std::string& code, const std::string& terminal) const;

    void setFault(const std::string& orderNumber, std::optional<Fault> fault);
    void setFaultForAll(std::optional<Fault> fault);
    std::optional<Fault> faultForAll() const;
    /// The fault set for this order number, else the one its FAULT_ switch asks for.
    std::optional<Fault> faultForOrder(const std::string& orderNumber) const;

    /// Session cookies of the JSON services (VANTOSANDBOX) and of the payment page (VANTOPAGE).
    std::string issueSessionCookie();
    bool issuedSessionCookie(const std::string& value) const;
    std::string issuePageCookie();
    bool issuedPageCookie(const std::string& value) const;

    /// Keeps the card and returns its new reference.
    std::string storeCard(StoredCard card);
    /// The card kept under `reference` for this merchant.
    std::optional<StoredCard> storedCard(const std::string& merchantCode,
                                         const std::string& reference) const;

    /// Keeps the order and returns the random id of its page.
    std::string openPage(PageOrder order);
    std::optional<PageOrder> openedPage(const std::string& id) const;
    /// Puts the page in wait for the cardholder's authentication.
    void awaitAuthentication(const std::string& id, PendingAuthentication authentication);
    /// Notes where the page sent the cardholder once its payment was decided.
    void settlePage(const std::string& id, std::string location);
    /// Held while a payment is decided: by a direct payment, and by a post of the card form or
    /// of the authentication page while it reads its page and decides it, so that two posts of
    /// one page (a double click), or two payments of one order, decide it once.
    std::unique_lock<std::mutex> lockPageDecisions();

    /// Notes that `merchant` decided `orderNumber`; its first decision is kept.
    void noteDecidedOrder(const Merchant& merchant, const std::string& orderNumber,
                          DecidedOrder decided);
    std::optional<DecidedOrder> decidedOrder(const Merchant& merchant,
                                             const std::string& orderNumber) const;

    void notePayment(DecidedPayment payment);
    std::vector<DecidedPayment> payments() const;

    /// Keeps the request, dropping the oldest ones beyond the limits.
    void record(RecordedRequest request);
    std::vector<RecordedRequest> recorded() const;
    /// The requests kept, shared rather than copied, for GET /sandbox/recorded.
    std::vector<std::shared_ptr<const RecordedRequest>> recordedShared() const;
    /// How many requests were dropped from memory since the last clearRecorded().
    std::size_t droppedRecorded() const;
    /// Waits until `count` requests arrived since the last clearRecorded(), kept or dropped.
    bool waitForRecorded(std::size_t count, std::chrono::milliseconds timeout) const;
    void clearRecorded();

  private:
    RecordingLimits limits_;
    StateLimits kept_;
    mutable std::mutex mutex_;
    std::mutex pageDecisions_;
    mutable std::condition_variable recordedChanged_;
    std::map<std::pair<std::string, std::string>, Merchant> merchants_;
    std::map<std::string, Fault> faults_;
    std::optional<Fault> faultForAll_;
    struct Nothing {};
    // Mutable: a look-up drops what has expired.
    mutable ExpiringTable<std::string, Nothing> sessionCookies_;
    mutable ExpiringTable<std::string, Nothing> pageCookies_;
    mutable ExpiringTable<std::string, StoredCard> storedCards_;
    mutable ExpiringTable<std::string, PageOrder> openPages_;
    std::deque<DecidedPayment> payments_;
    /// By merchant code, terminal and order number.
    mutable ExpiringTable<std::tuple<std::string, std::string, std::string>, DecidedOrder>
        decidedOrders_;
    std::deque<std::shared_ptr<const RecordedRequest>> recorded_;
    std::size_t recordedBytes_ = 0;
    std::size_t droppedRecorded_ = 0;
};

}  // namespace vanto::sandbox::detail
