#include "vanto/transport/Response.h"

#include "encoding/JsonRead.h"
#include "vanto/encoding/JsonWriter.h"

namespace vanto {

Response::Response(std::string mensaje, std::optional<std::string> firma)
    : mensaje(std::move(mensaje)), firma(std::move(firma)) {}

std::optional<Response> Response::fromJSON(std::string_view json) {
    return detail::decodeObject<Response>(
        json, [](const nlohmann::json& object) -> std::optional<Response> {
            std::string mensaje;
            std::optional<std::string> firma;
            if (!detail::readText(object, "mensaje", mensaje) ||
                !detail::readOptionalText(object, "firma", firma)) {
                return std::nullopt;
            }
            return Response(std::move(mensaje), std::move(firma));
        });
}

std::string Response::toJSON() const {
    JsonWriter writer;
    writer.beginObject();
    writer.member("mensaje", mensaje);
    if (firma) {
        writer.member("firma", *firma);
    }
    writer.endObject();
    return writer.ok() ? writer.take() : std::string();
}

}  // namespace vanto
