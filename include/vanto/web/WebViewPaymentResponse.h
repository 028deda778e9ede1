#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vanto/Export.h"

namespace vanto {

/// The three signed values that the gateway's payment page must receive, as the signature service
/// returns them under "datosPeticion". All three are required texts.
struct VANTO_EXPORT datosPeticion {
    datosPeticion(std::string Ds_Signature, std::string Ds_MerchantParameters,
                  std::string Ds_SignatureVersion);

    /// Decodes a JSON object in which each of the three keys is present and a string. Anything
    /// else (a missing key, null, another type, malformed JSON, a top level that is not an
    /// object) gives nullopt. Unknown keys are ignored.
    static std::optional<datosPeticion> fromJSON(std::string_view json);

    /// Compact JSON of the three members in declaration order. Returns the empty text when a
    /// value is not well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const datosPeticion&, const datosPeticion&) = default;

    /// The signature of the merchant parameters.
    std::string Ds_Signature;
    /// The merchant parameters: Base64 text of a JSON object.
    std::string Ds_MerchantParameters;
    /// The name of the signature scheme.
    std::string Ds_SignatureVersion;
};

/// The payment result that the gateway's payment page puts, as Base64 of a JSON object, into the
/// query of the merchant's return address (the signature service's answer may carry one too).
/// Each field is the gateway's text exactly as sent (dates, amounts and codes too) and may be
/// absent; the JSON keys are the member names.
struct VANTO_EXPORT Parameters {
    /// A result with every field absent.
    Parameters() = default;
    Parameters(std::optional<std::string> Ds_Date, std::optional<std::string> Ds_Hour,
               std::optional<std::string> Ds_SecurePayment, std::optional<std::string> Ds_Amount,
               std::optional<std::string> Ds_Currency, std::optional<std::string> Ds_Order,
               std::optional<std::string> Ds_MerchantCode, std::optional<std::string> Ds_Terminal,
               std::optional<std::string> Ds_Response, std::optional<std::string> Ds_Signature,
               std::optional<std::string> Ds_TransactionType,
               std::optional<std::string> Ds_MerchantData,
               std::optional<std::string> Ds_AuthorisationCode,
               std::optional<std::string> Ds_ExpiryDate,
               std::optional<std::string> Ds_Merchant_Identifier,
               std::optional<std::string> Ds_ConsumerLanguage,
               std::optional<std::string> Ds_Card_Country, std::optional<std::string> Ds_Card_Brand,
               std::optional<std::string> Ds_Card_Number);

    /// Decodes a JSON object. Each member may be absent or null (an absent field) or a string;
    /// a member of any other type, malformed JSON or a top level that is not an object gives
    /// nullopt. Unknown keys are ignored.
    static std::optional<Parameters> fromJSON(std::string_view json);

    /// Compact JSON of the present fields in declaration order, absent ones left out. Returns the
    /// empty text when a field is not well-formed UTF-8. This is the payment result as the gateway
    /// writes it, card data as they are: pass it through maskCardData() before printing it.
    std::string toJSON() const;

    friend bool operator==(const Parameters&, const Parameters&) = default;

    std::optional<std::string> Ds_Date;
    std::optional<std::string> Ds_Hour;
    std::optional<std::string> Ds_SecurePayment;
    std::optional<std::string> Ds_Amount;
    std::optional<std::string> Ds_Currency;
    std::optional<std::string> Ds_Order;
    std::optional<std::string> Ds_MerchantCode;
    std::optional<std::string> Ds_Terminal;
    std::optional<std::string> Ds_Response;
    std::optional<std::string> Ds_Signature;
    std::optional<std::string> Ds_TransactionType;
    std::optional<std::string> Ds_MerchantData;
    std::optional<std::string> Ds_AuthorisationCode;
    std::optional<std::string> Ds_ExpiryDate;
    std::optional<std::string> Ds_Merchant_Identifier;
    std::optional<std::string> Ds_ConsumerLanguage;
    std::optional<std::string> Ds_Card_Country;
    std::optional<std::string> Ds_Card_Brand;
    std::optional<std::string> Ds_Card_Number;
};

/// The signature service's answer, as carried in the "mensaje" text of the reply envelope.
/// `code` 0 means the service signed the payment-page parameters, found in `datosPeticion`; any
/// other code is the service's error, `desc` its text. The library does not read `parameters`.
struct VANTO_EXPORT WebViewPaymentResponse {
    // The member `datosPeticion` hides the type of the same name inside this struct, so the type
    // is named with its namespace here.
    WebViewPaymentResponse(std::optional<vanto::datosPeticion> datosPeticion, std::int64_t code,
                           std::string desc, std::optional<Parameters> parameters);

