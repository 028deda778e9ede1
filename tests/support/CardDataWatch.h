#pragma once

// Card data are an invariant of the suite, not a feature to test here and there: every test
// program that pays through the library includes this header, and at the end of each test the
// watch reads everything the test could see — the process's own standard output and error (the
// traces, the sandbox's console and whatever its children printed go there), and the texts and
// files the test's fixtures point it to (journals with their -wal and -shm files, the sandbox's
// recording, a child's output, the X clipboard and primary selection) — and fails the test,
// naming the place, when it finds a card number, security code or expiry date the suite pays
// with. The sandbox's test cards are always looked for; a test adds the security codes and
// expiry dates it types.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TempFolder.h"
#include "vanto/sandbox/TestCards.h"

namespace vanto::testing {

/// The spellings in which a card number of the suite would show if it escaped: its digits, and
/// grouped in fours the way a cardholder types it.
inline std::vector<std::string> cardNumberSpellings(std::string_view number) {
    std::string spaced, dashed;
    for (std::size_t i = 0; i < number.size(); ++i) {
        if (i > 0 && i % 4 == 0) {
            spaced += ' ';
            dashed += '-';
        }
        spaced += number[i];
        dashed += number[i];
    }
    return {std::string(number), spaced, dashed};
}

/// Whether `token` stands in `text` on its own, not as part of a longer word or number.
inline bool holdsToken(std::string_view text, std::string_view token) {
    const auto isWord = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    for (auto at = text.find(token); at != std::string_view::npos; at = text.find(token, at + 1)) {
        const std::size_t end = at + token.size();
        if ((at == 0 || !isWord(text[at - 1])) && (end == text.size() || !isWord(text[end]))) {
            return true;
        }
    }
    return false;
}

/// Copies the process's standard output and error to where they went before, keeping what
/// passes, so that the watch reads what each test printed while the console still shows it.
class OutputTee {
  public:
    explicit OutputTee(int fd) : fd_(fd), original_(::dup(fd)) {
        int ends[2];
        if (original_ < 0 || ::pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        ::dup2(ends[1], fd_);
        ::close(ends[1]);
        reader_ = ends[0];
        std::thread([this] { pass(); }).detach();
    }

    /// What was written since the last call, once everything written before the call has
    /// passed through.
    std::string takeWritten() {
        if (reader_ < 0) {
            return {};
        }
        std::fflush(nullptr);
        std::cout.flush();
        std::cerr.flush();
        std::string marker;
        {
            const std::lock_guard lock(mutex_);
            marker = "\x01vanto-watch-" + std::to_string(++markers_) + "\x01";
        }
        // Written without the lock, which the thread takes after each read: a pipe that others
        // filled meanwhile cannot hold the marker back while the thread waits for the lock.
        (void)!::write(fd_, marker.data(), marker.size());
        std::unique_lock lock(mutex_);
        // Bounded: the marker is in the pipe and the thread reads until it sees it.
        passed_.wait_for(lock, std::chrono::seconds(30),
                         [&] { return seen_.find(marker) != std::string::npos; });
        std::string written = std::move(seen_);
        seen_.clear();
        const auto at = written.find(marker);
        if (at != std::string::npos) {
            seen_ = written.substr(at + marker.size());
            written.erase(at);
        }
        return written;
    }

    /// Puts the stream back where it went before, once what was written has passed.
    void restore() {
        takeWritten();
        if (reader_ >= 0) {
            ::dup2(original_, fd_);
        }
    }

  private:
    void pass() {
        char buffer[4096];
        std::string pending;
        for (;;) {
            const ssize_t count = ::read(reader_, buffer, sizeof buffer);
            if (count <= 0) {
                return;
            }
            const std::lock_guard lock(mutex_);
            seen_.append(buffer, static_cast<std::size_t>(count));
            // The markers are the watch's own: they never reach the console.
            std::string shown(buffer, static_cast<std::size_t>(count));
            for (auto at = shown.find('\x01'); at != std::string::npos; at = shown.find('\x01')) {
                const auto end = shown.find('\x01', at + 1);
                shown.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
            }
            (void)!::write(original_, shown.data(), shown.size());
            passed_.notify_all();
        }
    }

    int fd_;
    int original_;
    int reader_ = -1;
    std::mutex mutex_;
    std::condition_variable passed_;
    std::string seen_;
    unsigned markers_ = 0;
};

class CardDataWatch : public ::testing::EmptyTestEventListener {
  public:
    /// The one watch of the test program, listening to every test from the first on.
    static CardDataWatch& get() {
        static CardDataWatch* watch = [] {
            auto* made = new CardDataWatch();  // owned by GoogleTest's listeners
            ::testing::UnitTest::GetInstance()->listeners().Append(made);
            childOutputReader() = [made](const std::string& where, std::string printed) {
                made->watch(where, [printed = std::move(printed)] { return printed; });
            };
            return made;
        }();
        return *watch;
    }

