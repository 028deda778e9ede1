#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "vanto/transport/GatewayService.h"

namespace vanto::testing {

/// A gateway service that sends nothing: it keeps each request and its callbacks, and the test
/// answers them when it chooses. A call left unanswered holds its presenter, which holds this
/// service: a fixture that may leave calls unanswered clears `calls` when it ends.
template <typename Request>
class FakeGatewayService : public GatewayService<Request> {
  public:
    using typename GatewayService<Request>::Answer;
    using typename GatewayService<Request>::Success;
    using typename GatewayService<Request>::Failure;

    struct Call {
        std::shared_ptr<Request> request;
        Success success;
        Failure failure;
    };

    void send(std::shared_ptr<Request> request, Success success, Failure failure) override {
        calls.push_back({std::move(request), std::move(success), std::move(failure)});
    }

    /// The message of the last request, parsed from its envelope's "mensaje".
    nlohmann::json lastMessage() const {
        const auto envelope = nlohmann::json::parse(calls.back().request->datosEntrada().view());
        return nlohmann::json::parse(envelope.at("mensaje").template get<std::string>());
    }

    /// Answers the oldest call not yet answered, and lets go of it.
    void answer(std::optional<Answer> answer) { take().success(std::move(answer)); }
    void fail(SDKError error) { take().failure(std::move(error)); }

    std::vector<Call> calls;

  private:
    Call take() {
        Call call = std::move(calls.front());
        calls.erase(calls.begin());
        return call;
    }
};

}  // namespace vanto::testing
