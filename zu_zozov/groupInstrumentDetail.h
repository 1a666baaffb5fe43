// Internals of the instrument record (groupInstrument.cpp).  Not installed:
// hosts must not rely on it.
#ifndef ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H
#define ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H

#include <string>

namespace qvt {
namespace ht {
namespace detail {

// "xother": the group code when no group holds, the node code of a tree's
// catch-all node, and the text of an attribute the record does not hold.
inline const std::string& xother() {
    static const std::string text("xother");
    return text;
}

// Writes the record of a failed attribute read of getAttributeAsString.
void logAttributeReadFailure(const std::string& name, const char* what);

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H
