#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "TestSupport.h"

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

/// The members of the JSON object `json` as keys and raw JSON values, in the order written.
inline Members membersOf(std::string_view json) {
    Members members;
    const auto object = nlohmann::ordered_json::parse(json);
    for (const auto& [key, value] : object.items()) {
        members.emplace_back(key, value.dump());
    }
    return members;
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

/// The one rule for "code" of every record that has one: a JSON number whose exact value is a
/// whole number in the signed 64-bit range, however it is written, and nothing else. Members the
/// record does not know are ignored whatever number they hold, and a number inside a text stays
/// text. `members` decode as `Record`, with "code" first and "desc" second.
template <Decodable Record>
void expectTheCodeRule(const Members& members) {
    const auto decodeWith = [&members](const std::string& code, const std::string& desc) {
        Members changed = members;
        changed[0].second = code;
        changed[1].second = desc;
        return Record::fromJSON(objectOf(changed));
    };
    const auto codeOf = [&decodeWith](const std::string& code) -> std::optional<std::int64_t> {
        const auto record = decodeWith(code, "\"\"");
        return record ? std::optional(record->code) : std::nullopt;
    };
    for (const auto& row : readTestRows("record-cases.txt")) {
        if (row.at(0) != "code") {
            continue;
        }
        const std::optional<std::int64_t> value =
            row.at(2) ? std::optional(std::stoll(*row[2])) : std::nullopt;
        EXPECT_EQ(codeOf(*row.at(1)), value) << *row[1];
    }
    // Numbers no double holds: members the record does not know may carry them all the same.
    const std::string nines(400, '9');
    const std::vector<std::string> huge{"1e400",
                                        "-1e400",
                                        "1e-400",
                                        "1e99999999999999999999",
                                        nines,
                                        "-" + nines,
                                        R"([1e999,{"n":-1e999}])"};
    for (const std::string& text : {nines, "-" + nines}) {
        EXPECT_EQ(codeOf(text), std::nullopt) << text.substr(0, 40);
    }
    Members withUnknown = members;
    for (const std::string& odd : huge) {
        withUnknown.emplace_back("unknown" + std::to_string(withUnknown.size()), odd);
    }
    EXPECT_TRUE(Record::fromJSON(objectOf(withUnknown)));

    const auto numbersInText = decodeWith("1.0", R"("\"1.0\" 1e400 -0")");
    ASSERT_TRUE(numbersInText);
    EXPECT_EQ(numbersInText->desc, R"("1.0" 1e400 -0)");
}

/// The optional text members of `Nested`, named by the keys of `accepted` after "code" and
/// "desc", each take a text, null or nothing, and refuse any other value both on their own and
/// when an `Outer` record carries them under `member`, itself an object and nothing else. A text
/// is written back alone, whatever unknown member came with it.
template <Encodable Nested, Decodable Outer>
void expectOptionalTextMembers(const Members& accepted, const std::string& member) {
    const auto outer = [&member](const std::string& nested) {
        return Outer::fromJSON(R"({"code":0,"desc":"",")" + member + "\":" + nested + '}');
    };
    for (auto key = accepted.begin() + 2; key != accepted.end(); ++key) {
        SCOPED_TRACE(key->first);
        for (const char* wrong : {"0", "1.5", "1e400", "true", "{}", "[\"0000\"]"}) {
            EXPECT_FALSE(Nested::fromJSON(objectOf({{key->first, wrong}}))) << wrong;
            EXPECT_FALSE(outer(objectOf({{key->first, wrong}}))) << wrong;
        }
        EXPECT_TRUE(outer(objectOf({{key->first, "null"}})));
        const auto text =
            Nested::fromJSON(objectOf({{key->first, "\"v\""}, {"Ds_Other", "1e400"}}));
        ASSERT_TRUE(text);
        EXPECT_EQ(text->toJSON(), objectOf({{key->first, "\"v\""}}));
    }
    for (const char* notAnObject : {"\"0000\"", "[]", "1"}) {
        EXPECT_FALSE(outer(notAnObject)) << notAnObject;
    }
}

/// None of `Records` decodes from a text that is not one well-formed JSON object (the gateway's
/// answer or what a return address carries after Base64 decoding may be anything), and none
/// throws.
template <Decodable... Records>
void expectOnlyOneJsonObjectDecodes() {
    std::vector<std::string> broken{std::string(100000, '['), std::string(100000, '{')};
    for (const auto& row : readTestRows("record-cases.txt")) {
        if (row.at(0) == "broken") {
            broken.push_back(*row.at(1));
        }
    }
    for (const std::string& text : broken) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_NO_THROW(([&text] { EXPECT_FALSE(Records::fromJSON(text)); }(), ...));
    }
}

}  // namespace vanto::testing

namespace vanto {

/// Failed comparisons show a record as its JSON.
template <testing::Encodable Record>
void PrintTo(const Record& record, std::ostream* out) {
    *out << record.toJSON();
}

}  // namespace vanto
