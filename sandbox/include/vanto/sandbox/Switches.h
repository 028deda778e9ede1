#pragma once

#include <optional>
#include <string_view>

#include "vanto/sandbox/Fault.h"

namespace vanto::sandbox {

/// An answer that an OUTCOME_ switch puts in place of the one the card would get.
enum class Outcome {
    /// "OUTCOME_0099": Ds_Response "0099" with an authorisation code.
    response0099,
    /// "OUTCOME_0100": Ds_Response "0100" with an authorisation code.
    response0100,
    /// "OUTCOME_MINUS1": Ds_Response "-1" with an authorisation code.
    responseMinus1,
    /// "OUTCOME_EMPTYAUTH": Ds_Response "0000" and an empty Ds_AuthorisationCode.
    emptyAuthorisationCode,
    /// "OUTCOME_NOAUTH": Ds_Response "0000" and no Ds_AuthorisationCode member.
    noAuthorisationCode,
    /// "OUTCOME_NOTNUMERIC": Ds_Response "OK".
    notNumeric,
    /// "OUTCOME_NORESPONSE": no Ds_Response member.
    noResponse,
    /// "OUTCOME_NODATOS": a direct payment answered with code 0 and no datosRespuesta.
    noDatosRespuesta,
};

/// How the payment page writes the result into the return address (RESULT_ switches).
struct ResultShape {
    enum class Encoding {
        /// Padded standard Base64, as the gateway writes it.
        standardBase64,
        /// "RESULT_NOPARAMS": the query has no Ds_MerchantParameters.
        absent,
        /// "RESULT_URLSAFE": the URL-safe alphabet, with at least one "-" or "_".
        urlSafeBase64,
        /// "RESULT_BADBASE64": a text that is not Base64.
        notBase64,
    };

    Encoding encoding = Encoding::standardBase64;
    /// "RESULT_PARAMSFIRST": Ds_MerchantParameters opens the query.
    bool parametersFirst = false;
    /// "RESULT_OKTOKO": the result goes to URL KO even when the payment was accepted.
    bool acceptedToUrlKo = false;

    friend bool operator==(const ResultShape&, const ResultShape&) = default;
};

/// Everything an order number asks of the sandbox.
///
/// An order number is read as parts separated by "-"; a part that starts with the name of a
/// switch turns it on, and more characters may follow the name ("FAULT_CLOSE7" closes too).
/// Switches of different families combine ("AUTHSTEP-OUTCOME_0100-RESULT_OKTOKO"); within one
/// family the first part that names a switch decides, except that a *_DELAY_ switch adds its
/// delay to the other switch of its family ("FAULT_DELAY_500-FAULT_STATUS_503"). A number ends
/// at the first character that is not a digit and must have the digits its switch needs.
struct OrderSwitches {
    /// FAULT_STATUS_<200-599, three digits>, FAULT_DELAY_<milliseconds: up to six digits, at
    /// most 120000>, FAULT_EMPTY, FAULT_NOTJSON, FAULT_BADMSG, FAULT_NUMMSG, FAULT_CLOSE,
    /// FAULT_CUT, FAULT_HUGE, FAULT_ECHO: on the two JSON services and the entry of the payment
    /// page.
    std::optional<Fault> fault;
    /// OUTCOME_*: on the direct payment and on the payment page's result.
    std::optional<Outcome> outcome;
    /// RESULT_*: on the payment page's return address.
    ResultShape result;
    /// AUTHSTEP: an accepted payment on the page passes an authentication page first.
    bool authenticationStep = false;
    /// PAGEFAULT_DELAY_<ms>, PAGEFAULT_CLOSE, PAGEFAULT_CUT, PAGEFAULT_404, PAGEFAULT_500: on the
    /// answer to the card form.
    std::optional<Fault> pageFault;
    /// RETURNFAULT_DELAY_<ms>, RETURNFAULT_CLOSE, RETURNFAULT_CUT, RETURNFAULT_404,
    /// RETURNFAULT_500: on the sandbox's own return pages.
    std::optional<Fault> returnFault;

    friend bool operator==(const OrderSwitches&, const OrderSwitches&) = default;
};

/// The switches that an order number holds; none for an ordinary order number.
OrderSwitches readOrderSwitches(std::string_view orderNumber);

}  // namespace vanto::sandbox