    /// A security code or expiry date the running test typed, looked for as a word of its own.
    /// Three digits are too common a word to look for (a length, a status, a port): the suites
    /// type four-digit codes where the watch is to see them.
    void secret(std::string_view value) {
        const std::lock_guard lock(mutex_);
        if (value.size() >= 4 &&
            std::find(secrets_.begin(), secrets_.end(), value) == secrets_.end()) {
            secrets_.emplace_back(value);
        }
    }

    /// An expiry date the running test typed, "YYMM" or "MM/YY": looked for as YYMM, MMYY and
    /// MM/YY.
    void expiry(std::string_view date) {
        const std::string digits =
            date.size() == 5 ? std::string(date.substr(3, 2)) + std::string(date.substr(0, 2))
                             : std::string(date);
        if (digits.size() != 4) {
            return secret(date);
        }
        const std::string month = digits.substr(2), year = digits.substr(0, 2);
        secret(digits);
        secret(month + year);
        secret(month + "/" + year);
    }

    /// A text the watch reads at the end of the running test (`always`: of every test).
    void watch(std::string where, std::function<std::string()> read, bool always = false) {
        const std::lock_guard lock(mutex_);
        (always ? always_ : sources_).push_back({std::move(where), std::move(read)});
    }

    /// A file read at the end of the running test, with a journal's -wal and -shm beside it.
    void watchFile(const std::string& path, bool always = false) {
        for (const std::string suffix : {"", "-wal", "-shm"}) {
            watch(
                path + suffix, [file = path + suffix] { return fileBytes(file); }, always);
        }
    }

    /// What a file and its -wal and -shm hold now, for a file the test removes before it ends.
    void keepFile(const std::string& path) {
        for (const std::string suffix : {"", "-wal", "-shm"}) {
            watch(path + suffix, [held = fileBytes(path + suffix)] { return held; });
        }
    }

    /// Where card data showed in what the watch can see now, one line each.
    std::vector<std::string> findings() {
        std::vector<std::pair<std::string, std::function<std::string()>>> sources;
        std::vector<std::string> secrets;
        {
            const std::lock_guard lock(mutex_);
            sources = always_;
            sources.insert(sources.end(), sources_.begin(), sources_.end());
            secrets = secrets_;
        }
        std::vector<std::pair<std::string, std::string>> seen;
        for (auto& [where, read] : sources) {
            seen.emplace_back(where, read());
        }
        for (auto& [name, tee] : tees_) {
            seen.emplace_back(name, tee->takeWritten());
        }
        std::vector<std::string> found;
        for (const auto& [where, text] : seen) {
            for (const auto card :
                 {sandbox::kAcceptedCard, sandbox::kDeclinedCard, sandbox::kReferenceCard,
                  sandbox::kGatewayErrorCard, sandbox::kAuthenticationCard}) {
                for (const auto& spelling : cardNumberSpellings(card)) {
                    // Named by its last four digits: the report is printed, and read in turn.
                    if (text.find(spelling) != std::string::npos) {
                        found.push_back(where + ": the card number ending in " +
                                        std::string(card.substr(card.size() - 4)) +
                                        (spelling.size() > card.size() ? ", grouped" : ""));
                    }
                }
            }
            for (std::size_t i = 0; i < secrets.size(); ++i) {
                if (holdsToken(text, secrets[i])) {
                    found.push_back(where + ": the security code or expiry date number " +
                                    std::to_string(i + 1) + " the test typed");
                }
            }
        }
        return found;
    }

    void OnTestProgramStart(const ::testing::UnitTest&) override {
        // The tees live as long as the process, their threads reading until it ends: they are
        // held where nothing frees them, the listener being deleted before the process ends.
        static auto* const held = new std::vector<OutputTee*>();
        for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            held->push_back(new OutputTee(fd));
            tees_.emplace_back(fd == STDOUT_FILENO ? "standard output" : "standard error",
                               held->back());
        }
    }

    // The summary goes straight to the console.
    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        for (auto& [name, tee] : tees_) {
            tee->restore();
        }
        tees_.clear();
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        for (const auto& where : findings()) {
            ADD_FAILURE() << "card data in clear in " << where;
        }
        const std::lock_guard lock(mutex_);
        sources_.clear();
        secrets_.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::function<std::string()>>> sources_;
    std::vector<std::pair<std::string, std::function<std::string()>>> always_;
    std::vector<std::string> secrets_;
    std::vector<std::pair<std::string, OutputTee*>> tees_;
};

/// The watch, listening from the first test of any program that includes this header.
inline CardDataWatch& cardDataWatch() {
    return CardDataWatch::get();
}

namespace detail {
inline const bool kCardDataWatched = (CardDataWatch::get(), true);
}  // namespace detail

}  // namespace vanto::testing
