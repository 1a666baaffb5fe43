// Logging sites inside the library: one line per record.
//
//   ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGroupInstrument", "..." << name << ':' << e.what());
//
// builds the message and the logger name in two string streams, hands them to
// zAZir4::logout with the base name of the source file (for example
// "groupInstrument.cpp") and the line, and discards the streams.  Nothing
// escapes from a logging site: a failure while composing the record (out of
// memory) drops the record.
//
// Internal to the library; hosts must not rely on it.
#ifndef ZU_ZOZOV_LOG_LOGSITE_H
#define ZU_ZOZOV_LOG_LOGSITE_H

#include <sstream>

#include "log/logout.h"

namespace zAZir4 {
namespace detail {

// The part of path after its last '/' or '\\'.
constexpr const char* baseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    return base;
}

}  // namespace detail
}  // namespace zAZir4

#define ZU_ZOZOV_LOG(level, logger, message)                                                 \
    do {                                                                                     \
        try {                                                                                \
            std::ostringstream zuLogMessage_;                                                \
            zuLogMessage_ << message;                                                        \
            std::ostringstream zuLogLogger_;                                                 \
            zuLogLogger_ << logger;                                                          \
            ::zAZir4::logout(level, zuLogLogger_.str().c_str(), zuLogMessage_.str().c_str(), \
                             ::zAZir4::detail::baseName(__FILE__), __LINE__);                \
        } catch (...) {                                                                      \
        }                                                                                    \
    } while (false)

#endif  // ZU_ZOZOV_LOG_LOGSITE_H
