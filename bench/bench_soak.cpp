// The sandbox under load, as a load tester would run it: a `vanto sandbox` process on loopback,
// 500 clients paying at once for 5 minutes (direct payments as the library sends them, each on a
// fresh connection resuming the TLS session of an earlier one, the sandbox's test cards in turn,
// every order number new and every payment asking for a card reference, so that its tables of
// orders, references, session cookies and recorded requests fill), its resident memory read from
// /proc every few seconds. Then 16 clients read GET /sandbox/recorded at once, and its peak
// resident memory over those reads is set against the size of the recording.
//
//     vanto_bench_soak VANTO
//
// VANTO is the command line program. VANTO_BENCH_SOAK_SECONDS shortens the load (trial runs; the
// memory after the first minute becomes the memory after a fifth of the time) and
// VANTO_BENCH_SOAK_CLIENTS changes the number of clients; VANTO_BENCH_SOAK_LARGE_MIB, the MiB of
// large records added to the recording before it is read (32). Google Benchmark's flags, which
// scripts/bench gives every program, are ignored.
//
// Prints, in the form the other benchmarks print, the ratio of the resident memory at the end to
// that after the first minute, held to 1.2 (and, for information, that of the highest sample
// since); the peak rise of resident memory per concurrent read of the recording against the
// recording's size, held to 0.1; and the payments per second, with the load average. Exits 1 when
// a ratio passes its bound by the usual margin, when a payment got no answer, or when the sandbox
// could not be started or stopped.
#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BareTransfer.h"
#include "RatioReport.h"

#include "vanto/config/Constants.h"
#include "vanto/encoding/Encode.h"
#include "vanto/platform/SecureWipe.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/sandbox/TestCards.h"

extern char** environ;

namespace {

using vanto::bench::setLibraryTls;
using vanto::bench::trustStore;

using Clock = std::chrono::steady_clock;

constexpr double kRssBound = 1.2;
constexpr double kRecordedBound = 0.1;
constexpr int kConcurrentReads = 16;
// The size of each record added to the recording after the load.
constexpr std::size_t kLargeRecordBytes = 64 * 1024;
constexpr auto kSampleEvery = std::chrono::seconds(5);
// Longer than any answer takes on a loaded machine; a payment still unanswered then is a fault.
constexpr long kPaymentTimeoutSeconds = 60;

long settingOf(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != nullptr && *end == '\0' && value > 0 ? value : fallback;
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one;
    std::string five;
    std::string fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// A figure of /proc/PID/status in KiB ("VmRSS:", "VmHWM:"); 0 when it cannot be read.
long statusKiB(pid_t pid, const std::string& field) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::strtol(line.c_str() + field.size(), nullptr, 10);
        }
    }
    return 0;
}

// Sets the process's peak resident memory back to its current one, so that VmHWM then gives the
// peak of what follows. False where the kernel does not allow it.
bool resetPeak(pid_t pid) {
    std::ofstream file("/proc/" + std::to_string(pid) + "/clear_refs");
    file << "5";
    file.close();
    return !file.fail();
}

