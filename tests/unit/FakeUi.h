#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "vanto/testing/FakeGatewayService.h"
#include "TestSupport.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/ui/CardEntryViewModel.h"
#include "vanto/platform/ui/PaymentPageViewModel.h"
#include "vanto/transport/TraceSink.h"

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

    std::shared_ptr<FakeGatewayService<Request>> service =
        std::make_shared<FakeGatewayService<Request>>();
    std::vector<std::string> traces;
};

}  // namespace vanto::testing
