#include "zu_zozov/xDefTree.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "xml/domXMLCore.h"

namespace {

using qvt::ht::CXDefTree;
using qvt::ht::CXTreeDefNode;
using vODodi::XML::CDomXMLCore;

// The tree in a bracket form, each node as type/tag/code/name:
// GroupTree/GroupTree/T/N(GroupTree/GroupRule/R1/)
std::string shape(const CXTreeDefNode* n) {
    std::string s;
    for (; n; n = n->getNextSibling()) {
        if (!s.empty()) s += " ";
        s += n->getType() + "/" + n->getTag() + "/" + n->getCode() + "/" + n->getName();
        if (n->getChild()) s += "(" + shape(n->getChild()) + ")";
    }
    return s;
}

class XDefTreeTest : public ::testing::Test {
  protected:
    // Builds tree from xml; returns build's result.
    bool build(const std::string& xml) {
        CDomXMLCore doc;
        EXPECT_TRUE(doc.input(xml)) << xml;
        return tree.build(doc);
    }
    std::string shape() const { return tree.getRoot() ? ::shape(tree.getRoot()) : "<none>"; }
    CXDefTree tree;
};

TEST_F(XDefTreeTest, RootElementSelectsTheTreeType) {
    struct Case {
        const char* xml;
        const char* treeType;
        const char* shape;
    };
    const Case cases[] = {
        {"<GroupTree Code='T' Name='N'/>", "GroupTree", "GroupTree/GroupTree/T/N"},
        {"<AcctTree Code='A'/>", "AcctTree", "AcctTree/AcctTree/A/"},
        // Nodes below the root inherit the root's type.
        {"<PortTree><GroupRule Code='R1'><AcctRule Code='A1' Name='x'/></GroupRule></PortTree>",
         "PortTree", "PortTree/PortTree//(PortTree/GroupRule/R1/(PortTree/AcctRule/A1/x))"},
        // A rule root also stands for the rule one level below the root.
        {"<GroupRule Code='R1' Name='n'><Group Code='G1'/><GroupRule Code='R2'/></GroupRule>",
         "GroupRuleTree",
         "GroupRuleTree/GroupRuleTree/R1/n(GroupRule/GroupRule/R1/n(GroupRule/Group/G1/ "
         "GroupRule/GroupRule/R2/))"},
        {"<AcctRule Code='A1'/>", "AcctRuleTree",
         "AcctRuleTree/AcctRuleTree/A1/(AcctRule/AcctRule/A1/)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        CXDefTree t;
        CDomXMLCore doc;
        ASSERT_TRUE(doc.input(c.xml));
        EXPECT_TRUE(t.build(doc));
        EXPECT_EQ(c.treeType, t.getTreeType());
        EXPECT_EQ(c.shape, ::shape(t.getRoot()));
        EXPECT_TRUE(t.checkCircle());
        EXPECT_EQ("", t.getErrorInfo());
    }
}

TEST_F(XDefTreeTest, OnlyTheLeadingRunOfElementsWithCodeIsRead) {
    ASSERT_TRUE(
        build("<GroupTree Code='T'>"
              "  <GroupRule Code='R1'>"
              "    <!-- comments and text are not elements --> text"
              "    <Group Code='G1'><XNode Code='X1'/><XNode/><XNode Code='X3'/></Group>"
              "    <Group Name='no code'><XNode Code='hidden'/></Group>"
              "    <Group Code='G3'/>"
              "  </GroupRule>"
              "  <GroupRule Code='R2' Extra='ignored'><Group/><Group Code='late'/></GroupRule>"
              "</GroupTree>"));
    EXPECT_EQ(
        "GroupTree/GroupTree/T/(GroupTree/GroupRule/R1/(GroupTree/Group/G1/(GroupTree/XNode/X1/)) "
        "GroupTree/GroupRule/R2/)",
        shape());
    std::set<std::string> codes = {"stale"};
    EXPECT_TRUE(tree.getRuleCodes(codes));
    EXPECT_EQ((std::set<std::string>{"T", "R1", "G1", "X1", "R2"}), codes);
    CXTreeDefNode* root = tree.getRoot();
    EXPECT_EQ(root->getChild()->getNextSibling(), root->findChildByDefCode("R2"));
    EXPECT_EQ(nullptr, root->findChildByDefCode("G1"));                    // not a child
    EXPECT_EQ(nullptr, root->getChild()->findNextSiblingByDefCode("R1"));  // itself not tested
}

TEST_F(XDefTreeTest, FailuresWriteTheirMessagesAndAccumulate) {
    // A document without root element: true, nothing changes.
    ASSERT_TRUE(build("<GroupTree Code='T'/>"));
    CDomXMLCore empty;
    EXPECT_TRUE(tree.build(empty));
    EXPECT_EQ("GroupTree/GroupTree/T/", shape());
    EXPECT_EQ("", tree.getErrorInfo());
    EXPECT_FALSE(build("<Foo Code='F' Name='n'><GroupRule Code='R'/></Foo>"));
    EXPECT_EQ("Do not support type [Foo] of tree now!\n", tree.getErrorInfo());
    EXPECT_EQ("///", shape());  // a single empty root
    EXPECT_EQ("", tree.getTreeType());
    // Messages are kept in front of later ones.
    EXPECT_FALSE(build("<GroupTreeX/>"));
    EXPECT_EQ(
        "Do not support type [Foo] of tree now!\nDo not support type [GroupTreeX] of tree now!\n",
        tree.getErrorInfo());
    CDomXMLCore doc;
    ASSERT_TRUE(doc.input("<GroupTree/>"));
    EXPECT_FALSE(tree.toXML(doc));
    EXPECT_FALSE(doc.empty());
}

TEST_F(XDefTreeTest, RebuildingReusesPoolNodesAndForgetsOldNames) {
    ASSERT_TRUE(
        build("<GroupTree Code='T' Name='tree'><GroupRule Code='R1' Name='one'/>"
              "<GroupRule Code='R2' Name='two'/></GroupTree>"));
    EXPECT_EQ(3u, tree.size());
    // The same pool nodes come back; names absent now must read empty.
    ASSERT_TRUE(build("<AcctTree Code='A'><AcctRule Code='X'/></AcctTree>"));
    EXPECT_EQ("AcctTree/AcctTree/A/(AcctTree/AcctRule/X/)", shape());
    EXPECT_EQ(2u, tree.size());
    EXPECT_EQ(2u, tree.getPool().getUsedCount());
    ASSERT_TRUE(build("<GroupRule Code='R'><G Code='1'/><G Code='2'/></GroupRule>"));
    EXPECT_EQ(4u, tree.size());
}

}  // namespace
