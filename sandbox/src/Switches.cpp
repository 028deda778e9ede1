#include "vanto/sandbox/Switches.h"

#include <array>
#include <utility>

namespace vanto::sandbox {

namespace {

constexpr long kLongestDelayMilliseconds = 120000;
constexpr std::size_t kMostDelayDigits = 6;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// Whether `part` starts with the switch `name`. A name that ends in a digit must not go on
/// with another digit, so that "PAGEFAULT_5000" is not read as "PAGEFAULT_500".
bool startsWithName(std::string_view part, std::string_view name) {
    if (!part.starts_with(name)) {
        return false;
    }
    return !(isDigit(name.back()) && part.size() > name.size() && isDigit(part[name.size()]));
}

/// The number right after `name` in `part`: its digits end at the first other character and
/// there must be between one and `mostDigits` of them.
std::optional<long> numberAfter(std::string_view part, std::string_view name,
                                std::size_t mostDigits) {
    if (!part.starts_with(name)) {
        return std::nullopt;
    }
    std::string_view rest = part.substr(name.size());
    std::size_t digits = 0;
    long value = 0;
    while (digits < rest.size() && isDigit(rest[digits])) {
        if (++digits > mostDigits) {
            return std::nullopt;
        }
        value = value * 10 + (rest[digits - 1] - '0');
    }
    return digits == 0 ? std::nullopt : std::optional<long>(value);
}

std::optional<Fault> delayAfter(std::string_view part, std::string_view name) {
    const std::optional<long> delay = numberAfter(part, name, kMostDelayDigits);
    if (!delay || *delay > kLongestDelayMilliseconds) {
        return std::nullopt;
    }
    return Fault::delayed(std::chrono::milliseconds(*delay));
}

std::optional<Fault> jsonServiceFault(std::string_view part) {
    if (part.starts_with("FAULT_STATUS_")) {
        // At most three digits and a final status, so exactly three: a 1xx would leave the
        // client waiting for the answer that follows it.
        const std::optional<long> status = numberAfter(part, "FAULT_STATUS_", 3);
        return status && *status >= 200 && *status <= 599
                   ? std::optional<Fault>(Fault::httpStatus(static_cast<int>(*status)))
                   : std::nullopt;
    }
    if (part.starts_with("FAULT_DELAY_")) {
        return delayAfter(part, "FAULT_DELAY_");
    }
    static const std::array<std::pair<std::string_view, Fault>, 8> kNamed{{
        {"FAULT_EMPTY", Fault::emptyBody()},
        {"FAULT_NOTJSON", Fault::notJson()},
        {"FAULT_BADMSG", Fault::unexpectedMensaje()},
        {"FAULT_NUMMSG", Fault::numericMensaje()},
        {"FAULT_CLOSE", Fault::closeConnection()},
        {"FAULT_CUT", Fault::truncatedBody()},
        {"FAULT_HUGE", Fault::oversizedBody()},
        {"FAULT_ECHO", Fault::echoRequest()},
    }};
    for (const auto& [name, fault] : kNamed) {
        if (startsWithName(part, name)) {
            return fault;
        }
    }
    return std::nullopt;
}

/// The faults of the page-side families: "<family>DELAY_<ms>", "<family>CLOSE", "<family>CUT",
/// "<family>404" and "<family>500".
std::optional<Fault> pageSideFault(std::string_view part, std::string_view family) {
    if (!part.starts_with(family)) {
        return std::nullopt;
    }
    part.remove_prefix(family.size());
    if (part.starts_with("DELAY_")) {
        return delayAfter(part, "DELAY_");
    }
    static const std::array<std::pair<std::string_view, Fault>, 4> kNamed{{
        {"CLOSE", Fault::closeConnection()},
        {"CUT", Fault::truncatedBody()},
        {"404", Fault::httpStatus(404)},
        {"500", Fault::httpStatus(500)},
    }};
    for (const auto& [name, fault] : kNamed) {
        if (startsWithName(part, name)) {
            return fault;
        }
    }
    return std::nullopt;
}

std::optional<Outcome> outcomeOf(std::string_view part) {
    static const std::array<std::pair<std::string_view, Outcome>, 8> kNamed{{
        {"OUTCOME_0099", Outcome::response0099},
        {"OUTCOME_0100", Outcome::response0100},
        {"OUTCOME_MINUS1", Outcome::responseMinus1},
        {"OUTCOME_EMPTYAUTH", Outcome::emptyAuthorisationCode},
        {"OUTCOME_NOAUTH", Outcome::noAuthorisationCode},
        {"OUTCOME_NOTNUMERIC", Outcome::notNumeric},
        {"OUTCOME_NORESPONSE", Outcome::noResponse},
        {"OUTCOME_NODATOS", Outcome::noDatosRespuesta},
    }};
    for (const auto& [name, outcome] : kNamed) {
        if (startsWithName(part, name)) {
            return outcome;
        }
    }
    return std::nullopt;
}

/// Turns on the RESULT_ switch of `part`, if it names one; the first encoding named stays.
void readResultSwitch(std::string_view part, ResultShape& shape, bool& encodingChosen) {
    static const std::array<std::pair<std::string_view, ResultShape::Encoding>, 3> kEncodings{{
        {"RESULT_NOPARAMS", ResultShape::Encoding::absent},
        {"RESULT_URLSAFE", ResultShape::Encoding::urlSafeBase64},
        {"RESULT_BADBASE64", ResultShape::Encoding::notBase64},
    }};
    for (const auto& [name, encoding] : kEncodings) {
        if (startsWithName(part, name) && !encodingChosen) {
            shape.encoding = encoding;
            encodingChosen = true;
        }
    }
    shape.parametersFirst = shape.parametersFirst || startsWithName(part, "RESULT_PARAMSFIRST");
    shape.acceptedToUrlKo = shape.acceptedToUrlKo || startsWithName(part, "RESULT_OKTOKO");
}

/// Adds the fault of one part to the fault of its family: the first fault decides, and a delay
/// goes before whichever other fault comes.
void combine(std::optional<Fault>& family, const std::optional<Fault>& found) {
    if (!found) {
        return;
    }
    if (!family) {
        family = found;
    } else if (family->kind == Fault::Kind::none) {
        const auto delay = family->delay;
        family = found;
        family->delay += delay;
    } else if (found->kind == Fault::Kind::none) {
        family->delay += found->delay;
    }
}

}  // namespace

OrderSwitches readOrderSwitches(std::string_view orderNumber) {
    OrderSwitches switches;
    bool encodingChosen = false;
    while (!orderNumber.empty()) {
        const std::size_t end = std::min(orderNumber.find('-'), orderNumber.size());
        const std::string_view part = orderNumber.substr(0, end);
        orderNumber.remove_prefix(std::min(end + 1, orderNumber.size()));

        combine(switches.fault, jsonServiceFault(part));
        combine(switches.pageFault, pageSideFault(part, "PAGEFAULT_"));
        combine(switches.returnFault, pageSideFault(part, "RETURNFAULT_"));
        if (!switches.outcome) {
            switches.outcome = outcomeOf(part);
        }
        readResultSwitch(part, switches.result, encodingChosen);
        switches.authenticationStep =
            switches.authenticationStep || startsWithName(part, "AUTHSTEP");
    }
    return switches;
}

std::optional<Fault> Fault::fromOrderNumber(std::string_view orderNumber) {
    return readOrderSwitches(orderNumber).fault;
}

}  // namespace vanto::sandbox
