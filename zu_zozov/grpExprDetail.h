// Internals of the group functions (grpExpr.cpp), shared with the evaluation
// plans (grpPlan.cpp) and the data binding (grpData.cpp).  Not installed:
// hosts must not rely on it.
#ifndef ZU_ZOZOV_GRPEXPRDETAIL_H
#define ZU_ZOZOV_GRPEXPRDETAIL_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvt {
namespace ht {
namespace detail {

// Registers the eight group functions in the function registry, constructing
// their process-wide instances on first use.  Called by the first CGrpData.
void registerGroupFunctions();

// The matching rules of inColl and substr, shared by the functions and the
// evaluation plans (grpPlan.h), which must answer exactly as they do.

// inColl of a text value: some comma-separated item of list, stripped of
// leading and trailing spaces, equals value byte for byte.
bool inCollHoldsText(const std::string& list, std::string_view value);
// inColl of a number: some item of list, converted as by atof, equals value.
bool inCollHoldsNumber(const std::string& list, double value);
// The items of list as inCollHoldsText compares them (stripped, empty items
// included), as views into list, in list order.
std::vector<std::string_view> inCollTextItems(const std::string& list);
// A substr position or length: d truncated toward zero as an unsigned 32-bit
// count (negative integers wrap; values beyond the int range and NaN give the
// count of the int minimum).
std::uint32_t substrCount(double d);

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GRPEXPRDETAIL_H
