// Expanding classification trees from rule definitions; node copies; pool
// reuse across rebuilds.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/gbk.h"
#include "support/logCapture.h"
#include "xTreeFixture.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/xTree.h"

using qvt::ht::CGroupInstrument;
using qvt::ht::CXDefTree;
using qvt::ht::CXTree;
using qvt::ht::CXTreeNode;
using testsupport::gbk;
using xtreetest::FakeData;
using xtreetest::shape;

namespace {

// A provider with the rules the tests below expand.
boost::shared_ptr<FakeData> makeData() {
    boost::shared_ptr<FakeData> data(new FakeData());
    data->addListRule("R1",
                      {{"G1", "Group 1", "E1"}, {"G2", "Group 2", ""}, {"G3", "Group 3", ""}});
    data->addListRule("R2", {{"H1", "", ""}, {"H2", "", ""}});
    data->addListRule("R3", {{"K1", "", ""}});
    data->addListRule("EMPTY", {});
    data->addAcctRule("A1", {{"AC1", "Account 1", "X > 1"}, {"AC2", "Account 2", ""}});
    return data;
}

class XTreeBuild : public ::testing::Test {
  protected:
    XTreeBuild() : data(makeData()), tree(data) {}
    // Reads the definition into def (which must outlive the build) and builds.
    bool build(const std::string& xml) {
        vODodi::XML::CDomXMLCore doc;
        if (!doc.input(xml)) ADD_FAILURE() << "bad definition " << xml;
        if (!def.build(doc)) ADD_FAILURE() << "definition not read: " << xml;
        return tree.buildByRuleDefs(def.getRoot());
    }
    boost::shared_ptr<FakeData> data;
    CXTree tree;
    CXDefTree def;
};

TEST_F(XTreeBuild, ExpandsDefinitionsLevelByLevel) {
    struct Case {
        const char* xml;
        const char* shape;
    };
    const Case cases[] = {
        // One rule: one node per group, in the rule's order.
        {"<GroupTree Code='T' Name='N'><GroupRule Code='R1'/></GroupTree>",
         "XTree(GroupTree,N)[R1.G1,R1.G2,R1.G3]"},
        // A nested rule hangs below every group of the level above.
        {"<GroupTree><GroupRule Code='R1'><GroupRule Code='R2'/></GroupRule></GroupTree>",
         "XTree(GroupTree,)[R1.G1[R2.H1,R2.H2],R1.G2[R2.H1,R2.H2],R1.G3[R2.H1,R2.H2]]"},
        // A definition child naming a group gives that group its own sub-rule
        // and puts it first; the others get the rule's nested rule.
        {"<GroupTree><GroupRule Code='R1'><XNode Code='G2'><GroupRule Code='R3'/></XNode>"
         "<GroupRule Code='R2'/></GroupRule></GroupTree>",
         "XTree(GroupTree,)[R1.G2[R3.K1],R1.G1[R2.H1,R2.H2],R1.G3[R2.H1,R2.H2]]"},
        // ... and without a nested rule the others get no children.
        {"<GroupTree><GroupRule Code='R1'><XNode Code='G2'><GroupRule Code='R3'/></XNode>"
         "</GroupRule></GroupTree>",
         "XTree(GroupTree,)[R1.G2[R3.K1],R1.G1,R1.G3]"},
        // Group wrappers are transparent and their following siblings are
        // followed; a second rule inside one wrapper is not expanded.
        {"<GroupTree><Group Code='W1'><GroupRule Code='R2'/><GroupRule Code='R3'/></Group>"
         "<Group Code='W2'><GroupRule Code='R1'/></Group></GroupTree>",
         "XTree(GroupTree,)[R2.H1,R2.H2,R1.G1,R1.G2,R1.G3]"},
        // Of two sibling rules only the first is expanded.
        {"<GroupTree><GroupRule Code='R2'/><GroupRule Code='R1'/></GroupTree>",
         "XTree(GroupTree,)[R2.H1,R2.H2]"},
        // A rule the provider does not know is skipped; its sibling is tried.
        {"<GroupTree><GroupRule Code='NOPE'/><GroupRule Code='R2'/></GroupTree>",
         "XTree(GroupTree,)[R2.H1,R2.H2]"},
        // A rule without groups and an element of no known kind are skipped.
        {"<GroupTree><GroupRule Code='EMPTY'/></GroupTree>", "XTree(GroupTree,)"},
        {"<GroupTree><XNode Code='G1'/></GroupTree>", "XTree(GroupTree,)"},
        // A rule definition: its root stands for the first rule level.
        {"<GroupRule Code='R1' Name='N'><GroupRule Code='R2'/></GroupRule>",
         "XTree(GroupRuleTree,N)[R1.G1[R2.H1,R2.H2],R1.G2[R2.H1,R2.H2],R1.G3[R2.H1,R2.H2]]"},
        // Account rules, also with a group rule below them.
        {"<AcctTree><AcctRule Code='A1'><GroupRule Code='R3'/></AcctRule></AcctTree>",
         "XTree(AcctTree,)[A1.AC1[R3.K1],A1.AC2[R3.K1]]"},
    };
    for (const Case& c : cases) {
        CXTree fresh(data);
        vODodi::XML::CDomXMLCore doc;
        ASSERT_TRUE(doc.input(c.xml)) << c.xml;
        CXDefTree d;
        ASSERT_TRUE(d.build(doc)) << c.xml;
        EXPECT_TRUE(fresh.buildByRuleDefs(d.getRoot())) << c.xml;
        EXPECT_EQ(c.shape, shape(fresh.getRoot())) << c.xml;
    }
}

TEST_F(XTreeBuild, NodesCarryTheFieldsOfTheirGroupsAndAccounts) {
    ASSERT_TRUE(build("<GroupTree Code='T' Name='Assets'><GroupRule Code='R1'/></GroupTree>"));
    const CXTreeNode* root = tree.getRoot();
    EXPECT_EQ("GroupTree-XTree---Assets-", root->toString());
    EXPECT_EQ("GroupRule-XNode-R1-G1-Group 1-E1", root->getChild()->toString());
    EXPECT_EQ(&tree, root->getChild()->getTree());
    EXPECT_EQ(nullptr, root->getChild()->getRuleExpr());  // building compiles nothing
    ASSERT_TRUE(build("<AcctTree Name='A'><AcctRule Code='A1'/></AcctTree>"));
    EXPECT_EQ("AcctRule-XNode-A1-AC1-Account 1-X > 1", tree.getRoot()->getChild()->toString());
    EXPECT_EQ(3u, tree.size());
}

TEST_F(XTreeBuild, NestedGroupRulesAskForTheGroupsBelowTheirParentGroup) {
    // PR2 groups by C.A, PR1 by C.A.BB: the groups of PR2 below a group of PR1
    // are the A values the provider gives as parents of that BB value.
    data->addPropRule("PR1", "C.A.BB", {{"G1", "n1"}, {"G2", "n2"}});
    data->addPropRule("PR2", "C.A", {{"H1", "m1"}, {"H2", "m2"}});
    data->addParents("BB", "A", "G1", {"H2"});
    data->addParents("BB", "A", "G2", {"H1", "H2"});
    data->calls.clear();
    ASSERT_TRUE(
        build("<GroupTree><GroupRule Code='PR1'><GroupRule Code='PR2'/></GroupRule></GroupTree>"));
    EXPECT_EQ("XTree(GroupTree,)[PR1.G1[PR2.H2],PR1.G2[PR2.H1,PR2.H2]]", shape(tree.getRoot()));
    // The first level is asked with empty limits, the second with (PR1, Gi).
    const std::vector<std::string> expected = {"rule:PR1", "rule:",           "rule:PR2",
                                               "rule:PR1", "parents:BB|A|G1", "rule:PR2",
                                               "rule:PR1", "parents:BB|A|G2"};
    EXPECT_EQ(expected, data->calls);
    EXPECT_EQ("GroupRule-XNode-PR2-H2-m2-C.A==\"H2\"",
              tree.getRoot()->getChild()->getChild()->toString());
}

TEST_F(XTreeBuild, UnknownRulesWarnWithTheAccumulatedErrorText) {
    testsupport::LogCapture log;
    ASSERT_TRUE(build("<GroupTree><GroupRule Code='X1'/><GroupRule Code='X2'/></GroupTree>"));
    EXPECT_EQ("XTree(GroupTree,)", shape(tree.getRoot()));
    const std::string first = gbk("缺少数据，无法扩展规则定义（GroupTree-GroupRule-X1）。") + "\n";
    const std::string second = gbk("缺少数据，无法扩展规则定义（GroupTree-GroupRule-X2）。") + "\n";
    // Each record carries the whole text so far, the new message last.
    ASSERT_EQ(2u, log.records().size());
    testsupport::expectRecord(log.records()[0], "WARN", "CXTree", first, "xTree.cpp");
    testsupport::expectRecord(log.records()[1], "WARN", "CXTree", first + second, "xTree.cpp");
    EXPECT_EQ(first + second, tree.getErrorInfo());
    // The tree never clears its text: a later build adds to it.
    log.clear();
    ASSERT_TRUE(build("<AcctTree><AcctRule Code='NOACCT'/></AcctTree>"));
    const std::string third =
        gbk("缺少数据，无法扩展规则定义（AcctTree-AcctRule-NOACCT）。") + "\n";
    ASSERT_EQ(1u, log.records().size());
    EXPECT_EQ(first + second + third, log.records()[0].message);
}

TEST_F(XTreeBuild, RefusesAForestAndKeepsTheTreeOnANullDefinition) {
    ASSERT_TRUE(build("<GroupTree Name='N'><GroupRule Code='R2'/></GroupTree>"));
    EXPECT_TRUE(tree.buildByRuleDefs(nullptr));
    EXPECT_EQ("XTree(GroupTree,N)[R2.H1,R2.H2]", shape(tree.getRoot()));
    EXPECT_EQ("", tree.getErrorInfo());
    // Expanding a rule node directly puts all its groups side by side.
    EXPECT_FALSE(tree.buildByRuleDefs(def.getRoot()->getChild()));
    EXPECT_EQ(gbk("生成树有非唯一根。") + "\n", tree.getErrorInfo());
    // The temporary root stays, holding the generated nodes.
    EXPECT_EQ(".[R2.H1,R2.H2]", shape(tree.getRoot()));
}

TEST_F(XTreeBuild, NeedsAProviderOnlyForRules) {
    CXTree bare((boost::shared_ptr<qvt::ht::IHTGroupData>()));
    vODodi::XML::CDomXMLCore doc;
    ASSERT_TRUE(doc.input("<GroupTree Name='N'/>"));
    ASSERT_TRUE(def.build(doc));
    EXPECT_TRUE(bare.buildByRuleDefs(def.getRoot()));
    EXPECT_EQ("XTree(GroupTree,N)", shape(bare.getRoot()));
    ASSERT_TRUE(doc.input("<AcctTree><AcctRule Code='A1'/></AcctTree>"));
    ASSERT_TRUE(def.build(doc));
    EXPECT_THROW(bare.buildByRuleDefs(def.getRoot()), std::runtime_error);  // the assertion
}

TEST_F(XTreeBuild, RebuildingGivesThePreviousNodesBackToThePool) {
    std::vector<xtreetest::GroupSpec> many;
    for (int i = 0; i < 150; ++i) many.push_back({"B" + std::to_string(1000 + i), "", ""});
    data->addListRule("BIG", many);
    ASSERT_TRUE(build("<GroupTree><GroupRule Code='BIG'/></GroupTree>"));
    const std::size_t nodes = tree.size();
    ASSERT_EQ(151u, nodes);
    // More than one block's worth of nodes, so that growth would show.
    const std::size_t blocks = tree.getPool().getBlockCount();
    ASSERT_EQ(2u, blocks);
    std::map<std::string, CGroupInstrument> holds;
    holds["h"].addAttr("BIG", std::string("nope"));
    for (int i = 0; i < 10000; ++i) {
        ASSERT_TRUE(tree.buildByRuleDefs(def.getRoot()));
        if (i % 1000 == 0) {
            // Sorting adds a catch-all node; the next build gives it back too.
            ASSERT_TRUE(tree.appendHolds(holds, false));
            ASSERT_EQ(nodes + 1, tree.size());
        }
    }
    EXPECT_EQ(nodes, tree.getPool().getUsedCount());
    EXPECT_EQ(blocks, tree.getPool().getBlockCount());
}

TEST(XTreeNode, CopiesCompileTheirOwnExpression) {
    CGroupInstrument hit;
    hit.addAttr("R", std::string("A"));
    hit.addAttr("X", 2.0);
    CGroupInstrument miss(hit);
    miss.addAttr("X", 0.0);
    CXTreeNode node("XNode", "R", "A", "name", "X > 1");
    node.setType("GroupRule");
    ASSERT_TRUE(node.createRuleExpr());
    ASSERT_NE(nullptr, node.getRuleExpr());
    {
        CXTreeNode copy(node);
        EXPECT_EQ(node.toString(), copy.toString());
        EXPECT_NE(node.getRuleExpr(), copy.getRuleExpr());
        EXPECT_TRUE(copy.isMatch(hit));
        EXPECT_FALSE(copy.isMatch(miss));
        CXTreeNode assigned;
        assigned = node;
        assigned = assigned;
        EXPECT_NE(node.getRuleExpr(), assigned.getRuleExpr());
        EXPECT_FALSE(assigned.isMatch(miss));
        EXPECT_TRUE(assigned.isMatch(hit));
    }
    // The copies are gone; the original still owns a working expression.
    EXPECT_TRUE(node.isMatch(hit));
    EXPECT_FALSE(node.isMatch(miss));
    // A node without an expression object gives copies none; one whose text
    // did not compile gives copies an uncompiled one, matching on codes alone.
    CXTreeNode plain("XNode", "R", "A", "", "X > 1");
    EXPECT_EQ(nullptr, CXTreeNode(plain).getRuleExpr());
    CXTreeNode broken("XNode", "R", "A", "", "X >");
    EXPECT_FALSE(broken.createRuleExpr());
    EXPECT_TRUE(CXTreeNode(broken).isMatch(miss));
    // clone() makes a bare node.
    CXTreeNode* clone = node.clone();
    EXPECT_EQ("-XNode-R-A-name-X > 1", clone->toString());
    EXPECT_EQ(nullptr, clone->getRuleExpr());
    CXTreeNode::destroyNode(clone);
}

}  // namespace

TEST_F(XTreeBuild, DeeplyNestedWrappersDoNotOverflowTheStack) {
    // Group wrappers are transparent: however deep they nest, the rule inside
    // them is expanded directly below the tree node they stand under.
    const int kDeep = 200000;
    std::string xml = "<GroupTree Name='N'>";
    for (int i = 0; i < kDeep; ++i) xml += "<Group Code='w'>";
    xml += "<GroupRule Code='R2'/>";
    for (int i = 0; i < kDeep; ++i) xml += "</Group>";
    xml += "</GroupTree>";
    ASSERT_TRUE(build(xml));
    EXPECT_EQ("XTree(GroupTree,N)[R2.H1,R2.H2]", shape(tree.getRoot()));
}
