#include "zu_zozov/grpExpr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>
#include <vector>

#include "expr/function.h"
#include "expr/value.h"
#include "log/logSite.h"
#include "zu_zozov/grpExprDetail.h"

namespace qvt {
namespace ht {

namespace {

typedef std::vector<boost::any> Values;

// Declared parameter i exists and t holds its type.
bool isDeclaredType(const qvtlib::expr::basic_function& f, unsigned int i, const boost::any& t) {
    if (i >= f.paramNum()) return false;
    const boost::any declared = f.getParamType(i);
    return !declared.empty() && t.type() == declared.type();
}

bool isNumberOrString(const boost::any& t) {
    return t.type() == typeid(double) || t.type() == typeid(std::string);
}

// Position 0 takes a number or a string, the others their declared type.
bool checkValueThenDeclared(const qvtlib::expr::basic_function& f, unsigned int i,
                            const boost::any& t) {
    return i == 0 ? isNumberOrString(t) : isDeclaredType(f, i, t);
}

// The host's membership answer as the function's result: 1 for true or a
// non-zero number, 0 for everything else.
boost::any membership(const boost::any& answer) {
    const bool member = qvtlib::expr::isNumeric(answer) && qvtlib::expr::toDouble(answer) != 0.0;
    return boost::any(member ? 1.0 : 0.0);
}

boost::any no() { return boost::any(0.0); }
boost::any yes() { return boost::any(1.0); }

// [begin, end) without leading and trailing blanks (spaces only).
void stripSpaces(const char*& begin, const char*& end) {
    while (begin != end && *begin == ' ') ++begin;
    while (end != begin && end[-1] == ' ') --end;
}

// atof of the item [begin, end), where *end is ',' or the terminating NUL.
double itemToDouble(const char* begin, const char* end) {
    char* stop = nullptr;
    const double d = std::strtod(begin, &stop);
    if (stop <= end) return d;
    // The conversion ran past the comma, which only a locale whose decimal
    // point is ',' does: convert the item on its own.
    return std::atof(std::string(begin, end).c_str());
}

// Walks the comma-separated items of list; stops at the first item for which
// match(begin, end) holds.  Empty items are visited too.
template <typename Match>
bool anyItem(const std::string& list, Match match) {
    const char* item = list.c_str();
    const char* const last = item + list.size();
    for (;;) {
        const char* comma = static_cast<const char*>(std::memchr(item, ',', last - item));
        const char* end = comma != nullptr ? comma : last;
        if (match(item, end)) return true;
        if (comma == nullptr) return false;
        item = comma + 1;
    }
}

// The process-wide instance of one group function class, constructed on first
// use (a constructor that throws is tried again on the next use).
template <class Func>
Func& functionInstance() {
    static Func instance;
    return instance;
}

template <class Func>
void registerFunction(Func& func) {
    qvtlib::expr::getFuncMap()[func.funcName()] = &func;
}

}  // namespace

namespace detail {

bool inCollHoldsText(const std::string& list, std::string_view value) {
    return anyItem(list, [value](const char* begin, const char* end) {
        stripSpaces(begin, end);
        return std::string_view(begin, static_cast<std::size_t>(end - begin)) == value;
    });
}

bool inCollHoldsNumber(const std::string& list, double value) {
    return anyItem(list, [value](const char* begin, const char* end) {
        return itemToDouble(begin, end) == value;
    });
}

std::vector<std::string_view> inCollTextItems(const std::string& list) {
    std::vector<std::string_view> items;
    anyItem(list, [&items](const char* begin, const char* end) {
        stripSpaces(begin, end);
        items.emplace_back(begin, static_cast<std::size_t>(end - begin));
        return false;
    });
    return items;
}

std::uint32_t substrCount(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return 0x80000000u;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(d));
}

void registerGroupFunctions() {
    // Construct every instance first (each fills its class-wide declaration),
    // then register them, both in this order.
    CGrpFunc_inSql& inSql = functionInstance<CGrpFunc_inSql>();
    CGrpFunc_inColl& inColl = functionInstance<CGrpFunc_inColl>();
    CGrpFunc_ascPerc& ascPerc = functionInstance<CGrpFunc_ascPerc>();
    CGrpFunc_descPerc& descPerc = functionInstance<CGrpFunc_descPerc>();
    CGrpFunc_ascCount& ascCount = functionInstance<CGrpFunc_ascCount>();
    CGrpFunc_descCount& descCount = functionInstance<CGrpFunc_descCount>();
    CGrpFunc_inPool& inPool = functionInstance<CGrpFunc_inPool>();
    CGrpFunc_substr& substr = functionInstance<CGrpFunc_substr>();
    registerFunction(inSql);
    registerFunction(inColl);
    registerFunction(ascPerc);
    registerFunction(descPerc);
    registerFunction(ascCount);
    registerFunction(descCount);
    registerFunction(inPool);
    registerFunction(substr);
}

}  // namespace detail

// ---------------------------------------------------------------- helper

boost::shared_ptr<IHTGroupHelper> CGrpExprHelper::m_helper;

void CGrpExprHelper::setHelperProvider(const boost::shared_ptr<IHTGroupHelper>& helper) {
    m_helper = helper;
}

boost::shared_ptr<IHTGroupHelper> CGrpExprHelper::getHelperProvider() { return m_helper; }

boost::any CGrpExprHelper::inSqlCalcFuncHelper(const boost::any& value, const boost::any& sql) {
    return m_helper->inSqlCalcFunc(value, sql);
}

boost::any CGrpExprHelper::inPoolCalcFuncHelper(const qvtlib::expr::basic_data* data,
                                                const boost::any& poolId) {
    return m_helper->inPoolCalcFunc(data, poolId);
}

// ---------------------------------------------------------------- inSql

CGrpFunc_inSql::CGrpFunc_inSql() {
    if (isInited()) return;
    setFuncName("inSql");
    setReturnType(boost::any(0.0));
    setParamNum(2);
    addParamType(boost::any(0.0));
    addParamType(boost::any(std::string()));
    setInited(true);
}

bool CGrpFunc_inSql::checkParamType(unsigned int i, boost::any& t) const {
    return checkValueThenDeclared(*this, i, t);
}

std::string CGrpFunc_inSql::getDeclareInfo() const { return "inSql(整数／浮点数／字符串, 字符串)"; }

boost::any CGrpFunc_inSql::calcFunc(const qvtlib::expr::basic_data* /*data*/) const {
    const Values& values = getParamValues();
    if (paramSize() < paramNum()) return no();
    const boost::any& value = values[0];
    const boost::any& sql = values[1];
    if (sql.type() != typeid(std::string)) return no();
    try {
        return membership(CGrpExprHelper::inSqlCalcFuncHelper(value, sql));
    } catch (const boost::bad_any_cast& e) {
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_inSql", e.what());
    } catch (const std::exception& e) {
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_inSql", e.what());
    } catch (...) {
        // The host threw something that is not a std::exception: no text to
        // report, but the rule goes on for this holding all the same.
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_inSql", "inSql 查询失败，原因未知。");
    }
    return no();
}

// ---------------------------------------------------------------- inColl

CGrpFunc_inColl::CGrpFunc_inColl() {
    if (isInited()) return;
    setFuncName("inColl");
    setReturnType(boost::any(0.0));
    setParamNum(2);
    addParamType(boost::any(0.0));
    addParamType(boost::any(std::string()));
    setInited(true);
}

bool CGrpFunc_inColl::checkParamType(unsigned int i, boost::any& t) const {
    return checkValueThenDeclared(*this, i, t);
}

std::string CGrpFunc_inColl::getDeclareInfo() const {
    return "inColl(整数／浮点数／字符串, 字符串)";
}

// Runs once per instrument: the items are walked in place, nothing is copied.
boost::any CGrpFunc_inColl::calcFunc(const qvtlib::expr::basic_data* /*data*/) const {
    const Values& values = getParamValues();
    if (paramSize() < paramNum()) return no();
    const std::string* list = boost::any_cast<std::string>(&values[1]);
    if (list == nullptr) return no();

    const boost::any& value = values[0];
    if (const std::string* text = boost::any_cast<std::string>(&value)) {
        return detail::inCollHoldsText(*list, *text) ? yes() : no();
    }
    if (const double* number = boost::any_cast<double>(&value)) {
        return detail::inCollHoldsNumber(*list, *number) ? yes() : no();
    }
    ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_inColl", "函数inColl的第1个参数的类型不支持");
    return no();
}

// ---------------------------------------------------------------- inPool

CGrpFunc_inPool::CGrpFunc_inPool() {
    if (isInited()) return;
    setFuncName("inPool");
    setReturnType(boost::any(0.0));
    setParamNum(1);
    addParamType(boost::any(0.0));
    setInited(true);
}

bool CGrpFunc_inPool::checkParamType(unsigned int i, boost::any& t) const {
    return isDeclaredType(*this, i, t);
}

std::string CGrpFunc_inPool::getDeclareInfo() const { return "inPool(整数)"; }

boost::any CGrpFunc_inPool::calcFunc(const qvtlib::expr::basic_data* data) const {
    const Values& values = getParamValues();
    if (paramSize() < paramNum()) return no();
    if (data == nullptr) return no();
    const boost::any& poolId = values[0];
    if (poolId.type() != typeid(double)) return no();
    try {
        return membership(CGrpExprHelper::inPoolCalcFuncHelper(data, poolId));
    } catch (const boost::bad_any_cast& e) {
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_inPool", e.what());
    }
    return no();
}

// ---------------------------------------------------------------- ranking

#define ZU_ZOZOV_RANKING_FUNCTION(NAME, DECLARATION)                              \
    CGrpFunc_##NAME::CGrpFunc_##NAME() {                                          \
        if (isInited()) return;                                                   \
        setFuncName(#NAME);                                                       \
        setReturnType(boost::any(0.0));                                           \
        setParamNum(3);                                                           \
        addParamType(boost::any(0.0));                                            \
        addParamType(boost::any(0.0));                                            \
        addParamType(boost::any(0.0));                                            \
        setInited(true);                                                          \
    }                                                                             \
    bool CGrpFunc_##NAME::checkParamType(unsigned int i, boost::any& t) const {   \
        return checkValueThenDeclared(*this, i, t);                               \
    }                                                                             \
    std::string CGrpFunc_##NAME::getDeclareInfo() const { return DECLARATION; }   \
    boost::any CGrpFunc_##NAME::calcFunc(const qvtlib::expr::basic_data*) const { \
        return boost::any();                                                      \
    }

