// A variable store for expression tests: the values are set by hand, there is
// no source object to prepare from.
#ifndef ZU_ZOZOV_TESTS_SUPPORT_VARDATA_H
#define ZU_ZOZOV_TESTS_SUPPORT_VARDATA_H

#include <boost/any.hpp>
#include <string>

#include "expr/data.h"

namespace testsupport {

class VarData : public qvtlib::expr::basic_data {
  public:
    // Nothing to prepare from: always false.
    bool prepare(const void*) override { return false; }
    // Stores v under name, replacing an earlier value.
    VarData& set(const std::string& name, const boost::any& v) {
        m_values[name] = v;
        return *this;
    }
};

}  // namespace testsupport

#endif  // ZU_ZOZOV_TESTS_SUPPORT_VARDATA_H
