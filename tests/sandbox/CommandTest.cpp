// `vanto sandbox` as a process, the way scripts and integrators run it: its start-up line, paying
// through it with `vanto pay`, stopping it with a payment held, its console when nobody reads it,
// and what it prints about requests and a recording it cannot write.

#ifdef VANTO_CLI_PATH

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>

#include "SandboxTestSupport.h"

extern char** environ;

namespace vanto::sandbox::testing {
namespace {

using namespace std::chrono_literals;

/// A child process of the test with pipes to its standard streams; killed if still running when
/// the object goes.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;

    /// Waits for the child to end, at most `limit` (then kills it); its exit status, or none
    /// when it had to be killed or ended by a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds limit) {
        const int handle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        pollfd ended{handle, POLLIN, 0};
        const bool inTime = handle >= 0 && ::poll(&ended, 1, static_cast<int>(limit.count())) == 1;
        if (!inTime) {
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(std::exchange(pid, -1), &status, 0);
        for (const int fd : {handle, in, out, err}) {
            ::close(fd);
        }
        return inTime && WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }
    ~Child() {
        if (pid > 0) {
            waitForExit(0ms);
        }
    }
};

/// Starts `vanto` with `arguments`, its three standard streams on pipes.
std::unique_ptr<Child> spawnVanto(const std::vector<std::string>& arguments) {
    auto child = std::make_unique<Child>();
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipes";
        return child;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const auto& [fd, to] :
         {std::pair{in[0], STDIN_FILENO}, {out[1], STDOUT_FILENO}, {err[1], STDERR_FILENO}}) {
        posix_spawn_file_actions_adddup2(&actions, fd, to);
    }
    std::vector<char*> argv = {const_cast<char*>(VANTO_CLI_PATH)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&child->pid, VANTO_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {in[0], out[1], err[1]}) {
        ::close(fd);
    }
    child->in = in[1];
    child->out = out[0];
    child->err = err[0];
    return child;
}

