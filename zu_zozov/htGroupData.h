// The provider interfaces through which the library asks the host for data it
// does not have itself.
//
// - IHTGroupHelper answers the group functions inSql and inPool.  One instance
//   serves the whole process; the host installs it with
//   CGrpExprHelper::setHelperProvider (zu_zozov/grpExpr.h) before any
//   expression that calls inSql or inPool is evaluated.
// - IHTGroupData answers group rules and classification trees: property value
//   lists, parent values of a child value, the root class code, and group and
//   account rules by code.  Each rule and tree holds its own
//   boost::shared_ptr to one.
//
// The host implements both; the library never creates an implementation.
// Ownership: the library holds the providers through boost::shared_ptr.
// Every object that IHTGroupData returns by pointer stays the host's: the
// library uses it only during the call that asked for it and never deletes it.
//
// Thread-safety: the providers are called on the thread that evaluates or
// builds; an implementation shared by rules used on several threads must be
// safe for that itself.
#ifndef ZU_ZOZOV_HTGROUPDATA_H
#define ZU_ZOZOV_HTGROUPDATA_H

#include <boost/any.hpp>
#include <string>
#include <vector>

#include "common/export.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/propDic.h"

namespace qvtlib {
namespace expr {
class basic_data;
}  // namespace expr
}  // namespace qvtlib

namespace qvt {
namespace ht {

class CGrpRule;

// Answers the membership functions that need outside data.
//
// Result contract of both operations: the library reads the returned value as
// a yes/no answer.  Membership is a bool true, or a value of an arithmetic
// type (int, double, ... as accepted by qvtlib::expr::isNumeric) other than
// 0; the function then yields the double 1.  Anything else (an empty value,
// false, 0, a string or a value of another type) means "not a member" and the
// function yields the double 0.
class ZU_ZOZOV_EXPORT IHTGroupHelper {
  public:
    IHTGroupHelper() = default;
    IHTGroupHelper(const IHTGroupHelper&) = default;
    IHTGroupHelper& operator=(const IHTGroupHelper&) = default;
    virtual ~IHTGroupHelper();

    // Whether value belongs to the set of values that the SQL text selects.
    // value is inSql's first argument as evaluated (a double or a
    // std::string); sql always holds a std::string.  The implementation may
    // throw boost::bad_any_cast or any std::exception: inSql logs it and
    // yields 0.
    virtual boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) = 0;

    // Whether the instrument being classified belongs to pool poolId.  data
    // is the variable store of the evaluation (the data binding of that
    // instrument, never null); poolId always holds a double, the pool's
    // number (CInstrumentPool::getID).  A boost::bad_any_cast thrown here is
    // logged by inPool, which yields 0; any other exception passes on to the
    // evaluation.
    virtual boost::any inPoolCalcFunc(const qvtlib::expr::basic_data* data,
                                      const boost::any& poolId) = 0;
};

// Answers group rules and classification trees.  Every pointer returned
// belongs to the host and must stay valid until the call that asked for it
// returns.
class ZU_ZOZOV_EXPORT IHTGroupData {
  public:
    IHTGroupData() = default;
    IHTGroupData(const IHTGroupData&) = default;
    IHTGroupData& operator=(const IHTGroupData&) = default;
    virtual ~IHTGroupData();

    // The value list of property propCode (the last dot-separated segment of
    // a rule's Property), or null when the property has none.  A rule of the
    // property kind makes one group per entry of its m_valueNames.
    virtual CPropDic* getPropDic(const std::string& propCode) = 0;

    // The values of parentProp whose object carries childValue as its value
    // of childProp, in the order the caller should append them; null when
    // there are none.
    virtual const std::vector<std::string>* getParentPropValues(const std::string& childProp,
                                                                const std::string& parentProp,
                                                                const std::string& childValue) = 0;

    // The class code that stands for every instrument class.
    virtual std::string getRootClassCode() = 0;

    // The group rule of that code, or null when there is none.
    virtual CGrpRule* getGrpRule(const std::string& ruleCode) = 0;

    // The account rule of that code, or null when there is none.
    virtual CAcctRule* getAcctRule(const std::string& ruleCode) = 0;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_HTGROUPDATA_H
