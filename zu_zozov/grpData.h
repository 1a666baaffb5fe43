// Binding of instrument attributes to expression variables.
//
// CGrpData is the variable store of the grouping library's expression objects
// (CGrpExpr = CBaseExpr<CGrpData, CBaseResolver>): before each evaluation it is
// filled from one CGroupInstrument.  Two fillings exist:
//   - the generic one, prepare(const void*), copies every named attribute of
//     the instrument and none of its fixed fields (tree nodes bind this way);
//   - the strict one, prepare(inst, expr), binds I_CODE, A_TYPE and M_TYPE from
//     the fixed fields plus exactly the variables the expression uses, and
//     reports every variable the instrument cannot supply.
//
// The first CGrpData constructed in the process registers the eight group
// functions (inSql, inColl, ascPerc, descPerc, ascCount, descCount, inPool,
// substr) in the process-wide function registry; a registration that throws is
// tried again by the next construction.
//
// Ownership: the store owns copies of the bound values.  Copying a CGrpData
// does not carry the values (the copy starts empty; assignment leaves the
// target as it was).
//
// Thread-safety: none.  A store is filled and read by one evaluation at a
// time; the first construction must not race with another construction.
#ifndef ZU_ZOZOV_GRPDATA_H
#define ZU_ZOZOV_GRPDATA_H

#include <set>
#include <string>
#include <vector>

#include "common/export.h"
#include "expr/baseExpr.h"
#include "zu_zozov/grpExpr.h"

namespace qvt {
namespace ht {

class CGroupInstrument;

// The variables of one compiled expression, arranged once for the strict
// binding that runs for every instrument: the keys the store can hold (the
// three fixed names and the expression's variable names) in ascending order.
// A plain value; copy it freely.
class ZU_ZOZOV_EXPORT CGrpBindPlan {
  public:
    // No variables: binds the fixed fields only.
    CGrpBindPlan();
    // The plan for an expression that uses varbNames.
    explicit CGrpBindPlan(const std::set<std::string>& varbNames);

    // The expression's variable names, ascending.
    const std::vector<std::string>& getVarbNames() const { return m_varbNames; }

  private:
    friend class CGrpData;
    struct CKey {
        std::string name;
        int fixedField;  // which fixed field binds this key, or -1
        bool isVarb;     // the expression uses this name
    };
    std::vector<CKey> m_keys;
    std::vector<std::string> m_varbNames;
};

class ZU_ZOZOV_EXPORT CGrpData : public qvtlib::expr::basic_data {
  public:
    // An empty store.  The first construction in the process registers the
    // group functions; if that throws, the exception reaches the caller and
    // the next construction tries again.
    CGrpData();
    // The copy starts empty; nothing is registered.
    CGrpData(const CGrpData& other);
    // Leaves this store as it was.
    CGrpData& operator=(const CGrpData& other);
    ~CGrpData() override;

    // Generic binding.  REQUIRES: data points to a CGroupInstrument.
    // Replaces the store by copies of all of the instrument's named
    // attributes; the fixed fields are not bound.  Always returns true.
    bool prepare(const void* data) override;

    // Strict binding for expr (whose variables are collected from its parse
    // tree; none when it has no parser).  The store then holds I_CODE, A_TYPE
    // and M_TYPE from the fixed fields, and every variable of expr that the
    // instrument holds as a named attribute (a named attribute overrides a
    // fixed field of the same name).  For every other variable the message
    // "金融工具中缺少表达式涉及的属性(<name>);" is appended to expr's error
    // text, in ascending name order, and the result is false.
    bool prepare(const CGroupInstrument& inst, const CGrpExpr& expr);

    // The same strict binding with the variables prepared beforehand (see
    // CGrpBindPlan).  REQUIRES: plan was made from expr's variable names.
    // Reuses the store's entries where it can, so a store refilled for
    // instrument after instrument allocates next to nothing.
    bool prepare(const CGroupInstrument& inst, const CGrpExpr& expr, const CGrpBindPlan& plan);
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GRPDATA_H
