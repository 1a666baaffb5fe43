// Group rules: reading both XML forms, compiling, evaluating, walking
// property paths, class applicability.
#include "zu_zozov/grpRule.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/fakeData.h"
#include "support/gbk.h"
#include "support/logCapture.h"
#include "xTreeFixture.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/propDic.h"

namespace {

using qvt::ht::CGroup;
using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;
using qvt::ht::CPropDic;
using testsupport::gbk;
using testsupport::LogCapture;

using FakeProvider = testsupport::FakeData;

CGroupInstrument inst(const std::string& code, const std::string& aType,
                      const std::string& p1 = "") {
    return CGroupInstrument(code, aType, "XSHG", "", p1, "", "", "", "", "", "", "");
}

std::string evalCode(CGrpRule& rule, const CGroupInstrument& instrument) {
    std::string code = "unset";
    EXPECT_TRUE(rule.evalGroup(code, instrument));
    return code;
}

std::vector<std::string> codes(const std::map<std::string, CGroup*>& groups) {
    std::vector<std::string> out;
    for (const auto& entry : groups) out.push_back(entry.first);
    return out;
}

void expectRuleRecord(const testsupport::LogRecord& record, const std::string& level,
                      const std::string& message) {
    testsupport::expectRecord(record, level, "CGrpRule", message, "grpRule");
}

TEST(GrpRuleTest, SmallestCodeWinsWhateverTheXmlOrder) {
    CGrpRule rule;
    rule.setCode("R");
    ASSERT_TRUE(rule.init(
        "<Rule>"
        "<Group Code=\"B\" Name=\"b\" Exp='A_TYPE == \"S\"'/>"
        "<Group Code=\"C\" Name=\"c\" Exp='I_CODE == \"600000\"'/>"
        "<Group Code=\"A\" Name=\"a\" Exp='M_TYPE == \"XSHG\" &amp;&amp; A_TYPE == \"S\"'/>"
        "<Other Code=\"0\" Exp=\"1\"/>"
        "</Rule>"));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), codes(rule.getGroups()));
    ASSERT_TRUE(rule.buildExps());
    EXPECT_EQ((std::set<std::string>{"A_TYPE", "I_CODE", "M_TYPE"}), rule.getUsedProps());
    LogCapture log;
    EXPECT_EQ("A", evalCode(rule, inst("600000", "S")));
    EXPECT_EQ("C", evalCode(rule, inst("600000", "B")));
    EXPECT_EQ("xother", evalCode(rule, inst("000001", "B")));
    EXPECT_TRUE(log.records().empty());
}

TEST(GrpRuleTest, ReadingTheGroupListForm) {
    // The later of two equal codes is the only group of that code (the
    // earlier one is deleted, which the leak checker watches); a Property
    // attribute beside Group children is ignored.
    CGrpRule rule;
    ASSERT_TRUE(
        rule.init("<Rule Property=\"X.Y\">"
                  "<Group Code=\"01\" Name=\"first\" Exp=\"P_CODE1 == 1\"/>"
                  "<Group Code=\"01\" Name=\"second\" Exp=\"P_CODE1 == 2\"/>"
                  "<Group Name=\"no code\"/>"
                  "</Rule>"));
    EXPECT_EQ(CGrpRule::GROUP_LIST, rule.getType());
    EXPECT_EQ("", rule.getProperty());
    ASSERT_EQ((std::vector<std::string>{"", "01"}), codes(rule.getGroups()));
    EXPECT_EQ("second", rule.getGroup("01")->getName());
    EXPECT_EQ(nullptr, rule.getGroup("02"));
    // init adds to the groups already held.
    ASSERT_TRUE(rule.init("<Rule><Group Code=\"02\" Exp=\"1\"/></Rule>"));
    EXPECT_EQ((std::vector<std::string>{"", "01", "02"}), codes(rule.getGroups()));
    // Text that does not parse: false, groups unchanged, nothing logged.
    LogCapture log;
    EXPECT_FALSE(rule.init("<Rule><Group Code=\"03\">"));
    EXPECT_FALSE(rule.init(""));
    EXPECT_EQ(3u, rule.getGroups().size());
    EXPECT_TRUE(log.records().empty());
    // init() reads the stored text and empties it on success.
    CGrpRule stored("<Rule><Group Code=\"01\" Exp=\"1\"/></Rule>");
    EXPECT_TRUE(stored.init());
    EXPECT_FALSE(stored.init());
}

