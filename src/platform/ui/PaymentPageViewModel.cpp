#include "vanto/platform/ui/PaymentPageViewModel.h"

namespace vanto::platform::ui {

PaymentPageViewModel::PaymentPageViewModel(std::shared_ptr<Inputs> inputs)
    : inputs_(std::move(inputs)) {}

void PaymentPageViewModel::setObserver(std::shared_ptr<Observer> observer) {
    observer_ = std::move(observer);
}

NavigationActionPolicy PaymentPageViewModel::decideNavigation(const NavigationAction& action) {
    return inputs_->navigationDecided(action);
}

void PaymentPageViewModel::navigationStarted() {
    inputs_->navigationStarted();
}

void PaymentPageViewModel::navigationFinished() {
    inputs_->navigationFinished();
}

void PaymentPageViewModel::navigationFailed() {
    inputs_->navigationFailed();
}

void PaymentPageViewModel::scriptEvaluated(std::uint64_t id, std::optional<ScriptValue> result,
                                           std::optional<ScriptError> error) {
    const auto awaited = awaitedScripts_.find(id);
    if (awaited == awaitedScripts_.end()) {
        return;
    }
    const ScriptCompletion completion = std::move(awaited->second);
    awaitedScripts_.erase(awaited);
    if (completion) {
        completion(std::move(result), std::move(error));
    }
}

void PaymentPageViewModel::pressCloseButton() {
    if (closeButton_.visible) {
        inputs_->closeButtonPressed();
    }
}

void PaymentPageViewModel::pressAlertButton(std::size_t index) {
    if (!alert_ || index >= alert_->actions.size()) {
        return;
    }
    const std::function<void()> handler = std::move(alert_->actions[index].handler);
    alert_.reset();
    notify(Part::alert);
    if (handler) {
        handler();
    }
}

void PaymentPageViewModel::requestClose() {
    inputs_->closeRequested();
}

void PaymentPageViewModel::appeared() {
    closed_ = false;
    inputs_->appeared();
}

void PaymentPageViewModel::setCloseButton(OverlayButton button) {
    closeButton_ = std::move(button);
    notify(Part::closeButton);
}

void PaymentPageViewModel::setCloseButtonVisible(bool visible) {
    closeButton_.visible = visible;
    notify(Part::closeButton);
}

void PaymentPageViewModel::setBusy(bool busy) {
    busy_ = busy;
    notify(Part::busy);
}

void PaymentPageViewModel::present(Alert alert) {
    alert_ = std::move(alert);
    notify(Part::alert);
}

void PaymentPageViewModel::load(URLRequest page) {
    page_ = std::move(page);
    notify(Part::page);
}

void PaymentPageViewModel::evaluate(std::string source, ScriptCompletion completion) {
    const std::uint64_t id = ++lastScript_;
    awaitedScripts_[id] = std::move(completion);
    script_ = PageScript{id, std::move(source)};
    notify(Part::script);
}

// A closed screen shows no alert.
void PaymentPageViewModel::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    if (alert_) {
        alert_.reset();
        notify(Part::alert);
    }
    notify(Part::closed);
}

// The observer is kept for the call: it may replace itself meanwhile.
void PaymentPageViewModel::notify(Part part) const {
    if (const auto told = observer_) {
        told->changed(part);
    }
}

}  // namespace vanto::platform::ui
