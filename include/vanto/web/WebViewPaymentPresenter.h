#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/config/CodeTables.h"
#include "vanto/flow/BasePresenter.h"
#include "vanto/platform/URLRequest.h"
#include "vanto/web/WebViewPaymentRequest.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto {

/// What the web-payment presenter does, whatever its view type. Used through
/// WebViewPaymentPresenter.
class VANTO_EXPORT WebViewPaymentFlow {
  public:
    using Completed = std::function<void(platform::URLRequest)>;

    WebViewPaymentFlow(ViewSource<WebViewPaymentViewProtocol> view,
                       std::shared_ptr<WebViewPaymentService> service);

    /// See WebViewPaymentPresenter::loadWebViewRequest. `keepAlive` is held until the signature
    /// service's answer has been handled.
    void load(std::string_view orderNumber, std::string_view identifier, double amount,
              TransactionType transactionType, std::string_view productDescription,
              Completed completed, std::shared_ptr<const void> keepAlive) const;
    /// See WebViewPaymentPresenter::webViewNotifyUser.
    void navigated(std::string_view fullURL) const;
    void showButtonDismiss() const;
    void showDidFailLoadWithError() const;
    /// Reports 5548 "El importe tiene que ser igual o mayor de 0,00", redirect false.
    void refuseAmount() const;
    /// Reports that the screen closed without an outcome; see
    /// WebViewPaymentPresenter::closedWithoutOutcome.
    void closedWithoutOutcome(bool mayHavePaid) const;

    /// The request that opens the gateway's payment page: a form POST of `parameters` to the page
    /// of the configured environment, with its header fields in this order: "User-Agent" (a fixed
    /// desktop browser's), "Content-Length", "Content-Type"
    /// ("application/x-www-form-urlencoded"); no cookies; reloaded from the origin; a time-out of
    /// 50 seconds. Its address is written to the trace sink.
    static platform::URLRequest singOk(std::string_view parameters);

    /// Whether `address` contains the configured failure or success address (read afresh; an
    /// empty configured address matches nothing): the addresses whose query carries the result.
    static bool isReturnAddress(std::string_view address);

    /// `address` as it may be written to a trace: maskCardData() of it, so the payment result
    /// carried in its "Ds_MerchantParameters" (Base64 of JSON, in either alphabet,
    /// percent-encoded or not) has its card data masked and is encoded again in standard Base64,
    /// and any other card data the address shows is masked too.
    static std::string traceableAddress(std::string_view address);

  private:
    // The payment under way: its payment journal entry, which ends with it, and whether its
    // screen has closed.
    struct Current;

    ViewSource<WebViewPaymentViewProtocol> view_;
    std::shared_ptr<WebViewPaymentService> service_;
    std::shared_ptr<Current> current_;
};

/// The non-visual half of a web payment. When its screen comes on screen it asks the gateway's
/// signature service for the signed payment-page parameters and hands the screen the request that
/// opens the payment page; then the screen hands it the address of every navigation, and when one
/// contains the merchant's failure or success address (appURLKO, appURLOK, read afresh each time)
/// it reads the payment result from that address's query and tells the view a
/// WebViewPaymentResponseOK or WebViewPaymentResponseKO.
///
/// How a return address is read: no "Ds_MerchantParameters" in its query gives KO 5551 "Sin
/// parámetros en la respuesta"; parameters that are not strict Base64 of UTF-8 JSON of the result
/// record, or a result without "Ds_Response", give KO 5548 "Mapping Error" (both redirect false);
/// a "Ds_Response" that is not a decimal integer reports nothing; 0 to 99 with an authorisation
/// code that is not empty (absent counts as not empty) gives OK with that number as `code`,
/// otherwise KO 78 with the number written in decimal ("0190" gives "190"). The redirect flag of a
/// gateway's decision is true when the matching configured address is the merchant's own, not the
/// placeholder. Which of the two addresses matched plays no part in the decision.
template <typename View>
requires std::derived_from<View, WebViewPaymentViewProtocol>
class WebViewPaymentPresenter : public BasePresenter<View>,
                                public std::enable_shared_from_this<WebViewPaymentPresenter<View>> {
  public:
    using Completed = WebViewPaymentFlow::Completed;

    explicit WebViewPaymentPresenter(
        std::weak_ptr<View> view,
        std::shared_ptr<WebViewPaymentService> service = webViewPaymentService())
        : BasePresenter<View>(std::move(view)),
          flow_(this->template viewSource<WebViewPaymentViewProtocol>(), std::move(service)) {}

    /// Asks for the signed parameters and returns at once. Later either `completed` runs once with
    /// the payment-page request, or the view is told notifyUserKO: the service's error code and
    /// text (redirect true when the merchant's own failure address is configured), or a transport
    /// failure's code and text (redirect false). An amount that is negative, not finite or too
    /// large is refused with 5548 and nothing is sent, as is a transaction type outside its table
    /// (5548 "Error interno de la librería."). An answer with code 0 but without the signed
    /// parameters ends without a report.
    void loadWebViewRequest(std::string_view orderNumber, std::string_view identifier,
                            double amount, TransactionType transactionType,
                            std::string_view productDescription, Completed completed) {
        flow_.load(orderNumber, identifier, amount, transactionType, productDescription,
                   std::move(completed), this->weak_from_this().lock());
    }

    /// Examines the address of a navigation; may tell the view the payment's outcome. Keeps no
    /// memory: every return address is examined anew.
    void webViewNotifyUser(std::string_view fullURL) { flow_.navigated(fullURL); }

    /// Tells the view to show its close button.
    void errorLoadingWebView() { flow_.showButtonDismiss(); }

    /// Tells the view that a page failed to load.
    void showErrorFailLoadURLRequest() { flow_.showDidFailLoadWithError(); }

    /// Reports an invalid amount at once: 5548 "El importe tiene que ser igual o mayor de 0,00",
    /// redirect false.
    void cancelPaymentIncorrectAmount() { flow_.refuseAmount(); }

    /// Reports at once that the screen closed before the payment had an outcome; `mayHavePaid`
    /// when the page had posted a form. The payment page no longer opens for this payment, and
    /// with a payment journal installed the payment gets the step closedWithoutOutcome: in doubt
    /// when `mayHavePaid`, abandoned otherwise.
    void closedWithoutOutcome(bool mayHavePaid) { flow_.closedWithoutOutcome(mayHavePaid); }

  private:
    WebViewPaymentFlow flow_;
};

}  // namespace vanto
