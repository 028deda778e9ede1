#pragma once

#include <QVariantMap>

namespace vanto::quick::detail {

/// The texts the binding shows or announces of its own, beside those of the screens' view models
/// (which the merchant sets): for QML, as the `texts` of each screen's drawing, by name:
/// "logo" (the logo's accessible name), "busy" (the activity indicator's), "close" (the payment
/// page's close button, as announced), "page" (the payment page's web view) and
/// "expiryPlaceholder" (the expiry field's hint).
/// In the language the application chose (QuickBinding::setScreenLanguage), as the Widgets
/// binding shows them.
QVariantMap bindingTexts();

}  // namespace vanto::quick::detail
