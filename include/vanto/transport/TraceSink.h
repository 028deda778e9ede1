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
/// write per block, followed by a line break). Blocks reach the sink one at a time, from whichever
/// thread made them; a block being handed to the old sink when this is called still finishes
/// there. The sink must not call setTraceSink().
VANTO_EXPORT void setTraceSink(TraceSink sink);

/// Hands one finished block to the sink.
VANTO_EXPORT void writeTrace(std::string_view block);

}  // namespace vanto
