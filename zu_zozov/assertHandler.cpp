// Boost's internal assertions (BOOST_ENABLE_ASSERT_HANDLER) end here instead of
// aborting the host: a failed assertion becomes a std::runtime_error.  The
// handlers are exported so that Boost code inlined into the host (an empty
// boost::shared_ptr dereferenced by host code, say) reaches them too: on ELF
// through default visibility, from a DLL through its export table.
#include <stdexcept>
#include <string>

#include "common/export.h"

#pragma GCC visibility push(default)
#include <boost/assert.hpp>
#pragma GCC visibility pop

namespace {

// "function: Boost assertion failed: expr", without the function part when
// the compiler could not name the function.
std::string assertionText(const char* expr, const char* function) {
    std::string text;
    if (function != nullptr && std::string(function) != "(unknown)") {
        text += function;
        text += ": ";
    }
    text += "Boost assertion failed: ";
    text += expr != nullptr ? expr : "";
    return text;
}

}  // namespace

namespace boost {

ZU_ZOZOV_EXPORT void assertion_failed(const char* expr, const char* function, const char* /*file*/,
                                      long /*line*/) {
    throw std::runtime_error(assertionText(expr, function));
}

// The explanation of BOOST_ASSERT_MSG follows the condition: "... failed: expr (msg)".
ZU_ZOZOV_EXPORT void assertion_failed_msg(const char* expr, const char* msg, const char* function,
                                          const char* /*file*/, long /*line*/) {
    std::string text = assertionText(expr, function);
    if (msg != nullptr && *msg != '\0') {
        text += " (";
        text += msg;
        text += ")";
    }
    throw std::runtime_error(text);
}

}  // namespace boost
