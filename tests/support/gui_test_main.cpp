// GoogleTest main for suites that need a Qt application. Listing the tests (as the build does to register
// them with CTest) must work without a display, so the application is only created to run them.
#include "support/loaded_libraries.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    velmora::test::keepLoadedLibrariesMapped();
    return status;
}
