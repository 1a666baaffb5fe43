#include "expr/baseExpr.h"

namespace qvtlib {
namespace expr {

CBaseResolver::~CBaseResolver() = default;

namespace detail {

std::string compileErrorHead(const std::string& text) { return "表达式 [" + text + "]:"; }

namespace {
template <typename T>
bool assignSame(boost::any& dst, const boost::any& src) {
    const T* s = boost::any_cast<T>(&src);
    if (!s) return false;
    if (T* d = boost::any_cast<T>(&dst)) {
        *d = *s;
    } else {
        dst = *s;
    }
    return true;
}
}  // namespace

void assignValue(boost::any& dst, const boost::any& src) {
    if (&dst == &src) return;
    if (assignSame<bool>(dst, src) || assignSame<double>(dst, src) || assignSame<int>(dst, src)) {
        return;
    }
    dst = src;
}

}  // namespace detail
}  // namespace expr
}  // namespace qvtlib