double mib(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

// The `vanto sandbox` process: started with its console on a pipe, whose first line says where it
// listens; a thread reads the rest of its console (one line per request) as a terminal would.
class SandboxProcess {
  public:
    ~SandboxProcess() { stop(); }

    bool start(const std::string& vanto, const std::string& certificateFile, std::string& problem) {
        int console[2];
        if (pipe2(console, O_CLOEXEC) != 0) {
            problem = "no pipe";
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, console[1], STDOUT_FILENO);
        std::vector<std::string> words = {vanto, "sandbox", "--cert-out", certificateFile};
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, vanto.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(console[1]);
        if (spawned != 0) {
            ::close(console[0]);
            pid_ = -1;
            problem = "could not run " + vanto;
            return false;
        }
        console_ = console[0];
        // The first line comes once the server accepts connections; a sandbox that cannot start
        // ends, which ends the line too.
        std::string line;
        char c = 0;
        while (line.size() < 4096) {
            pollfd ready{console_, POLLIN, 0};
            if (::poll(&ready, 1, 30000) != 1 || ::read(console_, &c, 1) != 1 || c == '\n') {
                break;
            }
            line += c;
        }
        if (!vanto::sandbox::useAsTestEnvironment(line, &problem)) {
            problem = "the sandbox's first line was not read: " + problem;
            return false;
        }
        const auto start = line.find("\"authority\":\"");
        const auto end = start == std::string::npos ? start : line.find('"', start + 13);
        if (end == std::string::npos) {
            problem = "the sandbox's first line names no authority";
            return false;
        }
        authority_ = line.substr(start + 13, end - start - 13);
        reader_ = std::thread([this] {
            char buffer[65536];
            while (true) {
                const ssize_t got = ::read(console_, buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
            }
        });
        return true;
    }

    pid_t pid() const { return pid_; }
    const std::string& authority() const { return authority_; }

    // Stops it with SIGTERM, as a person would, and waits at most 30 s for it to end (then kills
    // it). Its exit status; -1 when it had to be killed or was not running.
    int stop() {
        int status = -1;
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            const int handle = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
            pollfd ended{handle, POLLIN, 0};
            if (handle < 0 || ::poll(&ended, 1, 30000) != 1) {
                ::kill(pid_, SIGKILL);
            }
            if (handle >= 0) {
                ::close(handle);
            }
            int waited = 0;
            if (::waitpid(pid_, &waited, 0) == pid_ && WIFEXITED(waited)) {
                status = WEXITSTATUS(waited);
            }
            pid_ = -1;
        }
        if (reader_.joinable()) {
            reader_.join();
        }
        if (console_ >= 0) {
            ::close(console_);
            console_ = -1;
        }
        return status;
    }

  private:
    pid_t pid_ = -1;
    int console_ = -1;
    std::string authority_;
    std::thread reader_;
};

// What every connection verifies the sandbox with: a store holding its certificate.
X509_STORE* trust = nullptr;

std::size_t keep(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

std::size_t count(char*, std::size_t size, std::size_t count, void* user) {
    *static_cast<std::size_t*>(user) += size * count;
    return size * count;
}

// A transfer's settings as the library makes them: https only, the peer and its name verified,
// a fresh connection each, the TLS sessions shared so that a connection resumes an earlier one's.
void setUp(CURL* handle, const std::string& url, CURLSH* sessions) {
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    setLibraryTls(handle, trust);
    curl_easy_setopt(handle, CURLOPT_SHARE, sessions);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, kPaymentTimeoutSeconds);
}

// One client: a payment after another, each on a fresh connection.
struct Client {
    CURL* handle = nullptr;
    std::string body;
    std::string reply;
};

struct Soak {
    long payments = 0;
    long paidWhileLoading = 0;
    long unanswered = 0;
    std::vector<std::pair<double, long>> samples;  // seconds since the start, VmRSS in KiB
    std::vector<long> perMinute;
    double seconds = 0;
};

// The next payment's body: a test card in turn, a new order, a new card reference asked for.
std::string nextPayment(long number) {
    const auto cards = vanto::sandbox::testCards();
    const auto& card = cards[static_cast<std::size_t>(number) % cards.size()];
    char order[16];
    std::snprintf(order, sizeof order, "SK%010ld", number);
    std::string amount = std::to_string(100 + number % 9900);
    const auto envelope = vanto::Encode::encodeStringDirectPayment(
        card.number, "123", "3012", amount, order, "REQUIRED", "true", "0", "Libro");
    // Built in one buffer, which its client wipes: no copy of the card data is freed unwiped.
    constexpr std::string_view kField = "datoEntrada=";
    std::string body;
    body.reserve(kField.size() + envelope.view().size());
    body.append(kField).append(envelope.view());
    return body;
}

Soak runLoad(const SandboxProcess& sandbox, CURLSH* sessions, int clients, long seconds) {
    Soak soak;
    const std::string url = vanto::Constants::getURLDirectPayment(vanto::EnviromentType::test);
    curl_slist* headers =
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    headers = curl_slist_append(headers, "Expect:");
    CURLM* multi = curl_multi_init();
    std::vector<Client> pool(static_cast<std::size_t>(clients));
    long issued = 0;
    auto pay = [&](Client& client) {
        client.body = nextPayment(issued++);
        client.reply.clear();
        curl_easy_setopt(client.handle, CURLOPT_POSTFIELDS, client.body.data());
        curl_easy_setopt(client.handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(client.body.size()));
        curl_multi_add_handle(multi, client.handle);
    };
    for (auto& client : pool) {
        client.handle = curl_easy_init();
        setUp(client.handle, url, sessions);
        curl_easy_setopt(client.handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(client.handle, CURLOPT_WRITEFUNCTION, &keep);
        curl_easy_setopt(client.handle, CURLOPT_WRITEDATA, &client.reply);
        curl_easy_setopt(client.handle, CURLOPT_PRIVATE, static_cast<void*>(&client));
        // Room for any answer a payment gets (a few KiB), so that a reply is never moved to a
        // larger buffer, leaving the old one unwiped.
        client.reply.reserve(16 * 1024);
    }
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    const auto sample = [&] {
        const double at = std::chrono::duration<double>(Clock::now() - start).count();
        soak.samples.emplace_back(at, statusKiB(sandbox.pid(), "VmRSS:"));
    };
    sample();
    auto nextSample = start + kSampleEvery;
    for (auto& client : pool) {
        pay(client);
    }
    int running = clients;
    // Load until the end, then only the payments in flight, for at most the time one may take.
    const auto drained = end + std::chrono::seconds(kPaymentTimeoutSeconds + 5);
    bool loading = true;
    while (running > 0 && Clock::now() < drained) {
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            Client* client = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &client);
            long status = 0;
            curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
            const bool answered =
                message->data.result == CURLE_OK && status == 200 && !client->reply.empty();
            curl_multi_remove_handle(multi, client->handle);
            vanto::platform::secureWipe(client->body);
            vanto::platform::secureWipe(client->reply);
            ++soak.payments;
            soak.paidWhileLoading += loading ? 1 : 0;
            soak.unanswered += answered ? 0 : 1;
            const auto minute = static_cast<std::size_t>(
                std::chrono::duration_cast<std::chrono::minutes>(Clock::now() - start).count());
            if (soak.perMinute.size() <= minute) {
                soak.perMinute.resize(minute + 1, 0);
            }
            ++soak.perMinute[minute];
            if (loading) {
                pay(*client);
                ++running;
            }
        }
        const auto now = Clock::now();
        if (loading && now >= end) {
            loading = false;
            sample();  // the memory at the end, with the load still on
            soak.seconds = std::chrono::duration<double>(now - start).count();
        } else if (loading && now >= nextSample) {
            sample();
            nextSample += kSampleEvery;
        }
        const auto wake = loading ? std::min(nextSample, end) : drained;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now);
        curl_multi_poll(multi, nullptr, 0,
                        static_cast<int>(std::clamp<long long>(wait.count(), 0, 1000)), nullptr);
    }
    for (auto& client : pool) {
        if (running > 0) {
            curl_multi_remove_handle(multi, client.handle);  // still in flight after the bound
        }
        vanto::platform::secureWipe(client.body);
        vanto::platform::secureWipe(client.reply);
        curl_easy_cleanup(client.handle);
    }
    soak.unanswered += running;
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    return soak;
}

