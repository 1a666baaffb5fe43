// One group: compile once, evaluate per instrument, log failures.
#include "zu_zozov/group.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

#include "support/gbk.h"
#include "support/logCapture.h"
#include "zu_zozov/groupInstrument.h"

namespace {

using qvt::ht::CGroup;
using qvt::ht::CGroupInstrument;
using testsupport::gbk;
using testsupport::LogCapture;

CGroup makeGroup(const std::string& code, const std::string& name, const std::string& exp) {
    CGroup group;
    group.setCode(code);
    group.setName(name);
    group.setExpression(exp);
    return group;
}

CGroupInstrument stock(const std::string& code, const std::string& p1) {
    return CGroupInstrument(code, "S", "XSHG", "ACC", p1, "", "", "", "", "", "", "");
}

void expectRecord(const testsupport::LogRecord& record, const std::string& level,
                  const std::string& message) {
    testsupport::expectRecord(record, level, "CGroup", message, "group");
}

TEST(GroupTest, SyntaxErrorIsLoggedAndTheExpressionDropped) {
    LogCapture log;
    CGroup group = makeGroup("G1", gbk("名称"), "a b");
    EXPECT_FALSE(group.buildExp());
    EXPECT_EQ("G1-" + gbk("名称"), group.toString());
    ASSERT_EQ(1u, log.records().size());
    expectRecord(log.records()[0], "ERROR",
                 gbk("初始化分组CGroup对象[G1-名称]的表达式(a b)时出错（将删除该表达式）：2,0,"
                     "表达式 [a b]:语法错误，缺少操作符。\n"));
    std::set<std::string> names{"KEEP"};
    group.getExpAttr(names);
    EXPECT_EQ(std::set<std::string>{"KEEP"}, names);
    log.clear();
    EXPECT_FALSE(group.isInGroup(stock("C1", "A")));
    EXPECT_FALSE(group.isInGroup(stock("C2", "A")));
    ASSERT_EQ(2u, log.records().size());
    expectRecord(log.records()[1], "ERROR",
                 gbk("表达式未设置或语法有误，设置失败，无法计算！:G1,a b"));
    // A scan error reports code 1 and the byte offset of the bad character.
    log.clear();
    CGroup scan = makeGroup("G2", "N", "a ~");
    EXPECT_FALSE(scan.buildExp());
    ASSERT_EQ(1u, log.records().size());
    EXPECT_NE(std::string::npos, log.records()[0].message.find(gbk("（将删除该表达式）：1,2,")))
        << testsupport::utf8(log.records()[0].message);
}

// The expression "V" over an attribute V of each kind.
TEST(GroupTest, ResultKindsDecideMembership) {
    struct Case {
        const char* label;
        boost::any value;
        bool expected;
    };
    const Case cases[] = {
        {"bool true", true, true},
        {"bool false", false, false},
        {"int 2", 2, true},
        {"double 0.0", 0.0, false},
        {"double below the smallest normal", 1e-310, false},
        {"double NaN", std::numeric_limits<double>::quiet_NaN(), true},
        {"string 1", std::string("1"), false},
        {"empty value", boost::any(), false},
        {"other type", std::set<int>{1}, false},
    };
    CGroup group = makeGroup("01", "N", "V");
    ASSERT_TRUE(group.buildExp());
    LogCapture log;
    for (const Case& c : cases) {
        CGroupInstrument inst = stock("C1", "A");
        inst.addAttr("V", c.value);
        EXPECT_EQ(c.expected, group.isInGroup(inst)) << c.label;
    }
    EXPECT_TRUE(log.records().empty());
}

TEST(GroupTest, MissingAttributeIsLoggedAndEvaluationGoesOn) {
    CGroup group = makeGroup("G1", gbk("名称"), "P_CODE1 == \"A\" || Y == 1 || X == 1");
    ASSERT_TRUE(group.buildExp());
    const CGroupInstrument inst = stock("C1", "A");
    LogCapture log;
    EXPECT_TRUE(group.isInGroup(inst));
    ASSERT_EQ(1u, log.records().size());
    expectRecord(log.records()[0], "DEBUG",
                 gbk("分组CGroup对象[G1-名称]持仓[") + inst.toString() +
                     gbk("]准备表达式变量失败：金融工具中缺少表达式涉及的属性(X);"
                         "金融工具中缺少表达式涉及的属性(Y);！将忽略该失败继续计算。"));
}

// An evaluation error stays in the expression's error text.  The next
// instrument's record must name that instrument's missing attributes only,
// not the errors of earlier instruments (which would otherwise pile up).
TEST(GroupTest, RecordsDoNotCarryEarlierInstrumentsErrors) {
    CGroup group = makeGroup("G1", "N", "noSuchFunction(X) == 1");
    ASSERT_TRUE(group.buildExp());
    LogCapture log;
    for (int i = 0; i < 3; ++i) {
        const CGroupInstrument inst = stock("C" + std::to_string(i), "A");
        EXPECT_FALSE(group.isInGroup(inst));
        ASSERT_EQ(static_cast<size_t>(i + 1), log.records().size());
        expectRecord(log.records()[i], "DEBUG",
                     gbk("分组CGroup对象[G1-N]持仓[") + inst.toString() +
                         gbk("]准备表达式变量失败：金融工具中缺少表达式涉及的属性(X);"
                             "！将忽略该失败继续计算。"));
    }
}

TEST(GroupTest, RebuildAndVariableNames) {
    CGroup group = makeGroup("01", "N", "B == 1 && A == 2 || B == 3 || I_CODE == \"x\"");
    ASSERT_TRUE(group.buildExp());
    std::set<std::string> names{"Z"};
    group.getExpAttr(names);
    EXPECT_EQ((std::set<std::string>{"A", "B", "I_CODE", "Z"}), names);
    // An empty text keeps the earlier compilation in use.
    CGroupInstrument inst = stock("C1", "A");
    inst.addAttr("A", 2.0);
    inst.addAttr("B", 1.0);
    group.setExpression("");
    EXPECT_FALSE(group.buildExp());
    EXPECT_TRUE(group.isInGroup(inst));
    // A new text takes effect with the next buildExp only.
    group.setExpression("A == 3");
    EXPECT_TRUE(group.isInGroup(inst));
    ASSERT_TRUE(group.buildExp());
    EXPECT_FALSE(group.isInGroup(inst));
}

TEST(GroupTest, CopiesOwnTheirExpressions) {
    CGroupInstrument one = stock("C1", "A");
    one.addAttr("X", 1.0);
    CGroupInstrument two = stock("C2", "A");
    two.addAttr("X", 2.0);
    // Compiled from "X == 1"; the text then changed without a rebuild: the
    // copy classifies like its source, by the compiled text.
    CGroup* source = new CGroup(makeGroup("01", "N", "X == 1"));
    ASSERT_TRUE(source->buildExp());
    source->setExpression("X == 2");
    CGroup copy(*source);
    CGroup assigned;
    assigned = *source;
    delete source;  // the copies must not share anything with it
    assigned = assigned;
    EXPECT_EQ("X == 2", copy.getExpression());
    EXPECT_TRUE(copy.isInGroup(one));
    EXPECT_FALSE(copy.isInGroup(two));
    EXPECT_TRUE(assigned.isInGroup(one));
    std::set<std::string> names;
    assigned.getExpAttr(names);
    EXPECT_EQ(std::set<std::string>{"X"}, names);
    // Never built: the copy logs as its source does.
    LogCapture log;
    CGroup unbuilt = makeGroup("02", "N", "X == 1");
    CGroup unbuiltCopy(unbuilt);
    EXPECT_FALSE(unbuiltCopy.isInGroup(one));
    ASSERT_EQ(1u, log.records().size());
    EXPECT_EQ("ERROR", log.records()[0].level);
    // Built with an empty text (uncompiled expression object): silent false.
    log.clear();
    CGroup empty = makeGroup("03", "N", "");
    EXPECT_FALSE(empty.buildExp());
    EXPECT_FALSE(empty.isInGroup(one));
    CGroup emptyCopy(empty);
    EXPECT_FALSE(emptyCopy.isInGroup(one));
    EXPECT_TRUE(log.records().empty());
}

}  // namespace
