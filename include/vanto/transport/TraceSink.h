#pragma once

#include <functional>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// Receives each finished block that the library prints: a request or reply trace, the address
/// of a payment page, a navigated address, a navigation line. Card data are masked before a block
/// is handed over, whatever the sink.
using TraceSink = std::function<void(std::string_view block)>;

/// Sends every later block to `sink`; an empty sink puts back the default, standard output (one
/// write per block, followed by a line break). Blocks reach the sink one at a time and in the
/// order they were written, each to the sink chosen when it was written. No lock of the library
/// is held while the sink runs: it may write traces and choose another sink itself (what it
/// writes follows once it returns). An exception thrown by the sink loses that block only.
VANTO_EXPORT void setTraceSink(TraceSink sink);

/// Hands one finished block to the sink.
VANTO_EXPORT void writeTrace(std::string_view block);

}  // namespace vanto
