#include "vanto/flow/BaseViewController.h"

namespace vanto {

BaseViewController::BaseViewController(std::string nibName,
                                       std::shared_ptr<platform::ui::Toolkit> toolkit)
    : nibName_(std::move(nibName)), toolkit_(std::move(toolkit)) {}

void BaseViewController::loadViewIfNeeded() {
    if (viewLoaded_) {
        return;
    }
    viewLoaded_ = true;
    loadView();
    viewDidLoad();
}

void BaseViewController::viewDidAppear(bool) {
    loadViewIfNeeded();
}

void BaseViewController::setView(std::shared_ptr<platform::ui::MainView> view,
                                 std::shared_ptr<platform::ui::Presentation> presentation) {
    view_ = std::move(view);
    presentation_ = std::move(presentation);
}

void BaseViewController::present(platform::ui::Alert alert, bool animated) const {
    if (presentation_) {
        presentation_->present(std::move(alert), animated);
    }
}

void BaseViewController::dismiss(bool animated) const {
    if (presentation_) {
        presentation_->dismiss(animated);
    }
}

}  // namespace vanto
