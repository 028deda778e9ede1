#pragma once

#include <string>
#include <string_view>

namespace vanto::detail {

/// Appends `text` without any occurrence of `what`, found left to right without overlaps, to
/// `out` (a std::string or a platform::SecretText). An empty `what` removes nothing.
template <typename Out>
void appendWithout(Out& out, std::string_view text, std::string_view what) {
    if (what.empty()) {
        out.append(text);
        return;
    }
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        from = at + what.size();
    }
    out.append(text.substr(from));
}

/// `text` without any occurrence of `what`; see appendWithout.
std::string removeAll(std::string_view text, std::string_view what);

}  // namespace vanto::detail
