#include "vanto/web/WebViewPaymentPresenter.h"

#include <string>

#include "direct/Acceptance.h"
#include "vanto/config/Constants.h"
#include "vanto/config/VantoConfiguration.h"
#include "vanto/encoding/Encode.h"
#include "vanto/text/UrlText.h"
#include "vanto/transport/Trace.h"
#include "vanto/transport/TraceSink.h"

namespace vanto {
namespace {

constexpr std::string_view kPlaceholderOK = "REDIR_URL_OK";
constexpr std::string_view kPlaceholderKO = "REDIR_URL_KO";
constexpr std::int64_t kNoParameters = 5551;
constexpr std::string_view kNoParametersText = "Sin parámetros en la respuesta";
constexpr std::string_view kMappingError = "Mapping Error";
constexpr std::string_view kUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.22 (KHTML, like Gecko) "
    "Chrome/25.0.1364.97 Safari/537.22";

using View = std::weak_ptr<WebViewPaymentViewProtocol>;

void reportKO(const View& view, std::int64_t code, std::string desc, bool redirect) {
    if (auto shown = view.lock()) {
        shown->notifyUserKO(WebViewPaymentResponseKO(code, std::move(desc)), redirect);
    }
}

// Whether a gateway's decision keeps the merchant's own return page on screen.
bool redirectsOK() {
    return VantoConfiguration::shared().appURLOK() != kPlaceholderOK;
}

bool redirectsKO() {
    return VantoConfiguration::shared().appURLKO() != kPlaceholderKO;
}

std::string encoded(std::string_view value) {
    return safeAddingPercentEncoding(value, rfc3986Unreserved()).value_or("");
}

// The form body the payment page receives: the three signed texts, percent-encoded with only the
// unreserved characters left literal.
std::string pageForm(const datosPeticion& signedParameters) {
    return "Ds_SignatureVersion=" + encoded(signedParameters.Ds_SignatureVersion) +
           "&Ds_Signature=" + encoded(signedParameters.Ds_Signature) +
           "&Ds_MerchantParameters=" + encoded(signedParameters.Ds_MerchantParameters);
}

}  // namespace

WebViewPaymentFlow::WebViewPaymentFlow(std::weak_ptr<WebViewPaymentViewProtocol> view,
                                       std::shared_ptr<WebViewPaymentService> service)
    : view_(std::move(view)), service_(std::move(service)) {}

void WebViewPaymentFlow::load(std::string_view orderNumber, std::string_view identifier,
                              double amount, TransactionType transactionType,
                              std::string_view productDescription, Completed completed,
                              std::shared_ptr<const void> keepAlive) const {
    if (!acceptance::payableAmount(amount)) {
        refuseAmount();
        return;
    }
    const std::string code = transactionTypeCode(transactionType);
    if (code.empty()) {
        const auto error = SDKError::internalError();
        reportKO(view_, error.code(), error.errorDescription(), false);
        return;
    }
    auto request = std::make_shared<WebViewPaymentRequest>(Encode::encodeStringWebViewPayment(
        orderNumber, identifier, amount, "false", code, productDescription));
    service_->send(
        std::move(request),
        [view = view_, completed = std::move(completed),
         keepAlive](std::optional<WebViewPaymentResponse> answer) {
            if (!answer) {
                return;
            }
            if (answer->code != 0) {
                reportKO(view, answer->code, answer->desc, redirectsKO());
                return;
            }
            if (answer->datosPeticion && completed) {
                completed(singOk(pageForm(*answer->datosPeticion)));
            }
        },
        [view = view_, keepAlive](SDKError error) {
            reportKO(view, error.code(), error.errorDescription(), false);
        });
}

platform::URLRequest WebViewPaymentFlow::singOk(std::string_view parameters) {
    platform::URLRequest request(
        Constants::getURLWebViewPayment(VantoConfiguration::shared().appEnviroment()));
    request.cachePolicy = platform::CachePolicy::reloadIgnoringLocalAndRemoteCacheData;
    request.timeoutInterval = 50.0;
    request.allHTTPHeaderFields.add("User-Agent", std::string(kUserAgent));
    request.allHTTPHeaderFields.add("Content-Length", std::to_string(parameters.size()));
    request.allHTTPHeaderFields.add("Content-Type", "application/x-www-form-urlencoded");
    request.httpMethod = "POST";
    request.httpBody = platform::SecretText(parameters);
    writeTrace(maskCardData(request.url));
    return request;
}

bool WebViewPaymentFlow::isReturnAddress(std::string_view address) {
    const auto& configuration = VantoConfiguration::shared();
    const auto contains = [address](const std::string& configured) {
        return !configured.empty() && address.find(configured) != std::string_view::npos;
    };
    return contains(configuration.appURLKO()) || contains(configuration.appURLOK());
}

std::string WebViewPaymentFlow::traceableAddress(std::string_view address) {
    return maskCardData(address);
}

void WebViewPaymentFlow::navigated(std::string_view fullURL) const {
    if (!isReturnAddress(fullURL)) {
        return;
    }
    const auto query = getUrlParams(fullURL);
    const auto merchantParameters = query.find("Ds_MerchantParameters");
    if (merchantParameters == query.end()) {
        reportKO(view_, kNoParameters, std::string(kNoParametersText), false);
        return;
    }
    const auto json = parseJsonString(merchantParameters->second);
    const auto result = json ? Parameters::fromJSON(*json) : std::nullopt;
    if (!result || !result->Ds_Response) {
        reportKO(view_, acceptance::kLibraryError, std::string(kMappingError), false);
        return;
    }
    const auto number = acceptance::responseNumber(*result->Ds_Response);
    if (!number) {
        return;  // not a decision the library can read: the screen offers the way out
    }
    if (acceptance::accepted(*number, result->Ds_AuthorisationCode)) {
        if (auto shown = view_.lock()) {
            shown->notifyUserOK(WebViewPaymentResponseOK(*result, *number), redirectsOK());
        }
        return;
    }
    reportKO(view_, acceptance::kRefused, std::to_string(*number), redirectsKO());
}

void WebViewPaymentFlow::showButtonDismiss() const {
    if (auto shown = view_.lock()) {
        shown->showButtonDismiss();
    }
}

void WebViewPaymentFlow::showDidFailLoadWithError() const {
    if (auto shown = view_.lock()) {
        shown->showDidFailLoadWithError();
    }
}

void WebViewPaymentFlow::refuseAmount() const {
    reportKO(view_, acceptance::kLibraryError, std::string(acceptance::kInvalidAmountText), false);
}

}  // namespace vanto
