# The parts the project installs, each a component of `cmake --install` and a Debian package of
# its own. A part with TARGET is a library: besides the core it is a component of
# find_package(VantoInLibrary COMPONENTS <name>) and has a pkg-config file vanto-<name>.pc, with
# hyphens for the name's underscores (the core's is vanto.pc). Adding a part is one entry here plus
# its install rules (for a library, vanto_install_library(<name> <target> ...) where the target is
# made); a library that links another of ours names it in USES.
#
#   PACKAGE            the Debian package; for a library the -dev one (a shared build adds a
#                      runtime package, named after it and the library's SOVERSION)
#   SUMMARY            one line; DESCRIPTION the paragraph under it
#   FIND               find_package() arguments a consumer's find_package needs, one text each
#   FIND_STATIC        the same, needed only while the library is a static one
#   PKGCONFIG          pkg-config modules its users compile and link against
#   PKGCONFIG_STATIC   the same, needed only while the library is a static one (else private)
#   CFLAGS, LIBS       what pkg-config adds besides include path, static define and -l<library>
#   DEPENDS            Debian packages the package needs (a library's also on libvanto-dev)
#   USES               for a library, the parts (libraries of ours besides the core) it links:
#                      find_package loads them with it, its pkg-config file requires them, its
#                      packages depend on theirs
#   LINKS              libraries a program links: in a shared build, their runtime packages (and
#                      those of the parts they use)
#   RECOMMENDS, SUGGESTS, SECTION, ARCHITECTURE as in Debian; SHLIBDEPS for packages of programs
vanto_component(core TARGET vanto
    PACKAGE libvanto-dev
    SUMMARY "card payments through the card-payment gateway: C++ library and headers"
    DESCRIPTION "Configuration, request signing, the HTTPS transport, both payment flows and the \
logic of the payment screens, behind small UI ports. CMake: find_package(VantoInLibrary), target \
vanto::vanto; pkg-config: vanto."
    FIND_STATIC "OpenSSL 3 COMPONENTS Crypto SSL" "CURL" "SQLite3"
    PKGCONFIG_STATIC libcurl openssl sqlite3
    LIBS -pthread
    DEPENDS "libcurl4-openssl-dev, libssl-dev, libsqlite3-dev"
    SUGGESTS "vanto-doc")

vanto_component(qt_base TARGET vanto_qt_base
    PACKAGE libvanto-qt-base-dev
    SUMMARY "card payments through the card-payment gateway: base of the Qt bindings"
    DESCRIPTION "What the Qt bindings of the screens share that needs neither Qt Widgets nor Qt \
WebEngine: the library's main queue on the Qt event loop, the screens' values in Qt's types. It has \
no headers of its own: the bindings' packages bring it. CMake: COMPONENTS qt_base, target \
vanto::qt_base; pkg-config: vanto-qt-base."
    FIND "Qt6 6.4 COMPONENTS Core Gui"
    PKGCONFIG Qt6Core Qt6Gui
    DEPENDS "qt6-base-dev")

vanto_component(qt_web_base TARGET vanto_qt_web_base
    PACKAGE libvanto-qt-web-base-dev
    SUMMARY "card payments through the card-payment gateway: payment page, Qt WebEngine Core"
    DESCRIPTION "What the Qt bindings' payment pages share, on Qt WebEngine Core: the decision on a \
page's certificate against the application's trust anchors, navigation decisions, loading, page \
requests and scripts. It has no headers of its own: the bindings' packages bring it. CMake: \
COMPONENTS qt_web_base, target vanto::qt_web_base; pkg-config: vanto-qt-web-base."
    USES qt_base
    FIND "Qt6 6.4 COMPONENTS WebEngineCore"
    FIND_STATIC "Qt6 6.4 COMPONENTS Network"
    PKGCONFIG Qt6WebEngineCore
    PKGCONFIG_STATIC Qt6Network
    DEPENDS "qt6-webengine-dev")

vanto_component(qt TARGET vanto_qt
    PACKAGE libvanto-qt-dev
    SUMMARY "card payments through the card-payment gateway: Qt 6 binding of the screens"
    DESCRIPTION "The card-entry screen on Qt Widgets, with the library's main queue on the Qt event \
loop; it loads no web engine (the payment page is libvanto-qt-web-dev). CMake: COMPONENTS qt, \
target vanto::qt; pkg-config: vanto-qt."
    USES qt_base
    FIND "Qt6 6.4 COMPONENTS Widgets"
    FIND_STATIC "Qt6 6.4 COMPONENTS Svg"
    PKGCONFIG Qt6Widgets
    PKGCONFIG_STATIC Qt6Svg
    DEPENDS "qt6-base-dev, qt6-svg-dev")

