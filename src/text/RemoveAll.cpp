#include "text/RemoveAll.h"

namespace vanto::detail {

std::string removeAll(std::string_view text, std::string_view what) {
    std::string out;
    out.reserve(text.size());
    appendWithout(out, text, what);
    return out;
}

}  // namespace vanto::detail
