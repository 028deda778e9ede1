// The payment journal on the real road: both presenters, libcurl and TLS against the sandbox
// gateway on loopback. What the sandbox received is the truth of what could have been charged.
#include <sqlite3.h>

#include <fstream>
#include <limits>

#include "SandboxTestSupport.h"
#include "TempFolder.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kCvv = "7391";
constexpr std::string_view kExpiry = "3012";

class JournalOnTheWire : public sandbox::testing::SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        journal = PaymentJournal::open(folder.file("journal.sqlite"), settings);
        PaymentJournal::install(journal);
    }
    void TearDown() override {
        testing::cardDataWatch().keepFile(journal->path());
        SandboxTest::TearDown();
    }

    // A direct payment with `card`; the view it reported to.
    static std::shared_ptr<testing::RecordingDirectView> pay(std::string_view card,
                                                             std::string_view order) {
        return payDirectly(card, order, kCvv, kExpiry);
    }

    // The standing of `order`'s payment in the journal installed now.
    static PaymentStanding standing(const std::string& order) {
        const auto entry = PaymentJournal::installed()->payment(order);
        EXPECT_TRUE(entry.ok() && entry.value()) << order;
        return entry.ok() && entry.value() ? entry.value()->standing : PaymentStanding::inFlight;
    }

    testing::TempFolder folder;
    JournalSettings settings;
    std::shared_ptr<PaymentJournal> journal;
};

TEST_F(JournalOnTheWire, KeepsNoCardDataNoCredentialAndNoSignature) {
    pay(sandbox::kAcceptedCard, "SECRET1");
    pay(sandbox::kDeclinedCard, "SECRET2");
    const auto view = payWebPayment(sandbox::kAcceptedCard, "SECRET3", kCvv);
    ASSERT_EQ(view->told, std::vector<std::string>{"OK 0 0"});
    EXPECT_EQ(standing("SECRET3"), PaymentStanding::delivered);

    // The signatures the gateway received: of the direct requests, and of the page's parameters
    // (percent-encoded in the page's form, as they came from the signature service).
    // Card data are the watch's, which reads the journal as the test ends.
    std::vector<std::string> secrets = {VantoConfiguration::shared().appLicense()};
    for (const auto& request : gateway_->requests()) {
        for (const std::string_view key : {"\"firma\":\"", "Ds_Signature="}) {
            if (const auto at = request.body.find(key); at != std::string::npos) {
                const auto value = request.body.substr(at + key.size());
                secrets.push_back(
                    value.substr(0, std::min<std::size_t>(40, value.find_first_of("&\""))));
            }
        }
    }
    ASSERT_GE(secrets.size(), 1u + 4u) << "the signatures of three requests and of the page";
    for (const auto& name : {journal->path(), journal->path() + "-wal", journal->path() + "-shm"}) {
        const std::string bytes = testing::fileBytes(name);
        for (const auto& secret : secrets) {
            EXPECT_EQ(bytes.find(secret), std::string::npos) << name << " holds " << secret;
        }
    }
}

// Where the journal cannot record the payment, nothing reaches the gateway, and a file that is
// not this version's journal is never written to (an empty one: cli.journal).
TEST_F(JournalOnTheWire, SendsNothingWhenTheJournalIsLockedFullDamagedOrNewer) {
    const auto refusedUnsent = [this](const std::string& order) {
        const auto view = pay(sandbox::kAcceptedCard, order);
        ASSERT_EQ(view->outcomes.size(), 1u) << order;
        const auto refusal = std::get<DirectPaymentResponseKO>(view->outcomes[0]);
        EXPECT_EQ(
            std::tie(refusal.code, refusal.desc),
            std::tuple(PaymentJournal::kRefusalCode,
                       "No se ha podido anotar el pago en el diario de pagos: no se ha enviado."))
            << order;
        EXPECT_EQ(classifyRefusal(refusal), RefusalKind::notRecorded);
        EXPECT_TRUE(gateway_->requests().empty()) << order << " reached the gateway";
    };
    settings.busyWait = 20ms;
    PaymentJournal::install(PaymentJournal::open(folder.file("locked.sqlite"), settings));
    {
        // Another process holding the journal, as far as this one can tell.
        sqlite3* holder = nullptr;
        ASSERT_EQ(sqlite3_open(folder.file("locked.sqlite").c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        refusedUnsent("LOCKED");
        sqlite3_close(holder);
    }
    pay(sandbox::kAcceptedCard, "UNLOCKED");
    EXPECT_EQ(standing("UNLOCKED"), PaymentStanding::delivered) << "the lock gone, payments go";
    gateway_->clearRequests();

    // Made first, then held to the size it has: as a disk that has since filled up.
    ASSERT_FALSE(PaymentJournal::open(folder.file("full.sqlite"))->problem());
    settings.largestSize = 1;
    PaymentJournal::install(PaymentJournal::open(folder.file("full.sqlite"), settings));
    ASSERT_FALSE(PaymentJournal::installed()->problem());
    refusedUnsent(std::string(6000, 'F'));
    // A disk with less free than the payment's later steps need: refused before it is sent.
    settings.largestSize.reset();
    settings.reserve = std::numeric_limits<std::uint64_t>::max();
    PaymentJournal::install(PaymentJournal::open(folder.file("locked.sqlite"), settings));
    refusedUnsent("NEARLYFULL");

    std::ofstream(folder.file("damaged.sqlite")) << std::string(8192, 'x');
    {
        sqlite3* newer = nullptr;
        ASSERT_EQ(sqlite3_open(folder.file("newer.sqlite").c_str(), &newer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(newer, "CREATE TABLE later (x); PRAGMA user_version = 3;", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(newer);
    }
    for (const auto& [name, kind] :
         {std::pair{"damaged.sqlite", JournalProblem::Kind::corrupt},
          std::pair{"newer.sqlite", JournalProblem::Kind::newerVersion}}) {
        const std::string before = testing::fileBytes(folder.file(name));
        PaymentJournal::install(PaymentJournal::open(folder.file(name)));
        ASSERT_TRUE(PaymentJournal::installed()->problem()) << name;
        EXPECT_EQ(PaymentJournal::installed()->problem()->kind, kind) << name;
        refusedUnsent(name);
        EXPECT_EQ(PaymentJournal::installed()->payments().problem().kind, kind) << name;
        EXPECT_EQ(testing::fileBytes(folder.file(name)), before) << name << " was written to";
    }
}

}  // namespace
}  // namespace vanto
