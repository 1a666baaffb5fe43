// Evaluation plans: which expressions get a program, and, above all, that the
// fast path answers exactly as the generic one (same group, same log records,
// same error texts) for random rules, instruments and host providers.
#include "zu_zozov/grpPlan.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/logCapture.h"
#include "support/smallStack.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/xTree.h"

namespace {

using qvt::ht::CGroup;
using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpExpr;
using qvt::ht::CGrpRule;
using qvt::ht::CXTreeNode;
using testsupport::LogCapture;
using testsupport::LogRecord;

bool lowers(const std::string& text) {
    CGrpExpr expr;
    if (!expr.compile(text)) return false;
    const std::set<std::string> names = qvt::ht::detail::collectVarbNames(expr);
    const std::vector<std::string> slots(names.begin(), names.end());
    return qvt::ht::detail::CGrpProgram::lower(expr, slots) != nullptr;
}

TEST(GrpPlan, LowersWhatItModelsAndNothingElse) {
    const struct {
        const char* text;
        bool lowers;
    } cases[] = {
        {"A_TYPE == \"STK\" && M_TYPE == \"XSHG\"", true},
        {"inColl(P_CODE3, \"R1, R2,,R3\") == 1", true},
        {"substr(I_CODE, 0, 2) == \"60\" || substr(I_CODE, -1, 1 + 1) == \"\"", true},
        {"(N % 2) == 1 && !(D > -0.5) || +S", true},
        {"inColl(P_CODE3, P_CODE4) == 1", false},   // list not a constant
        {"inColl(P_CODE3) == 1", false},            // arity other than declared
        {"substr(I_CODE, N, 2) == \"60\"", false},  // bound not a constant
        {"inSql(I_CODE, \"select\") == 1", false},
        {"noSuchFunction(D) == 1", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.lowers, lowers(c.text)) << c.text;
}

// ---- random rules, instruments and providers -----------------------------

const char* const VARS[] = {"I_CODE",  "A_TYPE", "M_TYPE", "ACCT_CODE", "P_CODE1",
                            "P_CODE2", "S",      "D",      "N",         "B",
                            "F",       "L",      "E",      "V",         "MISS"};
const char* const TEXTS[] = {"\"\"",    "\"A\"",      "\"1\"",  "\"R1\"",
                             "\" R1\"", "\"600000\"", "\"a b\""};
const char* const NUMBERS[] = {"0", "1", "2", "7", "0.5", "1e308", "100", "3"};
const char* const OPS[] = {"||", "&&", "+", "-", "*", "/", "%", "<", ">", "<=", ">=", "==", "!="};
const char* const LISTS[] = {"\"A, R1 ,,1\"", "\"\"", "\"2.0,abc\"", "\"600000\"",
                             "\"a,b,c,d,e,f,g,h,i,j,A\""};

class CGen {
  public:
    explicit CGen(unsigned seed) : m_rnd(seed) {}
    int pick(int n) { return static_cast<int>(m_rnd() % static_cast<unsigned>(n)); }
    template <std::size_t N>
    const char* any(const char* const (&items)[N]) {
        return items[pick(static_cast<int>(N))];
    }
    // A variable compared with a constant.
    std::string test() {
        const char* const cmp[] = {"==", "==", "!=", "<", ">="};
        return std::string(any(VARS)) + " " + any(cmp) + " " +
               (pick(3) ? any(TEXTS) : any(NUMBERS));
    }
    std::string expression(int depth) {
        if (depth == 0 || pick(10) < 3) {
            const int leaf = pick(3);
            return leaf == 0 ? any(VARS) : leaf == 1 ? any(NUMBERS) : any(TEXTS);
        }
        const int d = depth - 1;
        const int kind = pick(13);
        if (kind == 0) {
            return std::string(pick(2) ? "!" : "-") + "(" + (pick(3) ? expression(d) : test()) +
                   ")";
        }
        if (kind == 1) return "inColl(" + expression(d) + ", " + any(LISTS) + ")";
        if (kind == 2) {
            return "substr(" + expression(d) + ", " + any(NUMBERS) + ", " +
                   (pick(3) == 0 ? "-1" : any(NUMBERS)) + ")";
        }
        if (kind == 3) {  // the calls the fast path leaves to the generic one
            const int call = pick(6);
            if (call == 0) {
                return "inSql(" + expression(d) + ", \"" +
                       (pick(2)   ? "q"
                        : pick(2) ? "throw"
                                  : "other") +
                       "\")";
            }
            if (call == 1) return "inPool(" + std::to_string(pick(5)) + ")";
            if (call == 2) return "ascPerc(" + expression(d) + ", 1, 2)";
            if (call == 3) return "nosuch(" + expression(d) + ")";
            if (call == 4) return "inColl(" + expression(d) + ", " + expression(d) + ")";
            return "substr(" + expression(d) + ", 0)";
        }
        if (kind == 5) return chain(d);
        if (kind == 4) {  // a left chain without parentheses
            return expression(0) + " " + any(OPS) + " " + expression(0) + " " + any(OPS) + " " +
                   expression(d);
        }
        return "(" + expression(d) + ") " + any(OPS) + " (" + expression(d) + ")";
    }
    // Tests joined by && and ||: the shapes rules have.
    std::string chain(int d) {
        std::string chain = test();
        for (int k = pick(5) - 1; k >= 0; --k) {
            if (pick(3) == 0) chain = "(" + chain + ")";
            chain += pick(4) ? " && " : " || ";
            chain += pick(5)   ? test()
                     : pick(2) ? "inColl(" + std::string(any(VARS)) + ", " + any(LISTS) + ") == 1"
                               : expression(d);
        }
        return chain;
    }
    boost::any value() {
        const int ints[] = {7, -7, -1, 0, 2};
        const double doubles[] = {1.0, -1.0, 1e-310, -1e-310, 7.0};
        const int kind = pick(13);
        if (kind == 0) return boost::any();
        if (kind == 1) return std::string();
        if (kind == 2) return std::string(pick(2) ? "A" : "1");
        if (kind == 3) return std::string("R1");
        if (kind == 4) return pick(2) ? 0.0 : 2.0;
        if (kind == 5) return std::numeric_limits<double>::quiet_NaN();
        if (kind == 6) return ints[pick(5)];
        if (kind == 7) return pick(2);
        if (kind == 8) return pick(2) == 1;
        if (kind == 9) return 0.5f;
        if (kind == 10) return 3L;
        if (kind == 11) return std::vector<int>(1, 1);
        return doubles[pick(5)];
    }
    CGroupInstrument instrument() {
        const char* const codes[] = {"", "A", "600000", "R1", "1"};
        CGroupInstrument inst(any(codes), any(codes), any(codes), "ACC", any(codes), any(codes), "",
                              "", "", "", "", "");
        const char* const names[] = {"S", "D", "N", "B", "F", "L", "E", "V", "I_CODE", "R"};
        for (const char* name : names) {
            if (pick(10) < 6) inst.addAttr(name, value());
        }
        if (pick(3) == 0) inst.addAttr("R", std::string("N1"));
        return inst;
    }

  private:
    std::mt19937 m_rnd;
};

// Answers inSql and inPool, fails in every way a host can.
class CHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) override {
        const std::string& query = boost::any_cast<const std::string&>(sql);
        if (query == "throw") throw std::runtime_error("sql failed");
        if (query == "other") throw 42;
        return boost::any(boost::any_cast<std::string>(&value) != nullptr);
    }
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data*, const boost::any& id) override {
        const double pool = boost::any_cast<double>(id);
        if (pool == 2) throw std::runtime_error("pool failed");
        if (pool == 3) return boost::any_cast<int>(boost::any(std::string("not an int")));
        if (pool == 4) throw 7;
        return boost::any(pool == 1 ? 1 : 0);
    }
};

