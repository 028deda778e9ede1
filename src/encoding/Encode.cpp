#include "vanto/encoding/Encode.h"

#include <cstdio>
#include <optional>

#include "encoding/RequestMessages.h"
#include "platform/Digest.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/JsonWriter.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/text/CardText.h"

namespace vanto {
namespace {

// Room for a message of typical size without growing the writer's buffer.
constexpr std::size_t kExpectedMessageSize = 1024;

// The signature: SHA-256 over the message text followed by the signing credential, as 64
// lowercase hexadecimal digits. The two are fed to the digest in turn rather than joined, so no
// copy of the card data is made for it.
std::optional<platform::Sha256Digest::Value> sign(std::string_view message,
                                                  std::string_view license) {
    platform::Sha256Digest digest;
    platform::Sha256Digest::Value value{};
    if (!digest.update(message) || !digest.update(license) || !digest.finish(value)) {
        return std::nullopt;
    }
    return value;
}

// Writes the message, signs it and leaves the request envelope in the writer's nested copy; false
// when it cannot. The writer keeps the envelope's "mensaje" text (the message escaped as a JSON
// string) as it writes the message, so the envelope only needs the signature appended.
template <typename Message>
bool writeEnvelope(const Message& message, JsonWriter& writer) {
    writer.keepNestedCopy(R"({"mensaje":")");
    message.writeJson(writer);
    if (!writer.ok()) {
        return false;
    }
    const auto digest = sign(writer.text(), VantoConfiguration::shared().appLicense());
    if (!digest) {
        std::puts("The request could not be signed: the SHA-256 digest failed.");
        return false;
    }
    char firma[2 * std::tuple_size_v<platform::Sha256Digest::Value>];
    writeHex(*digest, firma);
    writer.appendToNestedCopy(R"(","firma":")");
    writer.appendToNestedCopy(std::string_view(firma, sizeof firma));
    writer.appendToNestedCopy(R"("})");
    return true;
}

}  // namespace

platform::SecretText Encode::encodeStringDirectPayment(
    std::string_view pan, std::string_view cvv2, std::string_view expiryDate,
    std::string_view amount, std::string_view orden, std::string_view identifier,
    std::string_view directPayment, std::string_view transactionType,
    std::string_view productDescription) {
    const auto& configuration = VantoConfiguration::shared();
    const objetoPeticionJSONDTO message(
        IAClientServiceSSM::getVerSDK(), IAClientServiceSSM::getAppBundle(),
        IAVantVirtualPetitionJSON(
            configuration.appFuc(), configuration.appTerminal(), std::string(orden),
            std::string(amount), configuration.appCurrency(), platform::SecretText(pan),
            platform::SecretText(cvv2), platform::SecretText(expiryDate), std::string(identifier),
            configuration.appMerchantURL(), std::string(productDescription),
            configuration.appMerchantData(), std::string(transactionType),
            std::string(directPayment), configuration.appMerchantConsumerLanguage(),
            configuration.appMerchantGroup()),
        IAClientServiceSSM::getOperativeSystem());
    JsonWriter writer(kExpectedMessageSize, JsonWriter::Sensitive::yes);
    return writeEnvelope(message, writer) ? writer.takeNestedSecret() : platform::SecretText();
}

std::string Encode::encodeStringWebViewPayment(std::string_view orderNumber,
                                               std::string_view identifier, double amount,
                                               std::string_view directPayment,
                                               std::string_view transactionType,
                                               std::string_view productDescription) {
    // An amount without a representation in hundredths is refused before anything is changed.
    auto amountHundredths = amountText(amount);
    if (!amountHundredths) {
        return "";
    }
    auto& configuration = VantoConfiguration::shared();
    if (configuration.appURLOK().empty()) {
        configuration.setAppURLOK("REDIR_URL_OK");
    }
    if (configuration.appURLKO().empty()) {
        configuration.setAppURLKO("REDIR_URL_KO");
    }
    const pedirURLDTO message(
        IAClientServiceSSM::getAppBundle(), configuration.appFuc(),
        IAClientServiceSSM::getOperativeSystem(), configuration.appTerminal(),
        IAClientServiceSSM::getVerSDK(),
        parametrosPeticionDTO(
            std::string(orderNumber), std::move(*amountHundredths), std::string(productDescription),
            std::string(identifier), std::string(transactionType), std::string(directPayment),
            configuration.appURLKO(), configuration.appURLOK(), configuration.appTerminal(),
            configuration.appFuc(), configuration.appCurrency(), configuration.appMerchantURL(),
            configuration.appMerchantData(), configuration.appMerchantGroup(),
            getValue(configuration.appMerchantPayMethods()), configuration.appMerchantName(),
            configuration.appMerchantTitular(), configuration.appMerchantConsumerLanguage(),
            "PZel_IOS", configuration.appMerchantDescription()));
    JsonWriter writer(kExpectedMessageSize);
    return writeEnvelope(message, writer) ? writer.takeNestedCopy() : "";
}

}  // namespace vanto
