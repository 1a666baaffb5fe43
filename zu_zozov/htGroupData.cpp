#include "zu_zozov/htGroupData.h"

namespace qvt {
namespace ht {

// Out of line so that the interfaces' type information lives in the library.
IHTGroupHelper::~IHTGroupHelper() = default;
IHTGroupData::~IHTGroupData() = default;

}  // namespace ht
}  // namespace qvt
