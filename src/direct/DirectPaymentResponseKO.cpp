#include "vanto/direct/DirectPaymentResponse.h"

#include <utility>

namespace vanto {

DirectPaymentResponseKO::DirectPaymentResponseKO(std::int64_t code, std::string desc)
    : code(code), desc(std::move(desc)) {}

}  // namespace vanto
