#pragma once

#include <string>
#include <string_view>

namespace vanto::detail {

/// `text` without any occurrence of `what`, found left to right without overlaps. An empty
/// `what` removes nothing.
std::string removeAll(std::string_view text, std::string_view what);

}  // namespace vanto::detail
