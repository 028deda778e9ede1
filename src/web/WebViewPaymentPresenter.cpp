#include "vanto/web/WebViewPaymentPresenter.h"

#include <optional>
#include <string>
#include <string_view>

#include "flow/Acceptance.h"
#include "journal/PaymentTrail.h"
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

using View = ViewSource<WebViewPaymentViewProtocol>;

// Tells `view` a refusal, unless it has gone away; whether it reached the view's user.
bool reportKO(const View& view, std::int64_t code, std::string desc, bool redirect) {
    auto shown = view();
    if (!shown) {
        return false;
    }
    shown->notifyUserKO(WebViewPaymentResponseKO(code, std::move(desc)), redirect);
    return shown->outcomeReached();
}

using Trail = std::shared_ptr<journal::PaymentTrail>;

journal::StepWrite withOutcome(PaymentStep step, bool accepted, std::int64_t code,
                               std::string authorisationCode, std::string text,
                               std::string detail = {}) {
    journal::StepWrite write{step, std::move(detail)};
    write.outcome = JournalOutcome{accepted, code, std::move(authorisationCode), std::move(text)};
    return write;
}

// Ends a payment whose page never opened with a refusal: nothing was charged.
void refuseUnopened(const View& view, const Trail& trail, std::int64_t code, std::string desc,
                    bool redirect) {
    if (trail) {
        trail->note(withOutcome(PaymentStep::notSent, false, code, "", desc,
                                "the payment page never opened"));
    }
    if (reportKO(view, code, desc, redirect) && trail) {
        trail->note(withOutcome(PaymentStep::delivered, false, code, "", desc));
    }
}

// A result the page brought back that the library cannot read as a decision: the cardholder may
// have paid.
journal::StepWrite unreadableResult(std::string detail, std::optional<JournalOutcome> refusal) {
    journal::StepWrite write{PaymentStep::resultRead, std::move(detail)};
    write.outcome = std::move(refusal);
    write.inDoubt = true;
    return write;
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

// The value of a percent-encoded text, when every "%" starts two hexadecimal digits; "+" stays
// as it is, being a Base64 character. Our own: the library has no URL decoder outside platform/.
std::optional<std::string> percentDecoded(std::string_view text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    };
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            decoded.push_back(text[at]);
            continue;
        }
        const int high = at + 2 < text.size() ? digit(text[at + 1]) : -1;
        const int low = high >= 0 ? digit(text[at + 2]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        decoded.push_back(static_cast<char>(high * 16 + low));
        at += 2;
    }
    return decoded;
}

// The JSON text of a result's Ds_MerchantParameters: as it stands, or else percent-decoded, for
// a return address that carries it percent-encoded ("%2B", "%2F", "%3D"). An accepted payment is
// never reported refused for how its address was written.
std::optional<std::string> resultJson(std::string_view merchantParameters) {
    if (auto json = parseJsonString(merchantParameters)) {
        return json;
    }
    if (merchantParameters.find('%') == std::string_view::npos) {
        return std::nullopt;
    }
    const auto decoded = percentDecoded(merchantParameters);
    return decoded ? parseJsonString(*decoded) : std::nullopt;
}

}  // namespace

namespace {

// One payment of the flow: its journal entry, and whether its screen closed before an outcome.
struct UnderWay {
    Trail trail;
    bool screenClosed = false;
};

}  // namespace

struct WebViewPaymentFlow::Current {
    std::shared_ptr<UnderWay> payment = std::make_shared<UnderWay>();
};

