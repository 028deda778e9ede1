#pragma once

#include <string>
#include <string_view>

namespace vanto::journal {

// Who wrote a payment: this machine's boot, the process's id and the moment it started, so that
// a process id used again after the first one ended names another process.
// "<boot id>/<pid>/<start>"; "" when the system does not tell.
const std::string& thisProcess();

// Whether the process `writer` names still runs. A writer that cannot be checked (an older
// journal's, another boot's, or one the system does not tell about) counts as ended, so that its
// unfinished payments show as unresolved rather than stay hidden.
bool stillRuns(std::string_view writer);

}  // namespace vanto::journal