// Runs the transfers of `multi` until none is in flight or the time one may take has passed,
// waking at least every `wakeMs`: `done(handle, ok)` for each that ended (ok: answered with 200)
// returns how many transfers it added, and `between()` runs after each turn.
template <typename Done, typename Between>
void runTransfers(CURLM* multi, int running, int wakeMs, Done&& done, Between&& between) {
    const auto bound = Clock::now() + std::chrono::seconds(kPaymentTimeoutSeconds);
    while (running > 0 && Clock::now() < bound) {
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            long status = 0;
            curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
            running +=
                done(message->easy_handle, message->msg == CURLMSG_DONE &&
                                               message->data.result == CURLE_OK && status == 200);
        }
        between();
        curl_multi_poll(multi, nullptr, 0, wakeMs, nullptr);
    }
}

// Posts `posts` requests of `size` bytes to the direct-payment service, `inFlight` at a time, so
// that the recording holds large records beside the payments: they are kept and served whole (up
// to the sandbox's limit on a kept body), though the service refuses them. The number answered.
int fillRecording(CURLSH* sessions, int posts, std::size_t size, int inFlight) {
    const std::string url = vanto::Constants::getURLDirectPayment(vanto::EnviromentType::test);
    // Letters only: a run of digits as long as a card number would be masked in the recording.
    std::string body = "datoEntrada=";
    for (std::size_t i = body.size(); i < size; ++i) {
        body += static_cast<char>('a' + i % 26);
    }
    curl_slist* headers =
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    headers = curl_slist_append(headers, "Expect:");
    CURLM* multi = curl_multi_init();
    std::vector<std::size_t> received(static_cast<std::size_t>(inFlight), 0);
    int started = 0;
    int answered = 0;
    int running = 0;
    for (int i = 0; i < inFlight && started < posts; ++i, ++started) {
        CURL* handle = curl_easy_init();
        setUp(handle, url, sessions);
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &count);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void*>(&received[i]));
        curl_multi_add_handle(multi, handle);
        ++running;
    }
    std::vector<CURL*> idle;
    runTransfers(
        multi, running, 1000,
        [&](CURL* handle, bool ok) {
            answered += ok ? 1 : 0;
            curl_multi_remove_handle(multi, handle);
            if (started < posts) {
                ++started;
                curl_multi_add_handle(multi, handle);
                return 1;
            }
            idle.push_back(handle);
            return 0;
        },
        [] {});
    for (CURL* handle : idle) {
        curl_easy_cleanup(handle);
    }
    curl_multi_cleanup(multi);  // after the bound, the handles still in flight are left to exit
    curl_slist_free_all(headers);
    return answered;
}

