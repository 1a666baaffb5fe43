// The variable store of an expression: a map from variable name to value.
//
// A derived class fills the map from a source object of its own kind in
// prepare(); evaluation looks variables up by exact, case-sensitive name, and
// a name without an entry has no value.  The store is owned by the expression
// object that holds it (expr/baseExpr.h).  Not thread-safe.
#ifndef ZU_ZOZOV_EXPR_DATA_H
#define ZU_ZOZOV_EXPR_DATA_H

#include <boost/any.hpp>
#include <map>
#include <string>

#include "common/export.h"

namespace qvtlib {
namespace expr {

class ZU_ZOZOV_EXPORT basic_data {
  public:
    typedef std::map<std::string, boost::any> ValueMap;

    virtual ~basic_data();

    // Fills the values from `source`, an object the derived class knows.
    // Returns false when it cannot.
    virtual bool prepare(const void* source) = 0;

    ValueMap& getValues() { return m_values; }
    const ValueMap& getValues() const { return m_values; }

    // The value stored under `name`, or null when there is none.  Does not
    // allocate.
    const boost::any* lookup(const std::string& name) const {
        ValueMap::const_iterator it = m_values.find(name);
        return it == m_values.end() ? nullptr : &it->second;
    }

  protected:
    ValueMap m_values;
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_DATA_H
