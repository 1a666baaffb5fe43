// calc and check of operators and leaves.
#include "expr/keys.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <sstream>
#include <string>

#include "expr/data.h"
#include "expr/exceptions.h"
#include "expr/parser.h"
#include "support/gbk.h"
#include "support/varData.h"

using namespace qvtlib::expr;

namespace {

using TestData = testsupport::VarData;

class EvalTest : public testing::Test {
  protected:
    EvalTest() {
        data.set("s", std::string("abc"))
            .set("one", 1.0)
            .set("two", 2.0)
            .set("i7", 7)
            .set("im7", -7)
            .set("i2", 2)
            .set("i0", 0)
            .set("imin", INT_MIN)
            .set("im1", -1)
            .set("u", 3000000000u)
            .set("nan", std::numeric_limits<double>::quiet_NaN())
            .set("t", true);
    }
    boost::any calc(const std::string& text) {
        std::istringstream in(text);
        CExpParser parser(&in);
        parser.parse();
        return parser.getRoot()->calc(&data);
    }
    // "" when check passes, else "col-col message(UTF-8)".
    std::string checkError(const std::string& text, boost::any* sample = nullptr) {
        std::istringstream in(text);
        CExpParser parser(&in);
        parser.parse();
        try {
            boost::any s = parser.getRoot()->check(&data);
            if (sample) *sample = s;
        } catch (const basic_except& e) {
            EXPECT_EQ(2, e.getCode());
            return std::to_string(e.getBegin().column) + "-" + std::to_string(e.getEnd().column) +
                   " " + testsupport::utf8(e.what());
        }
        return "";
    }
    TestData data;
};

std::string describe(const boost::any& v) {
    std::ostringstream out;
    if (v.empty()) return "empty";
    if (const bool* b = boost::any_cast<bool>(&v)) return *b ? "bool:true" : "bool:false";
    if (const double* d = boost::any_cast<double>(&v)) {
        out << "double:" << *d;
        return out.str();
    }
    if (const int* i = boost::any_cast<int>(&v)) return "int:" + std::to_string(*i);
    if (const std::string* s = boost::any_cast<std::string>(&v)) return "string:" + *s;
    return std::string("other:") + v.type().name();
}

}  // namespace

TEST_F(EvalTest, Values) {
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"1 + 2 * 3", "double:7"},
        {"7 / 0", "double:inf"},
        {"u + 0", "double:3e+09"},  // unsigned stays positive
        {"7 % 2", "empty"},         // literals are double
        {"i7 % i2", "int:1"},
        {"i7 % i0", "empty"},     // no remainder, no trap
        {"imin % im1", "int:0"},  // would trap in hardware
        {"\"abc\" < \"abd\"", "bool:true"},
        {"s != \"abc\"", "bool:false"},
        {"0.1 + 0.2 == 0.3", "bool:false"},
        {"(one > 0) == (two > 1)", "bool:true"},
        {"1 < 2 < 3", "bool:true"},  // (1 < 2) < 3: true counts as 1
        {"\"x\" && 1", "bool:false"},
        {"1 || \"x\"", "bool:true"},
        // Unbound variables.
        {"a == 1", "bool:false"},
        {"!a", "bool:false"},
        {"5 - a", "empty"},  // not the negated minuend
        {"1 + a", "empty"},
        // NaN: not 0, and every comparison with it false.
        {"!nan", "bool:false"},
        {"nan || 0", "bool:true"},
        // Decided && and ||: the result of a full evaluation.
        {"x || 1", "bool:false"},
        {"s == \"abc\" && i7 % i2 == 1 || 0", "bool:true"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.value, describe(calc(c.text)));
    }
}

TEST_F(EvalTest, CheckMessagesAndSamples) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"\"a\" + \"b\"", ""},
        {"one + two * 3 > 1 && !s", ""},
        {"s + 1", "3-4 操作符 +两边操作数类型不匹配."},
        {"1 + a", "3-4 操作符 +两边操作数类型不匹配."},
        {"-s", "1-2 操作符 -两边操作数类型不匹配."},
        {"i7 == 1", "4-6 操作数 ==两边操作数类型不匹配."},  // int against double
        {"1 || s", "3-5 操作数 ||两边操作数类型不匹配."},
        {"i7 % i2", ""},
        {"1 % s", "3-4 操作数 %两边操作数类型不匹配."},
        // The checked type of any operator is double, so this passes ...
        {"(1 < 2) == 3", ""},
        // ... and this fails, at the first failing node in evaluation order.
        {"(s + 1) == (s * 2)", "4-5 操作符 +两边操作数类型不匹配."},
        {"1 == 2 || (s && 1)", "14-16 操作数 &&两边操作数类型不匹配."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.error, checkError(c.text));
    }
    // The samples: operators give a double reset to 0.
    const char* const samples[][2] = {
        {"one > 1", "double:0"}, {"s", "string:"}, {"i7", "int:7"}, {"a", "empty"}};
    for (const auto& c : samples) {
        boost::any sample;
        EXPECT_EQ("", checkError(c[0], &sample));
        EXPECT_EQ(c[1], describe(sample)) << c[0];
    }
}
