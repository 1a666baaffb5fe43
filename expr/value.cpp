#include "expr/value.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <typeinfo>

namespace qvtlib {
namespace expr {

namespace {

// Reads a value of arithmetic type T out of v when it holds one.
template <typename T>
bool read(const boost::any& v, double& out) {
    if (const T* p = boost::any_cast<T>(&v)) {
        out = static_cast<double>(*p);
        return true;
    }
    return false;
}

}  // namespace

// Tries the eleven arithmetic types, most frequent first (the engine's own
// values are double, bool and int).
bool tryToDouble(const boost::any& v, double& out) {
    if (v.empty()) return false;
    return read<double>(v, out) || read<bool>(v, out) || read<int>(v, out) || read<long>(v, out) ||
           read<unsigned int>(v, out) || read<unsigned long>(v, out) || read<float>(v, out) ||
           read<short>(v, out) || read<unsigned short>(v, out) || read<char>(v, out) ||
           read<unsigned char>(v, out);
}

bool isNumeric(const boost::any& v) {
    double ignored;
    return !v.empty() && tryToDouble(v, ignored);
}

double toDouble(const boost::any& v) {
    double out = 0.0;
    if (v.empty() || !tryToDouble(v, out)) {
        throw std::runtime_error("failed conversion from non-support type to double.");
    }
    return out;
}

bool doubleEqual(double a, double b) { return std::fabs(a - b) < DOUBLE_TOLERANCE; }

}  // namespace expr
}  // namespace qvtlib
