#include "EncodeInput.h"

#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "vanto/encoding/Encode.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/text/CardText.h"

namespace vanto::cli {
namespace {

using nlohmann::json;
using TextSetter = void (VantoConfiguration::*)(std::string);

// Input that cannot be encoded. The message names members, never their values: the input may
// hold a card number.
struct BadInput {
    std::string message;
};

// A member name as a message shows it: in quotation marks, escaped as in JSON, so that a name
// holding a line break or a quotation mark cannot break the message's one line.
std::string quotedName(const std::string& name) {
    return json(name).dump(-1, ' ', false, json::error_handler_t::replace);
}

const std::map<std::string, TextSetter>& textProperties() {
    static const std::map<std::string, TextSetter> properties = {
        {"appLicense", &VantoConfiguration::setAppLicense},
        {"appFuc", &VantoConfiguration::setAppFuc},
        {"appTerminal", &VantoConfiguration::setAppTerminal},
        {"appCurrency", &VantoConfiguration::setAppCurrency},
        {"appURLKO", &VantoConfiguration::setAppURLKO},
        {"appURLOK", &VantoConfiguration::setAppURLOK},
        {"appMerchantGroup", &VantoConfiguration::setAppMerchantGroup},
        {"appMerchantURL", &VantoConfiguration::setAppMerchantURL},
        {"appMerchantData", &VantoConfiguration::setAppMerchantData},
        {"appMerchantName", &VantoConfiguration::setAppMerchantName},
        {"appMerchantTitular", &VantoConfiguration::setAppMerchantTitular},
        {"appMerchantConsumerLanguage", &VantoConfiguration::setAppMerchantConsumerLanguage},
        {"appMerchantDescription", &VantoConfiguration::setAppMerchantDescription},
    };
    return properties;
}

int integerProperty(const std::string& name, const json& value) {
    if (!value.is_number_integer()) {
        throw BadInput{"configuration member \"" + name + "\" must be an integer"};
    }
    const auto raw = value.get<std::int64_t>();
    if (raw < 0 || raw > 100) {
        throw BadInput{"configuration member \"" + name + "\" is not a known code"};
    }
    return static_cast<int>(raw);
}

VantoConfiguration readConfiguration(const json& members) {
    if (!members.is_object()) {
        throw BadInput{"member \"configuration\" must be an object"};
    }
    VantoConfiguration configuration;
    for (const auto& [name, value] : members.items()) {
        if (name == "appEnviroment") {
            if (!configuration.setAppEnviroment(integerProperty(name, value))) {
                throw BadInput{
                    "configuration member \"appEnviroment\" is not a known environment code"};
            }
        } else if (name == "appMerchantPayMethods") {
            if (!configuration.setAppMerchantPayMethods(integerProperty(name, value))) {
                throw BadInput{
                    "configuration member \"appMerchantPayMethods\" is not a known payment method "
                    "code"};
            }
        } else if (const auto property = textProperties().find(name);
                   property != textProperties().end()) {
            if (!value.is_string()) {
                throw BadInput{"configuration member \"" + name + "\" must be a text"};
            }
            (configuration.*(property->second))(value.get<std::string>());
        } else {
            throw BadInput{"unknown configuration member " + quotedName(name)};
        }
    }
    return configuration;
}

const json& member(const json& input, const std::string& name) {
    const auto found = input.find(name);
    if (found == input.end()) {
        throw BadInput{"missing member \"" + name + "\""};
    }
    return *found;
}

std::string text(const json& input, const std::string& name) {
    const json& value = member(input, name);
    if (!value.is_string()) {
        throw BadInput{"member \"" + name + "\" must be a text"};
    }
    return value.get<std::string>();
}

double number(const json& input, const std::string& name) {
    const json& value = member(input, name);
    if (!value.is_number()) {
        throw BadInput{"member \"" + name + "\" must be a number"};
    }
    return value.get<double>();
}

void rejectUnknownMembers(const json& input, const std::set<std::string>& arguments) {
    for (const auto& [name, value] : input.items()) {
        if (name != "configuration" && name != "version" && name != "bundle" &&
            !arguments.contains(name)) {
            throw BadInput{"unknown member " + quotedName(name)};
        }
    }
}

// Reads the members every input has; they are checked before the arguments.
EncodeInput readCommonMembers(const json& input, const std::set<std::string>& arguments) {
    rejectUnknownMembers(input, arguments);
    EncodeInput read{.configuration = readConfiguration(member(input, "configuration"))};
    if (input.contains("version")) {
        read.version = text(input, "version");
    }
    if (input.contains("bundle")) {
        read.bundle = text(input, "bundle");
    }
    return read;
}

EncodeInput readDirect(const json& input) {
    EncodeInput read =
        readCommonMembers(input, {"pan", "cvv2", "expiryDate", "amount", "orden", "identifier",
                                  "directPayment", "transactionType", "productDescription"});
    read.arguments = DirectPaymentInput{text(input, "pan"),
                                        text(input, "cvv2"),
                                        text(input, "expiryDate"),
                                        text(input, "amount"),
                                        text(input, "orden"),
                                        text(input, "identifier"),
                                        text(input, "directPayment"),
                                        text(input, "transactionType"),
                                        text(input, "productDescription")};
    return read;
}

EncodeInput readWeb(const json& input) {
    EncodeInput read =
        readCommonMembers(input, {"orderNumber", "identifier", "amount", "directPayment",
                                  "transactionType", "productDescription"});
    const double amount = number(input, "amount");
    if (!amountInHundredths(amount)) {
        throw BadInput{"member \"amount\" cannot be converted to hundredths of the currency unit"};
    }
    read.arguments = WebPaymentInput{text(input, "orderNumber"),
                                     text(input, "identifier"),
                                     amount,
                                     text(input, "directPayment"),
                                     text(input, "transactionType"),
                                     text(input, "productDescription")};
    return read;
}

}  // namespace

std::variant<EncodeInput, std::string> readEncodeInput(const std::string& kind,
                                                       std::string_view source) {
    const json input = json::parse(source, nullptr, false);
    if (input.is_discarded() || !input.is_object()) {
        return std::string("standard input is not one JSON object");
    }
    try {
        return kind == "direct" ? readDirect(input) : readWeb(input);
    } catch (const BadInput& bad) {
        return bad.message;
    }
}

std::string encode(const EncodeInput& input) {
    VantoConfiguration::shared() = input.configuration;
    if (input.version) {
        IAClientServiceSSM::setVerSDK(*input.version);
    }
    if (input.bundle) {
        IAClientServiceSSM::setAppBundle(*input.bundle);
    }
    if (const auto* direct = std::get_if<DirectPaymentInput>(&input.arguments)) {
        // Printing the signed request, card data and all, is what the command is for.
        const auto request = Encode::encodeStringDirectPayment(
            direct->pan, direct->cvv2, direct->expiryDate, direct->amount, direct->orden,
            direct->identifier, direct->directPayment, direct->transactionType,
            direct->productDescription);
        return std::string(request.view());
    }
    const auto& web = std::get<WebPaymentInput>(input.arguments);
    return Encode::encodeStringWebViewPayment(web.orderNumber, web.identifier, web.amount,
                                              web.directPayment, web.transactionType,
                                              web.productDescription);
}

}  // namespace vanto::cli
