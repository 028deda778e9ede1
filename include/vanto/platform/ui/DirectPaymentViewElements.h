#pragma once

#include <memory>

#include "vanto/Export.h"
#include "vanto/platform/ui/ActivityIndicator.h"
#include "vanto/platform/ui/BarButton.h"
#include "vanto/platform/ui/ImageView.h"
#include "vanto/platform/ui/Label.h"
#include "vanto/platform/ui/LayoutConstraint.h"
#include "vanto/platform/ui/MainView.h"
#include "vanto/platform/ui/NavigationBar.h"
#include "vanto/platform/ui/Presentation.h"
#include "vanto/platform/ui/TextField.h"

namespace vanto::platform::ui {

/// The card-entry screen as its layout "DirectPaymentViewController" lays it out: what a binding
/// creates for it. Every element is required except the navigation bar. Their look before the
/// screen applies its appearance (positions, sizes, keyboards) is the binding's; the activity
/// indicator starts hidden.
struct VANTO_EXPORT DirectPaymentViewElements {
    std::shared_ptr<MainView> view;
    std::shared_ptr<Presentation> presentation;
    std::shared_ptr<TextField> numberCardTextField;
    /// The expiry, shown as MM/YY.
    std::shared_ptr<TextField> monthCardTextField;
    std::shared_ptr<TextField> cvcCardTextField;
    std::shared_ptr<Label> numberCardLabel;
    std::shared_ptr<Label> monthYearCardLabel;
    std::shared_ptr<Label> cvcCardLabel;
    /// The information text above the fields.
    std::shared_ptr<Label> infoCardLabel;
    std::shared_ptr<ActivityIndicator> activityIndicator;
    std::shared_ptr<ImageView> logoEntidad;
    std::shared_ptr<BarButton> cancelPaymentButton;
    std::shared_ptr<BarButton> continuePaymentButton;
    std::shared_ptr<ImageView> backgroundImageView;
    /// The space between the top of the screen and the navigation bar.
    std::shared_ptr<LayoutConstraint> navigationTopSpacing;
    /// The bar holding the two buttons; null when the layout has none.
    std::shared_ptr<NavigationBar> navigationBar;
};

}  // namespace vanto::platform::ui
