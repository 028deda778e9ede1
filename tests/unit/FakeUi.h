#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "FakeGatewayService.h"
#include "TestSupport.h"
#include "vanto/platform/MainQueue.h"
#include "vanto/platform/ui/TextRange.h"
#include "vanto/platform/ui/Toolkit.h"
#include "vanto/transport/TraceSink.h"

namespace vanto::testing {

namespace ui = platform::ui;

/// A text field that keeps its state and plays the cardholder's edits the way a toolkit's field
/// does: it asks its delegate first and applies the edit itself only when allowed.
class FakeTextField : public ui::TextField {
  public:
    std::optional<std::string> text() const override { return shown; }
    void setText(const std::string& text) override { shown = text; }
    void setEnabled(bool value) override { enabled = value; }
    void setAlpha(double value) override { alpha = value; }
    void setDelegate(std::weak_ptr<ui::TextFieldDelegate> value) override {
        delegate = value;
        delegateSet = true;
    }

    /// Replaces `range` of the text by `replacement`; returns what the delegate answered.
    bool edit(ui::TextRange range, const std::string& replacement) {
        auto asked = delegate.lock();
        EXPECT_TRUE(asked || !delegateSet) << "the field's delegate has gone";
        const bool allowed = !asked || asked->textField(*this, range, replacement);
        if (allowed) {
            const auto edited = ui::replacingCharacters(shown.value_or(""), range, replacement);
            EXPECT_TRUE(edited) << "an edit the field cannot apply was allowed";
            shown = edited.value_or(shown.value_or(""));
        }
        return allowed;
    }
    /// Types each character of `characters` at the end, one keystroke each.
    void type(const std::string& characters) {
        for (std::size_t at = 0; at < characters.size(); at = nextCharacter(characters, at)) {
            paste(characters.substr(at, nextCharacter(characters, at) - at));
        }
    }
    /// Pastes `text` at the end in one edit.
    bool paste(const std::string& text) {
        return edit({ui::utf16Length(shown.value_or("")), 0}, text);
    }
    /// Deletes the last character (two UTF-16 units for one outside the Basic Multilingual Plane).
    bool deleteBackward() {
        const std::string current = shown.value_or("");
        std::size_t last = current.size();
        while (last > 0 && (static_cast<unsigned char>(current[--last]) & 0xC0) == 0x80) {
        }
        const std::size_t end = ui::utf16Length(current);
        const std::size_t start = ui::utf16Length(std::string_view(current).substr(0, last));
        return edit({start, end - start}, "");
    }

    std::optional<std::string> shown = std::string();
    bool enabled = true;
    double alpha = 1.0;
    std::weak_ptr<ui::TextFieldDelegate> delegate;
    bool delegateSet = false;

  private:
    static std::size_t nextCharacter(const std::string& text, std::size_t at) {
        while (++at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        }
        return at;
    }
};

class FakeLabel : public ui::Label {
  public:
    void setText(const std::string& value) override { text = value; }
    void setFont(const std::optional<ui::Font>& value) override { font = value; }
    void setTextColor(const std::optional<ui::Color>& value) override { color = value; }
    void setAlpha(double value) override { alpha = value; }

    std::string text = "layout text";
    std::optional<ui::Font> font = ui::Font{"layout", 10, std::nullopt};
    std::optional<ui::Color> color = ui::Color{0.5, 0.5, 0.5, 1};
    double alpha = 1.0;
};

/// A bar button; tap() presses it the way a cardholder can, which does nothing while disabled.
class FakeBarButton : public ui::BarButton {
  public:
    void setTitle(const std::string& value) override { title = value; }
    void setEnabled(bool value) override { enabled = value; }
    void setAction(std::function<void()> value) override { action = std::move(value); }
    void tap() const {
        if (enabled && action) {
            action();
        }
    }

    std::string title;
    bool enabled = true;
    std::function<void()> action;
};

class FakeButton : public ui::Button {
  public:
    void setTitle(const std::string& value) override { title = value; }
    void setFont(const ui::Font& value) override { font = value; }
    void setHidden(bool value) override { hidden = value; }
    void setFrame(const ui::Rect& value) override { frame = value; }
    void setAction(std::function<void()> value) override { action = std::move(value); }
    void tap() const {
        if (!hidden && action) {
            action();
        }
    }

