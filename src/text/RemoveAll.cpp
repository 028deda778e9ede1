#include "text/RemoveAll.h"

namespace vanto::detail {

std::string removeAll(std::string_view text, std::string_view what) {
    if (what.empty()) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace vanto::detail
