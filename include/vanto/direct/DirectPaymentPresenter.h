#pragma once

#include <concepts>
#include <memory>
#include <string_view>

#include "vanto/Export.h"
#include "vanto/config/CodeTables.h"
#include "vanto/direct/DirectPaymentRequest.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/flow/BasePresenter.h"

namespace vanto {

/// What the direct-payment presenter does, whatever its view type: it turns card and order data
/// into the signed request, sends it, classifies the gateway's answer and tells the view, exactly
/// once per payment, on the main queue. Used through DirectPaymentPresenter.
class VANTO_EXPORT DirectPaymentFlow {
  public:
    DirectPaymentFlow(ViewSource<DirectPaymentViewProtocol> view,
                      std::shared_ptr<DirectPaymentService> service);

    /// Starts a payment and returns at once; see DirectPaymentPresenter::makePaymentAction.
    /// `keepAlive` is held until the outcome has been reported.
    void makePayment(std::string_view pan, std::string_view cvv2, std::string_view expiryDate,
                     double amount, std::string_view orden, std::string_view identifier,
                     TransactionType transactionType, std::string_view productDescription,
                     std::shared_ptr<const void> keepAlive) const;
    /// Reports code 78 "Operación cancelada por el usuario.".
    void cancel() const;
    /// Reports code 5548 "El importe tiene que ser igual o mayor de 0,00".
    void refuseAmount() const;
    /// Reports that the screen closed without an outcome; the payment journal records it for the
    /// payment under way.
    void closedWithoutOutcome(bool mayHavePaid) const;

  private:
    // The payment under way, as the payment journal holds it, until its outcome is handled.
    struct Current;

    ViewSource<DirectPaymentViewProtocol> view_;
    std::shared_ptr<DirectPaymentService> service_;
    std::shared_ptr<Current> current_;
};

/// The non-visual half of a direct payment. The card-entry screen hands it the card and order
/// data; it sends the signed request through the gateway service of its flow (a new Manager per
/// payment unless replaced) and tells its view a DirectPaymentResponseOK or a
/// DirectPaymentResponseKO. It keeps no state between calls, and it stays alive while one of its
/// payments is in flight when it is owned by a std::shared_ptr.
///
/// How an answer is classified:
/// - a transport, status or decoding failure: KO with the SDKError's code and text;
/// - the gateway's `code` not 0: KO with that code and `desc`;
/// - `code` 0 and `Ds_Response` a decimal integer from 0 to 99 with an authorisation code that
///   is not empty (an absent one counts as not empty): OK built from the answer;
/// - `code` 0 otherwise (refused, or no `datosRespuesta`, no `Ds_Response`, or one that is not a
///   decimal integer): KO 78 with the `Ds_Response` text exactly as received, "" when absent.
template <typename View>
requires std::derived_from<View, DirectPaymentViewProtocol>
class DirectPaymentPresenter : public BasePresenter<View>,
                               public std::enable_shared_from_this<DirectPaymentPresenter<View>> {
  public:
    explicit DirectPaymentPresenter(
        std::weak_ptr<View> view,
        std::shared_ptr<DirectPaymentService> service = directPaymentService())
        : BasePresenter<View>(std::move(view)),
          flow_(this->template viewSource<DirectPaymentViewProtocol>(), std::move(service)) {}

    /// Reports a cancellation by the cardholder at once: 78 "Operación cancelada por el
    /// usuario.".
    void cancelPaymentAction() { flow_.cancel(); }

    /// Reports an invalid amount at once: 5548 "El importe tiene que ser igual o mayor de 0,00".
    void candelPaymentIncorrectaAmount() { flow_.refuseAmount(); }

    /// Reports at once that the screen closed before the payment had an outcome; `mayHavePaid`
    /// when the payment had been sent. With a payment journal installed, the payment under way
    /// gets the step closedWithoutOutcome: its request was sent, so it is in doubt until its
    /// answer, should one still come, is read.
    void closedWithoutOutcome(bool mayHavePaid) { flow_.closedWithoutOutcome(mayHavePaid); }

    /// Starts a payment and returns at once; the outcome reaches the view later. `pan` is the card
    /// number without separators, `expiryDate` year then month ("2612"), `amount` in currency
    /// units; for a stored card (`identifier` a reference) the three card texts are empty. The
    /// amount goes out in hundredths (×100, to the nearest, halves away from zero); an amount
    /// that is negative, not finite or too large is refused with 5548 and nothing is sent, and so
    /// is a transaction type outside its table (5548 "Error interno de la librería.").
    void makePaymentAction(std::string_view pan, std::string_view cvv2, std::string_view expiryDate,
                           double amount, std::string_view orden, std::string_view identifier,
                           TransactionType transactionType, std::string_view productDescription) {
        flow_.makePayment(pan, cvv2, expiryDate, amount, orden, identifier, transactionType,
                          productDescription, this->weak_from_this().lock());
    }

  private:
    DirectPaymentFlow flow_;
};

}  // namespace vanto
