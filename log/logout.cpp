#include "log/logout.h"

#include <cstdio>
#include <memory>
#include <utility>

namespace zAZir4 {
namespace {

// The installed host sink; null means the default sink.  The holder is
// constant-initialised and never destroyed, so the load record (written while
// static initialisers run) and the unload record (written when static
// destructors may already have run) both find it in a valid state.
union SinkHolder {
    constexpr SinkHolder() : sink() {}
    ~SinkHolder() {}
    std::shared_ptr<const Sink> sink;
};
SinkHolder g_installed;

std::shared_ptr<const Sink>* installed() { return &g_installed.sink; }

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

void writeToStderr(const char* level, const char* logger, const char* message, const char* file,
                   int line) noexcept {
    std::fprintf(stderr, "%s %s %s (%s:%d)\n", orEmpty(level), orEmpty(logger), orEmpty(message),
                 file != nullptr ? file : "-", line);
}

}  // namespace

Sink setSink(Sink sink) {
    std::shared_ptr<const Sink> next;
    if (sink) next = std::make_shared<const Sink>(std::move(sink));
    std::shared_ptr<const Sink> previous = std::atomic_exchange(installed(), std::move(next));
    return previous ? *previous : Sink();
}

void logout(const char* level, const char* logger, const char* message, const char* file,
            int line) noexcept {
    try {
        std::shared_ptr<const Sink> sink = std::atomic_load(installed());
        if (sink) {
            (*sink)(level, logger, message, file, line);
            return;
        }
    } catch (...) {
        // A host sink must not break the library: the record is dropped.
        return;
    }
    writeToStderr(level, logger, message, file, line);
}

}  // namespace zAZir4
