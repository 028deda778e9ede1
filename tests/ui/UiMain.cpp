// The UI tests run in one Qt application per program, with the Qt binding in place throughout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "vanto/qt/QtBinding.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();  // listing needs no display
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    int status = 0;
    {
        const vanto::qt::QtBinding binding;
        status = RUN_ALL_TESTS();
        QTest::qWait(0);
    }
    QTest::qWait(0);
    return status;
}
