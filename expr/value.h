// Values of the expression language and their conversions.
//
// Every value in the engine is a boost::any.  The engine itself produces
// double (numbers, arithmetic), std::string (string literals), bool (logical
// and comparison operators) and int (modulo); variables and functions may
// deliver any type.  An empty boost::any means "no value".
//
// The functions here are pure and thread-safe.
#ifndef ZU_ZOZOV_EXPR_VALUE_H
#define ZU_ZOZOV_EXPR_VALUE_H

#include <boost/any.hpp>
#include <limits>

#include "common/export.h"

namespace qvtlib {
namespace expr {

// True when v holds one of the eleven arithmetic types: bool, char,
// unsigned char, short, unsigned short, int, unsigned int, long,
// unsigned long, float, double.  False for an empty value and for every other
// type (std::string included).
ZU_ZOZOV_EXPORT bool isNumeric(const boost::any& v);

// Non-throwing form of toDouble: stores the converted value in `out` and
// returns true when v holds an arithmetic type; false otherwise (out is then
// unchanged).
ZU_ZOZOV_EXPORT bool tryToDouble(const boost::any& v, double& out);

// Converts an arithmetic value to double: bool gives 0 or 1, unsigned types
// stay positive.  Anything else, the empty value included, throws a
// std::exception whose what() is "failed conversion from non-support type to
// double.".
ZU_ZOZOV_EXPORT double toDouble(const boost::any& v);

// The tolerance of every numeric comparison of the library: numbers that
// differ by less (the smallest normalised double) are equal, and a number
// counts as zero below it.  The tree walk, the evaluation plans, the groups
// and the tree nodes must agree on it to the bit.
constexpr double DOUBLE_TOLERANCE = std::numeric_limits<double>::min();

// True when |a - b| is below the smallest normalised double; false when either
// operand is NaN.
ZU_ZOZOV_EXPORT bool doubleEqual(double a, double b);

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_VALUE_H
