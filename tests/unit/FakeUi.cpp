#include "FakeUi.h"

#include <gtest/gtest.h>

namespace vanto::testing {

bool FakeTextField::edit(ui::TextRange range, const std::string& replacement) {
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

void FakeTextField::type(const std::string& characters) {
    for (std::size_t offset = 0; offset < characters.size();) {
        std::size_t length = 1;
        while (offset + length < characters.size() &&
               (static_cast<unsigned char>(characters[offset + length]) & 0xC0) == 0x80) {
            ++length;
        }
        paste(characters.substr(offset, length));
        offset += length;
    }
}

bool FakeTextField::paste(const std::string& text) {
    return edit({ui::utf16Length(shown.value_or("")), 0}, text);
}

bool FakeTextField::deleteBackward() {
    const std::string current = shown.value_or("");
    std::size_t last = current.size();
    while (last > 0 && (static_cast<unsigned char>(current[--last]) & 0xC0) == 0x80) {
    }
    const std::size_t end = ui::utf16Length(current);
    const std::size_t start = ui::utf16Length(std::string_view(current).substr(0, last));
    return edit({start, end - start}, "");
}

void FakeBarButton::tap() const {
    if (enabled && action) {
        action();
    }
}

void FakeButton::tap() const {
    if (!hidden && action) {
        action();
    }
}

void FakeMainView::tap() const {
    for (const auto& action : tapActions) {
        action();
    }
}

void FakePresentation::present(ui::Alert alert, bool animated) {
    alerts.push_back(std::move(alert));
    lastAnimated = animated;
}

void FakePresentation::dismiss(bool animated) {
    ++dismissals;
    lastAnimated = animated;
}

std::shared_ptr<ui::WebViewNavigationDelegate> FakeWebView::navigationDelegate() const {
    auto shown = delegate.lock();
    EXPECT_TRUE(shown) << "the web view has no navigation delegate";
    return shown;
}

std::optional<ui::NavigationActionPolicy> FakeWebView::navigate(
    const std::optional<std::string>& address) {
    std::optional<ui::NavigationActionPolicy> decision;
    if (auto screen = navigationDelegate()) {
        screen->decidePolicyFor(*this, address,
                                [this, &decision](ui::NavigationActionPolicy policy) {
                                    EXPECT_FALSE(decision) << "decided twice";
                                    decision = policy;
                                    decisions.push_back(policy);
                                });
    }
    return decision;
}

void FakeWebView::finish(std::optional<ui::ScriptValue> result,
                         std::optional<ui::ScriptError> error) {
    if (auto screen = navigationDelegate()) {
        screen->didFinishNavigation(*this);
    }
    ASSERT_FALSE(evaluations.empty()) << "no script was evaluated";
    auto evaluation = std::move(evaluations.back());
    evaluations.pop_back();
    evaluation.completion(std::move(result), std::move(error));
}

FakeToolkit::FakeToolkit() {
    metrics.idiom = ui::UserInterfaceIdiom::other;
}

ui::DirectPaymentViewElements FakeToolkit::loadDirectPaymentViewController() {
    return {view,           presentation, numberField, expiryField,  cvvField, numberLabel,
            expiryLabel,    cvvLabel,     infoLabel,   indicator,    logo,     cancelButton,
            continueButton, background,   topSpacing,  navigationBar};
}

ui::WebViewPaymentViewElements FakeToolkit::loadWebViewPaymentController() {
    return {view, presentation};
}

std::shared_ptr<ui::Button> FakeToolkit::makeButton(const ui::Rect& frame) {
    auto button = std::make_shared<FakeButton>();
    button->frame = frame;
    buttons.push_back(button);
    return button;
}

void FakeToolkit::animate(double seconds, std::function<void()> changes) {
    animations.push_back(seconds);
    changes();
}

}  // namespace vanto::testing