std::string describe(const std::vector<LogRecord>& records) {
    std::string text;
    for (const LogRecord& r : records) {
        text += r.level + "|" + r.logger + "|" + r.message + "|" + r.file + ":" +
                std::to_string(r.line) + "\n";
    }
    return text;
}

// Runs call under a log capture; returns its answer (or the exception that
// escaped it) and the records.
template <class Call>
std::string observe(Call call) {
    LogCapture log;
    std::string answer;
    try {
        answer = call();
    } catch (const std::exception& e) {
        answer = std::string("exception ") + e.what();
    } catch (...) {
        answer = "unknown exception";
    }
    return answer + "\n" + describe(log.records());
}

// A rule (fast), its copy (generic) and their groups, with random
// expressions; a tree node (fast) and its copy (generic) beside them.
TEST(GrpPlan, FastAndGenericPathsAgreeOnRandomRulesAndInstruments) {
    qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<CHelper>());
    CGen gen(20261206);
    for (int round = 0; round < 300; ++round) {
        CGrpRule fast;
        fast.setCode("R" + std::to_string(round));
        const int groups = 1 + gen.pick(6);
        std::vector<std::string> expressions;
        for (int g = 0; g < groups; ++g) {
            CGroup* group = new CGroup();
            group->setCode(std::string(1, static_cast<char>('A' + gen.pick(8))));
            group->setName("g");
            // Half the rules lead most groups with a text test of one
            // variable, the shape the rule's lead index is built for.
            std::string lead;
            if (round % 2 == 0 && gen.pick(4) != 0) {
                const char* const leads[] = {"A_TYPE == \"A\" && ", "A_TYPE == \"1\" && ",
                                             "S == \"R1\" && ", "A_TYPE == \"\" && "};
                lead = leads[round % 4 == 0 ? gen.pick(2) : gen.pick(4)];
            }
            const int depth = 1 + gen.pick(4);
            expressions.push_back(lead + (gen.pick(2) ? gen.chain(depth) : gen.expression(depth)));
            group->setExpression(expressions.back());
            fast.addGroup(group);
        }
        {
            LogCapture quiet;
            fast.buildExps();
        }
        CGrpRule generic(fast);
        CXTreeNode fastNode("XNode", "R", "N1", "n", expressions.front());
        fastNode.createRuleExpr();
        const CXTreeNode genericNode(fastNode);
        for (int i = 0; i < 12; ++i) {
            // Now and then without a helper: inSql logs, inPool throws.
            if (i == 11) qvt::ht::CGrpExprHelper::setHelperProvider(nullptr);
            const CGroupInstrument inst = gen.instrument();
            const std::string where = "rule " + fast.toString() + " inst " + inst.toString();
            bool fastOk = false, genericOk = false;
            const std::string fastSeen = observe([&] {
                std::string code;
                fastOk = fast.evalGroup(code, inst);
                return code;
            });
            const std::string genericSeen = observe([&] {
                std::string code;
                genericOk = generic.evalGroupGeneric(code, inst);
                return code;
            });
            ASSERT_EQ(genericSeen, fastSeen) << where;
            ASSERT_EQ(genericOk, fastOk) << where;
            auto g = generic.getGroups().begin();
            for (const auto& f : fast.getGroups()) {
                const std::string a =
                    observe([&] { return f.second->isInGroup(inst) ? "1" : "0"; });
                const std::string b =
                    observe([&] { return g->second->isInGroupGeneric(inst) ? "1" : "0"; });
                ASSERT_EQ(b, a) << where << " group " << f.first;
                ++g;
            }
            const std::string nodeFast =
                observe([&] { return fastNode.isMatch(inst) ? "1" : "0"; });
            const std::string nodeGeneric =
                observe([&] { return genericNode.isMatchGeneric(inst) ? "1" : "0"; });
            ASSERT_EQ(nodeGeneric, nodeFast) << "node " << expressions.front() << " " << where;
            if (fastNode.getRuleExpr() != nullptr) {
                ASSERT_EQ(genericNode.getRuleExpr()->getErrorInfo(),
                          fastNode.getRuleExpr()->getErrorInfo());
            }
            if (i == 11) qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<CHelper>());
        }
    }
    qvt::ht::CGrpExprHelper::setHelperProvider(nullptr);
}