TEST(GrpRuleTest, AddGroupReplacesAndDeletes) {
    CGrpRule rule;
    CGroup* first = new CGroup();
    first->setCode("01");
    rule.addGroup(first);
    rule.addGroup(first);  // the same object again: kept, not deleted
    EXPECT_EQ(first, rule.getGroup("01"));
    CGroup* second = new CGroup();
    second->setCode("01");
    rule.addGroup(second);  // first is deleted here
    EXPECT_EQ(second, rule.getGroup("01"));
    rule.addGroup(nullptr);
    EXPECT_EQ(1u, rule.getGroups().size());
    // A held group whose code was changed and that is added again moves to
    // its new code; it must not stay under the old one as well (the rule
    // would delete it twice).
    second->setCode("02");
    rule.addGroup(second);
    EXPECT_EQ(1u, rule.getGroups().size());
    EXPECT_EQ(nullptr, rule.getGroup("01"));
    EXPECT_EQ(second, rule.getGroup("02"));
}

TEST(GrpRuleTest, PropertyForm) {
    auto provider = boost::make_shared<FakeProvider>();
    provider->dics["Y"].m_valueNames = {{"02", "N2"}, {"01", "N1"}};
    CGrpRule rule;
    rule.setCode("R");
    rule.setGroupDataProvider(provider);
    ASSERT_TRUE(rule.init("<Rule Property=\"X.Y\"/>"));
    EXPECT_EQ((std::vector<std::string>{"dic:Y"}), provider->calls);
    EXPECT_EQ(CGrpRule::GROUP_PROPERTY, rule.getType());
    ASSERT_EQ((std::vector<std::string>{"01", "02"}), codes(rule.getGroups()));
    EXPECT_EQ("(code:R; 01:X.Y==\"01\",02:X.Y==\"02\",)", rule.toString());
    ASSERT_TRUE(rule.buildExps());
    EXPECT_EQ(std::set<std::string>{"X.Y"}, rule.getUsedProps());
    // The instrument's value is the answer, listed or not.
    CGroupInstrument listed = inst("C1", "S");
    listed.addAttr("X.Y", std::string("01"));
    CGroupInstrument unlisted = inst("C2", "S");
    unlisted.addAttr("X.Y", 3);
    LogCapture log;
    EXPECT_EQ("01", evalCode(rule, listed));
    EXPECT_EQ("3", evalCode(rule, unlisted));
    EXPECT_EQ("xother", evalCode(rule, inst("C3", "S")));
    EXPECT_TRUE(log.records().empty());
    // Value codes with a double quote or a backslash (a GBK trail byte can be
    // one) are escaped, so each generated expression compiles to a
    // comparison with exactly its code.
    const std::string trail5c = gbk("乗");
    ASSERT_EQ('\\', trail5c[1]);
    provider->dics["W"].m_valueNames = {{"Q\"1", ""}, {"A\\B", ""}, {trail5c + "x", ""}};
    CGrpRule escaped;
    escaped.setGroupDataProvider(provider);
    ASSERT_TRUE(escaped.init("<Rule Property=\"X.W\"/>"));
    EXPECT_EQ("X.W==\"Q\\\"1\"", escaped.getGroup("Q\"1")->getExpression());
    EXPECT_EQ("X.W==\"A\\\\B\"", escaped.getGroup("A\\B")->getExpression());
    for (const auto& entry : escaped.getGroups()) {
        CGroup group(*entry.second);
        ASSERT_TRUE(group.buildExp()) << entry.first;
        for (const auto& other : escaped.getGroups()) {
            CGroupInstrument holding = inst("C1", "S");
            holding.addAttr("X.W", other.first);
            EXPECT_EQ(entry.first == other.first, group.isInGroup(holding)) << entry.first;
        }
    }
    // No value list: no groups.  A property without a dot asks for itself.
    CGrpRule none;
    none.setGroupDataProvider(provider);
    provider->calls.clear();
    ASSERT_TRUE(none.init("<Rule Property=\"Z\"/>"));
    EXPECT_EQ((std::vector<std::string>{"dic:Z"}), provider->calls);
    EXPECT_TRUE(none.getGroups().empty());
}

