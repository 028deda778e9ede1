#pragma once

#include <optional>
#include <string>

#include "vanto/Export.h"

namespace vanto {

/// The gateway environment every service is addressed in.
enum class EnviromentType : int {
    test = 0,
    integration = 1,
    real = 2,
};

/// The case for a raw value of the table, or none for any other integer.
VANTO_EXPORT std::optional<EnviromentType> enviromentTypeFromRawValue(int rawValue);

/// "Test", "Integration" or "Real"; "" for a value outside the table.
VANTO_EXPORT std::string getEnviromentType(EnviromentType type);

}  // namespace vanto
