#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/JsonRead.h"
#include "vanto/encoding/JsonWriter.h"

// JSON for the result records, whose members are a whole-number "code" followed by texts that
// are all required.
namespace vanto::detail {

/// A JSON member's name with the record's member it is read into and written from.
template <typename Record, typename Value>
struct Field {
    JsonWriter::Name key;
    Value Record::*member;
};

template <typename Record, std::size_t N>
using TextFields = std::array<Field<Record, std::string>, N>;

/// Fills `record` from a JSON object with "code" and every key of `fields`; none when one is
/// missing or of another type.
template <typename Record, std::size_t N>
std::optional<Record> decodeCodeAndTexts(std::string_view json, Record record,
                                         const TextFields<Record, N>& fields) {
    return decodeObject<Record>(json, [&](const nlohmann::json& object) -> std::optional<Record> {
        if (!readInteger(object, "code", record.code)) {
            return std::nullopt;
        }
        for (const auto& [key, member] : fields) {
            if (!readText(object, key, record.*member)) {
                return std::nullopt;
            }
        }
        return record;
    });
}

/// Writes "code" and every member of `fields`, in order; "" when a text is not UTF-8.
template <typename Record, std::size_t N>
std::string encodeCodeAndTexts(const Record& record, const TextFields<Record, N>& fields,
                               std::size_t expectedSize, JsonWriter::Sensitive sensitive) {
    JsonWriter writer(expectedSize, sensitive);
    writer.beginObject();
    writer.member("code", record.code);
    for (const auto& [key, member] : fields) {
        writer.member(key, record.*member);
    }
    writer.endObject();
    return writer.ok() ? writer.take() : std::string();
}

}  // namespace vanto::detail