TEST(GrpRuleTest, BuildFailureStopsAndEvaluationOfUncompiledGroups) {
    CGrpRule rule;
    rule.setCode("R");
    ASSERT_TRUE(
        rule.init("<Rule>"
                  "<Group Code=\"01\" Exp='A_TYPE == \"X\"'/>"
                  "<Group Code=\"02\" Name=\"bad\" Exp=\"a b\"/>"
                  "<Group Code=\"03\" Exp='P_CODE1 == \"A\"'/>"
                  "</Rule>"));
    LogCapture log;
    EXPECT_FALSE(rule.buildExps());
    ASSERT_EQ(2u, log.records().size());
    EXPECT_EQ("CGroup", log.records()[0].logger);
    expectRuleRecord(log.records()[1], "DEBUG", gbk("分组规则建立表达式错误:R"));
    EXPECT_EQ(std::set<std::string>{"A_TYPE"}, rule.getUsedProps());
    // 02 lost its expression, 03 was never compiled: both log and say no.
    log.clear();
    EXPECT_EQ("xother", evalCode(rule, inst("C1", "S", "A")));
    ASSERT_EQ(2u, log.records().size());
    EXPECT_EQ(gbk("表达式未设置或语法有误，设置失败，无法计算！:02,a b"), log.records()[0].message);
    EXPECT_EQ(gbk("表达式未设置或语法有误，设置失败，无法计算！:03,P_CODE1 == \"A\""),
              log.records()[1].message);
}

// An attribute value whose copy throws, to make the binding fail with an
// exception.
struct ThrowingValue {
    ThrowingValue() = default;
    ThrowingValue(const ThrowingValue&) {
        if (armed) throw std::runtime_error("copy failed");
    }
    static bool armed;
};
bool ThrowingValue::armed = false;

class ThrowingHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any&, const boost::any&) override { return 0.0; }
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data*, const boost::any&) override {
        throw 42;
    }
};

TEST(GrpRuleTest, EvaluationExceptionsAreLogged) {
    CGrpRule rule;
    rule.setCode("R");
    ASSERT_TRUE(rule.init(
        "<Rule><Group Code=\"01\" Exp=\"V == 1\"/><Group Code=\"02\" Exp=\"inPool(3) == 1\"/>"
        "</Rule>"));
    ASSERT_TRUE(rule.buildExps());
    LogCapture log;
    CGroupInstrument throwing = inst("C1", "S");
    throwing.addAttr("V", ThrowingValue());
    ThrowingValue::armed = true;
    std::string code = "unset";
    EXPECT_FALSE(rule.evalGroup(code, throwing));
    ThrowingValue::armed = false;
    EXPECT_EQ("xother", code);
    ASSERT_EQ(1u, log.records().size());
    expectRuleRecord(log.records()[0], "ERROR", gbk("分组规则(R) 计算分组错误:copy failed"));
    // A host helper that throws something that is no std::exception.
    log.clear();
    qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<ThrowingHelper>());
    CGroupInstrument plain = inst("C2", "S");
    plain.addAttr("V", 2.0);
    code = "unset";
    EXPECT_FALSE(rule.evalGroup(code, plain));
    qvt::ht::CGrpExprHelper::setHelperProvider(boost::shared_ptr<qvt::ht::IHTGroupHelper>());
    EXPECT_EQ("xother", code);
    ASSERT_EQ(1u, log.records().size());
    expectRuleRecord(log.records()[0], "ERROR", gbk("分组规则(R) 计算分组错误,未知原因!"));
}

TEST(GrpRuleTest, GetGroupsWalksThePropertyPath) {
    auto provider = boost::make_shared<xtreetest::FakeData>();
    CGrpRule* rule = &provider->addPropRule("R", "C.A", {{"a1", ""}, {"a2", ""}, {"a3", ""}});
    provider->addPropRule("DEEP", "C.A.B.D", {});
    provider->addPropRule("SHORT", "C.A.B", {});   // a one-character extension
    provider->addPropRule("OTHER", "C.AB.D", {});  // an unrelated path
    provider->addListRule("LIST", {});
    provider->parents = {
        {"D|B|d1", {"b1", "b2"}}, {"B|A|b1", {"a1", "a9"}}, {"B|A|b2", {"a1", "a2"}}};
    const std::map<std::string, CGroup*> all = rule->getGroups();
    provider->calls.clear();
    const auto found = rule->getGroups("DEEP", "d1");
    EXPECT_EQ((std::vector<std::string>{"rule:DEEP", "parents:D|B|d1", "parents:B|A|b1",
                                        "parents:B|A|b2"}),
              provider->calls);
    ASSERT_EQ((std::vector<std::string>{"a1", "a2", "a9"}), codes(found));
    EXPECT_EQ(rule->getGroup("a1"), found.at("a1"));
    EXPECT_EQ(nullptr, found.at("a9"));
    // Nothing known for the value: an empty map.
    EXPECT_TRUE(rule->getGroups("DEEP", "d2").empty());
    // Unknown rule, a list rule, a one-character extension, an unrelated
    // path: all groups.
    for (const char* other : {"NONE", "LIST", "SHORT", "OTHER"}) {
        provider->calls.clear();
        EXPECT_EQ(all, rule->getGroups(other, "x")) << other;
        EXPECT_EQ(std::vector<std::string>{"rule:" + std::string(other)}, provider->calls);
    }
    // A list rule answers all of its groups without asking the provider.
    CGrpRule noProvider;
    ASSERT_TRUE(noProvider.init("<Rule><Group Code=\"01\" Exp=\"1\"/></Rule>"));
    EXPECT_EQ((std::vector<std::string>{"01"}), codes(noProvider.getGroups("DEEP", "d1")));
}

