// Loads the library named by argv[1] with dlopen, runs and joins one thread,
// unloads it with dlclose, and exits.  The program does not link the library,
// so the load and unload hooks run inside dlopen/dlclose (or, when the loader
// keeps the object, at exit).  Each step is reported on standard error, where
// the library's default log sink writes too, so a parent process sees the
// library's records and the steps in one ordered stream.
#include <dlfcn.h>

#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
    return 2;
  }
  std::fprintf(stderr, "probe: opening\n");
  void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "probe: dlopen failed: %s\n", dlerror());
    return 1;
  }
  std::fprintf(stderr, "probe: opened\n");
  std::thread([] {}).join();
  std::fprintf(stderr, "probe: thread joined\n");
  if (dlclose(handle) != 0) {
    std::fprintf(stderr, "probe: dlclose failed: %s\n", dlerror());
    return 1;
  }
  std::fprintf(stderr, "probe: closed\n");
  return 0;
}
