// The group functions that group expressions may call, and the process-wide
// helper provider that answers inSql and inPool.
//
//   inSql(value, sql)     1 when the host says value is in what sql selects
//   inColl(value, list)   1 when value equals an item of the comma list
//   inPool(poolId)        1 when the host says the instrument is in the pool
//   ascPerc, descPerc, ascCount, descCount (value, a, b)
//                         declared and checked, evaluate to an empty value
//   substr(text, start, length)
//                         bytes [start, start + length) of text
//
// The membership functions yield the double 1 or 0; 0 also when they cannot
// tell (missing arguments, arguments of the wrong kind, a logged failure).
//
// Each function class fills its class-wide declaration (name, return and
// parameter types) on its first construction.  The expression data binding
// registers one shared instance of each in the function registry; a host or
// test may register them itself with getFuncMap()[f.funcName()] = &f.
//
// Thread-safety: none.  A shared function instance holds the arguments of the
// call in progress, and CGrpExprHelper's provider is one process-wide pointer,
// so evaluations that call these functions must not overlap across threads,
// and setHelperProvider must not run while an evaluation does.
#ifndef ZU_ZOZOV_GRPEXPR_H
#define ZU_ZOZOV_GRPEXPR_H

#include <boost/any.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/export.h"
#include "expr/baseExpr.h"
#include "expr/data.h"
#include "expr/function.h"
#include "zu_zozov/htGroupData.h"

namespace qvt {
namespace ht {

class CGrpData;

// The expression object of the grouping library: the engine's expression
// object with CGrpData (grpData.h) as its variable store.
typedef qvtlib::expr::CBaseExpr<CGrpData, qvtlib::expr::CBaseResolver> CGrpExpr;

class CGrpFunc_inSql;
class CGrpFunc_inColl;
class CGrpFunc_inPool;
class CGrpFunc_ascPerc;
class CGrpFunc_descPerc;
class CGrpFunc_ascCount;
class CGrpFunc_descCount;
class CGrpFunc_substr;
}  // namespace ht
}  // namespace qvt

#if defined(_WIN32)
// Every Windows module holds its own copy of a class template's static data.
// The class-wide declarations of the group functions are the library's: they
// are defined in the DLL and imported by hosts, so that an accessor compiled
// into a host (called on a function object itself, not through a pointer)
// reads the copy that the library filled.
#define ZU_ZOZOV_GROUP_FUNC_DECLARATION(F)                                            \
    template <>                                                                       \
    ZU_ZOZOV_EXPORT std::string qvtlib::expr::CBaseFunc<F>::m_name;                   \
    template <>                                                                       \
    ZU_ZOZOV_EXPORT boost::any qvtlib::expr::CBaseFunc<F>::m_returnType;              \
    template <>                                                                       \
    ZU_ZOZOV_EXPORT unsigned qvtlib::expr::CBaseFunc<F>::m_paramNum;                  \
    template <>                                                                       \
    ZU_ZOZOV_EXPORT std::vector<boost::any> qvtlib::expr::CBaseFunc<F>::m_paramType;  \
    template <>                                                                       \
    ZU_ZOZOV_EXPORT std::vector<std::string> qvtlib::expr::CBaseFunc<F>::m_paramName; \
    template <>                                                                       \
    ZU_ZOZOV_EXPORT bool qvtlib::expr::CBaseFunc<F>::m_inited;
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_inSql)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_inColl)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_inPool)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_ascPerc)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_descPerc)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_ascCount)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_descCount)
ZU_ZOZOV_GROUP_FUNC_DECLARATION(qvt::ht::CGrpFunc_substr)
#undef ZU_ZOZOV_GROUP_FUNC_DECLARATION
#endif

namespace qvt {
namespace ht {

// The process-wide helper provider for inSql and inPool.  Static members only.
class ZU_ZOZOV_EXPORT CGrpExprHelper {
  public:
    // Installs helper, shared with the caller; the previous helper loses this
    // reference.  An empty pointer uninstalls the helper.  The library drops
    // its reference when it is unloaded.
    static void setHelperProvider(const boost::shared_ptr<IHTGroupHelper>& helper);

    // The installed helper (empty when none is installed).
    static boost::shared_ptr<IHTGroupHelper> getHelperProvider();

