#pragma once

#include <string>
#include <string_view>

#include "vanto/platform/SecretText.h"
#include "vanto/transport/RequestService.h"

namespace vanto {

/// What the two descriptions of the gateway's JSON services share: the signed request text,
/// posted as the form body "datoEntrada=" followed by that text exactly as given (no encoding of
/// any kind). The text may carry card data: it is kept as secret text, and wiped when the call is
/// over or the description goes away.
template <typename R>
class EnvelopeRequest : public RequestServiceOf<R> {
  public:
    explicit EnvelopeRequest(platform::SecretText datosEntrada)
        : datosEntrada_(std::move(datosEntrada)) {}
    /// A request text that carries no card data (the web payment's).
    explicit EnvelopeRequest(std::string_view datosEntrada) : datosEntrada_(datosEntrada) {}
    EnvelopeRequest(const EnvelopeRequest&) = delete;
    EnvelopeRequest& operator=(const EnvelopeRequest&) = delete;

    platform::SecretText body() const override {
        platform::SecretText form;
        form.reserve(kFormKey.size() + datosEntrada_.size());
        form.append(kFormKey);
        form.append(datosEntrada_.view());
        return form;
    }
    void wipeBody() override { datosEntrada_.clear(); }

    /// The request text; "" once the outcome has been delivered, since the text is wiped then.
    const platform::SecretText& datosEntrada() const { return datosEntrada_; }
    void setDatosEntrada(platform::SecretText value) { datosEntrada_ = std::move(value); }

  private:
    static constexpr std::string_view kFormKey = "datoEntrada=";
    platform::SecretText datosEntrada_;
};

}  // namespace vanto
