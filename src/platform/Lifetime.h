#pragma once

#include <functional>

namespace vanto::platform::lifetime {

// How library threads meet the end of the process.
//
// Every process-wide object that a library thread can touch (the main queue's run loop, the
// cookie stores, the trust stores, the thread park, the configuration) is created on first use and
// never destroyed, so a thread still working while static objects are destroyed after main() has
// returned never meets a destroyed object.
//
// The libraries underneath are another matter: OpenSSL frees its global state when the process
// ends, and that cannot be switched off from here (it is arranged when libssl is loaded). So when
// the process begins to end, the library stops its own work first: transfers under way are cut
// short, no transfer, reply handling or delivery of an outcome starts any more (the outcome is
// dropped on purpose), and the end of the process waits, for a short while at most, until the
// work that had begun has left the library. Outcomes are thereby delivered whole or not at all.

// Runs `work` unless the process is ending; returns whether it ran. Work that has begun when the
// process starts to end is waited for.
bool runUnlessEnding(const std::function<void()>& work);

// Whether the process has begun to end (main() has returned or exit() was called). Cheap enough
// for a transfer to ask while it waits for bytes.
bool ending();

// Starts watching for the end of the process; later calls do nothing. Called when the transport
// is first used, after the libraries underneath were loaded and set up, so that the library's
// own work stops before their clean-up runs.
void watchProcessEnd();

}  // namespace vanto::platform::lifetime
