// Hostile input to the library's readers (rules, definitions, expressions):
// a clear failure that leaves the reader's object as it was (a tree: empty),
// or a right result; never a crash, also on a host thread's 1 MiB stack.
#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/gbk.h"
#include "support/smallStack.h"
#include "xTreeFixture.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/xDefTree.h"
#include "zu_zozov/xTree.h"

namespace {

using qvt::ht::CGroup;
using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;
using qvt::ht::CXDefTree;
using qvt::ht::CXTree;
using vODodi::XML::CDomXMLCore;
using xtreetest::FakeData;

std::string repeat(const std::string& s, int n) {
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::string flag(bool b) { return b ? "1" : "0"; }

// A rule holding group k reads xml: "init=<result> groups=<count>", and the
// length of group a's name when there is one.
std::string readRule(const std::string& xml) {
    CGrpRule rule;
    if (!rule.init("<Rule><Group Code='k' Name='keep' Expr='1'/></Rule>")) return "setup failed";
    const bool ok = rule.init(xml);
    std::string out = "init=" + flag(ok) + " groups=" + std::to_string(rule.getGroups().size());
    if (rule.getGroup("k") == nullptr) out += " lost k";
    if (CGroup* a = rule.getGroup("a")) out += " name=" + std::to_string(a->getName().size());
    return out;
}

// A group compiles expr: "compile=<result> in=<membership of an instrument
// whose X is x>".
std::string compileGroup(const std::string& expr, const boost::any& x) {
    CGroup group;
    group.setCode("G");
    group.setExpression(expr);
    const bool ok = group.buildExp();
    CGroupInstrument inst;
    inst.addAttr("X", x);
    return "compile=" + flag(ok) + " in=" + flag(ok && group.isInGroup(inst));
}

// A provider whose rule THROW fails with an exception.
class ThrowingData : public FakeData {
  public:
    qvt::ht::CGrpRule* getGrpRule(const std::string& code) override {
        if (code == "THROW") throw std::runtime_error("provider failed");
        return FakeData::getGrpRule(code);
    }
};

// A built tree reads the definition xml and is rebuilt from it, with a node
// limit of `limit`: "build=<result> nodes=<size>", "throws" when the
// provider's exception came through, and whether the error text names the
// limit.
std::string buildTree(const std::string& xml, std::size_t limit) {
    boost::shared_ptr<ThrowingData> data(new ThrowingData());
    data->addListRule("R", {{"r1", "", ""}, {"r2", "", ""}});
    std::vector<xtreetest::GroupSpec> ten;
    for (int i = 0; i < 10; ++i) ten.push_back({"w" + std::to_string(i), "", ""});
    data->addListRule("W", ten);
    CXTree tree(data);
    tree.setNodeLimit(limit);
    CDomXMLCore doc;
    CXDefTree def;
    if (!doc.input("<GroupTree><GroupRule Code='R'/></GroupTree>") || !def.build(doc) ||
        !tree.buildByRuleDefs(def.getRoot())) {
        return "setup failed";
    }
    if (!doc.input(xml)) return "input=0";
    if (!def.build(doc)) return "def=0";
    std::string out;
    try {
        out = "build=" + flag(tree.buildByRuleDefs(def.getRoot()));
    } catch (const std::runtime_error&) {
        out = "throws";
    }
    out += " nodes=" + std::to_string(tree.size());
    if (tree.getPool().getUsedCount() != tree.size()) out += " pool keeps nodes";
    if (tree.getErrorInfo().find(std::to_string(limit)) != std::string::npos) out += " limit named";
    return out;
}

const std::size_t NO_LIMIT = CXTree::DEFAULT_NODE_LIMIT;

}  // namespace

TEST(HostileInput, EveryReaderFailsClearlyOrReadsRight) {
    const std::string bigName(10 * 1024 * 1024, 'n');
    std::string bigExpr;
    while (bigExpr.size() < 1024 * 1024) bigExpr += "X == 1 || ";
    bigExpr += "X == 2";
    struct Case {
        const char* what;
        std::function<std::string()> run;
        const char* expected;
    };
    const Case cases[] = {
        {"truncated rule XML", [] { return readRule("<Rule><Group Code='a' Name='x'/><Gro"); },
         "init=0 groups=1"},
        {"a rule of 100,000 groups",
         [] {
             std::string xml = "<Rule>";
             for (int i = 0; i < 100000; ++i) xml += "<Group Code='g" + std::to_string(i) + "'/>";
             return readRule(xml + "</Rule>");
         },
         "init=1 groups=100001"},
        {"an attribute value of 10 MB",
         [&] { return readRule("<Rule><Group Code='a' Name='" + bigName + "'/></Rule>"); },
         "init=1 groups=2 name=10485760"},
        {"an expression of 1 MB", [&] { return compileGroup(bigExpr, 2.0); }, "compile=1 in=1"},
        {"a NUL byte in an expression",
         [] { return compileGroup(std::string("X == 1\0 || 1", 12), 1.0); }, "compile=0 in=0"},
        {"bytes that are not GBK in an expression (compared as bytes)",
         [] { return compileGroup("X == \"\x81\xff\"", std::string("\x81\xff")); },
         "compile=1 in=1"},
        {"a definition 100,000 siblings wide (one rule per level)",
         [] {
             return buildTree(
                 "<GroupTree>" + repeat("<GroupRule Code='R'/>", 100000) + "</GroupTree>",
                 NO_LIMIT);
         },
         "build=1 nodes=3"},
        {"an expansion past the node limit (10 groups, 5 levels, limit 1000)",
         [] {
             return buildTree("<GroupTree>" + repeat("<GroupRule Code='W'>", 5) +
                                  repeat("</GroupRule>", 5) + "</GroupTree>",
                              1000);
         },
         "build=0 nodes=0 limit named"},
        {"a provider that throws while expanding",
         [] {
             return buildTree(
                 "<GroupTree><GroupRule Code='R'><GroupRule Code='THROW'/>"
                 "</GroupRule></GroupTree>",
                 NO_LIMIT);
         },
         "throws nodes=0"},
    };
    testsupport::onSmallStack([&] {
        for (const Case& c : cases) EXPECT_EQ(c.expected, c.run()) << c.what;
    });
}
