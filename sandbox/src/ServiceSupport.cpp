// What the services share: answers shaped by faults, and reading and writing JSON and forms.

#include <algorithm>
#include <string>

#include "Pages.h"
#include "Services.h"
#include "Text.h"
#include "vanto/encoding/Sha256.h"

namespace vanto::sandbox::detail {

namespace {

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::size_t kOversizedBodyBytes = 2 * 1024 * 1024;
constexpr int kEchoedRefusalCode = 9999;

/// A final status: anything else is answered as 500, since a 1xx would leave the client
/// waiting for an answer that never comes.
int finalStatus(int status) {
    return status >= 200 && status <= 599 ? status : 500;
}

void answerStatus(Exchange& exchange, int status, FaultTarget target) {
    HttpResponse& response = exchange.response;
    response.status = finalStatus(status);
    if (target == FaultTarget::page) {
        response.setContent(statusPage(response.status), kHtml);
    } else {
        response.setContent("Respuesta forzada por la pasarela de pruebas: estado " +
                                std::to_string(response.status) + "\n",
                            "text/plain; charset=utf-8");
    }
}

void answerUnreadableEnvelope(Exchange& exchange, const Fault& fault) {
    nlohmann::ordered_json envelope;
    if (fault.kind == Fault::Kind::unexpectedMensaje) {
        const std::string mensaje = R"({"estado":"desconocido","lista":[1,2,3]})";
        envelope["mensaje"] = mensaje;
        envelope["firma"] = sha256(mensaje);
    } else {
        envelope["mensaje"] = 42;
        envelope["firma"] = sha256("42");
    }
    exchange.response.status = 200;
    exchange.response.setContent(compactJson(envelope), "application/json");
}

// A refusal that quotes the whole request, card data and all: what a gateway may send back when
// it cannot take a request, and what the client must never print as it came.
void answerEchoingRefusal(Exchange& exchange) {
    nlohmann::ordered_json refusal;
    refusal["code"] = kEchoedRefusalCode;
    refusal["desc"] = exchange.request.body;
    const std::string mensaje = compactJson(refusal);
    nlohmann::ordered_json envelope;
    envelope["mensaje"] = mensaje;
    envelope["firma"] = sha256(mensaje);
    exchange.response.status = 200;
    exchange.response.setContent(compactJson(envelope), "application/json");
}

}  // namespace

bool answerWithFault(Exchange& exchange, const Fault& fault, FaultTarget target) {
    HttpResponse& response = exchange.response;
    response.delay += fault.delay;
    switch (fault.kind) {
        case Fault::Kind::none:
            return false;
        case Fault::Kind::httpStatus:
            answerStatus(exchange, fault.status, target);
            return true;
        case Fault::Kind::emptyBody:
            response.status = 200;
            response.setContent("",
                                target == FaultTarget::jsonService ? "application/json" : kHtml);
            return true;
        case Fault::Kind::notJson:
            response.status = 200;
            response.setContent("<html><body>Servicio no disponible</body></html>\n", kHtml);
            return true;
        case Fault::Kind::unexpectedMensaje:
        case Fault::Kind::numericMensaje:
        case Fault::Kind::echoRequest:
            if (target == FaultTarget::page) {
                response.status = 200;
                response.setContent(dataErrorPage(), kHtml);
            } else if (fault.kind == Fault::Kind::echoRequest) {
                answerEchoingRefusal(exchange);
            } else {
                answerUnreadableEnvelope(exchange, fault);
            }
            return true;
        case Fault::Kind::closeConnection:
            response.delivery = HttpResponse::Delivery::none;
            return true;
        case Fault::Kind::oversizedBody:
            response.status = 200;
            response.setContent(std::string(kOversizedBodyBytes, ' '),
                                target == FaultTarget::jsonService ? "application/json" : kHtml);
            return true;
        case Fault::Kind::truncatedBody:
            response.delivery = HttpResponse::Delivery::headOnly;
            if (target == FaultTarget::jsonService) {
                return false;  // the normal answer is made; only its head leaves
            }
            // A page's normal answer may be a redirection, which a browser follows from its head
            // alone; a page that promises a body shows the cut.
            response.status = 200;
            response.setContent(processingPage(), kHtml);
            return true;
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

bool hasFormBody(const HttpRequest& request) {
    const std::string contentType = request.header("Content-Type");
    const std::string_view mediaType =
        trim(std::string_view(contentType).substr(0, contentType.find(';')));
    return !request.bodyTooLarge &&
           equalsIgnoringCase(mediaType, "application/x-www-form-urlencoded");
}

bool nestedWithin(std::string_view json, std::size_t mostLevels) {
    std::size_t level = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : json) {
        if (escaped) {
            escaped = false;
        } else if (inString) {
            escaped = c == '\\';
            inString = c != '"';
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++level > mostLevels) {
                return false;
            }
        } else if ((c == '}' || c == ']') && level > 0) {
            --level;
        }
    }
    return true;
}

nlohmann::ordered_json parseJson(std::string_view json) {
    if (!nestedWithin(json, kMostJsonLevels)) {
        return nlohmann::ordered_json(nlohmann::ordered_json::value_t::discarded);
    }
    return nlohmann::ordered_json::parse(json, nullptr, false);
}

bool allTexts(const nlohmann::ordered_json& object, std::span<const std::string_view> keys) {
    return std::all_of(keys.begin(), keys.end(), [&object](std::string_view key) {
        const auto found = object.find(key);
        return found != object.end() && found->is_string();
    });
}

std::string text(const nlohmann::ordered_json& object, std::string_view key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

std::string compactJson(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace vanto::sandbox::detail
