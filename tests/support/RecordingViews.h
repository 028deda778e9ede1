#pragma once

// Views of the two presenters that record what they are told, for the presenters' unit and
// end-to-end tests.

#include <string>
#include <variant>
#include <vector>

#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto::testing {

using DirectOutcome = std::variant<DirectPaymentResponseOK, DirectPaymentResponseKO>;

/// Every outcome the direct-payment presenter reported, in order, and every notice of a screen
/// closed without one.
class RecordingDirectView : public DirectPaymentViewProtocol {
  public:
    void notifyUserOK(const DirectPaymentResponseOK& response) override {
        outcomes.emplace_back(response);
    }
    void notifyUserKO(const DirectPaymentResponseKO& response) override {
        outcomes.emplace_back(response);
    }
    void notifyUserClosedWithoutOutcome(bool mayHavePaid) override {
        notices.push_back(mayHavePaid);
    }
    std::vector<DirectOutcome> outcomes;
    std::vector<bool> notices;
};

/// What the web-payment presenter told its view, in order, as short texts: "OK <code>
/// <redirect>", "KO <code> <desc> <redirect>", "closed <mayHavePaid>", "dismiss", "failed"; and
/// the accepted records.
class RecordingWebView : public WebViewPaymentViewProtocol {
  public:
    void notifyUserOK(const WebViewPaymentResponseOK& response, bool redirect) override {
        told.push_back("OK " + std::to_string(response.code) + " " + std::to_string(redirect));
        accepted.push_back(response);
    }
    void notifyUserKO(const WebViewPaymentResponseKO& response, bool redirect) override {
        told.push_back("KO " + std::to_string(response.code) + " " + response.desc + " " +
                       std::to_string(redirect));
    }
    void notifyUserClosedWithoutOutcome(bool mayHavePaid) override {
        told.push_back("closed " + std::to_string(mayHavePaid));
    }
    void showButtonDismiss() override { told.push_back("dismiss"); }
    void showDidFailLoadWithError() override { told.push_back("failed"); }

    std::vector<std::string> told;
    std::vector<WebViewPaymentResponseOK> accepted;
};

}  // namespace vanto::testing