    std::string title;
    std::optional<ui::Font> font;
    bool hidden = false;
    ui::Rect frame;
    std::function<void()> action;
};

class FakeImageView : public ui::ImageView {
  public:
    void setImage(const ui::Image& value) override { image = value; }
    void setAlpha(double value) override { alpha = value; }

    std::optional<ui::Image> image;
    double alpha = 1.0;
};

class FakeActivityIndicator : public ui::ActivityIndicator {
  public:
    void setHidden(bool value) override { hidden = value; }
    void startAnimating() override { animating = true; }
    void stopAnimating() override { animating = false; }

    bool hidden = true;
    bool animating = false;
};

class FakeNavigationBar : public ui::NavigationBar {
  public:
    void setAlpha(double value) override { alpha = value; }
    double alpha = 1.0;
};

class FakeLayoutConstraint : public ui::LayoutConstraint {
  public:
    void setConstant(double value) override { constant = value; }
    double constant = 20.0;  // the layout's own value
};

class FakeMainView : public ui::MainView {
  public:
    void setBackgroundColor(const ui::Color& value) override { background = value; }
    void endEditing() override { ++editingEnded; }
    void addTapRecognizer(std::function<void()> action) override {
        tapActions.push_back(std::move(action));
    }
    void setContentView(std::shared_ptr<ui::View> value) override { content = std::move(value); }
    void tap() const {
        for (const auto& action : tapActions) {
            action();
        }
    }

    std::optional<ui::Color> background;
    int editingEnded = 0;
    std::vector<std::function<void()>> tapActions;
    std::shared_ptr<ui::View> content;
};

class FakePresentation : public ui::Presentation {
  public:
    void present(ui::Alert alert, bool animated) override {
        alerts.push_back(std::move(alert));
        lastAnimated = animated;
    }
    void dismiss(bool animated) override {
        ++dismissals;
        lastAnimated = animated;
    }

    std::vector<ui::Alert> alerts;
    int dismissals = 0;
    bool lastAnimated = false;
};

class FakeWebView : public ui::WebView {
  public:
    struct Evaluation {
        std::string script;
        ScriptCompletion completion;
    };

    void load(const platform::URLRequest& request) override { loaded.push_back(request.copy()); }
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion) override {
        evaluations.push_back({script, std::move(completion)});
    }
    void setNavigationDelegate(std::weak_ptr<ui::WebViewNavigationDelegate> value) override {
        delegate = std::move(value);
    }
    void addSubview(std::shared_ptr<ui::View> element) override {
        subviews.push_back(std::move(element));
    }

    /// The navigation delegate, which must be set.
    std::shared_ptr<ui::WebViewNavigationDelegate> navigationDelegate() const {
        auto shown = delegate.lock();
        EXPECT_TRUE(shown) << "the web view has no navigation delegate";
        return shown;
    }
    /// Asks the delegate about a navigation to `address`; returns its decision, none when it
    /// made none.
    std::optional<ui::NavigationActionPolicy> navigate(const std::optional<std::string>& address) {
        std::optional<ui::NavigationActionPolicy> decision;
        if (auto screen = navigationDelegate()) {
            screen->decidePolicyFor(*this, address, [this, &decision](auto policy) {
                EXPECT_FALSE(decision) << "decided twice";
                decision = policy;
                decisions.push_back(policy);
            });
        }
        return decision;
    }
    /// Finishes the navigation and answers the page script with `result` and `error`.
    void finish(std::optional<ui::ScriptValue> result, std::optional<ui::ScriptError> error = {}) {
        if (auto screen = navigationDelegate()) {
            screen->didFinishNavigation(*this);
        }
        ASSERT_FALSE(evaluations.empty()) << "no script was evaluated";
        auto evaluation = std::move(evaluations.back());
        evaluations.pop_back();
        evaluation.completion(std::move(result), std::move(error));
    }

