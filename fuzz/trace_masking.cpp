// The masking of card data in traces, under the properties of TraceMaskingOracle.h.
#include "FuzzSupport.h"
#include "TraceMaskingOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vanto::masking::checkTraceMasking(vanto::fuzz::textOf(data, size));
    return 0;
}
