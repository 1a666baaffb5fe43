#include "zu_zozov/version.h"

namespace qvt {
namespace ht {

const char* version() { return "0.1.0"; }

}  // namespace ht
}  // namespace qvt
