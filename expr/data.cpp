#include "expr/data.h"

namespace qvtlib {
namespace expr {

basic_data::~basic_data() = default;

}  // namespace expr
}  // namespace qvtlib
