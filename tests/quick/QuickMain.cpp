// The Qt Quick tests run in one Qt application per program, with one QML engine; each suite puts
// the Quick binding in place.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "vanto/quick/QuickBinding.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();  // listing needs no display
    }
    vanto::quick::QuickBinding::prepareApplication();
    QGuiApplication application(argc, argv);
    const int status = RUN_ALL_TESTS();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
