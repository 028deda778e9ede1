#pragma once

#include "vanto/Export.h"

namespace vanto {

/// The library's process-wide state, which has one owner. It holds the application's settings: the
/// shared configuration (VantoConfiguration::shared()), the gateway hosts set at run time
/// (Constants::setGatewayHost), the client identification (IAClientServiceSSM), the default
/// session configuration, the trace sink, the flows' gateway services, the cookies the gateway
/// set and the payment journal; and what a UI binding installs (the toolkit, the main queue's
/// executor) and the machinery that runs transfers (the main queue's run loop, the delegate
/// threads, the trust stores, the calls in flight).
///
/// Each piece is created on first use and lives until the process ends: a library thread may still
/// deliver an outcome while static objects are destroyed after main() has returned.
class VANTO_EXPORT ProcessState {
  public:
    ProcessState() = delete;

    /// Puts every setting back to its default, as a fresh process has it: the configuration, the
    /// gateway hosts, the client identification, the default session configuration, the trace
    /// sink (standard output), the gateway services (the library's own), the cookies (none) and
    /// the journal (none). What a UI binding installed stays with the binding, which removes it
    /// when it goes. Call it on the main queue, with no payment in flight: a test's set-up, or an
    /// application that hands the device to another merchant.
    static void reset();
};

}  // namespace vanto