/// Reads from `fd` into `text` until it holds `marker` (with an empty marker, until the end of
/// the stream), for at most ten seconds.
bool readUntil(int fd, std::string& text, const std::string& marker) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    char buffer[4096];
    while (marker.empty() || text.find(marker) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd descriptor{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return marker.empty() && count == 0;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

/// A `vanto sandbox` process and what its start-up line said.
struct SandboxCommand {
    std::unique_ptr<Child> child;
    std::string printed;
    nlohmann::json started;

    explicit SandboxCommand(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "sandbox");
        child = spawnVanto(arguments);
        EXPECT_TRUE(readUntil(child->out, printed, "\n")) << "no start-up line";
        started = nlohmann::json::parse(printed.substr(0, printed.find('\n')), nullptr, false);
    }
    std::string field(const char* name) const {
        const nlohmann::json::json_pointer at("/vanto_sandbox/" + std::string(name));
        return started.contains(at) && started[at].is_string() ? started[at].get<std::string>()
                                                               : "";
    }
    int port() const {
        const std::string authority = field("authority");
        return std::atoi(authority.substr(authority.rfind(':') + 1).c_str());
    }
    std::string certificate() const {
        std::ifstream file(field("certificate_file"));
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
};

/// `vanto pay` through the sandbox with the accepted test card, the card data on standard input
/// as a script gives them to any gateway but the built-in one; its exit status and its last line.
std::pair<std::optional<int>, std::string> payThrough(const SandboxCommand& sandbox,
                                                      const std::string& order) {
    const auto pay =
        spawnVanto({"pay", "--environment", "test", "--gateway", sandbox.field("authority"),
                    "--trust", sandbox.field("certificate_file"), "--card", "-", "--expiry", "-",
                    "--cvv", "-", "--amount", "1", "--order", order, "--no-journal"});
    const std::string cardData = "4000000000000002\n12/30\n123\n";
    EXPECT_EQ(::write(pay->in, cardData.data(), cardData.size()),
              static_cast<ssize_t>(cardData.size()));
    ::close(std::exchange(pay->in, -1));
    std::string out;
    readUntil(pay->out, out, "");
    const std::size_t end = out.find_last_not_of('\n');
    const std::size_t start = out.rfind('\n', end);
    return {pay->waitForExit(60s), out.substr(start == std::string::npos ? 0 : start + 1)};
}

TEST(SandboxCommand, ScriptsReadItsStartLineAndAPaymentHeldAtTheStopFails) {
    const std::string certificateFile = temporaryPath("command-cert.pem");
    const std::string recordFile = temporaryPath("command-record.jsonl");
    std::remove(recordFile.c_str());
    SandboxCommand sandbox({"--cert-out", certificateFile, "--record", recordFile});
    EXPECT_TRUE(
        std::regex_match(sandbox.field("address"), std::regex(R"(https://127\.0\.0\.1:\d+)")));
    EXPECT_EQ(sandbox.field("address"), "https://" + sandbox.field("authority"));
    EXPECT_EQ(sandbox.field("certificate_file"), certificateFile);
    EXPECT_EQ(sandbox.started["vanto_sandbox"]["pid"], sandbox.child->pid);
    ASSERT_TRUE(readUntil(sandbox.child->out, sandbox.printed, "-----END CERTIFICATE-----\n"));
    EXPECT_NE(sandbox.printed.find(sandbox.certificate()), std::string::npos)
        << "the file holds the certificate printed";
    EXPECT_NE(sandbox.printed.find("ending in 0044"), std::string::npos);
    EXPECT_EQ(sandbox.printed.find("4000000000000002"), std::string::npos);

    const auto [acceptedStatus, accepted] = payThrough(sandbox, "CMD1");
    EXPECT_EQ(acceptedStatus, 0);
    EXPECT_NE(accepted.find(R"({"code":0,)"), std::string::npos) << accepted;

    auto held =
        std::async(std::launch::async, [&] { return payThrough(sandbox, "FAULT_DELAY_100000"); });
    EXPECT_TRUE(readUntil(sandbox.child->out, sandbox.printed, "answer held for 100000 ms"));
    ::kill(sandbox.child->pid, SIGTERM);
    EXPECT_EQ(sandbox.child->waitForExit(10s), 0) << "ends at once, cleanly";
    const auto [heldStatus, refused] = held.get();
    EXPECT_EQ(heldStatus, 4) << "in doubt: the request had reached the gateway";
    EXPECT_EQ(refused.find(R"("code":0,)"), std::string::npos) << refused;

    std::ifstream recorded(recordFile);
    std::string line;
    ASSERT_TRUE(std::getline(recorded, line)) << "nothing recorded in " << recordFile;
    EXPECT_EQ(nlohmann::json::parse(line, nullptr, false)["path"], kDirectPath);
}

TEST(SandboxCommand, ItsConsoleNeverHoldsItUpAndShowsNoControlByteNorCardNumber) {
    SandboxCommand sandbox(
        {"--cert-out", temporaryPath("console-cert.pem"), "--record", "/dev/full"});
    ASSERT_GT(sandbox.port(), 0) << sandbox.printed;
    auto client = trustingClient("127.0.0.1", sandbox.port(), sandbox.certificate());
    client->set_read_timeout(10);
    client->set_keep_alive(true);
    ASSERT_TRUE(client->Get("/tarjeta/4000000000000002/%1B%5B2J"));
    ASSERT_TRUE(client->Get("/otra"));
    ASSERT_TRUE(readUntil(sandbox.child->out, sandbox.printed, "GET /otra 404"));
    EXPECT_NE(sandbox.printed.find("GET /tarjeta/************0002/\\x1B[2J 404"), std::string::npos)
        << sandbox.printed;
    EXPECT_EQ(sandbox.printed.find('\x1B'), std::string::npos) << "no control byte in clear";

    // From here on nobody reads its output: the pipe fills after some thousand lines.
    for (int i = 0; i < 3000; ++i) {
        const httplib::Result answer = client->Get("/nowhere");
        ASSERT_TRUE(answer && answer->status == 404) << "request " << i << " went unanswered";
    }
    ::kill(sandbox.child->pid, SIGTERM);
    std::string errors;
    readUntil(sandbox.child->err, errors, "");
    EXPECT_EQ(sandbox.child->waitForExit(10s), 0);
    std::istringstream lines(errors);
    std::vector<std::string> errorLines;
    for (std::string line; std::getline(lines, line);) {
        errorLines.push_back(line);
    }
    // The record file is full: reported once for the kind of failure, then counted.
    ASSERT_EQ(errorLines.size(), 2u) << errors;
    EXPECT_NE(errorLines[0].find("/dev/full: No space left on device"), std::string::npos);
    EXPECT_NE(errorLines[1].find("3002 requests could not be written"), std::string::npos);

    const auto unopenable = spawnVanto({"sandbox", "--record", "/nonexistent-directory/record"});
    std::string reason;
    readUntil(unopenable->err, reason, "");
    EXPECT_EQ(unopenable->waitForExit(10s), 1);
    EXPECT_NE(reason.find("/nonexistent-directory/record"), std::string::npos);
}

}  // namespace
}  // namespace vanto::sandbox::testing

#endif