struct Reads {
    std::size_t bytes = 0;  // of one read: the recording as served
    bool complete = false;
    long peakKiB = 0;
};

// `readers` clients read GET /sandbox/recorded at once, each on a connection of its own; the
// sandbox's resident memory is sampled meanwhile, and its peak also taken from VmHWM.
Reads readRecording(const SandboxProcess& sandbox, CURLSH* sessions, int readers) {
    const std::string url = "https://" + sandbox.authority() + "/sandbox/recorded";
    CURLM* multi = curl_multi_init();
    std::vector<CURL*> handles;
    std::vector<std::size_t> sizes(static_cast<std::size_t>(readers), 0);
    for (int i = 0; i < readers; ++i) {
        CURL* handle = curl_easy_init();
        setUp(handle, url, sessions);
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &count);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void*>(&sizes[i]));
        curl_multi_add_handle(multi, handle);
        handles.push_back(handle);
    }
    Reads reads;
    const bool peakReset = resetPeak(sandbox.pid());
    int answered = 0;
    // Wakes at least every 10 ms to sample the memory while the reads go on.
    runTransfers(
        multi, readers, 10,
        [&](CURL*, bool ok) {
            answered += ok ? 1 : 0;
            return 0;
        },
        [&] { reads.peakKiB = std::max(reads.peakKiB, statusKiB(sandbox.pid(), "VmRSS:")); });
    if (peakReset) {
        reads.peakKiB = std::max(reads.peakKiB, statusKiB(sandbox.pid(), "VmHWM:"));
    }
    reads.complete =
        answered == readers &&
        std::all_of(sizes.begin(), sizes.end(), [&](std::size_t s) { return s == sizes[0]; });
    reads.bytes = sizes[0];
    for (CURL* handle : handles) {
        curl_multi_remove_handle(multi, handle);
        curl_easy_cleanup(handle);
    }
    curl_multi_cleanup(multi);
    return reads;
}

// "ratio <measured> / <baseline> = <r> bound <b> fail <f> verdict <v>"; true on FAIL.
bool verdict(const char* measured, const char* baseline, double ratio, double bound) {
    const double fail = bound * vanto::bench::kMargin;
    const char* word = !(ratio > 0)     ? "not-run"
                       : bound <= 0     ? "info"
                       : ratio <= bound ? "within"
                       : ratio <= fail  ? "over"
                                        : "FAIL";
    char figure[32] = "-";
    if (ratio > 0) {
        std::snprintf(figure, sizeof figure, "%.3f", ratio);
    }
    if (bound > 0) {
        std::printf("ratio %s / %s = %s bound %g fail %g verdict %s\n", measured, baseline, figure,
                    bound, fail, word);
    } else {
        std::printf("ratio %s / %s = %s bound - fail - verdict %s\n", measured, baseline, figure,
                    word);
    }
    return std::string_view(word) == "FAIL";
}

}  // namespace