    /// Decodes a JSON object. "code" must be a JSON number with a whole value in the signed
    /// 64-bit range and "desc" a string; "datosPeticion" and "parameters" may each be absent or
    /// null, otherwise they must be objects decoded as datosPeticion and Parameters. Any other
    /// shape gives nullopt; unknown keys are ignored at every level.
    static std::optional<WebViewPaymentResponse> fromJSON(std::string_view json);

    /// Compact JSON in declaration order, the nested records written as objects and absent
    /// values left out. Returns the empty text when a text is not well-formed UTF-8. This is the
    /// answer as the gateway writes it, card data as they are: pass it through maskCardData()
    /// before printing it.
    std::string toJSON() const;

    friend bool operator==(const WebViewPaymentResponse&, const WebViewPaymentResponse&) = default;

    std::optional<vanto::datosPeticion> datosPeticion;
    std::int64_t code;
    std::string desc;
    std::optional<Parameters> parameters;
};

/// What the merchant application receives for an accepted web payment: the numeric payment
/// response and a text, followed by the payment result's fields, each the gateway's text or ""
/// when the gateway did not send it.
struct VANTO_EXPORT WebViewPaymentResponseOK {
    WebViewPaymentResponseOK(std::int64_t code, std::string desc, std::string Ds_Date,
                             std::string Ds_Hour, std::string Ds_SecurePayment,
                             std::string Ds_Amount, std::string Ds_Currency, std::string Ds_Order,
                             std::string Ds_MerchantCode, std::string Ds_Terminal,
                             std::string Ds_Response, std::string Ds_Signature,
                             std::string Ds_TransactionType, std::string Ds_MerchantData,
                             std::string Ds_AuthorisationCode, std::string Ds_ExpiryDate,
                             std::string Ds_Merchant_Identifier, std::string Ds_ConsumerLanguage,
                             std::string Ds_Card_Country, std::string Ds_Card_Brand,
                             std::string Ds_Card_Number);

    /// The accepted result read from the return address: `code` is the number read from its
    /// "Ds_Response", `desc` is "", and every field is copied from `parameters` with "" standing
    /// in for an absent one.
    WebViewPaymentResponseOK(const Parameters& parameters, std::int64_t code);

    /// Decodes a JSON object that must hold all twenty-one keys: "code" a JSON number with a
    /// whole value in the signed 64-bit range, every other key a string. Anything else gives
    /// nullopt; unknown keys are ignored.
    static std::optional<WebViewPaymentResponseOK> fromJSON(std::string_view json);

    /// Compact JSON of all twenty-one members in declaration order, as an application prints the
    /// record: the card number and the expiry date, and card data anywhere else in it, are masked
    /// as maskCardData() masks a trace. The record's own members keep what the gateway sent.
    /// Returns the empty text when a text is not well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const WebViewPaymentResponseOK&,
                           const WebViewPaymentResponseOK&) = default;

    std::int64_t code = 0;
    std::string desc;
    std::string Ds_Date;
    std::string Ds_Hour;
    std::string Ds_SecurePayment;
    std::string Ds_Amount;
    std::string Ds_Currency;
    std::string Ds_Order;
    std::string Ds_MerchantCode;
    std::string Ds_Terminal;
    std::string Ds_Response;
    std::string Ds_Signature;
    std::string Ds_TransactionType;
    std::string Ds_MerchantData;
    std::string Ds_AuthorisationCode;
    std::string Ds_ExpiryDate;
    std::string Ds_Merchant_Identifier;
    std::string Ds_ConsumerLanguage;
    std::string Ds_Card_Country;
    std::string Ds_Card_Brand;
    std::string Ds_Card_Number;

  private:
    // Decoding starts from an empty record and fills it; there is no public empty record.
    WebViewPaymentResponseOK() = default;
};

/// What the merchant application receives when a web payment does not succeed: a refused
/// payment, a signature-service error, a transport failure, an unreadable result or an invalid
/// amount. `code` is the gateway's code or one of the library's own; `desc` explains it.
struct VANTO_EXPORT WebViewPaymentResponseKO {
    WebViewPaymentResponseKO(std::int64_t code, std::string desc);

    /// Decodes a JSON object with both keys: "code" a JSON number with a whole value in the
    /// signed 64-bit range, "desc" a string. Anything else gives nullopt; unknown keys are
    /// ignored.
    static std::optional<WebViewPaymentResponseKO> fromJSON(std::string_view json);

    /// Compact JSON of "code" and "desc", card data in `desc` masked as in the traces (a
    /// gateway's text may quote the request). Returns the empty text when `desc` is not
    /// well-formed UTF-8.
    std::string toJSON() const;

    friend bool operator==(const WebViewPaymentResponseKO&,
                           const WebViewPaymentResponseKO&) = default;

    std::int64_t code;
    std::string desc;
};

}  // namespace vanto
