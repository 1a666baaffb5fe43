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

std::vector<boost::any> g_seen;  // the values the last call of count() received

// A test function: a declaration and a body.  Id makes each function a class
// of its own (the declaration is class-wide); parameters are checked by exact
// type against the declaration.
template <int Id>
class CFake : public CBaseFunc<CFake<Id>> {
  public:
    typedef boost::any (*Body)(const std::vector<boost::any>&);
    CFake(const char* name, const boost::any& ret, const std::vector<boost::any>& params,
          const std::string& decl, Body body)
        : m_decl(decl), m_body(body) {
        if (!this->isInited()) {
            this->setFuncName(name);
            this->setReturnType(ret);
            this->setParamNum(static_cast<unsigned>(params.size()));
            for (const boost::any& t : params) this->addParamType(t);
            this->setInited(true);
        }
    }
    bool checkParamType(unsigned i, boost::any& t) const override {
        boost::any declared = this->getParamType(i);
        return !declared.empty() && !t.empty() && declared.type() == t.type();
    }
    std::string getDeclareInfo() const override { return m_decl; }
    boost::any calcFunc(const basic_data*) const override { return m_body(this->getParamValues()); }

  private:
    std::string m_decl;
    Body m_body;
};

const boost::any S = std::string(), D = 0.0;
const std::string SUBSTR_DECL = "string substr(string s, double start, double len)";

// substr(s, start, len): the text of s from start, len bytes.
boost::any substrBody(const std::vector<boost::any>& p) {
    const std::string* s = p.size() == 3 ? boost::any_cast<std::string>(&p[0]) : nullptr;
    if (!s) return boost::any();
    std::size_t start = static_cast<std::size_t>(toDouble(p[1]));
    std::size_t len = static_cast<std::size_t>(toDouble(p[2]));
    return start > s->size() ? std::string() : s->substr(start, len);
}
// cat(a, b, c): the three strings joined.
boost::any catBody(const std::vector<boost::any>& p) {
    std::string out;
    for (const boost::any& v : p) out += "[" + boost::any_cast<std::string>(v) + "]";
    return out;
}
boost::any answerBody(const std::vector<boost::any>&) { return 42.0; }
// count(...): how many values arrived.
boost::any countBody(const std::vector<boost::any>& p) {
    g_seen = p;
    return static_cast<double>(p.size());
}
boost::any failBody(const std::vector<boost::any>&) {
    throw basic_except("boom", SourcePos(), SourcePos());
}

class FunctionTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        static CFake<1> substr("substr", S, {S, D, D}, SUBSTR_DECL, substrBody);
        static CFake<2> cat("cat", S, {S, S, S}, "string cat(string, string, string)", catBody);
        static CFake<3> answer("answer", D, {}, "double answer()", answerBody);
        static CFake<5> fail("fail", D, {D}, "double fail(double)", failBody);
        for (basic_function* f :
             std::vector<basic_function*>{&substr, &cat, &answer, &count(), &fail})
            getFuncMap()[f->funcName()] = f;
    }
    static basic_function& count() {
        static CFake<4> c("count", D, {D}, "double count(double x)", countBody);
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

}  // namespace

TEST_F(FunctionTest, CheckMessages) {
    const struct {
        const char* text;
        std::string error;
    } cases[] = {
        {"substr(s, 1, 2)", ""},
        {"substr(s, 1)", "1-7 函数 substr的参数个数不匹配，该函数声明为" + SUBSTR_DECL},
        {"substr(1, 1, 2)", "8-9 函数substr的参数类型不匹配，该函数声明为：" + SUBSTR_DECL},
        // An unbound variable has no type: it fails the type check.
        {"substr(nope, 1, 2)", "8-12 函数substr的参数类型不匹配，该函数声明为：" + SUBSTR_DECL},
        // An empty argument list of a one-parameter function: the placeholder
        // (zero positions) fails the type check.
        {"count()", "0-0 函数count的参数类型不匹配，该函数声明为：double count(double x)"},
        // For a function without parameters an untyped argument ends the check.
        {"answer(nope, 1)", ""},
        {"nosuch(1)", "1-7 尚不支持该函数nosuch"},
    };
    data.set("s", std::string("text"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.error, checkError(c.text));
    }
}

