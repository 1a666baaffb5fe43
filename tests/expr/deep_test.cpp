// Pathological texts: deep nesting is refused, long chains work, nothing
// overflows the stack.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "expr/baseExpr.h"
#include "expr/data.h"
#include "expr/exceptions.h"
#include "expr/function.h"
#include "expr/parser.h"
#include "support/gbk.h"
#include "support/smallStack.h"
#include "support/varData.h"

using namespace qvtlib::expr;

namespace {

using TestData = testsupport::VarData;

std::string repeat(const std::string& s, int n) {
    std::string out;
    out.reserve(s.size() * n);
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Parses `text`; returns "" or the UTF-8 message of the ParseException.
std::string parseError(const std::string& text) {
    std::istringstream in(text);
    CExpParser parser(&in);
    try {
        parser.parse();
    } catch (const ParseException& e) {
        return testsupport::utf8(e.getMessage());
    }
    return "";
}

const int HUGE_COUNT = 100000;
const int LIMIT = CExpParser::MAX_NESTING;
const std::string TOO_DEEP = "语法错误，表达式嵌套超过" + std::to_string(LIMIT) + "层。";

// f(x): one number in, 1 out; stands for any function of a rule.
class CWorstCall : public CBaseFunc<CWorstCall> {
  public:
    CWorstCall() {
        if (isInited()) return;
        setFuncName("f");
        setReturnType(boost::any(0.0));
        setParamNum(1);
        addParamType(boost::any(0.0));
        setInited(true);
    }
    bool checkParamType(unsigned i, boost::any& t) const override {
        return i == 0 && t.type() == typeid(double);
    }
    std::string getDeclareInfo() const override { return "f(x)"; }
    boost::any calcFunc(const basic_data*) const override { return boost::any(1.0); }
};

}  // namespace

// Nesting past the bound is refused; a long chain that ends in a syntax
// error gives that error, its partial tree destroyed.
TEST(Deep, NestingBeyondTheBoundIsRefused) {
    const struct {
        std::string text, message;
    } cases[] = {
        {repeat("(", HUGE_COUNT) + "a" + repeat(")", HUGE_COUNT), TOO_DEEP},
        {repeat("!", HUGE_COUNT) + "a", TOO_DEEP},
        {repeat("f(", HUGE_COUNT) + "a" + repeat(")", HUGE_COUNT), TOO_DEEP},
        {repeat("a+(", HUGE_COUNT) + "a" + repeat(")", HUGE_COUNT), TOO_DEEP},
        {"a " + repeat("(", HUGE_COUNT) + "b", TOO_DEEP},  // in the missing-operator look-ahead
        {repeat("(", LIMIT + 1) + "a" + repeat(")", LIMIT + 1), TOO_DEEP},
        {repeat("a+", HUGE_COUNT) + ")", "语法错误."},
        {repeat("a||", HUGE_COUNT) + "a a", "语法错误，缺少操作符。"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.message, parseError(c.text)) << c.text.substr(0, 20);
}

TEST(Deep, NestingAtTheBoundWorks) {
    TestData data;
    data.set("a", 2.0);
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {repeat("(", LIMIT) + "a" + repeat(")", LIMIT), 2.0},
        {repeat("a+(", LIMIT) + "a" + repeat(")", LIMIT), 2.0 * (LIMIT + 1)},
        {repeat("(", LIMIT / 2) + repeat("-", LIMIT / 2) + "a" + repeat(")", LIMIT / 2),
         (LIMIT / 2) % 2 == 0 ? 2.0 : -2.0},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        CExpParser parser(&in);
        ASSERT_NO_THROW(parser.parse());
        const boost::any v = parser.getRoot()->calc(&data);
        EXPECT_EQ(c.value, boost::any_cast<bool>(&v) ? double(boost::any_cast<bool>(v))
                                                     : boost::any_cast<double>(v));
        EXPECT_NO_THROW(parser.getRoot()->check(&data));
        std::set<std::string> names;
        parser.getVarbNames(names, parser.getRoot());
        EXPECT_EQ(1u, names.size());
    }
}

// The costliest level of nesting: a call whose argument climbs through every
// binary level before the next call.  At the bound such a text compiles,
// evaluates, checks, lists its variables and is destroyed on a host thread's
// 1 MiB stack, also under AddressSanitizer; one level more is refused.
TEST(Deep, TheWorstNestingAtTheBoundFitsASmallStack) {
    const CWorstCall f;
    basic_function*& entry = getFuncMap()["f"];
    basic_function* const previous = entry;
    entry = const_cast<CWorstCall*>(&f);
    const auto text = [](int n) { return repeat("f(a||b&&c<d+e*", n) + "a" + repeat(")", n); };
    testsupport::onSmallStack([&] {
        CBaseExpr<TestData, CBaseResolver> e;
        ASSERT_TRUE(e.compile(text(LIMIT))) << testsupport::utf8(e.getErrorText());
        for (const char* name : {"a", "b", "c", "d", "e"}) e.getData().set(name, 1.0);
        ASSERT_TRUE(e.calc());
        EXPECT_EQ(1.0, boost::any_cast<double>(e.result()));
        EXPECT_NO_THROW(e.getParser()->getRoot()->check(&e.getData()));
        std::set<std::string> names;
        e.getParser()->getVarbNames(names, e.getParser()->getRoot());
        EXPECT_EQ(5u, names.size());
        CBaseExpr<TestData, CBaseResolver> deeper;
        EXPECT_FALSE(deeper.compile(text(LIMIT + 1)));
        EXPECT_EQ(2, deeper.getErrorCode());
        EXPECT_NE(std::string::npos, deeper.getErrorText().find(testsupport::gbk(TOO_DEEP)));
    });
    entry = previous;
}

TEST(Deep, LongOperatorChainsAreWalkedWithLoops) {
    TestData data;
    data.set("a", 1.0);
    // a+a+...+a: a left spine of 100,000 levels.
    std::istringstream sum(repeat("a+", HUGE_COUNT - 1) + "a");
    CExpParser sumParser(&sum);
    sumParser.parse();
    EXPECT_EQ(double(HUGE_COUNT), boost::any_cast<double>(sumParser.getRoot()->calc(&data)));
    EXPECT_NO_THROW(sumParser.getRoot()->check(&data));
    // The check walks chains with loops too, and reports the first failure.
    data.set("s", std::string("t"));
    std::istringstream bad(repeat("a+", HUGE_COUNT) + "s");
    CExpParser badParser(&bad);
    badParser.parse();
    EXPECT_THROW(badParser.getRoot()->check(&data), basic_except);
    EXPECT_TRUE(badParser.getRoot()->calc(&data).empty());
}

TEST(Deep, LongArgumentListsAreLinkedInOrder) {
    // f(a0, a1, ..., a99999): each argument is linked after the previous one;
    // appending at the end of the chain made this quadratic in the count.
    std::string text = "f(";
    for (int i = 0; i < HUGE_COUNT; ++i) text += (i ? ",a" : "a") + std::to_string(i);
    text += ")";
    std::istringstream in(text);
    CExpParser parser(&in);
    ASSERT_NO_THROW(parser.parse());
    const basic_node* call = parser.getRoot();
    ASSERT_TRUE(call->isFunc());
    const basic_node* prev = nullptr;
    int i = 0;
    for (const basic_node* c = call->getChild(); c; c = c->getNextSibling(), ++i) {
        ASSERT_EQ(call, c->getParent()) << i;
        ASSERT_EQ(prev, c->getPreSibling()) << i;
        ASSERT_EQ("a" + std::to_string(i), static_cast<const CVarb&>(c->getKey()).getName());
        prev = c;
    }
    EXPECT_EQ(HUGE_COUNT, i);
}
