#include "vanto/encoding/Encode.h"

#include <cstdio>
#include <optional>

#include "encoding/RequestMessages.h"
#include "platform/Digest.h"
#include "vanto/config/CodeTables.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/IAClientServiceSSM.h"
#include "vanto/encoding/Sha256.h"
#include "vanto/text/CardText.h"

namespace vanto {
namespace {

constexpr std::string_view kEnvelopeStart = R"({"mensaje":")";
constexpr std::string_view kSignatureStart = R"(","firma":")";
constexpr std::string_view kEnvelopeEnd = R"("})";
constexpr std::size_t kSignatureDigits = 2 * std::tuple_size_v<platform::Sha256Digest::Value>;

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

std::string_view viewOf(const std::string& text) {
    return text;
}

std::string_view viewOf(const platform::SecretText& text) {
    return text.view();
}

// Writes the message and, into `envelope`, the request envelope around it, escaped as a JSON
// text, with the signature; false when it cannot. Message and envelope are written side by side
// in one pass over the texts, into buffers sized for them.
template <typename Texts, typename Buffer>
bool writeEnvelope(const Texts& texts, Buffer& envelope) {
    Buffer message;
    envelope.append(kEnvelopeStart);
    constexpr std::size_t kTail = kSignatureStart.size() + kSignatureDigits + kEnvelopeEnd.size();
    if (!detail::writeMessage(texts, message, envelope, kTail)) {
        return false;
    }
    const auto digest = sign(viewOf(message), VantoConfiguration::shared().appLicense());
    if (!digest) {
        std::puts("The request could not be signed: the SHA-256 digest failed.");
        return false;
    }
    char firma[kSignatureDigits];
    writeHex(*digest, firma);
    envelope.append(kSignatureStart);
    envelope.append(std::string_view(firma, sizeof firma));
    envelope.append(kEnvelopeEnd);
    return true;
}

}  // namespace

platform::SecretText Encode::encodeStringDirectPayment(
    std::string_view pan, std::string_view cvv2, std::string_view expiryDate,
    std::string_view amount, std::string_view orden, std::string_view identifier,
    std::string_view directPayment, std::string_view transactionType,
    std::string_view productDescription) {
    const auto& configuration = VantoConfiguration::shared();
    const std::string version = IAClientServiceSSM::getVerSDK();
    const std::string bundle = IAClientServiceSSM::getAppBundle();
    const std::string operatingSystem = IAClientServiceSSM::getOperativeSystem();
    const detail::DirectPaymentTexts texts{
        .version = version,
        .bundle = bundle,
        .merchantCode = configuration.appFuc(),
        .terminal = configuration.appTerminal(),
        .order = orden,
        .amount = amount,
        .currency = configuration.appCurrency(),
        .pan = pan,
        .cvv2 = cvv2,
        .expiryDate = expiryDate,
        .identifier = identifier,
        .merchantURL = configuration.appMerchantURL(),
        .productDescription = productDescription,
        .merchantData = configuration.appMerchantData(),
        .transactionType = transactionType,
        .directPayment = directPayment,
        .consumerLanguage = configuration.appMerchantConsumerLanguage(),
        .group = configuration.appMerchantGroup(),
        .operatingSystem = operatingSystem,
    };
    platform::SecretText envelope;
    if (!writeEnvelope(texts, envelope)) {
        return platform::SecretText();
    }
    return envelope;
}

std::string Encode::encodeStringWebViewPayment(std::string_view orderNumber,
                                               std::string_view identifier, double amount,
                                               std::string_view directPayment,
                                               std::string_view transactionType,
                                               std::string_view productDescription) {
    // An amount without a representation in hundredths is refused before anything is changed.
    const auto amountHundredths = amountText(amount);
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
    const std::string version = IAClientServiceSSM::getVerSDK();
    const std::string bundle = IAClientServiceSSM::getAppBundle();
    const std::string operatingSystem = IAClientServiceSSM::getOperativeSystem();
    const std::string payMethods = getValue(configuration.appMerchantPayMethods());
    const detail::WebPaymentTexts texts{
        .bundle = bundle,
        .merchantCode = configuration.appFuc(),
        .operatingSystem = operatingSystem,
        .terminal = configuration.appTerminal(),
        .version = version,
        .order = orderNumber,
        .amount = *amountHundredths,
        .productDescription = productDescription,
        .identifier = identifier,
        .transactionType = transactionType,
        .directPayment = directPayment,
        .urlKO = configuration.appURLKO(),
        .urlOK = configuration.appURLOK(),
        .currency = configuration.appCurrency(),
        .merchantURL = configuration.appMerchantURL(),
        .merchantData = configuration.appMerchantData(),
        .group = configuration.appMerchantGroup(),
        .payMethods = payMethods,
        .merchantName = configuration.appMerchantName(),
        .titular = configuration.appMerchantTitular(),
        .consumerLanguage = configuration.appMerchantConsumerLanguage(),
        .merchantDescriptor = configuration.appMerchantDescription(),
    };
    std::string envelope;
    if (!writeEnvelope(texts, envelope)) {
        return "";
    }
    return envelope;
}

}  // namespace vanto
