#include "zu_zozov/grpExpr.h"

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "expr/baseExpr.h"
#include "support/gbk.h"
#include "support/logCapture.h"
#include "zu_zozov/grpData.h"

using namespace qvt::ht;
using qvtlib::expr::basic_data;
using qvtlib::expr::basic_function;
using testsupport::gbk;
using testsupport::LogCapture;

namespace {

// Evaluates f as a call with the given argument values (empty values are
// left out, as the evaluation of a call does).
boost::any call(const basic_function& f, std::initializer_list<boost::any> args,
                const basic_data* data = nullptr) {
    f.clear();
    for (const boost::any& a : args) {
        if (!a.empty()) f.addParamValue(a);
    }
    boost::any result = f.calcFunc(data);
    f.clear();
    return result;
}

// The numeric result of a membership function; -1 when it is not a double.
double number(const boost::any& v) {
    const double* d = boost::any_cast<double>(&v);
    return d == nullptr ? -1.0 : *d;
}

std::string text(const boost::any& v) {
    const std::string* s = boost::any_cast<std::string>(&v);
    return s == nullptr ? std::string("<not a string>") : *s;
}

boost::any str(const char* s) { return boost::any(std::string(s)); }

class TestData : public basic_data {
  public:
    bool prepare(const void*) override { return true; }
};

// A host helper that records its calls and answers or throws as told.
class Host : public IHTGroupHelper {
  public:
    enum Mode { ANSWER, THROW_BAD_CAST, THROW_RUNTIME, THROW_OTHER };
    boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) override {
        ++calls;
        lastValue = value;
        lastSql = text(sql);
        return reply();
    }
    boost::any inPoolCalcFunc(const basic_data* data, const boost::any& poolId) override {
        ++calls;
        lastData = data;
        lastValue = poolId;
        return reply();
    }
    Mode mode = ANSWER;
    boost::any answer;
    int calls = 0;
    boost::any lastValue;
    std::string lastSql;
    const basic_data* lastData = nullptr;

  private:
    boost::any reply() {
        if (mode == THROW_BAD_CAST) return boost::any(boost::any_cast<int>(boost::any(1.0)));
        if (mode == THROW_RUNTIME) throw std::runtime_error("host failed");
        if (mode == THROW_OTHER) throw 42;  // not a std::exception
        return answer;
    }
};

std::string badAnyCastText() { return boost::bad_any_cast().what(); }

void expectError(const testsupport::LogRecord& r, const std::string& logger,
                 const std::string& message) {
    testsupport::expectRecord(r, "ERROR", logger, message, "grpExpr");
}

// Keeps the process-wide helper of the test body away from other tests.
class GrpExprHelperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = CGrpExprHelper::getHelperProvider();
        m_host.reset(new Host);
        CGrpExprHelper::setHelperProvider(m_host);
    }
    void TearDown() override { CGrpExprHelper::setHelperProvider(m_saved); }
    boost::shared_ptr<Host> m_host;
    boost::shared_ptr<IHTGroupHelper> m_saved;
};

}  // namespace

// Each parameter takes doubles (D), strings (S) or both; ints, bools, empty
// values and parameters past the last are refused.
TEST(GrpFunctions, CheckParamType) {
    const CGrpFunc_inSql inSql;
    const CGrpFunc_inColl inColl;
    const CGrpFunc_inPool inPool;
    const CGrpFunc_ascPerc ascPerc;
    const CGrpFunc_descCount descCount;
    const CGrpFunc_substr substr;
    const struct {
        const basic_function* f;
        std::vector<std::string> takes;
    } cases[] = {
        {&inSql, {"DS", "S"}},        {&inColl, {"DS", "S"}},         {&inPool, {"D"}},
        {&ascPerc, {"DS", "D", "D"}}, {&descCount, {"DS", "D", "D"}}, {&substr, {"S", "D", "D"}}};
    const std::pair<char, boost::any> samples[] = {
        {'D', 1.0}, {'S', std::string("x")}, {'I', 1}, {'B', true}, {'E', boost::any()}};
    for (const auto& c : cases) {
        for (unsigned i = 0; i <= c.takes.size(); ++i) {
            for (const auto& sample : samples) {
                boost::any v = sample.second;
                EXPECT_EQ(i < c.takes.size() && c.takes[i].find(sample.first) != std::string::npos,
                          c.f->checkParamType(i, v))
                    << c.f->funcName() << " " << i << " " << sample.first;
            }
        }
    }
}

