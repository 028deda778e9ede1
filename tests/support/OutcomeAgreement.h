#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "vanto/flow/PaymentOutcome.h"

namespace vanto::testing {

/// What every screen's delegate must see: each report ("OK <code>", "KO <code> <desc>" or
/// "closed <mayHavePaid>") followed by one paymentEnded whose outcome says the same. A recording
/// delegate passes both on; a report with no outcome after it, or an outcome that contradicts
/// its report, fails the test.
class OutcomeAgreement {
  public:
    OutcomeAgreement() = default;
    OutcomeAgreement(const OutcomeAgreement&) = delete;
    OutcomeAgreement& operator=(const OutcomeAgreement&) = delete;
    ~OutcomeAgreement() {
        if (pending_) {
            ADD_FAILURE() << "no paymentEnded after \"" << *pending_ << "\"";
        }
    }

    void reported(const std::string& report) {
        if (pending_) {
            ADD_FAILURE() << "no paymentEnded after \"" << *pending_ << "\"";
        }
        pending_ = report;
    }

    void ended(const PaymentOutcome& outcome) {
        outcomes.push_back(outcome);
        if (!pending_) {
            ADD_FAILURE() << "paymentEnded without a report: " << outcome.toJSON();
            return;
        }
        const std::string report = *std::exchange(pending_, std::nullopt);
        const auto code = " " + std::to_string(outcome.code);
        bool agrees = false;
        if (report.starts_with("OK ")) {
            agrees = outcome.verdict == PaymentVerdict::paid && report == "OK" + code;
        } else if (report.starts_with("KO ")) {
            agrees = outcome.verdict != PaymentVerdict::paid && outcome.refusal &&
                     report.starts_with("KO" + code + " ");
        } else {
            agrees = report == "closed 1" ? outcome.verdict == PaymentVerdict::inDoubt
                                          : outcome.verdict == PaymentVerdict::cancelled;
        }
        EXPECT_TRUE(agrees && !outcome.order.empty())
            << "\"" << report << "\" ended as " << outcome.toJSON();
    }

    std::vector<PaymentOutcome> outcomes;

  private:
    std::optional<std::string> pending_;
};

}  // namespace vanto::testing