    // m_helper->inSqlCalcFunc(value, sql).  Without a helper this throws
    // std::runtime_error "... Boost assertion failed: px != 0".
    static boost::any inSqlCalcFuncHelper(const boost::any& value, const boost::any& sql);

    // m_helper->inPoolCalcFunc(data, poolId); without a helper as above.
    static boost::any inPoolCalcFuncHelper(const qvtlib::expr::basic_data* data,
                                           const boost::any& poolId);

  private:
    CGrpExprHelper() = delete;

    static boost::shared_ptr<IHTGroupHelper> m_helper;
};

// inSql(value, sql): asks the helper provider whether value (number or
// string) is in the set that the SQL text sql selects.  Yields 1 or 0 as the
// provider answers (see IHTGroupHelper); 0 without asking when an argument is
// missing or sql is not a string.  No exception of any kind leaves it: a
// failure of the provider (no provider installed among them) is logged at
// "ERROR" and yields 0; a thrown object that is not a std::exception is
// logged with a message saying that the reason is unknown.
class ZU_ZOZOV_EXPORT CGrpFunc_inSql : public qvtlib::expr::CBaseFunc<CGrpFunc_inSql> {
  public:
    CGrpFunc_inSql();
    // Position 0: a number or a string; 1: a string; others refused.
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

// inColl(value, list): 1 when value equals an item of the comma-separated
// list, else 0.  A string value is compared byte for byte with each item
// stripped of leading and trailing spaces; a number value with each item
// converted as by atof.  Empty items count (",," and "" hold an empty item).
// A value that is neither a string nor a double is logged at "ERROR" and
// yields 0.
class ZU_ZOZOV_EXPORT CGrpFunc_inColl : public qvtlib::expr::CBaseFunc<CGrpFunc_inColl> {
  public:
    CGrpFunc_inColl();
    // Position 0: a number or a string; 1: a string; others refused.
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

// inPool(poolId): asks the helper provider whether the instrument bound in
// data belongs to pool poolId.  Yields 1 or 0 as the provider answers; 0
// without asking when data is null, the argument is missing or not a double.
// A boost::bad_any_cast from the provider is logged and yields 0; any other
// exception (no provider installed among them) propagates.
class ZU_ZOZOV_EXPORT CGrpFunc_inPool : public qvtlib::expr::CBaseFunc<CGrpFunc_inPool> {
  public:
    CGrpFunc_inPool();
    // Position 0: a number; others refused.
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

// The four ranking functions are declared and type-checked (value: number or
// string; then two numbers) but compute nothing: a call evaluates to an empty
// value.
class ZU_ZOZOV_EXPORT CGrpFunc_ascPerc : public qvtlib::expr::CBaseFunc<CGrpFunc_ascPerc> {
  public:
    CGrpFunc_ascPerc();
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

class ZU_ZOZOV_EXPORT CGrpFunc_descPerc : public qvtlib::expr::CBaseFunc<CGrpFunc_descPerc> {
  public:
    CGrpFunc_descPerc();
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

class ZU_ZOZOV_EXPORT CGrpFunc_ascCount : public qvtlib::expr::CBaseFunc<CGrpFunc_ascCount> {
  public:
    CGrpFunc_ascCount();
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

class ZU_ZOZOV_EXPORT CGrpFunc_descCount : public qvtlib::expr::CBaseFunc<CGrpFunc_descCount> {
  public:
    CGrpFunc_descCount();
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

// substr(text, start, length): the std::string::substr of text, start and
// length truncated toward zero and taken as unsigned 32-bit counts (a
// negative length takes the rest).  Positions count bytes.  A start beyond
// the text is logged at "ERROR" and yields the empty string, as do missing
// arguments or arguments of the wrong kind (without a log record).
class ZU_ZOZOV_EXPORT CGrpFunc_substr : public qvtlib::expr::CBaseFunc<CGrpFunc_substr> {
  public:
    CGrpFunc_substr();
    // Position 0: a string; 1 and 2: numbers; others refused.
    bool checkParamType(unsigned int i, boost::any& t) const override;
    std::string getDeclareInfo() const override;
    boost::any calcFunc(const qvtlib::expr::basic_data* data) const override;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GRPEXPR_H
