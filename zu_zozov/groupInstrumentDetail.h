// Internals of the instrument record (groupInstrument.cpp).  Not installed:
// hosts must not rely on it.
#ifndef ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H
#define ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H

#include <string>

namespace qvt {
namespace ht {
namespace detail {

// Writes the record of a failed attribute read of getAttributeAsString.
void logAttributeReadFailure(const std::string& name, const char* what);

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H