ZU_ZOZOV_RANKING_FUNCTION(ascPerc, "ascPerc(整数／浮点数／字符串, 浮点数, 浮点数)")
ZU_ZOZOV_RANKING_FUNCTION(descPerc, "descPerc(整数／浮点数／字符串, 浮点数, 浮点数)")
ZU_ZOZOV_RANKING_FUNCTION(ascCount, "ascCount(整数／浮点数／字符串, 整数, 整数)")
ZU_ZOZOV_RANKING_FUNCTION(descCount, "descCount(整数／浮点数／字符串, 整数, 整数)")

#undef ZU_ZOZOV_RANKING_FUNCTION

// ---------------------------------------------------------------- substr

CGrpFunc_substr::CGrpFunc_substr() {
    if (isInited()) return;
    setFuncName("substr");
    setReturnType(boost::any(std::string()));
    setParamNum(3);
    addParamType(boost::any(std::string()));
    addParamType(boost::any(0.0));
    addParamType(boost::any(0.0));
    setInited(true);
}

bool CGrpFunc_substr::checkParamType(unsigned int i, boost::any& t) const {
    return isDeclaredType(*this, i, t);
}

std::string CGrpFunc_substr::getDeclareInfo() const { return "substr(字符串, 整数, 整数)"; }

// Runs once per instrument: the arguments are read in place.
boost::any CGrpFunc_substr::calcFunc(const qvtlib::expr::basic_data* /*data*/) const {
    const Values& values = getParamValues();
    if (paramSize() < paramNum()) return boost::any(std::string());
    try {
        const std::string* text = boost::any_cast<std::string>(&values[0]);
        const double* start = boost::any_cast<double>(&values[1]);
        const double* length = boost::any_cast<double>(&values[2]);
        if (text == nullptr || start == nullptr || length == nullptr) {
            return boost::any(std::string());
        }
        return boost::any(text->substr(detail::substrCount(*start), detail::substrCount(*length)));
    } catch (const boost::bad_any_cast& e) {
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_substr", e.what());
    } catch (const std::exception& e) {
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "CGrpFunc_substr", e.what());
    }
    return boost::any(std::string());
}

}  // namespace ht
}  // namespace qvt

#if defined(_WIN32)
// The class-wide declarations that the header declares imported for hosts.
#define ZU_ZOZOV_GROUP_FUNC_DEFINITION(F)                               \
    template <>                                                         \
    std::string qvtlib::expr::CBaseFunc<F>::m_name{};                   \
    template <>                                                         \
    boost::any qvtlib::expr::CBaseFunc<F>::m_returnType{};              \
    template <>                                                         \
    unsigned qvtlib::expr::CBaseFunc<F>::m_paramNum = 0;                \
    template <>                                                         \
    std::vector<boost::any> qvtlib::expr::CBaseFunc<F>::m_paramType{};  \
    template <>                                                         \
    std::vector<std::string> qvtlib::expr::CBaseFunc<F>::m_paramName{}; \
    template <>                                                         \
    bool qvtlib::expr::CBaseFunc<F>::m_inited = false;
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_inSql)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_inColl)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_inPool)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_ascPerc)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_descPerc)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_ascCount)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_descCount)
ZU_ZOZOV_GROUP_FUNC_DEFINITION(qvt::ht::CGrpFunc_substr)
#undef ZU_ZOZOV_GROUP_FUNC_DEFINITION
#endif
