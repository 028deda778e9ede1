#include <istream>
#include <iterator>
#include <ostream>
#include <string>

#include "Commands.h"
#include "EncodeInput.h"

namespace vanto::cli {

int runEncode(const std::string& kind, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto input = readEncodeInput(kind, source);
    if (const auto* message = std::get_if<std::string>(&input)) {
        err << "vanto encode: " << *message << '\n';
        return kExitBadInput;
    }
    const std::string envelope = encode(std::get<EncodeInput>(input));
    if (envelope.empty()) {
        err << "vanto encode: the request could not be encoded\n";
        return kExitFailure;
    }
    out << envelope << '\n';
    return kExitOk;
}

}  // namespace vanto::cli
