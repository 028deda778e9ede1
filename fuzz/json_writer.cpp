// The JSON writer, under the checks of JsonWriterOracle.h.
#include "FuzzSupport.h"
#include "JsonWriterOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vanto::fuzz::checkJsonWriter(vanto::fuzz::textOf(data, size));
    return 0;
}
