// The journal across processes: a merchant program killed at any moment, one that returns from
// main() with an outcome undelivered, and one still paying while another reads the journal. The
// gateway is `vanto sandbox` in a process of its own, whose recording of every request it read is
// the truth of what it could have charged.
#include <sys/wait.h>

#include <csignal>
#include <map>
#include <thread>
#include <tuple>

#include <nlohmann/json.hpp>

#include "CardDataWatch.h"
#include "SandboxCommand.h"
#include "vanto/journal/PaymentJournal.h"

namespace vanto {

void PrintTo(PaymentStanding standing, std::ostream* out) {
    *out << paymentStandingName(standing);
}

namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;

// `vanto sandbox` in a child process, recording every request to a file.
class SandboxRun : public testing::SandboxCommand {
  public:
    SandboxRun(const testing::TempFolder& folder, const std::string& name)
        : SandboxCommand(VANTO_PROGRAM, folder.file(name + ".pem"),
                         {"--record", folder.file(name + ".jsonl")}),
          record_(folder.file(name + ".jsonl")) {}

    // The direct payments it received: the last four digits of the card of each order.
    std::map<std::string, std::string> charges() const {
        std::map<std::string, std::string> charges;
        std::ifstream lines(record_);
        for (std::string line; std::getline(lines, line);) {
            const auto request = nlohmann::json::parse(line);
            if (request.at("path") != "/zel/virtualControllerV2/pagoVirtual") {
                continue;
            }
            const std::string body = request.at("body");
            const auto envelope = nlohmann::json::parse(body.substr(body.find('=') + 1));
            const auto data = nlohmann::json::parse(envelope.at("mensaje").get<std::string>())
                                  .at("datosPeticion");
            const std::string pan = data.at("DS_MERCHANT_PAN");
            charges[data.at("DS_MERCHANT_ORDER")] = pan.substr(pan.size() - 4);
        }
        return charges;
    }
    ~SandboxRun() { testing::cardDataWatch().keepFile(record_); }

  private:
    std::string record_;
};

class JournalAcrossProcesses : public ::testing::Test {
  protected:
    // The journal is watched for card data with everything the test saw, before its folder goes.
    void TearDown() override { testing::cardDataWatch().keepFile(journalPath()); }

    std::string journalPath() const { return folder.file("journal.sqlite"); }

    // The payer in `mode`, for orders beginning with `order`.
    std::unique_ptr<ChildProcess> payer(const std::string& mode, const SandboxRun& sandbox,
                                        const std::string& order) {
        return std::make_unique<ChildProcess>(
            VANTO_PAYER,
            std::vector<std::string>{mode, journalPath(), sandbox.field("authority"),
                                     sandbox.field("certificate_file"), order},
            testing::ChildOptions{.errorFile = folder.file("payer-errors.txt")});
    }

    // The journal's payments whose order begins with `prefix`, read through a journal opened
    // afresh, as an application does after a crash.
    std::vector<JournalEntry> paymentsOf(const std::string& prefix) const {
        const auto all = PaymentJournal::open(journalPath())->payments();
        EXPECT_TRUE(all.ok()) << (all.ok() ? "" : all.problem().text);
        std::vector<JournalEntry> found;
        for (const auto& entry : all.ok() ? all.value() : std::vector<JournalEntry>{}) {
            if (entry.order.starts_with(prefix)) {
                found.push_back(entry);
            }
        }
        return found;
    }

