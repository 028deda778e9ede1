#pragma once

#include <string_view>

#include <QString>

#include "vanto/qt/BaseExport.h"

class QLocale;

namespace vanto::qt::detail {

/// The texts the bindings themselves put on the screens: names for assistive technologies,
/// window titles, a placeholder.
enum class OwnText {
    cardWindowTitle,
    pageWindowTitle,
    /// The activity indicator.
    busy,
    logo,
    /// The payment page's close button, whose title is a mere "X".
    closeButton,
    /// The web view the gateway's payment page runs in.
    paymentPage,
    /// The expiry field's placeholder, "MM/AA".
    expiryPlaceholder,
};

/// `text`, in the language the application chose (useScreenLanguage).
VANTO_QT_BASE_EXPORT QString ownText(OwnText text);

/// A text of the screens from the core (a caption, a button title, an alert), as the binding
/// shows it: when it is one of the library's own Spanish texts (the appearance's defaults, the
/// payment page's alert), in the language the application chose; any other text, such as one the
/// merchant set, exactly as it is.
VANTO_QT_BASE_EXPORT QString screenText(std::string_view text);

/// Makes the library's own texts on the screens drawn from now on speak the language of
/// `locale`: Spanish, their own, or a language the library brings a translation for (English).
/// False, and Spanish, for any other. The translation is one of the application's translators
/// (QCoreApplication::installTranslator) while it is in use; call on the Qt thread, with the
/// QCoreApplication in place.
VANTO_QT_BASE_EXPORT bool useScreenLanguage(const QLocale& locale);

}  // namespace vanto::qt::detail
