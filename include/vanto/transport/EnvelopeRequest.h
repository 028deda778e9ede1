#pragma once

#include <string>

#include "vanto/platform/SecureWipe.h"
#include "vanto/transport/RequestService.h"

namespace vanto {

/// What the two descriptions of the gateway's JSON services share: the signed request text,
/// posted as the form body "datoEntrada=" followed by that text exactly as given (no encoding of
/// any kind), and wiped when the call is over or the description goes away.
template <typename R>
class EnvelopeRequest : public RequestServiceOf<R> {
  public:
    explicit EnvelopeRequest(std::string datosEntrada) : datosEntrada_(std::move(datosEntrada)) {}
    ~EnvelopeRequest() override { platform::secureWipe(datosEntrada_); }
    EnvelopeRequest(const EnvelopeRequest&) = delete;
    EnvelopeRequest& operator=(const EnvelopeRequest&) = delete;

    std::string body() const override { return "datoEntrada=" + datosEntrada_; }
    void wipeBody() override { platform::secureWipe(datosEntrada_); }

    /// The request text; "" once the outcome has been delivered, since the text is wiped then.
    const std::string& datosEntrada() const { return datosEntrada_; }
    void setDatosEntrada(std::string value) { datosEntrada_ = std::move(value); }

  private:
    std::string datosEntrada_;
};

}  // namespace vanto
