// The payment journal through the flows that record in it: both presenters with a fake gateway
// road, the journal's file read back through its own interface and, where the file itself is the
// point, through SQLite.
#include <dlfcn.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingViews.h"
#include "TempFolder.h"
#include "TestSupport.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/direct/DirectPaymentPresenter.h"
#include "vanto/journal/PaymentJournal.h"
#include "vanto/platform/ProcessState.h"
#include "vanto/testing/FakeGatewayService.h"
#include "vanto/text/UrlText.h"
#include "vanto/web/WebViewPaymentPresenter.h"

namespace vanto {

void PrintTo(PaymentStep step, std::ostream* out) {
    *out << paymentStepName(step);
}
void PrintTo(PaymentStanding standing, std::ostream* out) {
    *out << paymentStandingName(standing);
}
void PrintTo(RefusalKind kind, std::ostream* out) {
    *out << refusalKindName(kind);
}

namespace {

using Steps = std::vector<PaymentStep>;
using enum PaymentStep;

// The journal's waits for the disk, seen from below: SQLite flushes a file with fdatasync(), which
// this program defines over the C library's (see the end of this file), and, while a DiskFlushes
// lives, each flush of a write-ahead log and of a database file is counted by the file's name.
class DiskFlushes {
  public:
    DiskFlushes() {
        logFlushes = 0;
        fileFlushes = 0;
        counting = true;
    }
    ~DiskFlushes() { counting = false; }
    DiskFlushes(const DiskFlushes&) = delete;
    DiskFlushes& operator=(const DiskFlushes&) = delete;

    /// Flushes of write-ahead logs: one for each commit that waits for the disk.
    int ofLog() const { return logFlushes; }
    /// Flushes of database files: a checkpoint's, which folds the log back into the file.
    int ofFile() const { return fileFlushes; }

    static void flushing(int descriptor) {
        if (!counting) {
            return;
        }
        std::error_code unread;
        const std::string path =
            std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(descriptor), unread);
        logFlushes += path.ends_with(".sqlite-wal") ? 1 : 0;
        fileFlushes += path.ends_with(".sqlite") ? 1 : 0;
    }

