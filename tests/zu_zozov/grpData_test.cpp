// Binding of instrument attributes to expression variables (CGrpData).
#include "zu_zozov/grpData.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "expr/function.h"
#include "support/gbk.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpDataDetail.h"

namespace {

using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpData;
using qvt::ht::CGrpExpr;
using testsupport::gbk;
typedef std::map<std::string, boost::any> Store;

std::string missing(const std::string& name) {
    return gbk("金融工具中缺少表达式涉及的属性(") + name + ");";
}

// The store after binding, with every value written as text (type-tagged) so
// stores compare with ==.
std::map<std::string, std::string> describe(const Store& store) {
    std::map<std::string, std::string> out;
    for (const auto& entry : store) {
        const boost::any& v = entry.second;
        const std::string* s = boost::any_cast<std::string>(&v);
        const double* d = boost::any_cast<double>(&v);
        const int* i = boost::any_cast<int>(&v);
        const bool* b = boost::any_cast<bool>(&v);
        out[entry.first] = v.empty() ? "empty"
                           : s       ? "s:" + *s
                           : d       ? "d:" + std::to_string(*d)
                           : i       ? "i:" + std::to_string(*i)
                           : b       ? (*b ? "b:1" : "b:0")
                                     : std::string("?:") + v.type().name();
    }
    return out;
}

struct Compiled {
    explicit Compiled(const std::string& text) { EXPECT_TRUE(expr.compile(text)) << text; }
    CGrpExpr expr;
};

TEST(GrpDataTest, GenericBindingCopiesNamedAttributesOnly) {
    CGroupInstrument inst("C1", "S", "M", "ACC", "A", "", "", "", "", "", "", "");
    inst.addAttr("X", 2.5);
    CGrpData data;
    data.getValues()["STALE"] = 1;
    EXPECT_TRUE(data.prepare(static_cast<const void*>(&inst)));
    const auto bound = describe(data.getValues());
    EXPECT_EQ(9u, bound.size());  // P_CODE1..8 and X
    EXPECT_EQ("s:A", bound.at("P_CODE1"));
    EXPECT_EQ("d:2.500000", bound.at("X"));
    // Copies carry no values; assignment leaves the target as it was.
    EXPECT_TRUE(CGrpData(data).getValues().empty());
    CGrpData target;
    target.getValues()["KEEP"] = 1;
    target = data;
    EXPECT_EQ("i:1", describe(target.getValues()).at("KEEP"));
    EXPECT_EQ(1u, target.getValues().size());
    // An expression never compiled uses no names: the fixed fields only.
    CGrpExpr uncompiled;
    EXPECT_TRUE(uncompiled.getData().prepare(inst, uncompiled));
    EXPECT_EQ((std::map<std::string, std::string>{
                  {"A_TYPE", "s:S"}, {"I_CODE", "s:C1"}, {"M_TYPE", "s:M"}}),
              describe(uncompiled.getData().getValues()));
}

// The strict binding written out plainly, as the model: the fixed fields,
// then every used name the instrument holds (overriding a fixed field), the
// missing ones reported in ascending order.
bool modelBinding(const CGroupInstrument& inst, const std::set<std::string>& used, Store& store,
                  std::string& errors) {
    store.clear();
    errors.clear();
    store["I_CODE"] = inst.iCode();
    store["A_TYPE"] = inst.aType();
    store["M_TYPE"] = inst.mType();
    bool ok = true;
    for (const std::string& name : used) {
        const auto found = inst.getAttrs().find(name);
        if (found != inst.getAttrs().end()) {
            store[name] = found->second;
        } else if (name != "I_CODE" && name != "A_TYPE" && name != "M_TYPE") {
            ok = false;
            errors += missing(name);
        }
    }
    return ok;
}

// The store is refilled in place from instrument to instrument; whatever it
// held before, it must end up exactly as the model binds the instrument.
// Random instruments (fixed seed) with attributes present, absent, of
// changing types, and with runs of other attributes between the used ones:
// named attributes override the fixed fields the expression uses (I_CODE,
// M_TYPE) and not the others (A_TYPE); ACCT_CODE comes from a named
// attribute only, never from the account field; every missing name is
// reported, in ascending order, and what could be bound is still bound.
TEST(GrpDataTest, RefilledStoreMatchesTheModel) {
    const std::string text =
        "A == 1 || B == \"x\" || I_CODE == \"c\" || Z == 2 || M_TYPE == \"m\" || P9 == 1 || "
        "ACCT_CODE == \"a\"";
    Compiled c(text);
    const std::set<std::string> used{"A", "ACCT_CODE", "B", "I_CODE", "M_TYPE", "P9", "Z"};
    std::mt19937 rnd(1000);
    const char* names[] = {"A",      "AB", "AC", "ACCT_CODE", "A_TYPE", "B",  "I_CODE",
                           "M_TYPE", "P1", "P2", "P3",        "P4",     "P5", "P6",
                           "P7",     "P8", "P9", "Q",         "Z",      "ZZ"};
    for (int round = 0; round < 2000; ++round) {
        CGroupInstrument inst;
        inst.setiCode(std::string(rnd() % 20, 'c'));
        inst.setaType(rnd() % 2 ? "S" : "");
        inst.setmType("m");
        inst.setAcctCode(rnd() % 2 ? "a" : "");
        for (const char* name : names) {
            const unsigned kind = rnd() % 7;  // 5 and 6: absent
            if (kind == 0) inst.addAttr(name, std::string(rnd() % 30, 'v'));
            if (kind == 1) inst.addAttr(name, static_cast<double>(rnd() % 3));
            if (kind == 2) inst.addAttr(name, static_cast<int>(rnd() % 3));
            if (kind == 3) inst.addAttr(name, rnd() % 2 == 0);
            if (kind == 4) inst.addAttr(name, boost::any());
        }
        Store expected;
        std::string expectedErrors;
        const bool expectedOk = modelBinding(inst, used, expected, expectedErrors);
        ASSERT_EQ(expectedOk, c.expr.getData().prepare(inst, c.expr)) << round;
        ASSERT_EQ(expectedErrors, c.expr.getErrorText()) << round;
        ASSERT_EQ(describe(expected), describe(c.expr.getData().getValues())) << round;
    }
}

TEST(GrpDataTest, GroupFunctionsAreRegisteredOnce) {
    CGrpData first;
    auto& registry = qvtlib::expr::getFuncMap();
    const char* names[] = {"inSql",    "inColl",    "ascPerc", "descPerc",
                           "ascCount", "descCount", "inPool",  "substr"};
    for (const char* name : names) {
        ASSERT_NE(nullptr, registry[name]) << name;
    }
    // A second construction leaves the registry alone.
    qvtlib::expr::basic_function* substr = registry["substr"];
    registry["substr"] = nullptr;
    CGrpData second;
    EXPECT_EQ(nullptr, registry["substr"]);
    registry["substr"] = substr;
}

TEST(GrpDataTest, FailedOneTimeActionIsRetried) {
    bool done = false;
    int runs = 0;
    auto failing = [&] {
        ++runs;
        throw std::runtime_error("registration failed");
    };
    EXPECT_THROW(qvt::ht::detail::runOnceRetrying(done, failing), std::runtime_error);
    EXPECT_FALSE(done);
    auto working = [&] { ++runs; };
    qvt::ht::detail::runOnceRetrying(done, working);
    qvt::ht::detail::runOnceRetrying(done, working);
    EXPECT_TRUE(done);
    EXPECT_EQ(2, runs);
}

}  // namespace
