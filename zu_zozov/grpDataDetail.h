// Internals of the data binding (grpData.cpp), shared with the groups, the
// trees and the evaluation plans.  Not installed: hosts must not rely on it.
#ifndef ZU_ZOZOV_GRPDATADETAIL_H
#define ZU_ZOZOV_GRPDATADETAIL_H

#include <set>
#include <string>

#include "zu_zozov/grpExpr.h"

namespace qvt {
namespace ht {
namespace detail {

// Runs action unless done is set.  done is set before action runs and cleared
// again when action throws (the exception passes on), so a failed run is
// retried by the next call.
template <class Action>
void runOnceRetrying(bool& done, Action&& action) {
    if (done) return;
    done = true;
    try {
        action();
    } catch (...) {
        done = false;
        throw;
    }
}

// The variable names of expr's parse tree, ascending, each once; empty when
// expr has no parser or no tree.
std::set<std::string> collectVarbNames(const CGrpExpr& expr);

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GRPDATADETAIL_H
