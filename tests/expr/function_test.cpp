// The function framework: declarations, registry, and the two walks of a call.
#include "expr/function.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "expr/parser.h"
#include "support/gbk.h"
#include "support/varData.h"

using namespace qvtlib::expr;
using testsupport::gbk;

namespace {

using TestData = testsupport::VarData;

// Parameters are checked by exact type against the declaration.
template <typename T>
class CTypedFunc : public CBaseFunc<T> {
  public:
    bool checkParamType(unsigned i, boost::any& t) const override {
        boost::any declared = this->getParamType(i);
        return !declared.empty() && !t.empty() && declared.type() == t.type();
    }
};

// substr(s, start, len): the text of s from start, len bytes.
class CSubstr : public CTypedFunc<CSubstr> {
  public:
    CSubstr() {
        if (!isInited()) {
            setFuncName("substr");
            setReturnType(boost::any(std::string()));
            setParamNum(3);
            addParamType(boost::any(std::string()));
            addParamName("s");
            addParamType(boost::any(0.0));
            addParamName("start");
            addParamType(boost::any(0.0));
            addParamName("len");
            setInited(true);
        }
    }
    std::string getDeclareInfo() const override {
        return "string substr(string s, double start, double len)";
    }
    boost::any calcFunc(const basic_data*) const override {
        const std::vector<boost::any>& p = getParamValues();
        if (p.size() != 3) return boost::any();
        const std::string* s = boost::any_cast<std::string>(&p[0]);
        if (!s) return boost::any();
        std::size_t start = static_cast<std::size_t>(toDouble(p[1]));
        std::size_t len = static_cast<std::size_t>(toDouble(p[2]));
        return start > s->size() ? std::string() : s->substr(start, len);
    }
};

// cat(a, b, c): the three strings joined.
class CCat : public CTypedFunc<CCat> {
  public:
    CCat() {
        if (!isInited()) {
            setFuncName("cat");
            setReturnType(boost::any(std::string()));
            setParamNum(3);
            for (int i = 0; i < 3; ++i) addParamType(boost::any(std::string()));
            setInited(true);
        }
    }
    std::string getDeclareInfo() const override { return "string cat(string, string, string)"; }
    boost::any calcFunc(const basic_data*) const override {
        std::string out;
        for (const boost::any& v : getParamValues())
            out += "[" + boost::any_cast<std::string>(v) + "]";
        return out;
    }
};

// answer(): 42.  count(...): how many values arrived, and the first one.
class CAnswer : public CTypedFunc<CAnswer> {
  public:
    CAnswer() {
        if (!isInited()) {
            setFuncName("answer");
            setReturnType(boost::any(42.0));
            setParamNum(0);
            setInited(true);
        }
    }
    std::string getDeclareInfo() const override { return "double answer()"; }
    boost::any calcFunc(const basic_data*) const override { return 42.0; }
};

class CCount : public CTypedFunc<CCount> {
  public:
    CCount() {
        if (!isInited()) {
            setFuncName("count");
            setReturnType(boost::any(0.0));
            setParamNum(1);
            addParamType(boost::any(0.0));
            setInited(true);
        }
    }
    std::string getDeclareInfo() const override { return "double count(double x)"; }
    boost::any calcFunc(const basic_data*) const override {
        seen = getParamValues();
        return static_cast<double>(paramSize());
    }
    mutable std::vector<boost::any> seen;
};

// fail(x): throws basic_except from calcFunc.
class CFail : public CTypedFunc<CFail> {
  public:
    CFail() {
        if (!isInited()) {
            setFuncName("fail");
            setReturnType(boost::any(0.0));
            setParamNum(1);
            addParamType(boost::any(0.0));
            setInited(true);
        }
    }
    std::string getDeclareInfo() const override { return "double fail(double)"; }
    boost::any calcFunc(const basic_data*) const override {
        throw basic_except("boom", SourcePos(), SourcePos());
    }
};

class FunctionTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        static CSubstr substr;
        static CCat cat;
        static CAnswer answer;
        static CFail fail;
        getFuncMap()[substr.funcName()] = &substr;
        getFuncMap()[cat.funcName()] = &cat;
        getFuncMap()[answer.funcName()] = &answer;
        getFuncMap()[count().funcName()] = &count();
        getFuncMap()[fail.funcName()] = &fail;
    }
    static CCount& count() {
        static CCount c;
        return c;
    }

    void parse(const std::string& text) {
        in.str(text);
        in.clear();
        parser.resetInput(&in);
        parser.parse();
    }
    boost::any calc(const std::string& text) {
        parse(text);
        return parser.getRoot()->calc(&data);
    }
    // "" or "col-col message(UTF-8)" of the check.
    std::string checkError(const std::string& text) {
        parse(text);
        try {
            parser.getRoot()->check(&data);
        } catch (const basic_except& e) {
            return std::to_string(e.getBegin().column) + "-" + std::to_string(e.getEnd().column) +
                   " " + testsupport::utf8(e.what());
        }
        return "";
    }

    std::istringstream in;
    CExpParser parser{nullptr};
    TestData data;
};