int main(int argc, char** argv) {
    std::string vanto;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]).rfind("--benchmark_", 0) != 0) {
            vanto = argv[i];
        }
    }
    if (vanto.empty()) {
        std::cerr << "usage: vanto_bench_soak VANTO\n";
        return 2;
    }
    const long seconds = settingOf("VANTO_BENCH_SOAK_SECONDS", 300);
    const int clients = static_cast<int>(settingOf("VANTO_BENCH_SOAK_CLIENTS", 500));
    // The memory the end is compared with: after the first minute of five.
    const double reference = std::min(60.0, static_cast<double>(seconds) / 5);
    curl_global_init(CURL_GLOBAL_DEFAULT);

    std::error_code error;
    const auto folder = std::filesystem::temp_directory_path(error) /
                        ("vanto_bench_soak." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder, error);
    const std::string certificateFile = (folder / "sandbox.pem").string();
    SandboxProcess sandbox;
    std::string problem;
    const bool started = sandbox.start(vanto, certificateFile, problem);
    std::string pem;
    if (started) {
        std::ifstream file(certificateFile);
        std::stringstream text;
        text << file.rdbuf();
        pem = text.str();
    }
    std::filesystem::remove_all(folder, error);
    if (!started || (trust = trustStore(pem, false)) == nullptr) {
        std::cerr << "the sandbox did not start: " << problem << "\n";
        return 1;
    }
    CURLSH* sessions = curl_share_init();
    curl_share_setopt(sessions, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);

    const std::string loadBefore = loadAverage();
    std::printf("sandbox pid %d, %d clients paying for %ld s, load average %s\n", sandbox.pid(),
                clients, seconds, loadBefore.c_str());
    std::fflush(stdout);
    const Soak soak = runLoad(sandbox, sessions, clients, seconds);
    const std::string loadAfter = loadAverage();
    std::printf("seconds  VmRSS MiB\n");
    long atReference = 0;
    double referenceTaken = 0;
    // The highest sample after the reference: the end may come after a fall.
    long peakAfter = 0;
    for (const auto& [at, kib] : soak.samples) {
        std::printf("%7.1f  %8.1f\n", at, mib(kib));
        if (atReference == 0 && at >= reference) {
            atReference = kib;
            referenceTaken = at;
        }
        peakAfter = atReference > 0 ? std::max(peakAfter, kib) : 0;
    }
    std::printf("payments per minute:");
    for (const long figure : soak.perMinute) {
        std::printf(" %ld", figure);
    }
    std::printf(
        "\n%ld payments, %ld unanswered, in %.1f s; load average %s at the start, %s at "
        "the end\n",
        soak.payments, soak.unanswered, soak.seconds, loadBefore.c_str(), loadAfter.c_str());
    const long atEnd = soak.samples.empty() ? 0 : soak.samples.back().second;
    std::printf("sandbox VmRSS %.1f MiB at the start, %.1f MiB at %.0f s, %.1f MiB at the end\n",
                mib(soak.samples.empty() ? 0 : soak.samples.front().second), mib(atReference),
                referenceTaken, mib(atEnd));

    // The recording after the load holds the newest payments the sandbox keeps, about 1.2 KiB a
    // record; large records beside them make it tens of MiB, as a longer run of larger requests
    // would leave it.
    const int largeRecords = static_cast<int>(settingOf("VANTO_BENCH_SOAK_LARGE_MIB", 32) * 1024 *
                                              1024 / kLargeRecordBytes);
    const int filled = fillRecording(sessions, largeRecords, kLargeRecordBytes, kConcurrentReads);
    std::printf("%d of %d large requests answered\n", filled, largeRecords);
    const long before = statusKiB(sandbox.pid(), "VmRSS:");
    const Reads one = readRecording(sandbox, sessions, 1);
    const Reads many = readRecording(sandbox, sessions, kConcurrentReads);
    const double perRead =
        static_cast<double>(std::max(0L, many.peakKiB - before)) * 1024.0 / kConcurrentReads;
    std::printf(
        "recording %.1f MiB; sandbox VmRSS %.1f MiB before the reads, peak %.1f MiB over "
        "one read, %.1f MiB over %d at once (%.2f MiB a read)\n",
        static_cast<double>(one.bytes) / 1048576.0, mib(before), mib(one.peakKiB),
        mib(many.peakKiB), kConcurrentReads, perRead / 1048576.0);

    const int stopped = sandbox.stop();
    curl_share_cleanup(sessions);
    X509_STORE_free(trust);

    bool overLimit = false;
    const std::string rssName =
        "sandbox_rss_at_" + std::to_string(static_cast<int>(reference)) + "s";
    overLimit |=
        verdict("sandbox_rss_end", rssName.c_str(),
                atReference > 0 ? static_cast<double>(atEnd) / static_cast<double>(atReference) : 0,
                kRssBound);
    verdict("sandbox_rss_peak_after", rssName.c_str(),
            atReference > 0 ? static_cast<double>(peakAfter) / static_cast<double>(atReference) : 0,
            0);
    overLimit |= verdict("recorded_read_rss_rise", "recording_size",
                         one.complete && many.complete && one.bytes > 0
                             ? perRead / static_cast<double>(one.bytes)
                             : 0,
                         kRecordedBound);
    std::printf("throughput soak_payments/clients:%d = %.1f per second\n", clients,
                soak.seconds > 0 ? static_cast<double>(soak.paidWhileLoading) / soak.seconds : 0);
    bool failed = false;
    if (soak.unanswered > 0) {
        std::printf("%ld payments got no answer\n", soak.unanswered);
        failed = true;
    }
    if (!one.complete || !many.complete) {
        std::printf("a read of the recording failed or differed from the others\n");
        failed = true;
    }
    if (stopped != 0) {
        std::printf("the sandbox did not stop cleanly on SIGTERM (status %d)\n", stopped);
        failed = true;
    }
    const char* bounds = std::getenv("VANTO_BENCH_BOUNDS");
    const bool held = bounds == nullptr || std::string_view(bounds) != "off";
    return failed || (overLimit && held) ? 1 : 0;
}