  private:
    static inline std::atomic<bool> counting{false};
    static inline std::atomic<int> logFlushes{0};
    static inline std::atomic<int> fileFlushes{0};
};

// A connection of the test's own to a journal's file.
class Sqlite {
  public:
    explicit Sqlite(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~Sqlite() { sqlite3_close(db_); }
    Sqlite(const Sqlite&) = delete;
    Sqlite& operator=(const Sqlite&) = delete;

    bool run(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    std::string text(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        std::string value;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        return value;
    }

  private:
    sqlite3* db_ = nullptr;
};

Steps stepsOf(const JournalEntry& entry) {
    Steps steps;
    for (const auto& step : entry.steps) {
        steps.push_back(step.step);
    }
    return steps;
}

constexpr const char* kAccepted =
    R"({"code":0,"desc":"ok","datosRespuesta":{"Ds_Response":"0000","Ds_AuthorisationCode":"123456"}})";
constexpr const char* kDeclined =
    R"({"code":0,"desc":"denegada","datosRespuesta":{"Ds_Response":"0190","Ds_AuthorisationCode":""}})";

// A view that notes, each time it is told an outcome, the steps the journal held at that moment.
class WatchingView : public DirectPaymentViewProtocol {
  public:
    void notifyUserOK(const DirectPaymentResponseOK& response) override {
        told(DirectPaymentResponseKO(response.code, "accepted"));
    }
    void notifyUserKO(const DirectPaymentResponseKO& response) override { told(response); }

    // The order whose journal entry is looked at.
    std::string order;
    std::vector<DirectPaymentResponseKO> outcomes;
    std::vector<Steps> journalWhenTold;

  private:
    void told(DirectPaymentResponseKO outcome) {
        outcomes.push_back(std::move(outcome));
        const auto entry = PaymentJournal::installed()->payment(order);
        journalWhenTold.push_back(entry.ok() && entry.value() ? stepsOf(*entry.value()) : Steps{});
    }
};

// The transport's road, which notes the answer where it arrives and hands it to the main queue
// later: each arrival is told when the test chooses, apart from the hand-over.
class ArrivingService : public testing::FakeDirectPaymentService {
  public:
    void sendNotingArrival(std::shared_ptr<DirectPaymentRequest> request, Arrived arrived,
                           Success success, Failure failure) override {
        arrivals.push_back(std::move(arrived));
        send(std::move(request), std::move(success), std::move(failure));
    }
    void arrive(const Result<DirectPaymentResponse>& result) {
        arrivals.front()(result);
        arrivals.erase(arrivals.begin());
    }
    void arrive(const DirectPaymentResponse& answer) {
        arrive(Result<DirectPaymentResponse>::success(answer));
    }

    std::vector<Arrived> arrivals;
};

class JournalTest : public testing::ConfiguredTest {
  protected:
    void SetUp() override {
        ConfiguredTest::SetUp();
        auto& configuration = VantoConfiguration::shared();
        configuration.setAppFuc("999008881");
        configuration.setAppTerminal("1");
        configuration.setAppLicense("sandbox-signing-credential");
        configuration.setAppEnviroment(EnviromentType::test);
    }

    std::shared_ptr<PaymentJournal> install(JournalSettings settings = {}) {
        journal = PaymentJournal::open(path(), settings);
        PaymentJournal::install(journal);
        return journal;
    }
    std::string path() const { return folder.file("journal.sqlite"); }

    JournalEntry entry(const std::string& order) const {
        const auto found = journal->payment(order);
        EXPECT_TRUE(found.ok() && found.value()) << order;
        return found.ok() && found.value() ? *found.value() : JournalEntry{};
    }
    std::vector<std::string> unresolvedOrders() const {
        const auto unresolved = journal->unresolved();
        EXPECT_TRUE(unresolved.ok());
        std::vector<std::string> orders;
        if (unresolved.ok()) {
            for (const auto& payment : unresolved.value()) {
                orders.push_back(payment.order);
            }
        }
        return orders;
    }

    testing::TempFolder folder;
    std::shared_ptr<PaymentJournal> journal;
};

class DirectJournal : public JournalTest {
  protected:
    void TearDown() override {
        service->calls.clear();
        JournalTest::TearDown();
    }

    // Pays `order` through `through`, the test's presenter unless another is given.
    void pay(const std::string& order, DirectPaymentPresenter<WatchingView>* through = nullptr) {
        view->order = order;
        (through ? through : presenter.get())
            ->makePaymentAction("4000000000000002", "123", "2612", 19.99, order, "",
                                TransactionType::normal, "Libro");
    }
    void answerWith(const std::string& json) {
        service->answer(DirectPaymentResponse::fromJSON(json));
    }

    std::shared_ptr<WatchingView> view = std::make_shared<WatchingView>();
    std::shared_ptr<testing::FakeGatewayService<DirectPaymentRequest>> service =
        std::make_shared<testing::FakeGatewayService<DirectPaymentRequest>>();
    std::shared_ptr<DirectPaymentPresenter<WatchingView>> presenter =
        std::make_shared<DirectPaymentPresenter<WatchingView>>(view, service);
};

std::string namesOf(const std::optional<Steps>& steps) {
    std::string names;
    for (const auto step : steps.value_or(Steps{})) {
        names += (names.empty() ? "" : ",") + paymentStepName(step);
    }
    return names.empty() ? "-" : names;
}

// Each row of journal-scenarios.txt: a payment of its own order through the row's events, then
// what the journal holds of it; at the end, the payments left for a review are exactly those the
// rows left in doubt or answered without a view.
TEST_F(JournalTest, EveryScenarioLeavesItsStepsStandingAndOutcome) {
    install(JournalSettings{std::chrono::milliseconds(20), std::nullopt});
    using platform::PlatformError;
    const PlatformError cut{PlatformError::Kind::connectionLost, "cut", "", true};
    const PlatformError refused{PlatformError::Kind::couldNotConnect, "refused", "", false};
    const std::pair<const char*, SDKError> failures[] = {
        {"cut", SDKError::nonURLResponse(std::nullopt, cut)},
        {"lost", SDKError::connectionError(cut)},
        {"502", SDKError::wrongStatusCode(502)},
        {"refused", SDKError::nonURLResponse(std::nullopt, refused)},
        {"unbuilt", SDKError::requestError(refused)}};
    const auto accepted = DirectPaymentResponse::fromJSON(kAccepted);
    const auto declined = DirectPaymentResponse::fromJSON(kDeclined);
    std::vector<std::function<void()>> forgetCalls;  // the roads, kept with their calls under way
    std::vector<std::string> needingReview;
    int count = 0;
    for (const auto& row : testing::readTestRows("journal-scenarios.txt")) {
        const std::string order = "R" + std::to_string(++count);
        const bool direct = row.at(0) == "direct";
        SCOPED_TRACE(order + " " + *row[0] + " " + *row.at(1));
        auto view = std::make_shared<WatchingView>();
        view->order = order;
        auto road = std::make_shared<ArrivingService>();
        auto presenter = std::make_shared<DirectPaymentPresenter<WatchingView>>(view, road);
        auto webView = std::make_shared<testing::RecordingWebView>();
        auto webRoad = std::make_shared<testing::FakeGatewayService<WebViewPaymentRequest>>();
        auto web =
            std::make_shared<WebViewPaymentPresenter<testing::RecordingWebView>>(webView, webRoad);
        forgetCalls.push_back([road, webRoad] {
            road->calls.clear();
            webRoad->calls.clear();
        });
        auto opened = std::make_shared<std::vector<Steps>>();
        std::optional<Sqlite> other;

        std::map<std::string_view, std::function<void()>> events = {
            {"lock", [&] { ASSERT_TRUE(other.emplace(path()).run("BEGIN IMMEDIATE")); }},
            {"unlock", [&] { other.reset(); }},
            {"pay",
             [&] {
                 presenter->makePaymentAction("4000000000000002", "123", "2612", 19.99, order, "",
                                              TransactionType::normal, "Libro");
             }},
            {"accept", [&] { road->arrive(*accepted), road->answer(accepted); }},
            {"decline", [&] { road->arrive(*declined), road->answer(declined); }},
            {"arrive", [&] { road->arrive(*accepted); }},
            {"deliver", [&] { road->answer(accepted); }},
            {"gone", [&] { presenter->setView(std::weak_ptr<WatchingView>()); }},
            {"drop", [&] { web.reset(); }},
            {"sign",
             [&] {
                 webRoad->answer(WebViewPaymentResponse::fromJSON(
                     R"({"code":0,"desc":"","datosPeticion":{"Ds_SignatureVersion":"v1","Ds_Signature":"s","Ds_MerchantParameters":"e30="}})"));
             }},
            {"refuse",
             [&] {
                 webRoad->answer(
                     WebViewPaymentResponse::fromJSON(R"({"code":9901,"desc":"Datos"})"));
             }},
            {"paid",
             [&] {
                 web->webViewNotifyUser(
                     "https://sandbox/REDIR_URL_OK?Ds_SignatureVersion=HMAC_SHA256_V1&"
                     "Ds_MerchantParameters=" +
                     base64Encode(R"({"Ds_Response":"0000","Ds_AuthorisationCode":"A1B2C3",)"
                                  R"("Ds_Card_Number":"400000******0002"})"));
             }},
            {"noresult",
             [&] {
                 web->webViewNotifyUser(
                     "https://sandbox/REDIR_URL_OK?Ds_SignatureVersion=HMAC_SHA256_V1");
             }},
        };
        events["load"] = events["again"] = [&] {
            web->loadWebViewRequest(order, "", 5.0, TransactionType::normal, "Libro",
                                    [this, order, opened](platform::URLRequest) {
                                        opened->push_back(stepsOf(entry(order)));
                                    });
        };
        for (const bool mayHavePaid : {false, true}) {
            events[mayHavePaid ? "close1" : "close0"] = [&, mayHavePaid] {
                direct ? presenter->closedWithoutOutcome(mayHavePaid)
                       : web->closedWithoutOutcome(mayHavePaid);
            };
        }
        for (const auto& [name, error] : failures) {
            events[name] = [&road, failure = error] {
                road->arrive(Result<DirectPaymentResponse>::error(failure));
                road->fail(failure);
            };
        }
        for (const auto event : fuzz::split(*row.at(1), ',')) {
            ASSERT_TRUE(events.contains(event)) << event;
            events[event]();
        }

        const auto found = journal->payment(order);
        ASSERT_TRUE(found.ok());
        const auto payment = found.value() ? std::optional(*found.value()) : std::nullopt;
        const auto& seen = direct ? view->journalWhenTold : *opened;
        EXPECT_EQ(namesOf(seen.empty() ? std::nullopt : std::optional(seen.front())), row.at(2));
        EXPECT_EQ(namesOf(payment ? std::optional(stepsOf(*payment)) : std::nullopt), row.at(3));
        if (!payment) {
            continue;
        }
        EXPECT_EQ(paymentStandingName(payment->standing), row.at(4));
        EXPECT_EQ(!payment->outcome            ? "-"
                  : payment->outcome->accepted ? "ok:" + payment->outcome->authorisationCode
                                               : "ko:" + std::to_string(payment->outcome->code),
                  row.at(5));
        std::string heard = "-";
        if (direct && !view->outcomes.empty()) {
            const auto& last = view->outcomes.back();
            heard = last.desc == "accepted" ? last.desc
                                            : refusalKindName(classifyRefusal(last, *payment));
        } else if (!direct && !webView->told.empty()) {
            heard = webView->told.back();
        }
        EXPECT_EQ(heard, row.at(6));
        EXPECT_LE(payment->steps.front().at, payment->steps.back().at);
        EXPECT_EQ(payment->flow, direct ? PaymentFlowKind::direct : PaymentFlowKind::web);
        if (direct || row[1]->ends_with("paid")) {
            EXPECT_EQ(std::tie(payment->amount, payment->currency, payment->transactionType,
                               payment->merchant, payment->terminal, payment->environment,
                               payment->cardLastFour),
                      std::tuple(direct ? "1999" : "500", "978", "normal", "999008881", "1", "test",
                                 "0002"));
        }
        if (row[4] == "inDoubt" || row[4] == "answered") {
            needingReview.push_back(order);
        }
    }
    EXPECT_EQ(unresolvedOrders(), needingReview);
    for (const auto& forget : forgetCalls) {
        forget();
    }
    ProcessState::reset();
    EXPECT_EQ(PaymentJournal::installed(), nullptr) << "a reset turns the journal off";
}

// An order pays once: while the journal holds a payment of it under way or accepted, another is
// not sent, until that one is reviewed (in doubt, the scenarios' and the journal command's case).
// A refused one, or one never sent, holds nothing. Another journal object on the same file, as
// another process would, sees the same.
TEST_F(DirectJournal, AnOrderPaysOnceUntilItsEarlierPaymentIsReviewed) {
    install();
    const auto refusedUnsent = [&](const std::string& order) {
        const auto calls = service->calls.size();
        pay(order);
        EXPECT_EQ(service->calls.size(), calls) << order << " was sent";
        ASSERT_FALSE(view->outcomes.empty());
        EXPECT_EQ(view->outcomes.back().code, PaymentJournal::kDuplicateOrderCode) << order;
        EXPECT_EQ(view->outcomes.back().desc,
                  "El pedido ya tiene un pago enviado o aceptado: revíselo antes de cobrarlo de "
                  "nuevo.");
        EXPECT_EQ(classifyRefusal(view->outcomes.back(), entry(order)),
                  RefusalKind::duplicateOrder);
    };
    const auto sent = [&](const std::string& order) {
        const auto calls = service->calls.size();
        pay(order);
        return service->calls.size() == calls + 1;
    };
    ASSERT_TRUE(sent("TWICE"));
    refusedUnsent("TWICE");  // under way
    answerWith(kAccepted);
    refusedUnsent("TWICE");  // accepted and delivered
    {
        // Another journal on the same file, installed as another process would have it.
        PaymentJournal::install(PaymentJournal::open(path()));
        refusedUnsent("TWICE");
        PaymentJournal::install(journal);
    }
    const auto reviewed = journal->markReviewed("TWICE", "cobrado una vez; se cobra de nuevo");
    ASSERT_TRUE(reviewed.ok());
    ASSERT_EQ(reviewed.value().size(), 1u) << "the accepted one is closed too";
    ASSERT_TRUE(reviewed.value()[0].review);
    EXPECT_EQ(reviewed.value()[0].review->note, "cobrado una vez; se cobra de nuevo");
    const auto again = journal->markReviewed("TWICE", "otra vez");
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.problem().kind, JournalProblem::Kind::notFound);
    ASSERT_TRUE(sent("TWICE")) << "reviewed";
    answerWith(kDeclined);
    ASSERT_TRUE(sent("TWICE")) << "after a refusal";
    service->fail(SDKError::requestError(
        {platform::PlatformError::Kind::couldNotConnect, "refused", "", false}));
    ASSERT_TRUE(sent("TWICE")) << "after one that never left";
    ASSERT_TRUE(journal->payments("TWICE").ok());
    EXPECT_EQ(journal->payments("TWICE").value().size(), 4u) << "the refused ones left no entry";
}

// A power cut must not lose a payment the gateway may have charged, nor an answer no view has
// received yet; a delivery, or a screen closed, it may: the payment then comes back for review.
// Folding the log back into the file waits for the disk too: never with a payment on its way.
TEST_F(DirectJournal, WaitsForTheDiskOnlyBeforeTheRequestLeavesAndBeforeTheAnswerIsHandedOver) {
    DiskFlushes flushes;
    install();
    auto arriving = std::make_shared<ArrivingService>();
    auto recorded = std::make_shared<DirectPaymentPresenter<WatchingView>>(view, arriving);
    const auto flushesFor = [&](const std::function<void()>& step) {
        const int log = flushes.ofLog();
        const int file = flushes.ofFile();
        step();
        EXPECT_EQ(flushes.ofFile(), file) << "a checkpoint held a payment up";
        return flushes.ofLog() - log;
    };
    const auto accepted = DirectPaymentResponse::fromJSON(kAccepted);
    const int opened = flushes.ofFile();
    int waitedToDeliver = 0;
    // A journal just opened has no log yet: its first payment writes the log's header too.
    bool folded = true;
    // Each payment follows a delivery, which did not wait: it waits again, and, when the log was
    // folded back, for the new log's header as well. Ten pages of log a payment: past SQLite's
    // usual thousand.
    for (int payment = 0; payment < 150; ++payment) {
        const std::string order = "LOG" + std::to_string(payment);
        ASSERT_EQ(flushesFor([&] { pay(order, recorded.get()); }), folded ? 2 : 1)
            << order << ": prepared, sent";
        ASSERT_EQ(flushesFor([&] { arriving->arrive(*accepted); }), 1) << order << ": answered";
        const int log = flushes.ofLog();
        const int file = flushes.ofFile();
        arriving->answer(accepted);
        // Once it has ended, the payment may fold the log back, which waits for both files.
        folded = flushes.ofFile() != file;
        waitedToDeliver += folded ? 0 : flushes.ofLog() - log;
    }
    EXPECT_EQ(waitedToDeliver, 0) << "delivered";
    EXPECT_GT(flushes.ofFile(), opened) << "the log was never folded back";
    EXPECT_EQ(entry("LOG149").standing, PaymentStanding::delivered);
    EXPECT_EQ(journal->payments().value().size(), 150u);

    pay("CLOSED", recorded.get());
    const int beforeClosing = flushes.ofLog();
    recorded->closedWithoutOutcome(true);
    EXPECT_EQ(flushes.ofLog(), beforeClosing) << "closed without an outcome";
    EXPECT_EQ(entry("CLOSED").standing, PaymentStanding::inDoubt);
    arriving->calls.clear();
}

// A reader opened on a file without its log reads it as unchanging: once a writer has changed it,
// it reads it again, through the log, and a reader on a file with its log refuses to record. That
// a reader never writes, nor creates the log or its index, is the journal command's case.
TEST_F(DirectJournal, AReaderSeesWhatAWriterLoggedAfterItOpenedTheFile) {
    install();
    pay("KEPT");
    answerWith(kAccepted);
    PaymentJournal::install(nullptr);
    journal.reset();  // the last connection folds the log back and removes it
    ASSERT_FALSE(std::filesystem::exists(path() + "-wal"));
    JournalSettings reading;
    reading.mode = JournalOpenMode::readOnly;
    const auto early = PaymentJournal::open(path(), reading);
    ASSERT_FALSE(early->problem()) << early->problem()->text;
    PaymentJournal::install(PaymentJournal::open(path()));
    pay("LOGGED");
    answerWith(kAccepted);
    ASSERT_TRUE(std::filesystem::exists(path() + "-wal"));
    const auto seenEarly = early->payment("LOGGED");
    EXPECT_TRUE(seenEarly.ok() && seenEarly.value()) << "a reader missed what a writer logged";
    journal = PaymentJournal::open(path(), reading);
    EXPECT_EQ(entry("LOGGED").standing, PaymentStanding::delivered);
    PaymentJournal::install(journal);
    pay("NOTLOGGED");
    EXPECT_EQ(view->outcomes.back().code, PaymentJournal::kRefusalCode);
    EXPECT_EQ(service->calls.size(), 0u);
}

// The first layout kept one row per payment with its last state; an accepted payment kept its
// authorisation code as its outcome text.
TEST_F(JournalTest, BringsAFileOfTheFirstLayoutUpToDate) {
    {
        Sqlite first(path());
        ASSERT_TRUE(first.run(R"sql(
            CREATE TABLE payments (
                id INTEGER PRIMARY KEY, flow TEXT NOT NULL, order_number TEXT NOT NULL,
                amount TEXT NOT NULL, currency TEXT NOT NULL, merchant TEXT NOT NULL,
                terminal TEXT NOT NULL, state TEXT NOT NULL, outcome_code INTEGER,
                outcome_text TEXT, updated_at TEXT NOT NULL);
            INSERT INTO payments VALUES
                (1, 'direct', 'OLD1', '1999', '978', '999008881', '1', 'delivered', 0, 'A1B2C3',
                 '2024-05-01T10:00:00.000Z'),
                (2, 'direct', 'OLD2', '500', '978', '999008881', '1', 'sent', NULL, NULL,
                 '2024-05-01T10:05:00.000Z');
            PRAGMA user_version = 1;)sql"));
    }
    install();
    ASSERT_FALSE(journal->problem()) << journal->problem()->text;
    EXPECT_EQ(Sqlite(path()).text("PRAGMA user_version"), "2");
    EXPECT_EQ(Sqlite(path()).text("PRAGMA journal_mode"), "wal");

    const auto old = entry("OLD1");
    EXPECT_EQ(stepsOf(old), Steps{delivered});
    EXPECT_EQ(old.steps[0].at,
              std::chrono::sys_days(std::chrono::May / 1 / 2024) + std::chrono::hours(10));
    ASSERT_TRUE(old.outcome);
    EXPECT_TRUE(old.outcome->accepted);
    EXPECT_EQ(old.outcome->authorisationCode, "A1B2C3");
    EXPECT_EQ(old.standing, PaymentStanding::delivered);
    EXPECT_EQ(entry("OLD2").standing, PaymentStanding::inDoubt)
        << "sent and never answered by a process long gone";
    EXPECT_EQ(unresolvedOrders(), std::vector<std::string>{"OLD2"});
}

// Unresolved payments are read through an index of their own, never the whole journal: whatever
// a row holds, that reading must agree with judging every payment. Rows the library could not
// have written are damaged payments that need a review.
TEST(JournalReading, UnresolvedAgreesWithEveryPaymentJudgedAndDamagedRowsAreCalledSo) {
    const testing::TempFolder folder;
    const std::string path = folder.file("journal.sqlite");
    ASSERT_FALSE(PaymentJournal::open(path)->problem());
    Sqlite file(path);
    ASSERT_TRUE(file.run("BEGIN"));
    int id = 0;
    const auto insert = [&](std::string_view flow, std::string_view amount, std::string_view state,
                            int inDoubt, bool reviewed, bool outcome, std::string_view step) {
        ++id;
        const std::string values =
            std::to_string(id) + ", '" + std::string(flow) + "', 'R" + std::to_string(id) + "', '" +
            std::string(amount) + "', '978', '0', '999008881', '1', 'test', '" +
            std::string(state) + "', " + std::to_string(inDoubt) + ", " +
            (outcome ? "1, 0, '123456', ''" : "NULL, NULL, NULL, NULL") + ", '', " +
            (reviewed ? "'2026-12-08T10:00:00.000Z', 'checked'" : "NULL, NULL");
        ASSERT_TRUE(file.run(
            "INSERT INTO payments (id, flow, order_number, amount, currency, transaction_type, "
            "merchant, terminal, environment, state, in_doubt, outcome_accepted, outcome_code, "
            "authorisation_code, outcome_text, writer, reviewed_at, review_note) VALUES (" +
            values + "); INSERT INTO steps VALUES (" + std::to_string(id) + ", '" +
            std::string(step) + "', '2026-12-08T10:00:00.000Z', '')"));
    };
    for (const char* state : {"prepared", "sent", "answered", "unanswered", "notSent", "delivered",
                              "signatureRequested", "pageOpened", "resultRead",
                              "closedWithoutOutcome", "sent\x01\x9b"}) {
        for (const int inDoubt : {0, 1}) {
            for (const bool reviewed : {false, true}) {
                for (const bool outcome : {false, true}) {
                    insert("direct", "1999", state, inDoubt, reviewed, outcome, "sent");
                }
            }
        }
    }
    const int wellFormed = id - 8;
    insert("direkt", "1999", "delivered", 0, false, true, "delivered");
    insert("direct",
           "19\xff"
           "9",
           "delivered", 0, false, true, "delivered");
    insert("direct", "1999", "delivered", 7, false, true, "delivered");
    insert("web", "19.99", "notSent", 0, true, true, "notSent");  // reviewed: settled
    ASSERT_TRUE(file.run("COMMIT"));

    const auto journal = PaymentJournal::open(path);
    const auto all = journal->payments();
    const auto unresolved = journal->unresolved();
    ASSERT_TRUE(all.ok() && unresolved.ok());
    std::vector<std::int64_t> expected;
    std::vector<std::int64_t> found;
    for (const auto& entry : all.value()) {
        if (entry.unresolved()) {
            expected.push_back(entry.id);
        }
        EXPECT_EQ(entry.standing == PaymentStanding::damaged, entry.id > wellFormed) << entry.id;
    }
    for (const auto& entry : unresolved.value()) {
        found.push_back(entry.id);
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(std::ranges::count_if(unresolved.value(),
                                    [](const JournalEntry& entry) {
                                        return entry.standing == PaymentStanding::damaged;
                                    }),
              4 + 3)
        << "each damaged row not reviewed: 4 with an unknown state, and 3 of other kinds";
}

}  // namespace
}  // namespace vanto

// Every flush SQLite asks of the system, noted on its way to the C library's own.
extern "C" [[gnu::visibility("default")]] int fdatasync(int descriptor) {
    static const auto system = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"));
    vanto::DiskFlushes::flushing(descriptor);
    return system(descriptor);
}
