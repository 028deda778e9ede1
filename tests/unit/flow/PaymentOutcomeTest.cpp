#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "TestRows.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto {
namespace {

JournalEntry standing(PaymentStanding standing, bool withOutcome = false) {
    JournalEntry entry;
    entry.standing = standing;
    if (withOutcome) {
        entry.outcome = JournalOutcome{};
    }
    return entry;
}

// A refusal's verdict comes from the record alone, unless the journal's entry of the payment
// knows better: sent and unanswered is in doubt, never sent is not. The journal's own refusals
// are about an earlier payment's entry, which tells nothing of theirs.
TEST(PaymentOutcomes, RefusalsGetTheVerdictTheRecordAndTheJournalGive) {
    const auto notSent = standing(PaymentStanding::notSent);
    const auto inDoubt = standing(PaymentStanding::inDoubt);
    for (const auto& row : testing::readTestRows("refusal-kinds.txt")) {
        const DirectPaymentResponseKO record(std::stoll(*row.at(0)), *row.at(1));
        const std::string& kind = *row.at(2);
        const std::string& verdict = *row.at(3);
        const auto alone = paymentOutcome(record, "R1", "1999");
        EXPECT_EQ(paymentVerdictName(alone.verdict), verdict) << record.code << " " << record.desc;
        ASSERT_TRUE(alone.refusal);
        EXPECT_EQ(refusalKindName(*alone.refusal), kind) << record.code << " " << record.desc;
        EXPECT_FALSE(alone.standing);

        const bool byTheJournal = kind == "notRecorded" || kind == "duplicateOrder";
        EXPECT_EQ(refusalKindName(classifyRefusal(record, inDoubt)),
                  byTheJournal ? kind : "inDoubt")
            << record.code;
        const auto unsent = paymentOutcome(record, "R1", "1999", &notSent);
        EXPECT_EQ(paymentVerdictName(unsent.verdict),
                  kind == "transportFailure" ? "failedBeforeSending" : verdict)
            << record.code;
        const auto doubted = paymentOutcome(WebViewPaymentResponseKO(record.code, record.desc),
                                            "R1", "1999", &inDoubt);
        EXPECT_EQ(paymentVerdictName(doubted.verdict), byTheJournal ? verdict : "inDoubt");
        EXPECT_EQ(doubted.standing, byTheJournal ? std::nullopt : std::optional(inDoubt.standing));
    }
}

TEST(PaymentOutcomes, CarryTheOrderAndStandAsDeliveredWithTextsSafeToPrint) {
    // A payment still under way in this process stands as its outcome will leave it.
    const auto underWay = standing(PaymentStanding::inFlight, true);
    const auto page = paymentOutcome(
        WebViewPaymentResponseOK(0, "", "", "", "", "1999", "978", "R7", "", "", "0000", "", "", "",
                                 "ABC123", "", "", "", "", "", "454881******0004"),
        "R7", "1999", &underWay);
    EXPECT_EQ(page.verdict, PaymentVerdict::paid);
    EXPECT_EQ(page.authorisationCode, "ABC123");
    EXPECT_TRUE(page.mayHaveCharged());
    EXPECT_EQ(page.standing, PaymentStanding::delivered);

    const auto quoted = paymentOutcome(
        DirectPaymentResponseKO(9999, "{\"pan\":\"4548812049400004\",\"cvv\":\"123\"}\xff"), "R8",
        "500");
    EXPECT_EQ(quoted.text.find("4548812049400004"), std::string::npos) << quoted.text;
    const auto json = nlohmann::json::parse(quoted.toJSON());
    EXPECT_EQ(json.at("order"), "R8");
    EXPECT_EQ(json.at("verdict"), "declined");
    EXPECT_EQ(json.at("standing"), nullptr);

    EXPECT_EQ(closedOutcome(PaymentFlowKind::web, true, "R9", "1", &underWay).standing,
              PaymentStanding::inDoubt);
    const auto abandoned = closedOutcome(PaymentFlowKind::web, false, "R9", "1", &underWay);
    EXPECT_EQ(abandoned.verdict, PaymentVerdict::cancelled);
    EXPECT_EQ(abandoned.standing, PaymentStanding::abandoned);
    EXPECT_FALSE(abandoned.mayHaveCharged());
}

}  // namespace
}  // namespace vanto