TEST(GrpPlan, LongChainsAndDeepNestingRunOnASmallStack) {
    std::string chain = "S == \"x0\"";
    for (int i = 1; i < 100000; ++i) chain += " || S == \"x" + std::to_string(i) + "\"";
    std::string nested = "S == \"x7\"";
    for (int i = 0; i < 200; ++i) nested = "(N > 0 && " + nested + ")";
    for (const std::string* text : {&chain, &nested}) {
        CGroup group;
        group.setCode("G");
        group.setExpression(*text);
        ASSERT_TRUE(group.buildExp());
        CGroupInstrument hit;
        hit.addAttr("S", std::string("x7"));
        hit.addAttr("N", 1.0);
        CGroupInstrument miss;
        miss.addAttr("S", std::string("y"));
        miss.addAttr("N", 1.0);
        testsupport::onSmallStack([&] {
            EXPECT_TRUE(group.isInGroup(hit));
            EXPECT_FALSE(group.isInGroup(miss));
            EXPECT_TRUE(group.isInGroupGeneric(hit));
        });
    }
}

// A host's own function registered over a library one: the plans notice and
// the host's function answers, as it does on the generic path.
class CHostInColl : public qvtlib::expr::CBaseFunc<CHostInColl> {
  public:
    CHostInColl() {
        if (isInited()) return;
        setFuncName("inColl");
        setReturnType(boost::any(0.0));
        setParamNum(2);
        setInited(true);
    }
    bool checkParamType(unsigned, boost::any&) const override { return true; }
    std::string getDeclareInfo() const override { return "inColl(host)"; }
    boost::any calcFunc(const qvtlib::expr::basic_data*) const override { return 1.0; }
};

