// Loads the library named by argv[1], runs and joins one thread, unloads it
// and exits, reporting each step on standard error, where the library's
// default log sink writes too: one ordered stream of steps and records.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <string>
#include <thread>

namespace {

#if defined(_WIN32)
using Handle = HMODULE;
Handle openLibrary(const char* path) { return LoadLibraryA(path); }
bool closeLibrary(Handle handle) { return FreeLibrary(handle) != 0; }
std::string lastError() { return "error " + std::to_string(GetLastError()); }
#else
using Handle = void*;
Handle openLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
bool closeLibrary(Handle handle) { return dlclose(handle) == 0; }
std::string lastError() { return dlerror(); }
#endif

void report(const char* what) {
    std::fprintf(stderr, "probe: %s failed: %s\n", what, lastError().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    std::fprintf(stderr, "probe: opening\n");
    Handle handle = openLibrary(argv[1]);
    if (handle == nullptr) {
        report("open");
        return 1;
    }
    std::fprintf(stderr, "probe: opened\n");
    std::thread([] {}).join();
    std::fprintf(stderr, "probe: thread joined\n");
    if (!closeLibrary(handle)) {
        report("close");
        return 1;
    }
    std::fprintf(stderr, "probe: closed\n");
    return 0;
}
