// GoogleTest main for suites that need a Qt application. Listing the tests (as the build does to register
// them with CTest) must work without a display, so the application is only created to run them.
#include <QApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>

namespace {

// The OpenGL driver unloads itself when the display closes, before LeakSanitizer looks, and a leak in an
// unloaded library is reported without a name that tests/sanitizers/lsan.supp could match. Keeping every
// library that the run loaded mapped until exit lets such reports name their library.
void keepLoadedLibrariesMapped()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
#if defined(__SANITIZE_ADDRESS__)
    keepLoadedLibrariesMapped();
#endif
    return status;
}
