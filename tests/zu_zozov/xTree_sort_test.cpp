// Matching instruments to tree nodes, sorting holdings, group codes and
// paths, and the XML export of classification trees.
#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/grid.h"
#include "support/gbk.h"
#include "support/logCapture.h"
#include "support/smallStack.h"
#include "xTreeFixture.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/xTree.h"

using qvt::ht::CGroupInstrument;
using qvt::ht::CXDefTree;
using qvt::ht::CXTree;
using qvt::ht::CXTreeNode;
using xtreetest::FakeData;
using xtreetest::holdKeys;
using xtreetest::shape;
using xtreetest::xmlShape;

namespace {

CGroupInstrument instrument(const std::string& code,
                            const std::map<std::string, boost::any>& attrs) {
    CGroupInstrument inst;
    inst.setiCode(code);
    for (const auto& a : attrs) inst.addAttr(a.first, a.second);
    return inst;
}

// Every node as "rule.node{holding keys}", in pre-order.
std::string dumpHolds(const CXTreeNode* n) {
    std::string s;
    for (; n != nullptr; n = n->getNextSibling()) {
        s += n->getRuleCode() + "." + n->getNodeCode() + "{" + holdKeys(n) + "}";
        if (n->getChild() != nullptr) s += "[" + dumpHolds(n->getChild()) + "]";
    }
    return s;
}

TEST(XTreeNodeMatch, ComparesTheRuleCodeAttributeWithTheNodeCode) {
    struct Case {
        const char* ruleCode;
        const char* nodeCode;
        boost::any value;  // of attribute G_CODE3; empty: the attribute is absent
        bool present;
        bool match;
    };
    const Case cases[] = {
        {"", "A1", boost::any(), false, true},             // the root matches all
        {"G_CODE3", "xother", boost::any(), false, true},  // so does a catch-all
        {"G_CODE3", "A1", std::string("A1"), true, true},
        {"G_CODE3", "A1", boost::any(), true, false},  // present but empty
        {"G_CODE3", "5", 5.000001, true, false},
        {"G_CODE3", "abc", 0.0, true, true},  // a code that is no number reads 0
        // Codes up to 16 bytes compare as packed words, longer ones as texts.
        {"G_CODE3", "ABCDEFGHIJKLMNOP", std::string("ABCDEFGHIJKLMNOQ"), true, false},
        {"G_CODE3", "ABCDEFGHIJKLMNOP", std::string("ABCDEFGHIJKLMNOPQ"), true, false},
        {"G_CODE3", "ABCDEFGHIJKLMNOPQ", std::string("ABCDEFGHIJKLMNOPQ"), true, true},
        {"G_CODE3", "A1", std::string("A1\0", 3), true, false},
        {"G_CODE3_OF_A_LONG_RULE", "A1", std::string("A1"), true, true},
    };
    for (const Case& c : cases) {
        CXTreeNode node("XNode", c.ruleCode, c.nodeCode, "", "");
        CGroupInstrument inst;
        inst.addAttr("OTHER", std::string("A1"));
        if (c.present) inst.addAttr(c.ruleCode, c.value);
        EXPECT_EQ(c.match, node.isMatch(inst)) << c.ruleCode << "/" << c.nodeCode;
        // Compiling an empty expression changes nothing.
        EXPECT_TRUE(node.createRuleExpr());
        EXPECT_EQ(c.match, node.isMatch(inst)) << c.ruleCode << "/" << c.nodeCode;
    }
}

TEST(XTreeNodeMatch, ACompiledExpressionMustGiveAPositiveNumberOrTrue) {
    struct Case {
        const char* expr;
        boost::any x;
        bool compiles;
        bool match;
    };
    const Case cases[] = {
        {"X", 2.0, true, true},
        {"X", 0.0, true, false},
        {"X", std::string("1"), true, false},  // a string never matches
        {"X", 3, true, true},                  // an int from the instrument
        {"X % Y", 7, true, true},              // an int from the engine
        {"X", boost::any(), true, false},      // no value
        // The generic binding binds named attributes only, not the fixed fields.
        {"I_CODE == \"C1\"", 2.0, true, false},
        {"X >", 2.0, false, true},  // not compiled: the codes decide
    };
    for (const Case& c : cases) {
        CXTreeNode node("XNode", "R", "A", "", c.expr);
        CGroupInstrument inst = instrument("C1", {{"R", std::string("A")}, {"X", c.x}, {"Y", 2}});
        EXPECT_EQ(c.compiles, node.createRuleExpr()) << c.expr;
        EXPECT_EQ(c.match, node.isMatch(inst)) << c.expr;
        // The codes come first: a wrong code never matches.
        CGroupInstrument other = instrument("C1", {{"R", std::string("B")}, {"X", c.x}});
        EXPECT_FALSE(node.isMatch(other)) << c.expr;
    }
}

// The tree of the worked example: rule R1 with groups G1 and G2, rule R2
// with H1 and H2 below G1.
class XTreeSort : public ::testing::Test {
  protected:
    XTreeSort() : data(new FakeData()), tree(data) {
        data->addListRule("R1", {{"G1", "g1", ""}, {"G2", "g2", ""}});
        data->addListRule("R2", {{"H1", "h1", ""}, {"H2", "h2", ""}});
        build(
            "<GroupTree Code='T' Name='Tree'><GroupRule Code='R1'>"
            "<XNode Code='G1'><GroupRule Code='R2'/></XNode></GroupRule></GroupTree>");
        holds["a"] = instrument("a", {{"R1", std::string("G1")}, {"R2", std::string("H2")}});
        holds["b"] = instrument("b", {{"R1", std::string("G1")}});
        holds["c"] = instrument("c", {{"R1", std::string("G2")}, {"R2", std::string("H1")}});
        holds["d"] = instrument("d", {{"R1", std::string("G9")}});
    }
    void build(const std::string& xml) {
        vODodi::XML::CDomXMLCore doc;
        ASSERT_TRUE(doc.input(xml));
        ASSERT_TRUE(def.build(doc));
        ASSERT_TRUE(tree.buildByRuleDefs(def.getRoot()));
    }
    const CXTreeNode* node(const std::string& path) const {
        // "G1/H2": node codes from the root down.
        const CXTreeNode* n = tree.getRoot();
        std::string rest = path;
        while (n != nullptr && !rest.empty()) {
            const std::size_t slash = rest.find('/');
            n = const_cast<CXTreeNode*>(n)->findChildByNodeCode(rest.substr(0, slash));
            rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        }
        return n;
    }
    std::string xml(bool withHolds) {
        vODodi::XML::CDomXMLCore doc;
        EXPECT_TRUE(tree.toXML(doc, withHolds));
        return xmlShape(
            static_cast<xercesc::DOMElement*>(doc.root(0xFFFF, nullptr, false).getCur()));
    }
    boost::shared_ptr<FakeData> data;
    CXTree tree;
    CXDefTree def;
    std::map<std::string, CGroupInstrument> holds;
};

TEST_F(XTreeSort, CodesAndPathsOfTheWorkedExample) {
    ASSERT_EQ("XTree(GroupTree,Tree)[R1.G1[R2.H1,R2.H2],R1.G2]", shape(tree.getRoot()));
    // The paths stay when sorting adds catch-all nodes; b and d then get a code.
    const struct {
        const char *key, *path, *before, *after;
    } cases[] = {
        {"a", "R1.G1/R2.H2", "H2", "H2"},
        {"b", "R1.G1/R2.xother", "G1", "xother"},
        {"c", "R1.G2", "G2", "G2"},
        {"d", "R1.xother", "", "xother"},
    };
    for (bool sorted : {false, true}) {
        for (const auto& c : cases) {
            EXPECT_EQ(c.path, tree.grpPath(holds[c.key])) << c.key;
            EXPECT_EQ(sorted ? c.after : c.before, tree.grpCode(holds[c.key])) << c.key;
        }
        ASSERT_TRUE(tree.appendHolds(holds, false));
    }
    EXPECT_EQ("XTree(GroupTree,Tree)[R1.G1[R2.H1,R2.H2,R2.xother],R1.G2,R1.xother]",
              shape(tree.getRoot()));
}

TEST_F(XTreeSort, HoldingsGoToTheLeavesAndLeftoversToNewCatchAllNodes) {
    ASSERT_TRUE(tree.appendHolds(holds, false));
    EXPECT_EQ(".{}[R1.G1{}[R2.H1{}R2.H2{a}R2.xother{b}]R1.G2{c}R1.xother{d}]",
              dumpHolds(tree.getRoot()));
    // A catch-all node: its parent's type, the first child's rule code as rule
    // code and name, no expression; the last child of its parent.
    EXPECT_EQ("GroupTree-XNode-R1-xother-R1-", node("xother")->toString());
    EXPECT_EQ("GroupRule-XNode-R2-xother-R2-", node("G1/xother")->toString());
    EXPECT_EQ(tree.getRoot()->getLastChild(), node("xother"));
    // The holdings point into the caller's map.  (Sorting again, with the
    // catch-all nodes in place, is the model's part below.)
    EXPECT_EQ(&holds["a"], node("G1/H2")->getHolds().at("a"));
}

// A second book that reaches one branch only: the tree shows it alone, and
// the first book may be gone before the export (AddressSanitizer catches a
// node that still points into it).
TEST_F(XTreeSort, ASecondBookReplacesTheFirstEverywhere) {
    {
        std::map<std::string, CGroupInstrument> first;
        first["a"] = holds["a"];
        first["c"] = holds["c"];
        ASSERT_TRUE(tree.appendHolds(first, true));
        EXPECT_EQ("a", holdKeys(node("G1/H2")));
    }
    std::map<std::string, CGroupInstrument> second;
    second["e"] = instrument("e", {{"R1", std::string("G2")}});
    ASSERT_TRUE(tree.appendHolds(second, true));
    EXPECT_EQ(".{e}[R1.G1{}[R2.H1{}R2.H2{}]R1.G2{e}]", dumpHolds(tree.getRoot()));
    EXPECT_EQ(
        "XTree{GroupTree,Tree}[XNode{R1.G1}[XNode{R2.H1},XNode{R2.H2}],"
        "XNode{R1.G2}[Instrument(e)]]",
        xml(true));
}

TEST_F(XTreeSort, ResultsOfSortingInTheBorderCases) {
    const std::map<std::string, CGroupInstrument> none;
    EXPECT_TRUE(tree.appendHolds(none, false));
    // Without a root: nothing to sort into or compile, no code, no path,
    // and an export leaves the document alone.
    CXTree empty(data);
    EXPECT_FALSE(empty.appendHolds(holds, false));
    EXPECT_FALSE(empty.createRuleExprs());
    EXPECT_EQ("", empty.grpCode(holds["a"]));
    EXPECT_EQ("", empty.grpPath(holds["a"]));
    vODodi::XML::CDomXMLCore doc;
    ASSERT_TRUE(doc.input("<Keep/>"));
    EXPECT_TRUE(empty.toXML(doc, true));
    EXPECT_EQ("Keep", doc.root().getName());
    EXPECT_FALSE(empty.build(doc));
    // A root without children keeps what it took, and says so.
    build("<GroupTree Name='lonely'/>");
    EXPECT_FALSE(tree.appendHolds(holds, false));
    EXPECT_EQ("a,b,c,d", holdKeys(tree.getRoot()));
    EXPECT_EQ("", tree.grpCode(holds["a"]));
    EXPECT_EQ("", tree.grpPath(holds["a"]));
}

TEST_F(XTreeSort, ExpressionsOfTheNodesTakePartOnceCompiled) {
    data->addListRule("RX", {{"A", "", "W > 0"}, {"B", "", ""}});
    build("<GroupTree><GroupRule Code='RX'/></GroupTree>");
    CGroupInstrument neg = instrument("n", {{"RX", std::string("A")}, {"W", -1.0}});
    EXPECT_EQ("A", tree.grpCode(neg));
    EXPECT_TRUE(tree.createRuleExprs());
    EXPECT_EQ("", tree.grpCode(neg));
    EXPECT_EQ("RX.xother", tree.grpPath(neg));
    CGroupInstrument pos = instrument("p", {{"RX", std::string("A")}, {"W", 1.0}});
    EXPECT_EQ("RX.A", tree.grpPath(pos));
}

// An expression that fails on every holding (here: a function nobody
// registered) keeps no message per holding: after a book it holds no more
// error text than one that merely does not hold.
TEST_F(XTreeSort, AFailingExpressionKeepsNoTextPerHolding) {
    data->addListRule("RF", {{"A", "", "nosuch(W) > 0"}, {"B", "", "W > 100"}});
    build("<GroupTree><GroupRule Code='RF'/></GroupTree>");
    ASSERT_TRUE(tree.createRuleExprs());
    std::map<std::string, CGroupInstrument> book;
    for (int i = 0; i < 200; ++i) {
        book["a" + std::to_string(i)] = instrument("a", {{"RF", std::string("A")}, {"W", 1.0}});
        book["b" + std::to_string(i)] = instrument("b", {{"RF", std::string("B")}, {"W", 1.0}});
    }
    ASSERT_TRUE(tree.appendHolds(book, false));
    EXPECT_EQ("", holdKeys(node("A")));
    EXPECT_EQ("", holdKeys(node("B")));
    EXPECT_EQ(400u, node("xother")->getHolds().size());
    const CXTreeNode::RuleExpr* failing = node("A")->getRuleExpr();
    const CXTreeNode::RuleExpr* plain = node("B")->getRuleExpr();
    ASSERT_TRUE(failing != nullptr && failing->isCompiled());
    ASSERT_TRUE(plain != nullptr && plain->isCompiled());
    EXPECT_EQ(plain->getErrorInfo().size(), failing->getErrorInfo().size());
}

TEST_F(XTreeSort, ExportsNodesWithTheirAttributesAndHoldings) {
    ASSERT_TRUE(tree.appendHolds(holds, true));
    // keepInner leaves every node what reached it.
    EXPECT_EQ(".{a,b,c,d}[R1.G1{a,b}[R2.H1{}R2.H2{a}R2.xother{b}]R1.G2{c}R1.xother{d}]",
              dumpHolds(tree.getRoot()));
    EXPECT_EQ(
        "XTree{GroupTree,Tree}[XNode{R1.G1}[XNode{R2.H1},XNode{R2.H2},XNode{R2.xother}],"
        "XNode{R1.G2},XNode{R1.xother}]",
        xml(false));
    // With holdings: the instruments come first inside each node's element,
    // never inside the root's (even with keepInner), and an element that
    // already holds instruments still gets its child nodes nested correctly.
    EXPECT_EQ(
        "XTree{GroupTree,Tree}[XNode{R1.G1}[Instrument(a),Instrument(b),XNode{R2.H1},"
        "XNode{R2.H2}[Instrument(a)],XNode{R2.xother}[Instrument(b)]],"
        "XNode{R1.G2}[Instrument(c)],XNode{R1.xother}[Instrument(d)]]",
        xml(true));
    vODodi::XML::CDomXMLCore doc;
    ASSERT_TRUE(tree.toXML(doc, true));
    const xercesc::DOMElement* g1 =
        static_cast<xercesc::DOMElement*>(doc.root().firstChild());  // the first XNode
    EXPECT_EQ("g1", xtreetest::attr(g1, "Name"));
    EXPECT_EQ(4u, g1->getAttributes()->getLength());
    EXPECT_EQ(12u, g1->getFirstElementChild()->getAttributes()->getLength());
}

TEST_F(XTreeSort, ExportNamesRuleTreesByTheirRuleKind) {
    struct Case {
        const char* xml;
        const char* shape;
    };
    data->addAcctRule("AR", {{"AC1", "", ""}});
    const Case cases[] = {
        {"<GroupRule Code='R2' Name='N'/>", "XTree{GroupRule,N}[XNode{R2.H1},XNode{R2.H2}]"},
        {"<AcctTree Name='N'><AcctRule Code='AR'/></AcctTree>", "XTree{AcctTree,N}[XNode{AR.AC1}]"},
        {"<PortTree Name='P'/>", "XTree{PortTree,P}"},
        // An AcctRule definition makes an AcctRuleTree, written as "AcctRule".
        {"<AcctRule Code='AR' Name='N'/>", "XTree{AcctRule,N}[XNode{AR.AC1}]"},
    };
    for (const Case& c : cases) {
        build(c.xml);
        EXPECT_EQ(c.shape, xml(true)) << c.xml;
    }
}

// The sorting read literally: each node scans the whole work map, the last
// sibling first, then hands its holdings to its children.  The tree's own
// sorting must give the same nodes, holdings and results.
class ModelTree : public CXTree {
  public:
    explicit ModelTree(const boost::shared_ptr<qvt::ht::IHTGroupData>& data) : CXTree(data) {}
    using CXTree::appendHolds;
    bool modelAppendHolds(const std::map<std::string, CGroupInstrument>& holds, bool keepInner) {
        if (getRoot() == nullptr) return false;
        CXTreeNode::HoldMap work;
        for (const auto& h : holds) work[h.first] = &h.second;
        clearAll(getRoot());
        return model(getRoot(), work, keepInner);
    }
    void clearAll(CXTreeNode* n) {
        for (; n != nullptr; n = n->getNextSibling()) {
            n->clearHolds();
            clearAll(n->getChild());
        }
    }
    bool model(CXTreeNode* node, CXTreeNode::HoldMap& holds, bool keepInner) {
        if (node == nullptr) return false;
        if (holds.empty()) return true;
        model(node->getNextSibling(), holds, keepInner);
        if (node->appendHolds(holds)) {
            CXTreeNode::HoldMap rest(node->getHolds());
            CXTreeNode* first = node->getChild();
            model(first, rest, keepInner);
            bool left = false;
            for (const auto& h : rest) left = left || h.second != nullptr;
            if (left) {
                if (first == nullptr) return false;
                CXTreeNode* other = createRuleNode(node->getType(), "XNode", first->getRuleCode(),
                                                   "xother", first->getRuleCode(), "");
                other->appendHolds(rest);
                node->appendChild(other);
            }
        }
        if (!keepInner && node->getChild() != nullptr) node->clearHolds();
        return true;
    }
};

// grpPath and grpCode read literally: recursive, siblings in child order.
std::string modelPath(const CXTreeNode* node, const CGroupInstrument& inst) {
    if (node == nullptr) return "";
    if (!node->isMatch(inst)) return modelPath(node->getNextSibling(), inst);
    std::string p = node->getRuleCode() + "." + node->getNodeCode();
    std::string s = modelPath(node->getChild(), inst);
    if (p == ".") p = "";
    for (const CXTreeNode* c = node->getChild(); s.empty() && c != nullptr; c = c->getChild()) {
        if (!c->getRuleCode().empty()) s = c->getRuleCode() + ".xother";
    }
    if (s.empty()) return p;
    if (p.empty()) return s;
    return p + "/" + s;
}

std::string modelCode(const CXTreeNode* node, const CGroupInstrument& inst) {
    if (node == nullptr) return "";
    if (!node->isMatch(inst)) return modelCode(node->getNextSibling(), inst);
    const std::string below = modelCode(node->getChild(), inst);
    return below.empty() ? node->getNodeCode() : below;
}

// The holding whose variables each node's expression object holds (the one
// it evaluated last: the order of evaluation shows), in pre-order.
std::string lastEvaluated(const CXTreeNode* n) {
    std::string s;
    for (; n != nullptr; n = n->getNextSibling()) {
        const CXTreeNode::RuleExpr* e = n->getRuleExpr();
        if (e != nullptr) {
            const auto found = e->getData().getValues().find("K");
            const std::string* k = found == e->getData().getValues().end()
                                       ? nullptr
                                       : boost::any_cast<std::string>(&found->second);
            s += (k == nullptr ? std::string("-") : *k) + ",";
        }
        s += "[" + lastEvaluated(n->getChild()) + "]";
    }
    return s;
}

TEST(XTreeSortModel, SortsLikeTheNodeByNodeScan) {
    boost::shared_ptr<FakeData> data(new FakeData());
    // "1" and "1.0" both match the double 1; "y" also asks W > 0.
    data->addListRule("RA", {{"1", "", ""}, {"1.0", "", ""}, {"2", "", ""}, {"3", "", ""}});
    data->addListRule("RB", {{"x", "", ""}, {"y", "", "W > 0"}});
    data->addListRule("RC", {{"p", "", ""}, {"q", "", ""}});
    // Levels wide enough for the index of node codes: numbers written two
    // ways, the empty code, expressions; RN also one that only the
    // expression object evaluates (an unknown function; inColl of an int,
    // which logs), which sorts the whole book level by level.
    const std::vector<xtreetest::GroupSpec> wide = {
        {"", "", ""},       {"01", "", ""},     {"1", "", "W > 0"}, {"1.0", "", ""},
        {"2", "", ""},      {"a", "", "W > 0"}, {"b", "", ""},      {"c", "", ""},
        {"d", "", "W < 0"}, {"e", "", ""},      {"f", "", ""},      {"g", "", ""}};
    data->addListRule("RW", wide);
    std::vector<xtreetest::GroupSpec> unknown = wide;
    unknown[7].expr = "inColl(V, \"1,2\")";  // logs for an int V
    unknown[9].expr = "nosuch(W) > 0";
    data->addListRule("RN", unknown);
    std::vector<xtreetest::GroupSpec> logging = wide;
    logging[4].expr = "substr(V2, 5, 1) == \"x\"";  // logs: V2 is shorter
    data->addListRule("RL", logging);
    struct Row {
        const char* definition;
        // Changes to the built trees: the first-level node of this code gets
        // this rule code (an empty one: it then takes everything; another
        // one: the level compares two attributes).
        std::vector<std::pair<const char*, const char*> > recode;
    };
    const Row rows[] = {
        {"<GroupTree><GroupRule Code='RA'><XNode Code='2'><GroupRule Code='RC'/>"
         "</XNode><GroupRule Code='RB'/></GroupRule></GroupTree>",
         {}},
        {"<GroupTree><GroupRule Code='RW'><XNode Code='b'><GroupRule Code='RC'/>"
         "</XNode><GroupRule Code='RW'/></GroupRule></GroupTree>",
         {}},
        {"<GroupTree><GroupRule Code='RL'><GroupRule Code='RN'/></GroupRule></GroupTree>", {}},
        {"<GroupTree><GroupRule Code='RW'><GroupRule Code='RB'/></GroupRule></GroupTree>",
         {{"d", ""}}},
        {"<GroupTree><GroupRule Code='RW'><GroupRule Code='RB'/></GroupRule></GroupTree>",
         {{"c", "RB"}, {"f", ""}}},
    };
    const std::vector<boost::any> ra = {
        std::string("1"), std::string("2"), std::string("3"), std::string("4"), 1.0, 2.0, 7.0, 1,
        boost::any()};
    const std::vector<boost::any> rb = {std::string("x"), std::string("y"), std::string("z"), {}};
    const std::vector<boost::any> rc = {std::string("p"), std::string("q"), std::string("r"), {}};
    std::vector<boost::any> rw;
    for (const char* s : {"", "01", "1", "1.0", "a", "b", "c", "d", "g", "h"}) {
        rw.push_back(std::string(s));
    }
    rw.insert(rw.end(), {1.0, 2.0, 0.0, 1, true, boost::any()});
    std::mt19937 rnd(20261206);
    for (const Row& row : rows) {
        vODodi::XML::CDomXMLCore doc;
        ASSERT_TRUE(doc.input(row.definition));
        CXDefTree def;
        ASSERT_TRUE(def.build(doc));
        for (int trial = 0; trial < 30; ++trial) {
            ModelTree tree(data);
            ModelTree model(data);
            ASSERT_TRUE(tree.buildByRuleDefs(def.getRoot()));
            ASSERT_TRUE(model.buildByRuleDefs(def.getRoot()));
            for (const auto& r : row.recode) {
                tree.getRoot()->findChildByNodeCode(r.first)->setRuleCode(r.second);
                model.getRoot()->findChildByNodeCode(r.first)->setRuleCode(r.second);
            }
            tree.createRuleExprs();
            model.createRuleExprs();
            // Several rounds on the same trees: later rounds meet catch-all nodes.
            for (int round = 0; round < 3; ++round) {
                std::map<std::string, CGroupInstrument> holds;
                const int n = static_cast<int>(rnd() % 40);
                for (int i = 0; i < n; ++i) {
                    const std::string key = "k" + std::to_string(rnd() % 100);
                    CGroupInstrument& inst = holds[key];
                    inst.addAttr("K", key);
                    inst.addAttr("V2", std::string("ab"));
                    for (const char* rule : {"RA", "RW", "RN", "RL"}) {
                        const std::vector<boost::any>& values = rule[1] == 'A' ? ra : rw;
                        const boost::any& v = values[rnd() % values.size()];
                        if (!v.empty()) inst.addAttr(rule, v);
                    }
                    const boost::any& b = rb[rnd() % rb.size()];
                    if (!b.empty()) inst.addAttr("RB", b);
                    const boost::any& c = rc[rnd() % rc.size()];
                    if (!c.empty()) inst.addAttr("RC", c);
                    inst.addAttr("W", rnd() % 2 == 0 ? 1.0 : -1.0);
                    if (rnd() % 2 == 0)
                        inst.addAttr("V", std::string("1"));
                    else
                        inst.addAttr("V", 1);
                }
                const bool keepInner = rnd() % 2 == 0;
                auto checkPaths = [&](const std::map<std::string, CGroupInstrument>& book,
                                      const std::string& where) {
                    for (const auto& h : book) {
                        ASSERT_EQ(modelPath(model.getRoot(), h.second), tree.grpPath(h.second))
                            << where;
                        ASSERT_EQ(modelCode(model.getRoot(), h.second), tree.grpCode(h.second))
                            << where;
                    }
                };
                const std::string where = std::string(row.definition) + " trial " +
                                          std::to_string(trial) + " round " + std::to_string(round);
                checkPaths(holds, where);
                testsupport::LogCapture log;
                const bool expected = model.modelAppendHolds(holds, keepInner);
                const std::vector<testsupport::LogRecord> modelLog = log.records();
                log.clear();
                bool got;
                if (round == 1) {
                    // The protected form on a work map marks what the tree took.
                    CXTreeNode::HoldMap work;
                    for (const auto& h : holds) work[h.first] = &h.second;
                    got = tree.appendHolds(tree.getRoot(), work, keepInner);
                    for (const auto& w : work) EXPECT_EQ(nullptr, w.second) << w.first;
                } else {
                    got = tree.appendHolds(holds, keepInner);
                }
                ASSERT_EQ(expected, got) << where;
                // The same evaluations by the expression objects: the same
                // records (the model's order differs: it lets a node's
                // children sort before its previous sibling takes its
                // share, where the tree decides a whole sibling chain
                // first, so no record of RL's level follows one of RN's).
                std::multiset<std::string> expectedLog;
                std::multiset<std::string> gotLog;
                for (const auto& r : modelLog) expectedLog.insert(r.logger + r.message);
                bool below = false;
                for (const auto& r : log.records()) {
                    gotLog.insert(r.logger + r.message);
                    below = below || r.logger == "CGrpFunc_inColl";
                    ASSERT_FALSE(below && r.logger == "CGrpFunc_substr") << where;
                }
                ASSERT_EQ(expectedLog, gotLog) << where;
                ASSERT_EQ(dumpHolds(model.getRoot()), dumpHolds(tree.getRoot())) << where;
                ASSERT_EQ(lastEvaluated(model.getRoot()), lastEvaluated(tree.getRoot())) << where;
                checkPaths(holds, where);
            }
        }
    }
}

// A level of 100,000 nodes: every walk along it runs in a loop.
TEST(XTreeWide, LongSiblingChainsDoNotUseTheStack) {
    boost::shared_ptr<FakeData> data(new FakeData());
    std::vector<xtreetest::GroupSpec> groups;
    const int n = 100000;
    for (int i = 0; i < n; ++i) {
        const std::string code = "g" + std::to_string(100000 + i);
        groups.push_back({code, code, i % 2 == 0 ? "" : "1"});
    }
    data->addListRule("WIDE", groups);
    vODodi::XML::CDomXMLCore defDoc;
    ASSERT_TRUE(defDoc.input("<GroupTree Name='wide'><GroupRule Code='WIDE'/></GroupTree>"));
    CXDefTree def;
    ASSERT_TRUE(def.build(defDoc));
    CXTree tree(data);
    ASSERT_TRUE(tree.buildByRuleDefs(def.getRoot()));
    ASSERT_EQ(static_cast<std::size_t>(n + 1), tree.size());
    EXPECT_TRUE(tree.createRuleExprs());
    std::map<std::string, CGroupInstrument> holds;
    holds["first"] = instrument("first", {{"WIDE", std::string("g100000")}});
    holds["last"] = instrument("last", {{"WIDE", std::string("g199999")}});
    holds["none"] = instrument("none", {{"WIDE", std::string("zzz")}});
    ASSERT_TRUE(tree.appendHolds(holds, false));
    EXPECT_EQ("last", holdKeys(tree.getRoot()->getLastChild()->getPreSibling()));
    EXPECT_EQ("WIDE.xother", tree.grpPath(holds["none"]));
    vODodi::XML::CDomXMLCore doc;
    ASSERT_TRUE(tree.toXML(doc, true));
    const xercesc::DOMElement* root =
        static_cast<xercesc::DOMElement*>(doc.root(0xFFFF, nullptr, false).getCur());
    EXPECT_EQ("none",
              xtreetest::attr(root->getLastElementChild()->getFirstElementChild(), "I_CODE"));
}

// A definition 100,000 levels deep, on a host thread's 1 MiB stack: every
// walk that follows the depth of the tree (building, sorting, codes, paths,
// the XML export, the tabular dump, freeing) runs in a loop; the one that
// cannot, Xerces' serialiser, is refused with a reason.
TEST(XTreeDeep, EveryWalkOfADeepTreeFitsASmallStack) {
    const int depth = 100000;
    boost::shared_ptr<FakeData> data(new FakeData());
    data->addListRule("D", {{"g", "g", ""}});
    std::string text = "<GroupTree Name='deep'>";
    for (int i = 0; i < depth; ++i) text += "<GroupRule Code='D'>";
    for (int i = 0; i < depth; ++i) text += "</GroupRule>";
    text += "</GroupTree>";
    testsupport::onSmallStack([&] {
        vODodi::XML::CDomXMLCore defDoc;
        ASSERT_TRUE(defDoc.input(text));
        CXDefTree def;
        ASSERT_TRUE(def.build(defDoc));
        CXTree tree(data);
        ASSERT_TRUE(tree.buildByRuleDefs(def.getRoot()));
        ASSERT_EQ(static_cast<std::size_t>(depth + 1), tree.size());
        EXPECT_TRUE(tree.createRuleExprs());
        std::map<std::string, CGroupInstrument> holds;
        holds["in"] = instrument("in", {{"D", std::string("g")}});
        holds["out"] = instrument("out", {{"D", std::string("h")}});
        ASSERT_TRUE(tree.appendHolds(holds, false));
        const CXTreeNode* leaf = tree.getRoot();
        while (leaf->getChild() != nullptr && leaf->getChild()->getNodeCode() == "g") {
            leaf = leaf->getChild();
        }
        EXPECT_EQ("in", holdKeys(leaf));
        EXPECT_EQ("out", holdKeys(tree.getRoot()->getLastChild()));
        EXPECT_EQ("g", tree.grpCode(holds["in"]));
        const std::string path = tree.grpPath(holds["in"]);
        std::string expected = "D.g";
        for (int level = 1; level < depth; ++level) expected += "/D.g";
        EXPECT_EQ(expected, path);
        EXPECT_EQ("D.xother", tree.grpPath(holds["out"]));
        vODodi::XML::CDomXMLCore doc;
        ASSERT_TRUE(tree.toXML(doc, true));
        const xercesc::DOMNode* deepest = doc.getDocument()->getDocumentElement();
        int levels = 0;
        while (deepest->getFirstChild() != nullptr) {
            deepest = deepest->getFirstChild();
            ++levels;
        }
        EXPECT_EQ(depth + 1, levels);  // the deepest node holds the instrument
        std::string xml = "keep";
        EXPECT_FALSE(doc.output(xml));
        EXPECT_FALSE(doc.getError().empty());
        // The tabular dump nests one table per level: written once, and
        // freed once without being written.
        for (int written = 1; written >= 0; --written) {
            qvtlib::common::table<qvtlib::common::tuple> dump(true);
            tree.dump(dump.row(""));
            if (written) {
                std::ostringstream out;
                dump.write(out);
                EXPECT_EQ(5 + 10 * static_cast<std::size_t>(depth + 1), out.str().size());
            }
        }
    });
}

}  // namespace
