#include "base/ScreenTexts.h"

#include <algorithm>
#include <array>
#include <string>

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include "base/QtValues.h"

// The translations are a resource of a static library: registered by hand, from the global
// namespace, as Qt requires.
static void registerTranslations() {
    Q_INIT_RESOURCE(vanto_translations);
}

namespace vanto::qt::detail {
namespace {

constexpr const char* kContext = "vanto";

// The texts the core puts on the screens by itself, word for word as it does.
constexpr std::array kCoreTexts = {
    QT_TRANSLATE_NOOP("vanto", "Continuar"),
    QT_TRANSLATE_NOOP("vanto", "Cancelar"),
    QT_TRANSLATE_NOOP("vanto",
                      "Por favor, compruebe que el número de tarjeta y el resto de datos son "
                      "exactamente los mismos que aparecen en la tarjeta."),
    QT_TRANSLATE_NOOP("vanto", "N.º de tarjeta"),
    QT_TRANSLATE_NOOP("vanto", "Caducidad"),
    QT_TRANSLATE_NOOP("vanto", "Cód. seguridad"),
    QT_TRANSLATE_NOOP("vanto", "ERROR 404"),
    QT_TRANSLATE_NOOP("vanto",
                      "Página no encontrada \n No ha sido posible encontrar el contenido "
                      "solicitado en nuestro servidor.\n Esto puede ser debido a una URL mal "
                      "escrita, un enlace obsoleto, o una actualización de los contenidos de "
                      "nuestra Web."),
    QT_TRANSLATE_NOOP("vanto", "Aceptar"),
    QT_TRANSLATE_NOOP("vanto", "Número de tarjeta no válido"),
    QT_TRANSLATE_NOOP("vanto", "Fecha de caducidad no válida"),
    QT_TRANSLATE_NOOP("vanto", "Código de seguridad no válido"),
};

const char* sourceOf(OwnText text) {
    switch (text) {
        case OwnText::cardWindowTitle:
            return QT_TRANSLATE_NOOP("vanto", "Pago con tarjeta");
        case OwnText::pageWindowTitle:
            return QT_TRANSLATE_NOOP("vanto", "Pago");
        case OwnText::busy:
            return QT_TRANSLATE_NOOP("vanto", "Procesando");
        case OwnText::logo:
            return QT_TRANSLATE_NOOP("vanto", "Logotipo");
        case OwnText::closeButton:
            return QT_TRANSLATE_NOOP("vanto", "Cerrar");
        case OwnText::paymentPage:
            return QT_TRANSLATE_NOOP("vanto", "Página de pago");
        case OwnText::expiryPlaceholder:
            return QT_TRANSLATE_NOOP("vanto", "MM/AA");
    }
    return "";
}

// The library's translation while one is in use; it goes with the application.
QPointer<QTranslator>& translation() {
    static QPointer<QTranslator> inUse;
    return inUse;
}

}  // namespace

QString ownText(OwnText text) {
    return QCoreApplication::translate(kContext, sourceOf(text));
}

QString screenText(std::string_view text) {
    const auto own = std::find_if(kCoreTexts.begin(), kCoreTexts.end(),
                                  [text](const char* source) { return text == source; });
    return own == kCoreTexts.end() ? toQString(text) : QCoreApplication::translate(kContext, *own);
}

bool useScreenLanguage(const QLocale& locale) {
    if (QTranslator* previous = translation()) {
        QCoreApplication::removeTranslator(previous);
        delete previous;
    }
    if (locale.language() == QLocale::Spanish) {
        return true;
    }
    registerTranslations();
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("vanto"), QStringLiteral("_"),
                          QStringLiteral(":/vanto/translations"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    translation() = translator;
    return true;
}

}  // namespace vanto::qt::detail
