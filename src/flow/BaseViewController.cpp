#include "vanto/flow/BaseViewController.h"

namespace vanto {

void BaseViewController::loadViewIfNeeded() {
    if (viewLoaded_) {
        return;
    }
    viewLoaded_ = true;
    viewDidLoad();
}

void BaseViewController::viewDidAppear(bool) {
    loadViewIfNeeded();
    presented_ = true;
    reported_ = false;
}

bool BaseViewController::takeReport() {
    if (reported_) {
        return false;
    }
    reported_ = true;
    return true;
}

}  // namespace vanto
