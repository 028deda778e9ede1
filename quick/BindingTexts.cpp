#include "BindingTexts.h"

namespace vanto::quick::detail {

QVariantMap bindingTexts() {
    return {{QStringLiteral("logo"), QStringLiteral("Logotipo")},
            {QStringLiteral("busy"), QStringLiteral("Procesando")},
            {QStringLiteral("close"), QStringLiteral("Cerrar")},
            {QStringLiteral("expiryPlaceholder"), QStringLiteral("MM/AA")}};
}

}  // namespace vanto::quick::detail