    testing::TempFolder folder;
};

// What the sandbox answers for each test card it was sent: accepted with an authorisation code,
// declined by the issuer, or the issuer unreachable.
void expectTheSandboxsOutcome(const JournalEntry& entry, const std::string& cardLastFour) {
    ASSERT_TRUE(entry.outcome) << entry.order;
    const std::map<std::string, std::tuple<bool, int, std::size_t>> outcomes = {
        {"0002", {true, 0, 6}}, {"0010", {false, 78, 0}}, {"0036", {false, 9909, 0}}};
    ASSERT_TRUE(outcomes.contains(cardLastFour)) << entry.order << " paid with " << cardLastFour;
    const auto [accepted, code, authorisation] = outcomes.at(cardLastFour);
    EXPECT_EQ(entry.outcome->accepted, accepted) << entry.order;
    EXPECT_EQ(entry.outcome->code, code) << entry.order;
    EXPECT_EQ(entry.outcome->authorisationCode.size(), authorisation) << entry.order;
}

// Every payment the sandbox received is in the journal, answered with what the sandbox gave or
// in doubt; every payment the journal holds as answered was received; none is left in flight.
void expectNoChargeUnknown(const std::map<std::string, std::string>& charged,
                           const std::vector<JournalEntry>& entries, int run) {
    std::map<std::string, const JournalEntry*> byOrder;
    for (const auto& entry : entries) {
        byOrder[entry.order] = &entry;
        EXPECT_NE(entry.standing, PaymentStanding::inFlight) << "run " << run << " " << entry.order;
    }
    for (const auto& [order, card] : charged) {
        const auto found = byOrder.find(order);
        ASSERT_NE(found, byOrder.end())
            << "run " << run << ": " << order << " was charged and is missing from the journal";
        const auto standing = found->second->standing;
        EXPECT_TRUE(standing == PaymentStanding::answered ||
                    standing == PaymentStanding::delivered || standing == PaymentStanding::inDoubt)
            << "run " << run << " " << order << " " << paymentStandingName(standing);
        EXPECT_EQ(found->second->unresolved(), standing != PaymentStanding::delivered);
    }
    for (const auto& entry : entries) {
        if (std::ranges::none_of(
                entry.steps, [](const auto& step) { return step.step == PaymentStep::answered; })) {
            continue;
        }
        const auto found = charged.find(entry.order);
        ASSERT_NE(found, charged.end())
            << "run " << run << ": " << entry.order << " is answered but was never received";
        expectTheSandboxsOutcome(entry, found->second);
    }
}

// Killed at a moment that moves through the payments' life from one run to the next: before they
// leave, while they are on the wire, as their answers come in, and after they are delivered.
TEST_F(JournalAcrossProcesses, EveryChargeIsAnsweredOrInDoubtWhereverTheProgramIsKilled) {
    constexpr int kRuns = 50;
    constexpr auto kStep = 10ms;
    for (int run = 0; run < kRuns; ++run) {
        const std::string prefix = "C" + std::to_string(run) + "-";
        SandboxRun sandbox(folder, "sandbox" + std::to_string(run));
        ASSERT_NE(sandbox.field("authority"), "") << "run " << run << ": the sandbox did not start";
        auto paying = payer("eight", sandbox, "C" + std::to_string(run));
        ASSERT_TRUE(paying->readUntil("ready\n", 30s))
            << "run " << run << ": " << testing::fileBytes(folder.file("payer-errors.txt"));
        std::this_thread::sleep_for(kStep * run);  // the moment of the kill: the schedule itself
        paying->signal(SIGKILL);
        ASSERT_TRUE(paying->waitForEnd(30s)) << "run " << run;
        ASSERT_TRUE(sandbox.stop()) << "run " << run;
        expectNoChargeUnknown(sandbox.charges(), paymentsOf(prefix), run);
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST_F(JournalAcrossProcesses, AnOutcomeThatArrivesAsTheProgramEndsIsKept) {
    SandboxRun sandbox(folder, "sandbox");
    ASSERT_NE(sandbox.field("authority"), "");
    auto paying = payer("return", sandbox, "ENDING");
    ASSERT_EQ(paying->exitCode(60s), 0) << testing::fileBytes(folder.file("payer-errors.txt"));
    const auto entries = paymentsOf("ENDING");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].standing, PaymentStanding::answered) << "answered, never delivered";
    EXPECT_TRUE(entries[0].outcome && entries[0].outcome->accepted && entries[0].unresolved());
    EXPECT_TRUE(sandbox.stop());
}

// A payment another program has under way is no one's to review until that program ends.
TEST_F(JournalAcrossProcesses, APaymentUnderWayElsewhereIsInDoubtOnlyOnceItsProgramIsGone) {
    SandboxRun sandbox(folder, "sandbox");
    ASSERT_NE(sandbox.field("authority"), "");
    auto paying = payer("hold", sandbox, "HELD");
    ASSERT_TRUE(paying->readUntil("ready\n", 30s));
    std::optional<JournalEntry> held;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!held && std::chrono::steady_clock::now() < deadline) {
        const auto entries = paymentsOf("HELD");
        if (!entries.empty() && entries[0].steps.back().step == PaymentStep::sent) {
            held = entries[0];
        } else {
            std::this_thread::sleep_for(5ms);  // the journal is looked at every few milliseconds
        }
    }
    ASSERT_TRUE(held) << "the payment was not sent within 30 s";
    EXPECT_EQ(held->standing, PaymentStanding::inFlight);
    EXPECT_FALSE(held->unresolved());
    // The order paid again by another program while the payment is under way: not sent.
    const auto again = sandbox.pay(held->order, "--journal=" + journalPath(),
                                   {.errorFile = folder.file("again-errors.txt")});
    EXPECT_EQ(again->exitCode(60s), 1) << testing::fileBytes(folder.file("again-errors.txt"));
    EXPECT_NE(again->output().find("{\"code\":5553,"), std::string::npos) << again->output();

    paying->signal(SIGKILL);
    ASSERT_TRUE(paying->waitForEnd(30s));
    const auto after = paymentsOf("HELD");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].standing, PaymentStanding::inDoubt);
    EXPECT_TRUE(sandbox.stop());
}

}  // namespace
}  // namespace vanto