// Values as "s:abc d:1 b:1"; by default those the last call of count() received.
std::string seen(const std::vector<boost::any>& values = g_seen) {
    std::string out;
    for (const boost::any& v : values) {
        const std::string* s = boost::any_cast<std::string>(&v);
        const double* d = boost::any_cast<double>(&v);
        const bool* b = boost::any_cast<bool>(&v);
        out += (out.empty() ? "" : " ") + (s   ? "s:" + *s
                                           : d ? "d:" + std::to_string(static_cast<int>(*d))
                                           : b ? std::string(*b ? "b:1" : "b:0")
                                               : std::string("other"));
    }
    return out;
}

TEST_F(FunctionTest, EvaluationProtocol) {
    data.set("s", std::string("abcdef"));
    EXPECT_EQ("bcd", boost::any_cast<std::string>(calc("substr(s, 1, 3)")));
    EXPECT_EQ(42.0, boost::any_cast<double>(calc("answer() ")));
    // Empty values are skipped: the 1 arrives as the first argument.
    EXPECT_EQ(1.0, boost::any_cast<double>(calc("count(x, 1)")));
    EXPECT_EQ("d:1", seen());
    std::string many = "count(0";  // more arguments than the call keeps inline
    for (int i = 1; i < 20; ++i) many += ", x, " + std::to_string(i);
    EXPECT_EQ(20.0, boost::any_cast<double>(calc(many + ")")));
    // The list is empty after the call, also when the function throws.
    EXPECT_EQ(0u, count().paramSize());
    EXPECT_THROW(calc("fail(1)"), basic_except);
    EXPECT_EQ(0u, getFuncMap()["fail"]->paramSize());
    // Calls nested as deep as the parser allows evaluate and check; nested
    // calls of one function keep their arguments apart.
    std::string deep = "1";
    for (int i = 0; i < CExpParser::MAX_NESTING; ++i) deep = "count(" + deep + ")";
    EXPECT_EQ(1.0, boost::any_cast<double>(calc(deep)));
    EXPECT_EQ("", checkError(deep));
    EXPECT_EQ("[a][[c][[x][y][z]][e]][b]",
              boost::any_cast<std::string>(
                  calc("cat(\"a\", cat(\"c\", cat(\"x\", \"y\", \"z\"), \"e\"), \"b\")")));
    EXPECT_EQ("de", boost::any_cast<std::string>(
                        calc("substr(substr(\"abcdef\", 2, 4), substr(\"1\", 0, 1) == \"1\", 2)")));
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
        EXPECT_EQ(SourcePos(1, 6), e.getEnd());
    }
    EXPECT_THROW(parser.getRoot()->calc(&data), basic_except);
    getFuncMap()["later"] = &count();
    EXPECT_EQ(2.0, boost::any_cast<double>(parser.getRoot()->calc(&data)));
    getFuncMap().erase("later");
}

// && and || may leave out a right operand whose value cannot matter only when
// its evaluation cannot be seen; a call on the right is always made.  The
// argument list reuses the holders of the previous call; every call must
// still see exactly its own values, whatever types went before.
TEST_F(FunctionTest, EveryCallIsMadeAndSeesItsOwnArguments) {
    const std::string longText(40, 'L');  // beyond any short-string buffer
    const struct {
        std::string text, value, seen;
    } cases[] = {
        {"0 && count(5) == 1", "b:0", "d:5"},
        {"1 || count(6)", "b:1", "d:6"},
        {"\"s\" || count(8)", "b:0", "d:8"},  // left operand not a number
        {"1 || (count(10) == 1 && 0)", "b:1", "d:10"},
        {"count(\"abc\", 1)", "d:2", "s:abc d:1"},
        {"count(\"" + longText + "\", 2)", "d:2", "s:" + longText + " d:2"},
        {"count(2, \"q\")", "d:2", "d:2 s:q"},
        {"count(1 > 0, \"q\", 5)", "d:3", "b:1 s:q d:5"},
        {"count(x, \"\")", "d:1", "s:"},
        {"count(\"abc\", 1)", "d:2", "s:abc d:1"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            g_seen.clear();
            EXPECT_EQ(c.value, seen({calc(c.text)})) << c.text;
            EXPECT_EQ(c.seen, seen()) << c.text;
            EXPECT_EQ(0u, count().paramSize());
        }
    }
    EXPECT_THROW(calc("0 && fail(1)"), basic_except);
    // The string literals of the tree keep their values.
    EXPECT_EQ("abc", boost::any_cast<std::string>(calc("substr(\"abc\", 0, 9)")));
}