TEST(GrpPlan, AReplacedFunctionAndARecompiledGroupGoTheGenericWay) {
    CGrpRule rule;
    ASSERT_TRUE(
        rule.init("<R><Group Code=\"01\" Exp=\"inColl(P_CODE1, &quot;X&quot;) == 1\"/>"
                  "<Group Code=\"02\" Exp=\"A_TYPE == &quot;S&quot;\"/></R>"));
    ASSERT_TRUE(rule.buildExps());
    const CGroupInstrument inst("C", "S", "M", "", "P", "", "", "", "", "", "", "");
    std::string code;
    ASSERT_TRUE(rule.evalGroup(code, inst));
    EXPECT_EQ("02", code);
    auto& registry = qvtlib::expr::getFuncMap();
    qvtlib::expr::basic_function* const own = registry["inColl"];
    static CHostInColl host;
    registry["inColl"] = &host;
    EXPECT_TRUE(rule.evalGroup(code, inst));
    EXPECT_EQ("01", code);
    EXPECT_TRUE(rule.getGroup("01")->isInGroup(inst));
    registry["inColl"] = own;
    EXPECT_TRUE(rule.evalGroup(code, inst));
    EXPECT_EQ("02", code);
    // The host recompiles a group behind the rule's back.
    CGroup* first = rule.getGroup("01");
    first->setExpression("M_TYPE == \"M\"");
    ASSERT_TRUE(first->buildExp());
    EXPECT_TRUE(rule.evalGroup(code, inst));
    EXPECT_EQ("01", code);
    first->setExpression("M_TYPE == \"other\"");
    ASSERT_TRUE(first->buildExp());
    EXPECT_TRUE(rule.evalGroup(code, inst));
    EXPECT_EQ("02", code);
}

}  // namespace