TEST(GrpFunctions, InCollMatching) {
    const CGrpFunc_inColl inColl;
    struct Case {
        boost::any value;
        const char* list;
        double expected;
    };
    const Case cases[] = {
        // strings: items stripped of spaces, the value not; case-sensitive
        {str("abc"), "x, abc ,y", 1},
        {str(" abc"), "x,abc", 0},
        {str("abc"), "abcd,ab", 0},
        {str(""), "a,,b", 1},
        {str(""), "a,b", 0},
        {str(""), "a, ,b", 1},  // a blank item strips to the empty text
        // numbers: atof of each item, exact equality
        {boost::any(2.0), "1,2.0,3", 1},
        {boost::any(2.0), "1,2abc", 1},
        {boost::any(0.0), "1,abc", 1},
        {boost::any(0.5), "1,.5", 1},
        {boost::any(1.5), "1,5", 0},  // the comma ends the item, never a decimal point
    };
    LogCapture log;
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, number(call(inColl, {c.value, str(c.list)})))
            << "list [" << c.list << "]";
    }
    EXPECT_TRUE(log.records().empty());
    // A list that is not a string, or a missing argument: 0 without a record.
    EXPECT_EQ(0.0, number(call(inColl, {str("a"), boost::any(1.0)})));
    EXPECT_TRUE(log.records().empty());
    // A value of a type the function does not take.
    const std::string unsupported = gbk("函数inColl的第1个参数的类型不支持");
    EXPECT_EQ(0.0, number(call(inColl, {boost::any(2), str("2")})));
    EXPECT_EQ(0.0, number(call(inColl, {boost::any(true), str("1")})));
    ASSERT_EQ(2u, log.records().size());
    expectError(log.records()[0], "CGrpFunc_inColl", unsupported);
    expectError(log.records()[1], "CGrpFunc_inColl", unsupported);
}

TEST(GrpFunctions, SubstrRangeAndTruncation) {
    const CGrpFunc_substr substr;
    const std::string outOfRange7 = [] {
        try {
            (void)std::string("abcdef").substr(7);
        } catch (const std::out_of_range& e) {
            return std::string(e.what());
        }
        return std::string();
    }();
    struct Case {
        double start;
        double length;
        const char* expected;
        bool logged;
    };
    const Case cases[] = {
        {0, 3, "abc", false}, {2, 100, "cdef", false}, {6, 1, "", false},
        {7, 1, "", true},     {1.9, 2.9, "bc", false}, {-0.5, 2, "ab", false},
        {-1.5, 2, "", true},  {2, -1, "cdef", false},  {2, -0.9, "", false},
        {0, 0, "", false},    {5, 4e9, "f", false},    {1e12, 1, "", true},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.expected,
                  text(call(substr, {str("abcdef"), boost::any(c.start), boost::any(c.length)})))
            << c.start << ", " << c.length;
        ASSERT_EQ(c.logged ? 1u : 0u, log.records().size()) << c.start << ", " << c.length;
        if (c.start == 7) expectError(log.records()[0], "CGrpFunc_substr", outOfRange7);
    }
    // Wrong kinds and missing arguments: the empty string, no record.
    LogCapture log;
    EXPECT_EQ("", text(call(substr, {boost::any(12.0), boost::any(0.0), boost::any(1.0)})));
    EXPECT_EQ("", text(call(substr, {str("abc"), str("0"), boost::any(1.0)})));
    EXPECT_EQ("", text(call(substr, {str("abc"), boost::any(0.0)})));
    EXPECT_EQ("", text(call(substr, {str("abc"), boost::any(), boost::any(1.0)})));
    EXPECT_TRUE(log.records().empty());
}