vanto_component(qt_web TARGET vanto_qt_web
    PACKAGE libvanto-qt-web-dev
    SUMMARY "card payments through the card-payment gateway: Qt 6 payment page"
    DESCRIPTION "The payment web page on Qt WebEngine Widgets, presented like the card-entry screen \
once <vanto/qt/PaymentPage.h> is included. CMake: COMPONENTS qt_web, target vanto::qt_web; \
pkg-config: vanto-qt-web."
    USES qt qt_web_base
    FIND "Qt6 6.4 COMPONENTS Widgets"
    FIND_STATIC "Qt6 6.4 COMPONENTS WebEngineWidgets"
    PKGCONFIG Qt6Widgets
    PKGCONFIG_STATIC Qt6WebEngineWidgets
    DEPENDS "qt6-webengine-dev")

vanto_component(quick TARGET vanto_quick
    PACKAGE libvanto-quick-dev
    SUMMARY "card payments through the card-payment gateway: Qt Quick binding of the screens"
    DESCRIPTION "The card-entry screen and the payment web page as the QML module Vanto \
(CardEntryScreen, PaymentPage), for kiosks and touch terminals, with the library's main queue on \
the Qt event loop. CMake: COMPONENTS quick, target vanto::quick; pkg-config: vanto-quick."
    USES qt_base qt_web_base
    FIND "Qt6 6.4 COMPONENTS Core"
    FIND_STATIC "Qt6 6.4 COMPONENTS Gui Qml Quick WebEngineQuick"
    PKGCONFIG Qt6Core
    PKGCONFIG_STATIC Qt6Gui Qt6Qml Qt6Quick Qt6WebEngineQuick
    DEPENDS "qt6-declarative-dev, qt6-webengine-dev, qml6-module-qtquick, \
qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-templates, \
qml6-module-qtqml-workerscript, qml6-module-qtwebengine, libqt6svg6")

vanto_component(sandbox TARGET vanto_sandbox
    PACKAGE libvanto-sandbox-dev
    SUMMARY "card payments through the card-payment gateway: local sandbox gateway"
    DESCRIPTION "A stand-in for the gateway over HTTPS on loopback, started in process: its \
services, test cards, signature checks and fault switches, for tests and offline work. CMake: \
COMPONENTS sandbox, target vanto::sandbox; pkg-config: vanto-sandbox."
    FIND_STATIC "OpenSSL 3 COMPONENTS Crypto SSL" "CURL"
    PKGCONFIG_STATIC libcurl openssl
    DEPENDS "libcurl4-openssl-dev, libssl-dev")

vanto_component(testing TARGET vanto_testing
    PACKAGE libvanto-testing-dev
    SUMMARY "card payments through the card-payment gateway: fake gateway for unit tests"
    DESCRIPTION "A fake of the gateway services that drives the presenters and the screens \
without sockets, for an application's own unit tests, and a driver of the Qt card screens for its \
UI tests. CMake: COMPONENTS testing, target vanto::testing; pkg-config: vanto-testing.")

vanto_component(cli
    PACKAGE vanto
    SUMMARY "card payments through the card-payment gateway: command line tool"
    DESCRIPTION "vanto sandbox, pay, web --headless, encode and demo: payments and signed \
requests from the command line, against a sandbox gateway started in process or a gateway of \
your choice."
    SHLIBDEPS
    LINKS core
    RECOMMENDS "vanto-screens"
    SUGGESTS "vanto-doc")

vanto_component(screens
    PACKAGE vanto-screens
    SUMMARY "card payments through the card-payment gateway: the command line's Qt windows"
    DESCRIPTION "The program that vanto web and vanto demo become to show the payment screens in \
windows (Qt Widgets and Qt WebEngine); without it the command line pays headless."
    SHLIBDEPS
    LINKS core qt qt_web
    DEPENDS "vanto (= @PROJECT_VERSION@)")

vanto_component(doc
    PACKAGE vanto-doc
    SUMMARY "card payments through the card-payment gateway: documentation"
    DESCRIPTION "The integration guide, the sandbox gateway's manual, the README and the API \
reference (HTML), in /usr/share/doc/vanto."
    SECTION doc
    ARCHITECTURE all)
