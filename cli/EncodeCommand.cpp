#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/text/Amount.h"

namespace vanto::cli {
namespace {

using nlohmann::json;
using TextSetter = void (VantoConfiguration::*)(std::string);

// Input that cannot be encoded. The message names members, never their values: the input may
// hold a card number.
struct BadInput {
    std::string message;
};

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

void applyConfiguration(const json& members) {
    if (!members.is_object()) {
        throw BadInput{"member \"configuration\" must be an object"};
    }
    auto& configuration = VantoConfiguration::shared();
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
            throw BadInput{"unknown configuration member \"" + name + "\""};
        }
    }
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
            throw BadInput{"unknown member \"" + name + "\""};
        }
    }
}

void applyIdentification(const json& input) {
    if (input.contains("version")) {
        IAClientServiceSSM::setVerSDK(text(input, "version"));
    }
    if (input.contains("bundle")) {
        IAClientServiceSSM::setAppBundle(text(input, "bundle"));
    }
}

std::string encodeDirect(const json& input) {
    rejectUnknownMembers(input, {"pan", "cvv2", "expiryDate", "amount", "orden", "identifier",
                                 "directPayment", "transactionType", "productDescription"});
    applyConfiguration(member(input, "configuration"));
    applyIdentification(input);
    return Encode::encodeStringDirectPayment(
        text(input, "pan"), text(input, "cvv2"), text(input, "expiryDate"), text(input, "amount"),
        text(input, "orden"), text(input, "identifier"), text(input, "directPayment"),
        text(input, "transactionType"), text(input, "productDescription"));
}

std::string encodeWeb(const json& input) {
    rejectUnknownMembers(input, {"orderNumber", "identifier", "amount", "directPayment",
                                 "transactionType", "productDescription"});
    applyConfiguration(member(input, "configuration"));
    applyIdentification(input);
    const double amount = number(input, "amount");
    if (!amountInHundredths(amount)) {
        throw BadInput{"member \"amount\" cannot be converted to hundredths of the currency unit"};
    }
    return Encode::encodeStringWebViewPayment(
        text(input, "orderNumber"), text(input, "identifier"), amount, text(input, "directPayment"),
        text(input, "transactionType"), text(input, "productDescription"));
}

}  // namespace

int runEncode(const std::string& kind, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const json input = json::parse(source, nullptr, false);
    if (input.is_discarded() || !input.is_object()) {
        err << "vanto encode: standard input is not one JSON object\n";
        return kExitBadInput;
    }
    try {
        const std::string envelope = kind == "direct" ? encodeDirect(input) : encodeWeb(input);
        if (envelope.empty()) {
            err << "vanto encode: the request could not be encoded\n";
            return kExitFailure;
        }
        out << envelope << '\n';
        return kExitOk;
    } catch (const BadInput& bad) {
        err << "vanto encode: " << bad.message << '\n';
        return kExitBadInput;
    }
}

}  // namespace vanto::cli