TEST_F(GrpExprHelperTest, HostAnswersBecomeOneOrZero) {
    const CGrpFunc_inSql inSql;
    const CGrpFunc_inPool inPool;
    TestData data;
    struct Case {
        boost::any answer;
        double expected;
    };
    const Case cases[] = {
        {boost::any(true), 1}, {boost::any(false), 0}, {boost::any(1.0), 1},   {boost::any(0.0), 0},
        {boost::any(2), 1},    {boost::any(0), 0},     {boost::any(-1L), 1},   {boost::any(), 0},
        {str("1"), 0},         {boost::any('\0'), 0},  {boost::any(0.25f), 1},
    };
    LogCapture log;
    for (const Case& c : cases) {
        m_host->answer = c.answer;
        EXPECT_EQ(c.expected, number(call(inSql, {str("600000"), str("select code from t")})))
            << (c.answer.empty() ? "empty" : c.answer.type().name());
        EXPECT_EQ(c.expected, number(call(inPool, {boost::any(7.0)}, &data)));
    }
    EXPECT_TRUE(log.records().empty());
    // What the host was asked.
    call(inSql, {boost::any(12.5), str("sql text")});
    EXPECT_EQ(12.5, number(m_host->lastValue));
    EXPECT_EQ("sql text", m_host->lastSql);
    call(inPool, {boost::any(3.0)}, &data);
    EXPECT_EQ(&data, m_host->lastData);
    EXPECT_EQ(3.0, number(m_host->lastValue));
    // Arguments the host is not asked about: 0, silently.
    m_host->calls = 0;
    EXPECT_EQ(0.0, number(call(inSql, {str("x")})));
    EXPECT_EQ(0.0, number(call(inSql, {boost::any(), str("sql")})));
    EXPECT_EQ(0.0, number(call(inSql, {str("x"), boost::any(1.0)})));
    EXPECT_EQ(0.0, number(call(inPool, {boost::any(1.0)}, nullptr)));
    EXPECT_EQ(0.0, number(call(inPool, {str("1")}, &data)));
    EXPECT_EQ(0.0, number(call(inPool, {boost::any(1)}, &data)));
    EXPECT_EQ(0, m_host->calls);
    EXPECT_TRUE(log.records().empty());
}

// inSql logs every failure of the host (or a missing host) and answers 0;
// inPool logs a bad answer and lets every other exception through.
TEST_F(GrpExprHelperTest, HostFailures) {
    const CGrpFunc_inSql inSql;
    const CGrpFunc_inPool inPool;
    TestData data;
    auto inPoolEscapes = [&] {
        try {
            call(inPool, {boost::any(1.0)}, &data);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("nothing");
    };
    LogCapture log;
    m_host->mode = Host::THROW_BAD_CAST;
    EXPECT_EQ(0.0, number(call(inSql, {str("x"), str("sql")})));
    EXPECT_EQ(0.0, number(call(inPool, {boost::any(1.0)}, &data)));
    m_host->mode = Host::THROW_RUNTIME;
    EXPECT_EQ(0.0, number(call(inSql, {str("x"), str("sql")})));
    EXPECT_EQ("host failed", inPoolEscapes());
    m_host->mode = Host::THROW_OTHER;  // not even this leaves inSql
    EXPECT_EQ(0.0, number(call(inSql, {str("x"), str("sql")})));
    CGrpExprHelper::setHelperProvider(boost::shared_ptr<IHTGroupHelper>());
    EXPECT_EQ(0.0, number(call(inSql, {str("x"), str("sql")})));
    EXPECT_NE(std::string::npos, inPoolEscapes().find("Boost assertion failed: px != 0"));
    ASSERT_EQ(5u, log.records().size());
    expectError(log.records()[0], "CGrpFunc_inSql", badAnyCastText());
    expectError(log.records()[1], "CGrpFunc_inPool", badAnyCastText());
    expectError(log.records()[2], "CGrpFunc_inSql", "host failed");
    expectError(log.records()[3], "CGrpFunc_inSql", gbk("inSql 查询失败，原因未知。"));
    EXPECT_EQ("ERROR CGrpFunc_inSql", log.records()[4].level + " " + log.records()[4].logger);
    EXPECT_NE(std::string::npos, log.records()[4].message.find("Boost assertion failed: px != 0"));
}

// A group expression over inSql/inPool holds exactly when the host says so
// (they used to yield 0 whatever the host answered, so such groups never
// matched).
TEST_F(GrpExprHelperTest, ExpressionsFollowTheHostsAnswer) {
    const qvt::ht::CGrpData registers;  // the library's own group functions
    qvtlib::expr::CBaseExpr<TestData, qvtlib::expr::CBaseResolver> e;
    ASSERT_TRUE(e.compile("inSql(I_CODE, \"select code from t\") == 1 && inPool(3) == 1"));
    e.getData().getValues()["I_CODE"] = std::string("600000");
    for (bool answer : {true, false}) {
        m_host->answer = boost::any(answer);
        ASSERT_TRUE(e.calc()) << e.getErrorText();
        ASSERT_EQ(typeid(bool), e.getResult().type());
        EXPECT_EQ(answer, boost::any_cast<bool>(e.getResult()));
    }
    EXPECT_EQ("select code from t", m_host->lastSql);
}
