#pragma once

#include <memory>

#include "vanto/Export.h"
#include "vanto/platform/ui/MainView.h"
#include "vanto/platform/ui/Presentation.h"

namespace vanto::platform::ui {

/// The payment web page's screen as its layout "WebViewPaymentController" lays it out: an empty
/// area the screen fills with a web view of its own, and how it is shown and taken away.
struct VANTO_EXPORT WebViewPaymentViewElements {
    std::shared_ptr<MainView> view;
    std::shared_ptr<Presentation> presentation;
};

}  // namespace vanto::platform::ui