const std::string SUBSTR_DECL = "string substr(string s, double start, double len)";

}  // namespace

TEST_F(FunctionTest, DeclarationIsClassWide) {
    CSubstr a;
    CSubstr b;
    EXPECT_EQ("substr", a.funcName());
    EXPECT_EQ(&a.funcName(), &b.funcName());
    EXPECT_EQ(3u, a.paramNum());
    EXPECT_EQ(typeid(std::string), a.returnType().type());
    EXPECT_EQ(typeid(std::string), a.getParamType(0).type());
    EXPECT_EQ(typeid(double), a.getParamType(2).type());
    EXPECT_TRUE(a.getParamType(3).empty());
    EXPECT_TRUE(a.getParamType(100).empty());
    // Argument values belong to the object and are copied with it.
    a.addParamValue(std::string("x"));
    a.addParamValue(1.0);
    EXPECT_EQ(2u, a.paramSize());
    EXPECT_EQ(0u, b.paramSize());
    CSubstr c(a);
    EXPECT_EQ(2u, c.paramSize());
    a.clear();
    EXPECT_EQ(0u, a.paramSize());
    EXPECT_EQ(2u, c.getParamValues().size());
}

TEST_F(FunctionTest, CheckMessages) {
    const struct {
        const char* text;
        std::string error;
    } cases[] = {
        {"substr(s, 1, 2)", ""},
        {"answer()", ""},
        {"count(1) + answer() > 2", ""},
        {"substr(s, 1)", "1-7 函数 substr的参数个数不匹配，该函数声明为" + SUBSTR_DECL},
        // The fourth argument's type is not looked at; the count is wrong.
        {"substr(s, 1, 2, s)", "1-7 函数 substr的参数个数不匹配，该函数声明为" + SUBSTR_DECL},
        {"substr(1, 1, 2)", "8-9 函数substr的参数类型不匹配，该函数声明为：" + SUBSTR_DECL},
        {"substr(s, s, 2)", "11-12 函数substr的参数类型不匹配，该函数声明为：" + SUBSTR_DECL},
        // An unbound variable has no type: it fails the type check.
        {"substr(nope, 1, 2)", "8-12 函数substr的参数类型不匹配，该函数声明为：" + SUBSTR_DECL},
        // An empty argument list of a one-parameter function: the placeholder
        // (zero positions) fails the type check.
        {"count()", "0-0 函数count的参数类型不匹配，该函数声明为：double count(double x)"},
        {"answer(1)", "1-7 函数 answer的参数个数不匹配，该函数声明为double answer()"},
        {"nosuch(1)", "1-7 尚不支持该函数nosuch"},
        {"1 + nosuch()", "5-11 尚不支持该函数nosuch"},
    };
    data.set("s", std::string("text"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.error, checkError(c.text));
    }
    // check gives the declared return type (a double sample is reset to 0).
    parse("answer()");
    boost::any sample = parser.getRoot()->check(&data);
    EXPECT_EQ(0.0, boost::any_cast<double>(sample));
}

TEST_F(FunctionTest, EvaluationProtocol) {
    data.set("s", std::string("abcdef"));
    EXPECT_EQ("bcd", boost::any_cast<std::string>(calc("substr(s, 1, 3)")));
    EXPECT_EQ(42.0, boost::any_cast<double>(calc("answer() ")));
    // Empty values are skipped: the 1 arrives as the first argument.
    EXPECT_EQ(1.0, boost::any_cast<double>(calc("count(x, 1)")));
    ASSERT_EQ(1u, count().seen.size());
    EXPECT_EQ(1.0, boost::any_cast<double>(count().seen[0]));
    EXPECT_EQ(0.0, boost::any_cast<double>(calc("count()")));
    EXPECT_EQ(3.0, boost::any_cast<double>(calc("count(1, x, s, 2 > 1)")));
    // Many arguments.
    std::string many = "count(1";
    for (int i = 0; i < 20; ++i) many += ", x, " + std::to_string(i);
    EXPECT_EQ(21.0, boost::any_cast<double>(calc(many + ")")));
    EXPECT_EQ(20.0, boost::any_cast<double>(count().seen[20]) + 1);
    // The list is empty after the call, also when the function throws.
    EXPECT_EQ(0u, count().paramSize());
    try {
        calc("fail(1)");
        ADD_FAILURE();
    } catch (const basic_except& e) {
        EXPECT_STREQ("boom", e.what());
    }
    EXPECT_EQ(0u, getFuncMap()["fail"]->paramSize());

    // Calls nested as deep as the parser allows evaluate and check.
    std::string deep = "1";
    for (int i = 0; i < CExpParser::MAX_NESTING; ++i) deep = "count(" + deep + ")";
    EXPECT_EQ(1.0, boost::any_cast<double>(calc(deep)));
    EXPECT_EQ("", checkError(deep));
}

