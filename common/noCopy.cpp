#include "common/noCopy.h"

namespace qvtlib {
namespace common {

// Out of line, so the class's type information and vtable live in the
// library alone.
CNoCopy::~CNoCopy() = default;

}  // namespace common
}  // namespace qvtlib
