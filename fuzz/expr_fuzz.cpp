// Fuzz target: expression texts as rule authors type them.
//
// Compiles the input with CBaseExpr, then evaluates it (calc), runs the static
// type check over the parse tree and collects the variable names, against a
// variable store that holds a value of every kind the engine meets (double,
// string, int, bool, other arithmetic types, an empty value and a value of a
// foreign type).  The library's group functions are registered, with a helper
// provider that answers inSql and inPool without outside data.
//
// Any crash, sanitizer report or exception that is not a std::exception is a
// finding; failed compiles, type errors and failed evaluations are not.
#include <boost/any.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "expr/baseExpr.h"
#include "expr/function.h"
#include "expr/node.h"
#include "log/logout.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/htGroupData.h"

namespace {

using qvtlib::expr::basic_data;

class CFuzzData : public basic_data {
  public:
    bool prepare(const void*) override { return true; }
};

// Answers inSql by comparing the value's text with the SQL text, inPool by
// the sign of the pool number: deterministic and without outside data.
class CFuzzHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) override {
        const std::string* s = boost::any_cast<std::string>(&value);
        return boost::any(s != nullptr && *s == boost::any_cast<std::string>(sql));
    }
    boost::any inPoolCalcFunc(const basic_data*, const boost::any& poolId) override {
        return boost::any(boost::any_cast<double>(poolId) > 0 ? 1 : 0);
    }
};

void fillValues(basic_data::ValueMap& v) {
    v["a"] = 1.5;
    v["b"] = std::string("abc");
    v["c"] = 7;
    v["d"] = true;
    v["e"] = 3000000000u;
    v["f"] = -5L;
    v["g"] = 2.5f;
    v["h"] = 'h';
    v["i"] = boost::any();
    v["j"] = std::vector<int>(2, 1);
    v["x"] = 0.0;
    v["y"] = std::numeric_limits<double>::quiet_NaN();
    v["z"] = std::numeric_limits<int>::min();
    v["s"] = std::string("1,2, x ,,abc");
    v["n"] = -1;
    v["i_code"] = std::string("600000");
    v["a_type"] = std::string("A");
    v["m_type"] = std::string("");
}

struct CSetup {
    CSetup() {
        zAZir4::setSink([](const char*, const char*, const char*, const char*, int) {});
        qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<CFuzzHelper>());
        reg(inSql);
        reg(inColl);
        reg(inPool);
        reg(ascPerc);
        reg(descPerc);
        reg(ascCount);
        reg(descCount);
        reg(substr);
    }
    void reg(qvtlib::expr::basic_function& f) { qvtlib::expr::getFuncMap()[f.funcName()] = &f; }

    qvt::ht::CGrpFunc_inSql inSql;
    qvt::ht::CGrpFunc_inColl inColl;
    qvt::ht::CGrpFunc_inPool inPool;
    qvt::ht::CGrpFunc_ascPerc ascPerc;
    qvt::ht::CGrpFunc_descPerc descPerc;
    qvt::ht::CGrpFunc_ascCount ascCount;
    qvt::ht::CGrpFunc_descCount descCount;
    qvt::ht::CGrpFunc_substr substr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSetup* setup = new CSetup;  // lives for the whole process
    static_cast<void>(setup);

    const std::string text(reinterpret_cast<const char*>(data), size);
    qvtlib::expr::CBaseExpr<CFuzzData, qvtlib::expr::CBaseResolver> expr;
    if (!expr.compile(text)) {
        static_cast<void>(expr.getErrorText());
        static_cast<void>(expr.calc());
        return 0;
    }
    // Unbound variables first, then the full store.
    static_cast<void>(expr.calc());
    fillValues(expr.getData().getValues());
    static_cast<void>(expr.calc());
    static_cast<void>(expr.calc());  // again: reuses the result's storage

    qvtlib::expr::CExpParser* parser = expr.getParser();
    if (parser != nullptr && parser->getRoot() != nullptr) {
        try {
            static_cast<void>(parser->getRoot()->check(&expr.getData()));
        } catch (const std::exception&) {
            // a type error is an answer, not a fault
        }
        std::set<std::string> names;
        parser->getVarbNames(names, parser->getRoot());
        static_cast<void>(qvtlib::expr::treeString(parser->getRoot()));
    }
    static_cast<void>(expr.getErrorText());
    return 0;
}