    std::vector<platform::URLRequest> loaded;
    std::vector<Evaluation> evaluations;
    std::vector<ui::NavigationActionPolicy> decisions;
    std::weak_ptr<ui::WebViewNavigationDelegate> delegate;
    std::vector<std::shared_ptr<ui::View>> subviews;
};

/// A toolkit of fakes. Each instance serves one screen: it hands out its one set of elements and
/// keeps them for the test to look at.
class FakeToolkit : public ui::Toolkit {
  public:
    ui::DirectPaymentViewElements loadDirectPaymentViewController() override {
        return {view,           presentation, numberField, expiryField,  cvvField, numberLabel,
                expiryLabel,    cvvLabel,     infoLabel,   indicator,    logo,     cancelButton,
                continueButton, background,   topSpacing,  navigationBar};
    }
    ui::WebViewPaymentViewElements loadWebViewPaymentController() override {
        return {view, presentation};
    }
    std::shared_ptr<ui::WebView> makeWebView() override { return webView; }
    std::shared_ptr<ui::ActivityIndicator> makeActivityIndicator() override { return webIndicator; }
    std::shared_ptr<ui::Button> makeButton(const ui::Rect& frame) override {
        buttons.push_back(std::make_shared<FakeButton>());
        buttons.back()->frame = frame;
        return buttons.back();
    }
    ui::DeviceMetrics deviceMetrics() const override { return metrics; }
    void animate(double seconds, std::function<void()> changes) override {
        animations.push_back(seconds);
        changes();
    }

    ui::DeviceMetrics metrics;
    std::vector<double> animations;

    std::shared_ptr<FakeMainView> view = std::make_shared<FakeMainView>();
    std::shared_ptr<FakePresentation> presentation = std::make_shared<FakePresentation>();
    std::shared_ptr<FakeTextField> numberField = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeTextField> expiryField = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeTextField> cvvField = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeLabel> numberLabel = std::make_shared<FakeLabel>();
    std::shared_ptr<FakeLabel> expiryLabel = std::make_shared<FakeLabel>();
    std::shared_ptr<FakeLabel> cvvLabel = std::make_shared<FakeLabel>();
    std::shared_ptr<FakeLabel> infoLabel = std::make_shared<FakeLabel>();
    std::shared_ptr<FakeActivityIndicator> indicator = std::make_shared<FakeActivityIndicator>();
    std::shared_ptr<FakeImageView> logo = std::make_shared<FakeImageView>();
    std::shared_ptr<FakeBarButton> cancelButton = std::make_shared<FakeBarButton>();
    std::shared_ptr<FakeBarButton> continueButton = std::make_shared<FakeBarButton>();
    std::shared_ptr<FakeImageView> background = std::make_shared<FakeImageView>();
    std::shared_ptr<FakeLayoutConstraint> topSpacing = std::make_shared<FakeLayoutConstraint>();
    std::shared_ptr<FakeNavigationBar> navigationBar = std::make_shared<FakeNavigationBar>();

    std::shared_ptr<FakeWebView> webView = std::make_shared<FakeWebView>();
    std::shared_ptr<FakeActivityIndicator> webIndicator = std::make_shared<FakeActivityIndicator>();
    std::vector<std::shared_ptr<FakeButton>> buttons;
};

/// What a screen's test runs in: the defaults, a fake toolkit, a fake gateway service installed
/// through `setService`, and the trace lines; all taken down again afterwards.
template <typename Request, auto setService>
class ScreenTest : public ConfiguredTest {
  protected:
    void SetUp() override {
        ConfiguredTest::SetUp();
        setService(service);
        ui::setToolkit(toolkit);
        setTraceSink([this](std::string_view line) { traces.emplace_back(line); });
    }
    void TearDown() override {
        platform::MainQueue::runPending();
        service->calls.clear();
        ui::setToolkit(nullptr);  // as a binding removes its own when it goes
        ConfiguredTest::TearDown();
    }

    std::shared_ptr<FakeToolkit> toolkit = std::make_shared<FakeToolkit>();
    FakeToolkit& ui = *toolkit;
    std::shared_ptr<FakeGatewayService<Request>> service =
        std::make_shared<FakeGatewayService<Request>>();
    std::vector<std::string> traces;
};

}  // namespace vanto::testing
