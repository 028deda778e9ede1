#pragma once

#include <cstddef>
#include <string_view>

#include "vanto/platform/SecretText.h"

namespace vanto::cli {

/// Keeps card data out of core dumps and out of reach of ptrace by processes of the same user,
/// for the rest of the process's life. Called before any card data is read.
void makeUndumpable();

/// Reads card data (and the signing credential) one line at a time from a file descriptor, standard
/// input in the tool, without buffering beyond the line: every byte goes straight into a wiping
/// text. On a terminal each line is asked for with a prompt on `promptFd` and typed without echo;
/// the terminal's settings come back when the line is read, and also when a signal ends or stops
/// the process meanwhile.
class CardInput {
  public:
    /// The longest line taken; card data are far shorter.
    static constexpr std::size_t kMaxLine = 64;

    enum class Status {
        read,
        /// The input ended before the line began.
        ended,
        /// The line was longer than it may be.
        tooLong,
        /// Reading failed.
        failed,
    };

    CardInput(int fd, int promptFd);

    /// Reads one line of at most `longest` bytes into `line` (without its line break or a
    /// carriage return before it); on a terminal, after writing `prompt`.
    Status readLine(std::string_view prompt, platform::SecretText& line,
                    std::size_t longest = kMaxLine);

  private:
    Status readBytes(platform::SecretText& line, std::size_t longest);

    int fd_;
    int promptFd_;
    bool terminal_;
};

}  // namespace vanto::cli
