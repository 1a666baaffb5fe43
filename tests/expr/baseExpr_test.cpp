// The compile / calc / clear life cycle of CBaseExpr.
#include "expr/baseExpr.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "expr/function.h"
#include "support/gbk.h"

using namespace qvtlib::expr;
using testsupport::gbk;

namespace {

// Fills the store from a map of doubles.
class MapData : public basic_data {
  public:
    bool prepare(const void* source) override {
        if (!source) return false;
        m_values.clear();
        for (const auto& kv : *static_cast<const std::map<std::string, double>*>(source)) {
            m_values[kv.first] = kv.second;
        }
        return true;
    }
};

typedef CBaseExpr<MapData, CBaseResolver> Expr;

class COops : public CBaseFunc<COops> {
  public:
    COops() {
        if (!isInited()) {
            setFuncName("oops");
            setReturnType(boost::any(true));
            setParamNum(0);
            setInited(true);
        }
    }
    bool checkParamType(unsigned, boost::any&) const override { return false; }
    std::string getDeclareInfo() const override { return "bool oops()"; }
    boost::any calcFunc(const basic_data*) const override { throw std::runtime_error("oops!"); }
};

}  // namespace

TEST(BaseExpr, CompileErrorsCarryCodePositionAndText) {
    const struct {
        const char* text;
        int code;
        int column;
        const char* message;
    } cases[] = {
        {"a b", 2, 0, "语法错误，缺少操作符。"}, {"a ~", 1, 2, "非法字符 '~'."},
        {"x == (1", 2, 7, "语法错误."},          {"x == \"open", 1, 5, "非法终止."},
        {"\xB9\xC9 ==", 2, 5, "语法错误."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Expr e;
        EXPECT_FALSE(e.compile(c.text));
        EXPECT_FALSE(e.isCompiled());
        EXPECT_EQ(c.code, e.getErrorCode());
        EXPECT_EQ(c.column, e.getErrorPos().beginColumn);
        EXPECT_EQ(c.text, e.getExpression());
        EXPECT_EQ(gbk("表达式 [") + c.text + gbk("]:") + gbk(c.message) + "\n", e.getErrorText());
        EXPECT_EQ("", e.getErrorText());  // reading clears
        EXPECT_FALSE(e.calc());
    }
    // A failed compile after a good one: calc refuses; a good compile resets
    // the code.
    Expr e;
    ASSERT_TRUE(e.compile("x > 1"));
    EXPECT_FALSE(e.compile("x >> 1"));
    EXPECT_FALSE(e.calc());
    EXPECT_TRUE(e.compile("x > 1"));
    EXPECT_EQ(0, e.getErrorCode());
    EXPECT_EQ("", e.getErrorText());
}

TEST(BaseExpr, CalcAgainstTheStore) {
    Expr e;
    ASSERT_TRUE(e.compile("x > 1"));
    e.getData().getValues()["x"] = 2.0;
    EXPECT_TRUE(e.calc());
    EXPECT_TRUE(boost::any_cast<bool>(e.getResult()));
    e.getData().getValues().erase("x");
    EXPECT_TRUE(e.calc());
    EXPECT_FALSE(boost::any_cast<bool>(e.getResult()));
    // Filled through prepare; the result changes type with the expression.
    std::map<std::string, double> source{{"a", 3.0}, {"b", 4.0}};
    ASSERT_TRUE(e.compile("a * b + c"));
    EXPECT_TRUE(e.getData().prepare(&source));
    EXPECT_TRUE(e.calc());
    EXPECT_TRUE(e.getResult().empty());  // c is unbound
    source["c"] = 1.0;
    e.getData().prepare(&source);
    EXPECT_TRUE(e.calc());
    EXPECT_EQ(13.0, boost::any_cast<double>(e.getResult()));
    EXPECT_TRUE(e.clear());
    EXPECT_TRUE(e.getData().getValues().empty());
    EXPECT_TRUE(e.getResult().empty());
    // An empty text clears too: nothing compiled, nothing to evaluate.
    ASSERT_TRUE(e.compile("x > 1"));
    EXPECT_TRUE(e.compile(""));
    EXPECT_FALSE(e.isCompiled());
    EXPECT_FALSE(e.calc());
    EXPECT_EQ(nullptr, e.getParser());
}

TEST(BaseExpr, EvaluationFailuresAccumulateAndKeepTheResult) {
    static COops oops;
    getFuncMap()["oops"] = &oops;
    Expr e;
    ASSERT_TRUE(e.compile("x == 1"));
    e.getData().getValues()["x"] = 1.0;
    ASSERT_TRUE(e.calc());
    ASSERT_TRUE(e.compile("x == 1 && notThere(x)"));  // late binding: compiles
    EXPECT_FALSE(e.calc());
    EXPECT_TRUE(boost::any_cast<bool>(e.getResult()));  // the previous value stays
    EXPECT_FALSE(e.calc());
    const std::string unsupported = gbk("尚不支持该函数") + "notThere\n";
    EXPECT_EQ(unsupported + unsupported, e.getErrorText());
    EXPECT_EQ("", e.getErrorText());
    ASSERT_TRUE(e.compile("oops()"));
    EXPECT_FALSE(e.calc());
    EXPECT_EQ("oops!\n", e.getErrorText());
    getFuncMap().erase("oops");
    getFuncMap().erase("notThere");
}
