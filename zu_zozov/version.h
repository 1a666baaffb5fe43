// The library's version, for hosts that want to log or check it.
#ifndef ZU_ZOZOV_VERSION_H
#define ZU_ZOZOV_VERSION_H

#include "common/export.h"

namespace qvt {
namespace ht {

// The version of the loaded library, "major.minor.patch".
ZU_ZOZOV_EXPORT const char* version();

}  // namespace ht
}  // namespace qvt

#endif
