#include "expr/baseExpr.h"

namespace qvtlib {
namespace expr {

CBaseResolver::~CBaseResolver() = default;

namespace detail {

std::string compileErrorHead(const std::string& text) { return "表达式 [" + text + "]:"; }

}  // namespace detail
}  // namespace expr
}  // namespace qvtlib