TEST_F(FunctionTest, NestedCallsOfTheSameFunction) {
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"cat(\"a\", \"b\", cat(\"c\", \"d\", \"e\"))", "[a][b][[c][d][e]]"},
        {"cat(cat(\"c\", \"d\", \"e\"), \"a\", \"b\")", "[[c][d][e]][a][b]"},
        {"cat(\"a\", cat(\"c\", cat(\"x\", \"y\", \"z\"), \"e\"), \"b\")",
         "[a][[c][[x][y][z]][e]][b]"},
        {"substr(\"abcdef\", 1, substr(\"xy\", 0, 1) == \"x\")", "b"},
        {"substr(substr(\"abcdef\", 2, 4), substr(\"1\", 0, 1) == \"1\", 2)", "de"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.value, boost::any_cast<std::string>(calc(c.text)));
    }
}

TEST_F(FunctionTest, LateBindingAndUnknownNames) {
    // Compiles before the function exists; fails until it is registered.
    parse("later(2) + 1");
    getFuncMap().erase("later");
    try {
        parser.getRoot()->calc(&data);
        ADD_FAILURE();
    } catch (const basic_except& e) {
        EXPECT_EQ(gbk("尚不支持该函数") + "later", e.what());
        EXPECT_EQ(SourcePos(1, 1), e.getBegin());
        EXPECT_EQ(SourcePos(1, 6), e.getEnd());
    }
    ASSERT_EQ(1u, getFuncMap().count("later"));  // the look-up left a null entry
    EXPECT_EQ(nullptr, getFuncMap()["later"]);
    EXPECT_THROW(parser.getRoot()->calc(&data), basic_except);

    getFuncMap()["later"] = &count();
    EXPECT_EQ(2.0, boost::any_cast<double>(parser.getRoot()->calc(&data)));
    getFuncMap().erase("later");
}

// && and || may leave out a right operand whose value cannot matter only when
// its evaluation cannot be seen; a call on the right is always made.
TEST_F(FunctionTest, CallsOnTheRightOfDecidedLogicalOperatorsAreMade) {
    const struct {
        const char* text;
        bool value;
        double seenFirst;  // the value count() received
    } cases[] = {
        {"0 && count(5) == 1", false, 5},
        {"1 || count(6)", true, 6},
        {"x && count(7)", false, 7},           // unbound left operand
        {"\"s\" || count(8)", false, 8},       // left operand not a number
        {"0 && (1 && count(9) > 0)", false, 9},
        {"1 || (count(10) == 1 && 0)", true, 10},
        {"0 && 1 && count(11)", false, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        count().seen.clear();
        EXPECT_EQ(c.value, boost::any_cast<bool>(calc(c.text)));
        ASSERT_EQ(1u, count().seen.size());
        EXPECT_EQ(c.seenFirst, boost::any_cast<double>(count().seen[0]));
    }
    // A call that throws on the right of a decided operator still throws.
    try {
        calc("0 && fail(1)");
        ADD_FAILURE();
    } catch (const basic_except& e) {
        EXPECT_STREQ("boom", e.what());
    }
}

// The argument list reuses the holders of the previous call; every call must
// still see exactly its own values, whatever types went before.
TEST_F(FunctionTest, ArgumentValuesDoNotLeakBetweenCalls) {
    const std::string longText(40, 'L');  // beyond any short-string buffer
    const struct {
        std::string text;
        std::vector<std::string> seen;
    } cases[] = {
        {"count(\"abc\", 1)", {"string:abc", "double:1"}},
        {"count(\"" + longText + "\", 2)", {"string:" + longText, "double:2"}},
        {"count(\"z\", 3)", {"string:z", "double:3"}},
        {"count(2, \"q\")", {"double:2", "string:q"}},
        {"count(1 > 0, \"q\", 5)", {"bool:true", "string:q", "double:5"}},
        {"count(s)", {"string:abcdef"}},
        {"count(x, \"\")", {"string:"}},
        {"count(\"abc\", 1)", {"string:abc", "double:1"}},
    };
    data.set("s", std::string("abcdef"));
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            calc(c.text);
            std::vector<std::string> seen;
            for (const boost::any& v : count().seen) {
                if (const std::string* s = boost::any_cast<std::string>(&v)) {
                    seen.push_back("string:" + *s);
                } else if (const double* d = boost::any_cast<double>(&v)) {
                    seen.push_back("double:" + std::to_string(static_cast<int>(*d)));
                } else if (const bool* b = boost::any_cast<bool>(&v)) {
                    seen.push_back(*b ? "bool:true" : "bool:false");
                } else {
                    seen.push_back("other");
                }
            }
            EXPECT_EQ(c.seen, seen);
            EXPECT_EQ(0u, count().paramSize());
        }
    }
    // The string literals of the tree keep their values.
    EXPECT_EQ("abc", boost::any_cast<std::string>(calc("substr(\"abc\", 0, 9)")));
}