WebViewPaymentFlow::WebViewPaymentFlow(ViewSource<WebViewPaymentViewProtocol> view,
                                       std::shared_ptr<WebViewPaymentService> service)
    : view_(std::move(view)), service_(std::move(service)), current_(std::make_shared<Current>()) {}

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
    auto begun = journal::PaymentTrail::begin(
        journal::paymentOf(PaymentFlowKind::web, orderNumber, amount, transactionType),
        {{PaymentStep::signatureRequested}});
    if (begun.refusal) {
        reportKO(view_, begun.refusal->code, begun.refusal->text, false);
        return;
    }
    auto payment = std::make_shared<UnderWay>(UnderWay{std::move(begun.trail)});
    current_->payment = payment;
    auto request = std::make_shared<WebViewPaymentRequest>(Encode::encodeStringWebViewPayment(
        orderNumber, identifier, amount, "false", code, productDescription));
    service_->send(
        std::move(request),
        [view = view_, completed = std::move(completed), payment,
         keepAlive](std::optional<WebViewPaymentResponse> answer) {
            const Trail& trail = payment->trail;
            if (!answer) {
                return;
            }
            if (answer->code != 0) {
                refuseUnopened(view, trail, answer->code, answer->desc, redirectsKO());
                return;
            }
            // A page whose screen has closed never opens.
            if (!answer->datosPeticion || !completed || payment->screenClosed) {
                return;
            }
            // From here on the cardholder may pay: the journal must know before the page opens.
            if (trail) {
                if (auto opened = trail->record({PaymentStep::pageOpened}); !opened) {
                    refuseUnopened(view, trail, PaymentJournal::kRefusalCode,
                                   journal::notRecorded(opened.error()).text, false);
                    return;
                }
            }
            completed(singOk(pageForm(*answer->datosPeticion)));
        },
        [view = view_, payment, keepAlive](SDKError error) {
            refuseUnopened(view, payment->trail, error.code(), error.errorDescription(), false);
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
    const Trail& trail = current_->payment->trail;
    const auto refuse = [&](std::int64_t code, std::string_view desc, std::string why) {
        if (trail) {
            trail->note(unreadableResult(std::move(why),
                                         JournalOutcome{false, code, "", std::string(desc)}));
        }
        if (reportKO(view_, code, std::string(desc), false) && trail) {
            trail->note(withOutcome(PaymentStep::delivered, false, code, "", std::string(desc)));
        }
    };
    const auto query = getUrlParams(fullURL);
    const auto merchantParameters = query.find("Ds_MerchantParameters");
    if (merchantParameters == query.end()) {
        refuse(kNoParameters, kNoParametersText,
               "the return address holds no result: the cardholder may have paid");
        return;
    }
    const auto json = resultJson(merchantParameters->second);
    const auto result = json ? Parameters::fromJSON(*json) : std::nullopt;
    if (!result || !result->Ds_Response) {
        refuse(acceptance::kLibraryError, kMappingError,
               "the result cannot be read: the cardholder may have paid");
        return;
    }
    const auto number = acceptance::responseNumber(*result->Ds_Response);
    if (!number) {
        // Not a decision the library can read: the screen offers the way out.
        if (trail) {
            trail->note(unreadableResult("the result's decision is not a number", std::nullopt));
        }
        return;
    }
    const bool accepted = acceptance::accepted(*number, result->Ds_AuthorisationCode);
    const std::string text = accepted ? std::string() : std::to_string(*number);
    const std::string authorisation = accepted ? result->Ds_AuthorisationCode.value_or("") : "";
    const std::int64_t code = accepted ? *number : acceptance::kRefused;
    if (trail) {
        auto read = withOutcome(PaymentStep::resultRead, accepted, code, authorisation, text);
        read.cardLastFour = journal::lastFour(result->Ds_Card_Number.value_or(""));
        trail->note(read);
    }
    bool told = false;
    if (accepted) {
        if (auto shown = view_()) {
            shown->notifyUserOK(WebViewPaymentResponseOK(*result, *number), redirectsOK());
            told = shown->outcomeReached();
        }
    } else {
        told = reportKO(view_, acceptance::kRefused, text, redirectsKO());
    }
    if (told && trail) {
        trail->note(withOutcome(PaymentStep::delivered, accepted, code, authorisation, text));
    }
}

void WebViewPaymentFlow::showButtonDismiss() const {
    if (auto shown = view_()) {
        shown->showButtonDismiss();
    }
}

void WebViewPaymentFlow::showDidFailLoadWithError() const {
    if (auto shown = view_()) {
        shown->showDidFailLoadWithError();
    }
}

// Once the page has posted a form the cardholder may have paid, and with the page gone nothing
// can tell any longer: the payment stays in doubt. Before, nothing was charged.
void WebViewPaymentFlow::closedWithoutOutcome(bool mayHavePaid) const {
    auto& payment = *current_->payment;
    if (payment.trail && !payment.screenClosed) {
        journal::StepWrite closed{PaymentStep::closedWithoutOutcome,
                                  mayHavePaid ? "the screen closed after the payment page had "
                                                "posted a form: the cardholder may have paid"
                                              : "the screen closed before the payment page "
                                                "posted a form: nothing was charged"};
        closed.inDoubt = mayHavePaid;
        payment.trail->note(closed);
    }
    payment.screenClosed = true;
    if (auto shown = view_()) {
        shown->notifyUserClosedWithoutOutcome(mayHavePaid);
    }
}

void WebViewPaymentFlow::refuseAmount() const {
    reportKO(view_, acceptance::kLibraryError, std::string(acceptance::kInvalidAmountText), false);
}

}  // namespace vanto
