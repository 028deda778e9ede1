#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace vanto::sandbox {

/// A fault that the sandbox injects into its answer instead of, or before, answering normally.
///
/// Faults are chosen per order number (SandboxGateway::setFault, or the switches of the order
/// number, Switches.h) or for every request (SandboxGateway::setFaultForAll). Set in process or
/// by a FAULT_ switch they act on the two JSON services and on the entry of the payment page;
/// the PAGEFAULT_ and RETURNFAULT_ switches make the same faults act on the card form and on
/// the sandbox's return pages.
struct Fault {
    enum class Kind {
        /// Answer normally (after the delay, if any).
        none,
        /// Answer `status` with a short body (and, from the JSON services, the session cookie).
        /// Only final statuses are answered: one outside 200-599 is answered as 500.
        httpStatus,
        /// Answer 200 with a body of zero bytes.
        emptyBody,
        /// Answer 200 with a body that is not JSON.
        notJson,
        /// Answer 200 with an envelope whose "mensaje" is the JSON text of an unrelated object.
        unexpectedMensaje,
        /// Answer 200 with an envelope whose "mensaje" is a number instead of a text.
        numericMensaje,
        /// Close the connection without writing any answer.
        closeConnection,
        /// Send the status line and header fields of a normal answer, then close the connection
        /// before the body.
        truncatedBody,
        /// Answer 200 with a body of 2 MiB, larger than any answer of the gateway.
        oversizedBody,
        /// Answer 200 with a refusal, code 9999, whose "desc" quotes the request's body as it
        /// arrived, card data in clear, as a gateway does that quotes a request it cannot take
        /// (the payment page: the "Error en datos enviados" page).
        echoRequest,
    };

    Kind kind = Kind::none;
    /// The status of Kind::httpStatus.
    int status = 503;
    /// How long the answer (or the close, or the cut) is held once the request has been read and
    /// decided; applies to every kind. A held answer keeps no other client waiting.
    std::chrono::milliseconds delay{0};

    static Fault delayed(std::chrono::milliseconds delay) { return {Kind::none, 503, delay}; }
    static Fault httpStatus(int status) { return {Kind::httpStatus, status, {}}; }
    static Fault emptyBody() { return {Kind::emptyBody, 503, {}}; }
    static Fault notJson() { return {Kind::notJson, 503, {}}; }
    static Fault unexpectedMensaje() { return {Kind::unexpectedMensaje, 503, {}}; }
    static Fault numericMensaje() { return {Kind::numericMensaje, 503, {}}; }
    static Fault closeConnection() { return {Kind::closeConnection, 503, {}}; }
    static Fault truncatedBody() { return {Kind::truncatedBody, 503, {}}; }
    static Fault oversizedBody() { return {Kind::oversizedBody, 503, {}}; }
    static Fault echoRequest() { return {Kind::echoRequest, 503, {}}; }

    /// The FAULT_ switch of an order number (see OrderSwitches in Switches.h), so that faults
    /// can be triggered from outside the process: "FAULT_STATUS_<200-599>",
    /// "FAULT_DELAY_<milliseconds, at most 120000>", "FAULT_EMPTY", "FAULT_NOTJSON",
    /// "FAULT_BADMSG", "FAULT_NUMMSG", "FAULT_CLOSE", "FAULT_CUT", "FAULT_HUGE" and "FAULT_ECHO".
    /// nullopt when the order number holds none.
    static std::optional<Fault> fromOrderNumber(std::string_view orderNumber);

    friend bool operator==(const Fault&, const Fault&) = default;
};

}  // namespace vanto::sandbox
