#pragma once

#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vanto::testing {

template <typename T>
concept Decodable = requires(std::string_view text) {
    { T::fromJSON(text) } -> std::same_as<std::optional<T>>;
};
template <typename T>
concept Encodable = requires(const T& record) {
    { record.toJSON() } -> std::same_as<std::string>;
};

/// JSON object members as keys and raw JSON values, in order.
using Members = std::vector<std::pair<std::string, std::string>>;

/// A JSON object from keys and raw JSON values, in the given order.
inline std::string objectOf(const Members& members) {
    std::string text = "{";
    for (const auto& [key, value] : members) {
        if (text.size() > 1) {
            text += ',';
        }
        text += '"' + key + "\":" + value;
    }
    return text + '}';
}

/// A result record with "code" first and only required texts after it: it decodes from
/// `members`, and fails to once any one member is missing, of another type or null.
template <Decodable Record>
void expectEveryMemberRequired(const Members& members) {
    ASSERT_TRUE(Record::fromJSON(objectOf(members)));
    for (std::size_t skipped = 0; skipped < members.size(); ++skipped) {
        SCOPED_TRACE(members[skipped].first);
        Members lacking = members;
        lacking.erase(lacking.begin() + static_cast<std::ptrdiff_t>(skipped));
        EXPECT_FALSE(Record::fromJSON(objectOf(lacking)));

        Members wrongType = members;
        wrongType[skipped].second = skipped == 0 ? "0.5" : "0";
        EXPECT_FALSE(Record::fromJSON(objectOf(wrongType)));

        Members nulled = members;
        nulled[skipped].second = "null";
        EXPECT_FALSE(Record::fromJSON(objectOf(nulled)));
    }
}

}  // namespace vanto::testing
