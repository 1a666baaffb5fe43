// The log sink: the one place every diagnostic of the library goes to.
//
// Each record has five fields: level ("ERROR", "WARN", "DEBUG" or
// "ENTER_EXIT"), logger (the name of the logging class), message (GBK text),
// the source file of the logging statement (null for the library's load and
// unload records) and its line (-1 for load and unload).  The library never
// filters by level: every record reaches the sink, which decides what to keep.
//
// By default records are written to standard error, one line each:
//   LEVEL logger message (file:line)
// with "-" in place of a null file.  A host redirects them by installing its
// own sink with setSink.
//
// Ownership and lifetime: the installed sink is copied into the library and
// kept until it is replaced.  The sink is called during load and unload of the
// library too (unload runs at process exit when the library is linked), so a
// host sink must stay callable until it is replaced; restore the default
// (setSink({})) before the objects it uses go away.
//
// Thread-safety: setSink and logout may be called from any thread.  The
// library takes no lock around the call of the sink: a sink that is called from
// several threads must protect itself.
#ifndef ZU_ZOZOV_LOG_LOGOUT_H
#define ZU_ZOZOV_LOG_LOGOUT_H

#include <functional>

#include "common/export.h"

namespace zAZir4 {

// The level words of the library's log records.
inline constexpr char LEVEL_ERROR[] = "ERROR";
inline constexpr char LEVEL_WARN[] = "WARN";
inline constexpr char LEVEL_DEBUG[] = "DEBUG";
inline constexpr char LEVEL_ENTER_EXIT[] = "ENTER_EXIT";

// A log sink.  The strings live only for the duration of the call; file may be
// null.  An exception thrown by a sink is caught and dropped by the library.
using Sink = std::function<void(const char* level, const char* logger, const char* message,
                                const char* file, int line)>;

// Installs sink and returns the one installed before (an empty Sink when the
// default sink was in place).  An empty Sink restores the default sink.
ZU_ZOZOV_EXPORT Sink setSink(Sink sink);

// Hands one record to the installed sink.  Never throws; returns when the sink
// has returned.
ZU_ZOZOV_EXPORT void logout(const char* level, const char* logger, const char* message,
                            const char* file, int line) noexcept;

}  // namespace zAZir4

#endif  // ZU_ZOZOV_LOG_LOGOUT_H
