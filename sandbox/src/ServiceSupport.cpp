// What the services share: answers shaped by faults, and reading and writing JSON.

#include <string>

#include "Pages.h"
#include "Services.h"
#include "vanto/encoding/Sha256.h"

namespace vanto::sandbox::detail {

namespace {

bool statusAllowsBody(int status) {
    return status >= 200 && status != 204 && status != 304;
}

}  // namespace

bool answerWithFault(Exchange& exchange, const Fault& fault, FaultTarget target) {
    if (fault.delay.count() > 0) {
        exchange.state.sleepUnlessStopping(fault.delay);
    }
    HttpResponse& response = exchange.response;
    switch (fault.kind) {
        case Fault::Kind::none:
            return false;
        case Fault::Kind::httpStatus:
            response.status = fault.status;
            if (statusAllowsBody(fault.status)) {
                response.setContent("Respuesta forzada por la pasarela de pruebas: estado " +
                                        std::to_string(fault.status) + "\n",
                                    "text/plain; charset=utf-8");
            }
            return true;
        case Fault::Kind::emptyBody:
            response.status = 200;
            response.setContent(
                "", target == FaultTarget::jsonService ? "application/json" : "text/html");
            return true;
        case Fault::Kind::notJson:
            response.status = 200;
            response.setContent("<html><body>Servicio no disponible</body></html>\n",
                                "text/html; charset=utf-8");
            return true;
        case Fault::Kind::unexpectedMensaje:
        case Fault::Kind::numericMensaje: {
            response.status = 200;
            if (target == FaultTarget::paymentPage) {
                response.setContent(dataErrorPage(), "text/html; charset=utf-8");
                return true;
            }
            nlohmann::ordered_json envelope;
            if (fault.kind == Fault::Kind::unexpectedMensaje) {
                const std::string mensaje = R"({"estado":"desconocido","lista":[1,2,3]})";
                envelope["mensaje"] = mensaje;
                envelope["firma"] = sha256(mensaje);
            } else {
                envelope["mensaje"] = 42;
                envelope["firma"] = sha256("42");
            }
            response.setContent(compactJson(envelope), "application/json");
            return true;
        }
        case Fault::Kind::closeConnection:
            response.delivery = HttpResponse::Delivery::none;
            return true;
        case Fault::Kind::truncatedBody:
            // Answer as usual; only the head of that answer leaves.
            response.delivery = HttpResponse::Delivery::headOnly;
            return false;
    }
    return false;
}

bool answerWithFaultForAll(Exchange& exchange, FaultTarget target) {
    const std::optional<Fault> fault = exchange.state.faultForAll();
    return fault && answerWithFault(exchange, *fault, target);
}

bool answerWithFaultForOrder(Exchange& exchange, const std::string& orderNumber,
                             FaultTarget target) {
    const std::optional<Fault> fault = exchange.state.faultForOrder(orderNumber);
    return fault && answerWithFault(exchange, *fault, target);
}

std::optional<std::string> textMember(const nlohmann::ordered_json& object, std::string_view key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return std::string();
    }
    if (!found->is_string()) {
        return std::nullopt;
    }
    return found->get<std::string>();
}

std::string compactJson(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace vanto::sandbox::detail
