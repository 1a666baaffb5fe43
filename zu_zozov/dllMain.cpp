// The library entry point: one log record when the library is loaded and one
// when it is unloaded.  On Windows these come from DllMain; elsewhere from the
// shared object's constructor and destructor hooks.
#include "log/logout.h"

namespace {

void logAttach() {
    zAZir4::logout(zAZir4::LEVEL_ENTER_EXIT, "ENTER_EXIT", "dll attach: zu_zozov!", nullptr, -1);
}

void logDetach() {
    zAZir4::logout(zAZir4::LEVEL_ENTER_EXIT, "ENTER_EXIT", "dll detach: zu_zozov!", nullptr, -1);
}

}  // namespace

#if defined(_WIN32)

#include <windows.h>

// Never fails a load; thread attach and detach write nothing.
BOOL APIENTRY DllMain(HMODULE /*module*/, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        logAttach();
    } else if (reason == DLL_PROCESS_DETACH) {
        logDetach();
    }
    return TRUE;
}

#else

namespace {

__attribute__((constructor)) void onLibraryLoad() { logAttach(); }

__attribute__((destructor)) void onLibraryUnload() { logDetach(); }

}  // namespace

#endif
