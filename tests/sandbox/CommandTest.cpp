// `vanto sandbox` as a process, the way scripts and integrators run it: its start-up line, paying
// through it with `vanto pay`, stopping it with a payment held, its console when nobody reads it,
// and what it prints about requests and a recording it cannot write.

#ifdef VANTO_CLI_PATH

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <future>
#include <regex>

#include "SandboxCommand.h"
#include "SandboxTestSupport.h"

namespace vanto::sandbox::testing {
namespace {

using namespace std::chrono_literals;

using vanto::testing::ChildOptions;
using vanto::testing::ChildProcess;
using vanto::testing::Pipe;

using Sandbox = vanto::testing::SandboxCommand;

/// `vanto pay` through the sandbox: its exit status and its last line.
std::pair<std::optional<int>, std::string> payThrough(const Sandbox& sandbox,
                                                      const std::string& order) {
    const auto pay = sandbox.pay(order);
    const auto status = pay->exitCode(60s);
    const std::string& out = pay->output();
    const std::size_t end = out.find_last_not_of('\n');
    const std::size_t start = out.rfind('\n', end);
    return {status, out.substr(start == std::string::npos ? 0 : start + 1)};
}

TEST(SandboxCommand, ScriptsReadItsStartLineAndAPaymentHeldAtTheStopFails) {
    Sandbox sandbox(VANTO_CLI_PATH, temporaryPath("command-cert.pem"));
    const auto started =
        nlohmann::json::parse(sandbox.printed.substr(0, sandbox.printed.find('\n')));
    EXPECT_TRUE(
        std::regex_match(sandbox.field("address"), std::regex(R"(https://127\.0\.0\.1:\d+)")));
    EXPECT_EQ(sandbox.field("address"), "https://" + sandbox.field("authority"));
    EXPECT_EQ(sandbox.field("certificate_file"), temporaryPath("command-cert.pem"));
    EXPECT_EQ(started["vanto_sandbox"]["pid"], sandbox.child->pid());
    ASSERT_TRUE(sandbox.readUntil("-----END CERTIFICATE-----\n"));
    EXPECT_NE(sandbox.printed.find(sandbox.certificate()), std::string::npos)
        << "the file holds the certificate printed";
    EXPECT_NE(sandbox.printed.find("ending in 0044"), std::string::npos);

    const auto [acceptedStatus, accepted] = payThrough(sandbox, "CMD1");
    EXPECT_EQ(acceptedStatus, 0);
    EXPECT_NE(accepted.find(R"({"code":0,)"), std::string::npos) << accepted;

    // An application's own test points the library at it with the start line alone.
    std::string problem;
    EXPECT_FALSE(useAsTestEnvironment(
        R"({"vanto_sandbox":{"authority":"127.0.0.1:1","certificate_file":null}})", &problem));
    EXPECT_NE(problem.find("--cert-out"), std::string::npos) << problem;
    ASSERT_TRUE(
        useAsTestEnvironment(sandbox.printed.substr(0, sandbox.printed.find('\n')), &problem))
        << problem;
    const auto view = SandboxTest::payDirectly("4000000000000002", "CMD2");
    ASSERT_EQ(view->outcomes.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<DirectPaymentResponseOK>(view->outcomes.front()));
    ProcessState::reset();

    auto held =
        std::async(std::launch::async, [&] { return payThrough(sandbox, "FAULT_DELAY_100000"); });
    EXPECT_TRUE(sandbox.readUntil("answer held for 100000 ms"));
    EXPECT_TRUE(sandbox.stop()) << "ends at once, cleanly";
    const auto [heldStatus, refused] = held.get();
    EXPECT_EQ(heldStatus, 4) << "in doubt: the request had reached the gateway";
    EXPECT_EQ(refused.find(R"("code":0,)"), std::string::npos) << refused;
}

TEST(SandboxCommand, ItsConsoleNeverHoldsItUpAndShowsNoControlByteNorCardNumber) {
    Sandbox sandbox(VANTO_CLI_PATH, temporaryPath("console-cert.pem"), {"--record", "/dev/full"});
    ASSERT_GT(sandbox.port(), 0) << sandbox.printed;
    auto client = trustingClient("127.0.0.1", sandbox.port(), sandbox.certificate());
    client->set_read_timeout(10);
    client->set_keep_alive(true);
    ASSERT_TRUE(client->Get("/tarjeta/4000000000000002/%1B%5B2J"));
    ASSERT_TRUE(client->Get("/otra"));
    ASSERT_TRUE(sandbox.readUntil("GET /otra 404"));
    EXPECT_NE(sandbox.printed.find("GET /tarjeta/************0002/\\x1B[2J 404"), std::string::npos)
        << sandbox.printed;
    EXPECT_EQ(sandbox.printed.find('\x1B'), std::string::npos) << "no control byte in clear";

    // From here on nobody reads its output: the pipe fills after some thousand lines.
    for (int i = 0; i < 3000; ++i) {
        const httplib::Result answer = client->Get("/nowhere");
        ASSERT_TRUE(answer && answer->status == 404) << "request " << i << " went unanswered";
    }
    EXPECT_TRUE(sandbox.stop());
    // The record file is full: reported once for the kind of failure, then counted.
    EXPECT_TRUE(std::regex_match(sandbox.child->output(),
                                 std::regex("[^\n]*/dev/full: No space left on device[^\n]*\n"
                                            "[^\n]*3002 requests could not be written[^\n]*\n")))
        << sandbox.child->output();

    Pipe reason;
    ChildProcess unopenable(
        VANTO_CLI_PATH, {"sandbox", "--record", "/nonexistent-directory/record"},
        {.streams = {-1, -1, reason.write.get()}, .watched = reason.read.get()});
    reason.write.reset();
    EXPECT_EQ(unopenable.exitCode(10s), 1);
    EXPECT_NE(unopenable.output().find("/nonexistent-directory/record"), std::string::npos);
}

TEST(SandboxCommand, AClosedConsoleOrRecordFileCostsLinesNeverAnAnswer) {
    const std::string fifo = temporaryPath("record.fifo");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO that nobody reads ends the start at once, where opening it would wait for a reader.
    Pipe reason;
    ChildProcess unread(VANTO_CLI_PATH, {"sandbox", "--record", fifo},
                        {.streams = {-1, -1, reason.write.get()}, .watched = reason.read.get()});
    reason.write.reset();
    EXPECT_EQ(unread.exitCode(10s), 1);
    EXPECT_NE(unread.output().find("a FIFO that no process reads"), std::string::npos);

    vanto::testing::Fd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    // Through exec the sandbox would inherit this process's ignored SIGPIPE: it must ignore it
    // itself.
    std::signal(SIGPIPE, SIG_DFL);
    Sandbox sandbox(VANTO_CLI_PATH, temporaryPath("closed-cert.pem"), {"--record", fifo});
    std::signal(SIGPIPE, SIG_IGN);
    sandbox.out.read.reset();  // as `vanto sandbox | head -n 1` does once it has its line
    auto client = trustingClient("127.0.0.1", sandbox.port(), sandbox.certificate());
    client->set_read_timeout(10);
    // Each record is larger than the FIFO holds; nobody reads it, then its reader goes.
    const std::string form(256 * 1024, 'x');
    for (int i = 0; i < 6; ++i) {
        if (i == 3) {
            reader.reset();
        }
        ASSERT_TRUE(client->Post(kCardFormPath, form, kFormType)) << "request " << i;
    }
    EXPECT_TRUE(sandbox.stop());
    const std::string said = sandbox.child->output();
    EXPECT_NE(said.find("recording file " + fifo + ": Broken pipe"), std::string::npos) << said;
    EXPECT_NE(said.find("6 requests could not be written"), std::string::npos) << said;
    EXPECT_TRUE(
        std::regex_search(said, std::regex("\\d+ lines could not be written to standard output")))
        << said;
}

}  // namespace
}  // namespace vanto::sandbox::testing

#endif
