#include "vanto/quick/QuickBinding.h"

#include <QAccessible>
#include <QtWebEngineQuick>

#include "AccessibleButton.h"
#include "AccessibleField.h"

#include "base/MainQueueOnQt.h"
#include "base/ScreenTexts.h"

// Made by the QML module's build (qt_add_qml_module): registers the module's C++ types. The
// module has no plugin to do it, so that a static library needs no plugin import.
void qml_register_types_Vanto();
// The module's QML files, compiled, and its qmldir, as resources; registered once more here so
// that a static library linked without its resources' object files brings them from the archive.
int qInitResources_qmake_Vanto();
int qInitResources_vanto_quick_raw_qml_0();
int qInitResources_qmlcache_vanto_quick();

namespace vanto::quick {

struct QuickBinding::Private {
    std::shared_ptr<qt::detail::MainQueueOnQt> mainQueue;
};

void QuickBinding::prepareApplication() {
    QtWebEngineQuick::initialize();
}

bool QuickBinding::setScreenLanguage(const QLocale& locale) {
    return qt::detail::useScreenLanguage(locale);
}

QuickBinding::QuickBinding() : d_(std::make_unique<Private>()) {
    static const bool registered =
        (qInitResources_qmake_Vanto(), qInitResources_vanto_quick_raw_qml_0(),
         qInitResources_qmlcache_vanto_quick(), qml_register_types_Vanto(),
         QAccessible::installFactory(&detail::AccessibleButton::factory),
         QAccessible::installFactory(&detail::AccessibleField::factory), true);
    (void)registered;
    d_->mainQueue = qt::detail::MainQueueOnQt::install();
}

QuickBinding::~QuickBinding() {
    d_->mainQueue->uninstall();
}

}  // namespace vanto::quick
