#include "vanto/platform/ui/CardEntryViewModel.h"

#include <cstddef>

namespace vanto::platform::ui {
namespace {

std::size_t indexOf(CardField field) {
    return static_cast<std::size_t>(field);
}

}  // namespace

CardEntryViewModel::CardEntryViewModel(std::shared_ptr<Inputs> inputs)
    : inputs_(std::move(inputs)) {}

void CardEntryViewModel::setObserver(std::shared_ptr<Observer> observer) {
    observer_ = std::move(observer);
}

const CardEntryViewModel::FieldState& CardEntryViewModel::field(CardField which) const {
    return fields_.at(indexOf(which));
}

bool CardEntryViewModel::editField(CardField which, TextRange range, SecretText replacement) {
    FieldState& edited = fields_.at(indexOf(which));
    if (!edited.enabled) {
        return false;
    }
    // Being typed into again: quiet until left.
    left_.at(indexOf(which)) = false;
    if (!inputs_->shouldChange(which, range, replacement)) {
        return false;
    }
    auto applied = replacingCharacters(edited.text.view(), range, replacement.view());
    if (!applied) {
        return false;
    }
    edited.text = std::move(*applied);
    notify(Part::fields);
    return true;
}

const std::string& CardEntryViewModel::fieldProblem(CardField which) const {
    static const std::string none;
    const std::size_t index = indexOf(which);
    return left_.at(index) && !fields_.at(index).text.view().empty() ? problems_.at(index) : none;
}

void CardEntryViewModel::leaveField(CardField which) {
    if (!left_.at(indexOf(which))) {
        left_.at(indexOf(which)) = true;
        notify(Part::fields);
    }
}

void CardEntryViewModel::pressContinue() {
    if (continue_.enabled) {
        inputs_->continuePressed();
    }
}

void CardEntryViewModel::pressCancel() {
    if (cancel_.enabled) {
        inputs_->cancelPressed();
    }
}

void CardEntryViewModel::tapOutside() {
    inputs_->tappedOutside();
}

void CardEntryViewModel::requestClose() {
    inputs_->closeRequested();
}

void CardEntryViewModel::appeared() {
    closed_ = false;
    inputs_->appeared();
}

void CardEntryViewModel::describeDevice(const DeviceMetrics& device) {
    inputs_->deviceDescribed(device);
}

void CardEntryViewModel::setAppearance(CardEntryAppearance appearance) {
    appearance_ = std::move(appearance);
    notify(Part::appearance);
}

void CardEntryViewModel::setNavigationTopSpacing(double points) {
    navigationTopSpacing_ = points;
    notify(Part::layout);
}

void CardEntryViewModel::setFade(Fade fade) {
    fade_ = fade;
    notify(Part::fade);
}

void CardEntryViewModel::setFieldText(CardField which, SecretText text) {
    fields_.at(indexOf(which)).text = std::move(text);
    notify(Part::fields);
}

void CardEntryViewModel::setFieldEnabled(CardField which, bool enabled) {
    fields_.at(indexOf(which)).enabled = enabled;
    notify(Part::fields);
}

void CardEntryViewModel::setFieldProblem(CardField which, std::string problem) {
    if (problems_.at(indexOf(which)) != problem) {
        problems_.at(indexOf(which)) = std::move(problem);
        notify(Part::fields);
    }
}

void CardEntryViewModel::setButtonTitles(std::string cancel, std::string proceed) {
    cancel_.title = std::move(cancel);
    continue_.title = std::move(proceed);
    notify(Part::buttons);
}

void CardEntryViewModel::setCancelEnabled(bool enabled) {
    cancel_.enabled = enabled;
    notify(Part::buttons);
}

void CardEntryViewModel::setContinueEnabled(bool enabled) {
    continue_.enabled = enabled;
    notify(Part::buttons);
}

void CardEntryViewModel::setBusy(bool busy) {
    busy_ = busy;
    notify(Part::busy);
}

void CardEntryViewModel::endEditing() {
    notify(Part::editingEnded);
}

void CardEntryViewModel::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    notify(Part::closed);
}

// The observer is kept for the call: it may replace itself meanwhile.
void CardEntryViewModel::notify(Part part) const {
    if (const auto told = observer_) {
        told->changed(part);
    }
}

}  // namespace vanto::platform::ui