TEST(GrpRuleTest, IsForFIClass) {
    auto provider = boost::make_shared<FakeProvider>();
    // Groups without variables, or not compiled yet: every class, no call.
    CGrpRule constant;
    ASSERT_TRUE(constant.init("<Rule><Group Code=\"01\" Exp=\"1\"/></Rule>"));
    EXPECT_TRUE(constant.isForFIClass("ANY"));
    ASSERT_TRUE(constant.buildExps());
    EXPECT_TRUE(constant.isForFIClass("ANY"));
    CGrpRule rule;
    rule.setGroupDataProvider(provider);
    ASSERT_TRUE(rule.init(
        "<Rule><Group Code=\"01\" Exp='STK.P1 == \"a\"'/><Group Code=\"02\" Exp='BOND == 1'/>"
        "</Rule>"));
    ASSERT_TRUE(rule.buildExps());
    EXPECT_TRUE(rule.isForFIClass("STK"));
    EXPECT_TRUE(rule.isForFIClass("BOND"));
    EXPECT_FALSE(rule.isForFIClass("FUND"));
    EXPECT_EQ(3u, provider->calls.size());
    provider->rootClass = "STK";
    EXPECT_TRUE(rule.isForFIClass("FUND"));
    // The class codes are taken once: later properties do not count.
    provider->rootClass = "ROOT";
    CGroup* later = new CGroup();
    later->setCode("03");
    later->setExpression("FUND.P1 == 1");
    rule.addGroup(later);
    ASSERT_TRUE(rule.buildExps());
    EXPECT_EQ(1u, rule.getUsedProps().count("FUND.P1"));
    EXPECT_FALSE(rule.isForFIClass("FUND"));
    // No groups at all: the provider decides.
    CGrpRule empty;
    empty.setGroupDataProvider(provider);
    EXPECT_FALSE(empty.isForFIClass("STK"));
}

// Without a provider the calls that need one fail on the provider's
// assertion, as a runtime_error.
TEST(GrpRuleTest, ProviderCallsWithoutProviderThrow) {
    CGrpRule form2, rule;
    EXPECT_THROW(form2.init("<Rule Property=\"X.Y\"/>"), std::runtime_error);
    ASSERT_TRUE(rule.init("<Rule><Group Code=\"01\" Exp=\"S.X == 1\"/></Rule>"));
    ASSERT_TRUE(rule.buildExps());
    EXPECT_THROW(rule.isForFIClass("S"), std::runtime_error);
}

// Copies classify like their source (the plan tests compare them on random
// rules); here a copy outlives its source, and an assignment replaces groups.
TEST(GrpRuleTest, CopiesClassifyLikeTheirSource) {
    auto provider = boost::make_shared<FakeProvider>();
    CGrpRule* source = new CGrpRule();
    source->setGroupDataProvider(provider);
    ASSERT_TRUE(source->init("<Rule><Group Code=\"01\" Exp='S.X == 1'/></Rule>"));
    ASSERT_TRUE(source->buildExps());
    CGrpRule copy(*source);
    CGrpRule assigned;
    ASSERT_TRUE(assigned.init("<Rule><Group Code=\"09\" Exp=\"1\"/></Rule>"));
    assigned = *source;
    delete source;  // the copies share nothing with it
    CGroupInstrument s = inst("C1", "S");
    s.addAttr("S.X", 1.0);
    for (CGrpRule* rule : {&copy, &assigned}) {
        EXPECT_EQ((std::vector<std::string>{"01"}), codes(rule->getGroups()));
        EXPECT_EQ("01", evalCode(*rule, s));
        EXPECT_TRUE(rule->isForFIClass("S"));  // shares the provider
        EXPECT_FALSE(rule->isForFIClass("Q"));
    }
}

}  // namespace
