// The answer and result records of both flows: what each decodes from and writes, a row each of
// record-cases.txt, and the rules every record shares, checked member by member.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "vanto/direct/DirectPaymentResponse.h"
#include "vanto/web/WebViewPaymentResponse.h"

namespace vanto {
namespace {

/// JSON object members as keys and raw JSON values, in order.
using Members = std::vector<std::pair<std::string, std::string>>;

std::string objectOf(const Members& members) {
    std::string text = "{";
    for (const auto& [key, value] : members) {
        text += (text.size() > 1 ? ",\"" : "\"") + key + "\":" + value;
    }
    return text + '}';
}

Members membersOf(std::string_view json) {
    Members members;
    const auto object = nlohmann::ordered_json::parse(json);
    for (const auto& [key, value] : object.items()) {
        members.emplace_back(key, value.dump());
    }
    return members;
}

// What `json` decoded as `Record` writes, made into `Written` first (a result record, with code
// 0); none when it does not decode.
template <typename Record, typename Written = Record>
std::optional<std::string> written(std::string_view json) {
    const auto record = Record::fromJSON(json);
    if constexpr (std::is_same_v<Record, Parameters> && !std::is_same_v<Written, Record>) {
        return record ? std::optional(Written(*record, 0).toJSON()) : std::nullopt;
    } else {
        return record ? std::optional(Written(*record).toJSON()) : std::nullopt;
    }
}

std::optional<std::string> written(const std::string& record, std::string_view json) {
    const std::pair<std::string_view, std::optional<std::string> (*)(std::string_view)> kinds[] = {
        {"DirectPaymentResponse", written<DirectPaymentResponse>},
        {"DirectAccepted", written<DirectPaymentResponse, DirectPaymentResponseOK>},
        {"DatosRespuesta", written<DatosRespuesta>},
        {"DirectPaymentResponseOK", written<DirectPaymentResponseOK>},
        {"WebViewPaymentResponse", written<WebViewPaymentResponse>},
        {"Parameters", written<Parameters>},
        {"WebAccepted", written<Parameters, WebViewPaymentResponseOK>},
        {"datosPeticion", written<datosPeticion>},
        {"WebViewPaymentResponseOK", written<WebViewPaymentResponseOK>},
        {"WebViewPaymentResponseKO", written<WebViewPaymentResponseKO>}};
    for (const auto& [name, write] : kinds) {
        if (name == record) {
            return write(json);
        }
    }
    ADD_FAILURE() << "no such record " << record;
    return std::nullopt;
}

/// A result record with "code" first and only required texts after it: it decodes from
/// `members`, and fails to once any one member is missing, of another type or null.
template <typename Record>
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
template <typename Record>
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
    for (const auto& row : testing::readTestRows("record-cases.txt")) {
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
template <typename Nested, typename Outer>
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
template <typename... Records>
void expectOnlyOneJsonObjectDecodes() {
    std::vector<std::string> broken{std::string(100000, '['), std::string(100000, '{')};
    for (const auto& row : testing::readTestRows("record-cases.txt")) {
        if (row.at(0) == "broken") {
            broken.push_back(*row.at(1));
        }
    }
    for (const std::string& text : broken) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_NO_THROW(([&text] { EXPECT_FALSE(Records::fromJSON(text)); }(), ...));
    }
}

TEST(AnswerRecords, DecodeAndWriteEveryRowOfTheirTable) {
    for (const auto& row : testing::readTestRows("record-cases.txt")) {
        if (row.at(0) == "write") {
            EXPECT_EQ(written(*row.at(1), *row.at(2)), row.at(3) == "=" ? row[2] : row[3])
                << *row[1] << " " << *row[2];
        }
    }
}

// Every field a different text, so that two fields mixed up show, with characters that need
// escaping or are not ASCII.
DatosRespuesta fullDetails() {
    return DatosRespuesta("724", "1999", "pedido/7 \"especial\"", "978", "1234ABCD", "999008881",
                          "C", "VISA", "A1B2C3", "2", "1", "0000", "0", "3", "2912", "ident\\42",
                          "454881******0004 ñ");
}
Parameters fullParameters() {
    return Parameters("01/02/2025", "10:15", "1", "1999", "978", "1234ABCD", "999008881", "3",
                      "0000", "c2ln+/=", "0", "pedido \"especial\"", "A1B2C3", "2912", "ident\\42",
                      "2", "724", "VISA", "454881******0004 ñ");
}

// The accepted records' own constructors take every field in wire order, as the records made
// from an answer or a result have them.
TEST(AnswerRecords, AcceptedRecordsTakeEveryFieldInOrder) {
    EXPECT_EQ(DirectPaymentResponseOK(DirectPaymentResponse(fullDetails(), 0, "OK")),
              DirectPaymentResponseOK(0, "OK", "724", "1999", "pedido/7 \"especial\"", "978",
                                      "1234ABCD", "999008881", "C", "VISA", "A1B2C3", "2", "1",
                                      "0000", "0", "3", "2912", "ident\\42", "454881******0004 ñ"));
    EXPECT_EQ(WebViewPaymentResponseOK(fullParameters(), 99),
              WebViewPaymentResponseOK(99, "", "01/02/2025", "10:15", "1", "1999", "978",
                                       "1234ABCD", "999008881", "3", "0000", "c2ln+/=", "0",
                                       "pedido \"especial\"", "A1B2C3", "2912", "ident\\42", "2",
                                       "724", "VISA", "454881******0004 ñ"));
}

// A value that is not well-formed UTF-8 (which no decoded record holds) writes nothing.
TEST(AnswerRecords, WriteNothingForATextThatIsNotUtf8) {
    DatosRespuesta details = fullDetails();
    details.Ds_CardNumber = "\xff";
    EXPECT_EQ(details.toJSON(), "");
    EXPECT_EQ(DirectPaymentResponse(details, 0, "OK").toJSON(), "");
    Parameters result;
    result.Ds_Card_Number = "\xff";
    EXPECT_EQ(result.toJSON(), "");
    EXPECT_EQ(WebViewPaymentResponseKO(1, "\xc3").toJSON(), "");
}

// The members each record needs, with "code" and "desc" first, and the optional texts.
const Members kCodeAndDesc = {{"code", "0"}, {"desc", "\"\""}};
const char* const kDirectAccepted =
    R"({"code":0,"desc":"OK","Ds_Card_Country":"","Ds_Amount":"","Ds_MerchantData":"",)"
    R"("Ds_Currency":"","Ds_Order":"","Ds_MerchantCode":"","Ds_Card_Type":"",)"
    R"("Ds_Card_Brand":"","Ds_AuthorisationCode":"","Ds_Language":"",)"
    R"("Ds_SecurePayment":"","Ds_Response":"0000","Ds_TransactionType":"",)"
    R"("Ds_Terminal":"","Ds_ExpiryDate":"","Ds_Merchant_Identifier":"","Ds_CardNumber":""})";
const char* const kWebAccepted =
    R"({"code":0,"desc":"","Ds_Date":"","Ds_Hour":"","Ds_SecurePayment":"",)"
    R"("Ds_Amount":"","Ds_Currency":"","Ds_Order":"","Ds_MerchantCode":"",)"
    R"("Ds_Terminal":"","Ds_Response":"0000","Ds_Signature":"",)"
    R"("Ds_TransactionType":"","Ds_MerchantData":"","Ds_AuthorisationCode":"",)"
    R"("Ds_ExpiryDate":"","Ds_Merchant_Identifier":"","Ds_ConsumerLanguage":"",)"
    R"("Ds_Card_Country":"","Ds_Card_Brand":"","Ds_Card_Number":""})";

TEST(AnswerRecords, NeedTheirMembersWithTheirTypesAndCodeByOneRule) {
    expectEveryMemberRequired<DirectPaymentResponseOK>(membersOf(kDirectAccepted));
    expectTheCodeRule<DirectPaymentResponseOK>(membersOf(kDirectAccepted));
    expectEveryMemberRequired<DirectPaymentResponse>(kCodeAndDesc);
    expectTheCodeRule<DirectPaymentResponse>(kCodeAndDesc);
    expectEveryMemberRequired<WebViewPaymentResponse>(kCodeAndDesc);
    expectTheCodeRule<WebViewPaymentResponse>(kCodeAndDesc);
    expectEveryMemberRequired<WebViewPaymentResponseKO>(kCodeAndDesc);
    expectTheCodeRule<WebViewPaymentResponseKO>(kCodeAndDesc);
    expectEveryMemberRequired<WebViewPaymentResponseOK>(membersOf(kWebAccepted));
    expectTheCodeRule<WebViewPaymentResponseOK>(membersOf(kWebAccepted));
    expectEveryMemberRequired<datosPeticion>({{"Ds_Signature", "\"s\""},
                                              {"Ds_MerchantParameters", "\"p\""},
                                              {"Ds_SignatureVersion", "\"v\""}});
    expectOptionalTextMembers<DatosRespuesta, DirectPaymentResponse>(membersOf(kDirectAccepted),
                                                                     "datosRespuesta");
    expectOptionalTextMembers<Parameters, WebViewPaymentResponse>(membersOf(kWebAccepted),
                                                                  "parameters");
    expectOnlyOneJsonObjectDecodes<DirectPaymentResponse, DatosRespuesta, DirectPaymentResponseOK,
                                   Parameters, WebViewPaymentResponse, WebViewPaymentResponseOK,
                                   WebViewPaymentResponseKO>();
}

}  // namespace
}  // namespace vanto
