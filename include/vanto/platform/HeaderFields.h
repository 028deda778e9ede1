#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vanto/Export.h"

namespace vanto::platform {

/// Ordered header fields. Names compare without regard to case, as HTTP field names do.
class VANTO_EXPORT HeaderFields {
  public:
    using Field = std::pair<std::string, std::string>;

    /// Sets the field `name` to `value`, replacing an earlier value of the same field in place.
    void set(std::string name, std::string value);
    /// The value of the field `name`, if present.
    std::optional<std::string> value(std::string_view name) const;
    /// Adds a field without replacing (for replies, where a field may come more than once).
    void add(std::string name, std::string value);
    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }

  private:
    std::vector<Field> fields_;
};

}  // namespace vanto::platform
