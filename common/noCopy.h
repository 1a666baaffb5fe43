// CNoCopy: base of classes that must be neither copied nor assigned (they own
// resources such as a parser with its tree).  Deriving from it deletes the
// copy operations of the derived class.
#ifndef ZU_ZOZOV_COMMON_NOCOPY_H
#define ZU_ZOZOV_COMMON_NOCOPY_H

#include "common/export.h"

namespace qvtlib {
namespace common {

class ZU_ZOZOV_EXPORT CNoCopy {
  public:
    CNoCopy() = default;
    virtual ~CNoCopy();
    CNoCopy(const CNoCopy&) = delete;
    CNoCopy& operator=(const CNoCopy&) = delete;
};

}  // namespace common
}  // namespace qvtlib

#endif  // ZU_ZOZOV_COMMON_NOCOPY_H
