#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// The card and transaction details of a direct-payment answer, found under "datosRespuesta".
/// Each field is the gateway's text exactly as sent (amounts, codes and dates too) and may be
/// absent; the JSON keys are the member names.
struct VANTO_EXPORT DatosRespuesta {
    DatosRespuesta(
        std::optional<std::string> Ds_Card_Country, std::optional<std::string> Ds_Amount,
        std::optional<std::string> Ds_MerchantData, std::optional<std::string> Ds_Currency,
        std::optional<std::string> Ds_Order, std::optional<std::string> Ds_MerchantCode,
        std::optional<std::string> Ds_Card_Type, std::optional<std::string> Ds_Card_Brand,
        std::optional<std::string> Ds_AuthorisationCode, std::optional<std::string> Ds_Language,
        std::optional<std::string> Ds_SecurePayment, std::optional<std::string> Ds_Response,
        std::optional<std::string> Ds_TransactionType, std::optional<std::string> Ds_Terminal,
        std::optional<std::string> Ds_ExpiryDate, std::optional<std::string> Ds_Merchant_Identifier,
        std::optional<std::string> Ds_CardNumber);

    /// Decodes a JSON object. Each member may be absent or null (an absent field) or a string;
    /// a member of any other type, malformed JSON or a top level that is not an object gives
    /// nullopt. Unknown keys are ignored.
    static std::optional<DatosRespuesta> fromJSON(std::string_view json);

    /// Compact JSON of the present fields in declaration order, absent ones left out. Returns the
    /// empty text when a field is not well-formed UTF-8. This is the answer's details as the
    /// gateway writes them, card data as they are: pass it through maskCardData() before printing
    /// it.
    std::string toJSON() const;

    friend bool operator==(const DatosRespuesta&, const DatosRespuesta&) = default;

    std::optional<std::string> Ds_Card_Country;
    std::optional<std::string> Ds_Amount;
    std::optional<std::string> Ds_MerchantData;
    std::optional<std::string> Ds_Currency;
    std::optional<std::string> Ds_Order;
    std::optional<std::string> Ds_MerchantCode;
    std::optional<std::string> Ds_Card_Type;
    std::optional<std::string> Ds_Card_Brand;
    std::optional<std::string> Ds_AuthorisationCode;
    std::optional<std::string> Ds_Language;
    std::optional<std::string> Ds_SecurePayment;
    std::optional<std::string> Ds_Response;
    std::optional<std::string> Ds_TransactionType;
    std::optional<std::string> Ds_Terminal;
    std::optional<std::string> Ds_ExpiryDate;
    std::optional<std::string> Ds_Merchant_Identifier;
    std::optional<std::string> Ds_CardNumber;
};

/// The gateway's answer to a direct payment, as carried in the "mensaje" text of the reply
/// envelope. `code` 0 means the gateway processed the payment and `datosRespuesta` holds its
/// details; any other code is the gateway's error, `desc` its text.
struct VANTO_EXPORT DirectPaymentResponse {
    DirectPaymentResponse(std::optional<DatosRespuesta> datosRespuesta, std::int64_t code,
                          std::string desc);

    /// Decodes a JSON object. "code" must be a JSON number with a whole value in the signed
    /// 64-bit range and "desc" a string; "datosRespuesta" may be absent or null, otherwise it
    /// must be an object decoded as DatosRespuesta. Any other shape gives nullopt; unknown keys
    /// are ignored at every level.
    static std::optional<DirectPaymentResponse> fromJSON(std::string_view json);

    /// Compact JSON in declaration order, "datosRespuesta" nested as an object and left out with
    /// its absent fields when absent. Returns the empty text when a text is not well-formed UTF-8.
    /// This is the answer as the gateway writes it, card data as they are: pass it through
    /// maskCardData() before printing it.
    std::string toJSON() const;

    friend bool operator==(const DirectPaymentResponse&, const DirectPaymentResponse&) = default;

    std::optional<DatosRespuesta> datosRespuesta;
    std::int64_t code;
    std::string desc;
};

/// What the merchant application receives for an accepted direct payment: the gateway's code and
/// text followed by the card and transaction details, each the gateway's text or "" when the
/// gateway did not send it.
struct VANTO_EXPORT DirectPaymentResponseOK {
    DirectPaymentResponseOK(std::int64_t code, std::string desc, std::string Ds_Card_Country,
                            std::string Ds_Amount, std::string Ds_MerchantData,
                            std::string Ds_Currency, std::string Ds_Order,
                            std::string Ds_MerchantCode, std::string Ds_Card_Type,
                            std::string Ds_Card_Brand, std::string Ds_AuthorisationCode,
                            std::string Ds_Language, std::string Ds_SecurePayment,
                            std::string Ds_Response, std::string Ds_TransactionType,
                            std::string Ds_Terminal, std::string Ds_ExpiryDate,
                            std::string Ds_Merchant_Identifier, std::string Ds_CardNumber);

    /// Takes `code` and `desc` of the answer and every field of its `datosRespuesta`, with ""
    /// standing in for an absent field or an absent `datosRespuesta`.
    explicit DirectPaymentResponseOK(const DirectPaymentResponse& response);

    /// Decodes a JSON object that must hold all nineteen keys: "code" a JSON number with a whole
    /// value in the signed 64-bit range, every other key a string. Anything else gives nullopt;
    /// unknown keys are ignored.
    static std::optional<DirectPaymentResponseOK> fromJSON(std::string_view json);

    /// Compact JSON of all nineteen members in declaration order, as an application prints the
    /// record: the card number and the expiry date, and card data anywhere else in it, are masked
    /// as maskCardData() masks a trace. The record's own members keep what the gateway sent.
    /// Returns the empty text when a text is not well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const DirectPaymentResponseOK&,
                           const DirectPaymentResponseOK&) = default;

    std::int64_t code = 0;
    std::string desc;
    std::string Ds_Card_Country;
    std::string Ds_Amount;
    std::string Ds_MerchantData;
    std::string Ds_Currency;
    std::string Ds_Order;
    std::string Ds_MerchantCode;
    std::string Ds_Card_Type;
    std::string Ds_Card_Brand;
    std::string Ds_AuthorisationCode;
    std::string Ds_Language;
    std::string Ds_SecurePayment;
    std::string Ds_Response;
    std::string Ds_TransactionType;
    std::string Ds_Terminal;
    std::string Ds_ExpiryDate;
    std::string Ds_Merchant_Identifier;
    std::string Ds_CardNumber;

  private:
    // Decoding starts from an empty record and fills it; there is no public empty record.
    DirectPaymentResponseOK() = default;
};

/// What the merchant application receives when a direct payment does not succeed: a refused
/// payment, a gateway error, a transport failure, a cancellation by the cardholder or an invalid
/// amount. `code` is the gateway's code or one of the library's own; `desc` explains it.
struct VANTO_EXPORT DirectPaymentResponseKO {
    DirectPaymentResponseKO(std::int64_t code, std::string desc);

    friend bool operator==(const DirectPaymentResponseKO&,
                           const DirectPaymentResponseKO&) = default;

    std::int64_t code;
    std::string desc;
};

}  // namespace vanto
