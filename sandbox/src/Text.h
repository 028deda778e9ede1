#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vanto::sandbox::detail {

/// Whether `text` is one or more ASCII digits.
bool isDigits(std::string_view text);

/// `text` without leading and trailing spaces and tabs.
std::string_view trim(std::string_view text);

/// Compares two ASCII texts without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

/// Escapes the five characters that HTML gives a meaning to.
std::string htmlEscape(std::string_view text);

/// `text` with every %XX escape decoded ("+" stays a plus sign). A malformed escape is kept as
/// it is.
std::string percentDecode(std::string_view text);

/// One name or value of a form: "+" read as a space and %XX decoded.
std::string formDecode(std::string_view text);

/// The fields of an application/x-www-form-urlencoded text, in order: split at "&" and at the
/// first "=", "+" read as a space and %XX decoded. A malformed escape is kept as it is.
std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body);

/// The value of the first field with this name, or "" when there is none.
std::string formValue(const std::vector<std::pair<std::string, std::string>>& fields,
                      std::string_view name);

/// The fields of a query split at "&" and at the first "=", with no decoding at all: the
/// sandbox's return addresses carry Base64 as it is, "+" included.
std::vector<std::pair<std::string, std::string>> splitRawQuery(std::string_view query);

}  // namespace vanto::sandbox::detail
