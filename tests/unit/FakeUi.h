#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "OutcomeAgreement.h"
#include "TestSupport.h"
#include "vanto/direct/DirectPaymentResponseDelegate.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/ui/CardEntryViewModel.h"
#include "vanto/platform/ui/PaymentPageViewModel.h"
#include "vanto/testing/FakeGatewayService.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentResponseDelegate.h"

namespace vanto::testing {

namespace ui = platform::ui;

/// A binding of a screen's view model that draws nothing: it records each part the model said
/// had changed.
template <typename Model>
class RecordingBinding final : public Model::Observer {
  public:
    using Part = typename Model::Part;

    void changed(Part part) override { parts.push_back(part); }
    std::size_t count(Part part) const {
        return static_cast<std::size_t>(std::count(parts.begin(), parts.end(), part));
    }

    std::vector<Part> parts;
};

/// A delegate of either screen: each report as "OK <code>", "KO <code> <desc>" or "closed
/// <mayHavePaid>", with whether `screenClosed` held when it came; runs `onReport` after each.
class RecordingDelegate : public DirectPaymentResponseDelegate,
                          public WebViewPaymentResponseDelegate {
  public:
    void responseDirectPaymentOK(const DirectPaymentResponseOK& response) override {
        record("OK " + std::to_string(response.code));
    }
    void responseDirectPaymentKO(const DirectPaymentResponseKO& response) override {
        record("KO " + std::to_string(response.code) + " " + response.desc);
    }
    void responsePaymentOK(const WebViewPaymentResponseOK& response) override {
        record("OK " + std::to_string(response.code));
    }
    void responsePaymentKO(const WebViewPaymentResponseKO& response) override {
        record("KO " + std::to_string(response.code) + " " + response.desc);
    }
    void paymentScreenClosedWithoutOutcome(bool mayHavePaid) override {
        record("closed " + std::to_string(mayHavePaid));
    }
    void paymentEnded(const PaymentOutcome& outcome) override { agreement.ended(outcome); }
    std::vector<std::string> told;
    OutcomeAgreement agreement;
    std::vector<bool> closedWhenTold;
    std::function<bool()> screenClosed;
    std::function<void()> onReport;

  private:
    void record(std::string report) {
        agreement.reported(report);
        told.push_back(std::move(report));
        closedWhenTold.push_back(screenClosed && screenClosed());
        if (onReport) {
            onReport();
        }
    }
};

/// The cardholder at one field of the card-entry screen, editing it the way a toolkit's field
/// proposes edits: at the end of its text, unless told where.
class CardholderAt {
  public:
    CardholderAt(ui::CardEntryViewModel& model, ui::CardField field)
        : model_(model), field_(field) {}

    std::string shown() const { return std::string(model_.field(field_).text.view()); }
    bool enabled() const { return model_.field(field_).enabled; }

    /// Replaces `range` of the text by `replacement`; whether the edit showed as proposed.
    bool edit(ui::TextRange range, std::string_view replacement) const {
        return model_.editField(field_, range, platform::SecretText(replacement));
    }
    /// Types each character of `characters` at the end, one keystroke each.
    void type(std::string_view characters) const {
        for (std::size_t at = 0; at < characters.size(); at = nextCharacter(characters, at)) {
            paste(characters.substr(at, nextCharacter(characters, at) - at));
        }
    }
    /// Pastes `text` at the end in one edit.
    bool paste(std::string_view text) const { return edit({ui::utf16Length(shown()), 0}, text); }
    /// Deletes the last character (two UTF-16 units for one outside the Basic Multilingual Plane).
    bool deleteBackward() const {
        const std::string current = shown();
        std::size_t last = current.size();
        while (last > 0 && (static_cast<unsigned char>(current[--last]) & 0xC0) == 0x80) {
        }
        const std::size_t end = ui::utf16Length(current);
        const std::size_t start = ui::utf16Length(std::string_view(current).substr(0, last));
        return edit({start, end - start}, "");
    }

  private:
    static std::size_t nextCharacter(std::string_view text, std::size_t at) {
        while (++at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        }
        return at;
    }

    ui::CardEntryViewModel& model_;
    ui::CardField field_;
};

/// What a screen's test runs in: the defaults, a fake gateway service installed through
/// `setService`, and the trace lines; all taken down again afterwards.
template <typename Request, auto setService>
class ScreenTest : public ConfiguredTest {
  protected:
    void SetUp() override {
        ConfiguredTest::SetUp();
        setService(service);
        setTraceSink([this](std::string_view line) { traces.emplace_back(line); });
    }
    void TearDown() override {
        platform::MainQueue::runPending();
        service->calls.clear();
        ConfiguredTest::TearDown();
    }

    /// Has the delegate note whether `model`'s screen had closed at each report.
    template <typename Model>
    void watchClosing(const std::shared_ptr<Model>& model) {
        delegate->screenClosed = [shown = std::weak_ptr<Model>(model)] {
            const auto model = shown.lock();
            return model && model->closed();
        };
    }

    std::shared_ptr<FakeGatewayService<Request>> service =
        std::make_shared<FakeGatewayService<Request>>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::vector<std::string> traces;
};

}  // namespace vanto::testing
