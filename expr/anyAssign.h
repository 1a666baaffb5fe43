// Assigning into a boost::any while keeping its holder: the one helper behind
// every store that is refilled value after value (the result of an
// expression, a function's arguments, a variable store, an operator's
// result), so that refilling allocates nothing when the type stays the same.
//
// Part of the engine's internals (namespace detail); hosts must not rely on
// it.  Header-only, so that the hot paths inline it.
#ifndef ZU_ZOZOV_EXPR_ANYASSIGN_H
#define ZU_ZOZOV_EXPR_ANYASSIGN_H

#include <boost/any.hpp>
#include <string>
#include <typeinfo>

namespace qvtlib {
namespace expr {
namespace detail {

// dst = value; when dst already holds a T, value is assigned into that holder.
template <typename T>
inline void assignTyped(boost::any& dst, const T& value) {
    if (T* held = boost::any_cast<T>(&dst)) {
        *held = value;
    } else {
        dst = value;
    }
}

// dst = src when both hold the same one of std::string, double, bool or int,
// assigned into dst's holder; returns false (dst untouched) otherwise.
inline bool assignInPlace(boost::any& dst, const boost::any& src) {
    const std::type_info& type = src.type();
    if (dst.type() != type) return false;
    if (type == typeid(std::string)) {
        *boost::unsafe_any_cast<std::string>(&dst) = *boost::unsafe_any_cast<std::string>(&src);
    } else if (type == typeid(double)) {
        *boost::unsafe_any_cast<double>(&dst) = *boost::unsafe_any_cast<double>(&src);
    } else if (type == typeid(bool)) {
        *boost::unsafe_any_cast<bool>(&dst) = *boost::unsafe_any_cast<bool>(&src);
    } else if (type == typeid(int)) {
        *boost::unsafe_any_cast<int>(&dst) = *boost::unsafe_any_cast<int>(&src);
    } else {
        return false;
    }
    return true;
}

// dst = src, into dst's holder where assignInPlace can.
inline void assignValue(boost::any& dst, const boost::any& src) {
    if (&dst == &src) return;
    if (!assignInPlace(dst, src)) dst = src;
}

}  // namespace detail
}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_ANYASSIGN_H
