#include "journal/ProcessIdentity.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

namespace vanto::journal {
namespace {

std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The process's start, in clock ticks since boot: field 22 of its stat, counted after the
// command name, which is in parentheses and may itself hold spaces and parentheses.
std::string startOf(pid_t pid) {
    const std::string stat = firstLine("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) {
        return "";
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 22 && (fields >> field); ++index) {
        if (index == 22) {
            return field;
        }
    }
    return "";
}

// Read once: it is asked for each payment a listing finds under way.
const std::string& bootId() {
    static const std::string boot = firstLine("/proc/sys/kernel/random/boot_id");
    return boot;
}

}  // namespace

const std::string& thisProcess() {
    static const std::string identity = [] {
        const std::string& boot = bootId();
        const std::string start = startOf(::getpid());
        if (boot.empty() || start.empty()) {
            return std::string();
        }
        return boot + "/" + std::to_string(::getpid()) + "/" + start;
    }();
    return identity;
}

bool stillRuns(std::string_view writer) {
    if (writer.empty()) {
        return false;
    }
    if (writer == thisProcess()) {
        return true;
    }
    const auto first = writer.find('/');
    const auto second = writer.find('/', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos ||
        writer.substr(0, first) != bootId()) {
        return false;
    }
    const std::string_view pidText = writer.substr(first + 1, second - first - 1);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
    if (error != std::errc() || end != pidText.data() + pidText.size() || pid <= 0) {
        return false;
    }
    if (::kill(pid, 0) != 0 && errno == ESRCH) {
        return false;
    }
    return startOf(pid) == writer.substr(second + 1);
}

}  // namespace vanto::journal
