#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#endif

namespace velmora::test {

// The OpenGL driver unloads itself when the display closes, before LeakSanitizer looks, and a leak in an
// unloaded library is reported without a name that tests/sanitizers/lsan.supp could match. Called at the end
// of a suite's main, this keeps every library the run loaded mapped until exit, so such reports name their
// library. Nothing to do without AddressSanitizer.
inline void keepLoadedLibrariesMapped()
{
#if defined(__SANITIZE_ADDRESS__)
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
#endif
}

}  // namespace velmora::test
