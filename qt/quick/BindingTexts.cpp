#include "BindingTexts.h"

#include "base/ScreenTexts.h"

namespace vanto::quick::detail {

QVariantMap bindingTexts() {
    using qt::detail::OwnText;
    using qt::detail::ownText;
    return {{QStringLiteral("logo"), ownText(OwnText::logo)},
            {QStringLiteral("busy"), ownText(OwnText::busy)},
            {QStringLiteral("close"), ownText(OwnText::closeButton)},
            {QStringLiteral("page"), ownText(OwnText::paymentPage)},
            {QStringLiteral("expiryPlaceholder"), ownText(OwnText::expiryPlaceholder)}};
}

}  // namespace vanto::quick::detail
