#include "common/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qvtlib::common::CNode;
using qvtlib::common::CTree;
using qvtlib::common::CTreeException;

int g_live = 0;  // TNode objects alive (pool blocks included)

struct TNode : CNode<TNode> {
  TNode() { ++g_live; }
  explicit TNode(int i) : id(i) { ++g_live; }
  TNode(const TNode& o) : CNode<TNode>(o), id(o.id) { ++g_live; }
  ~TNode() override { --g_live; }
  TNode* clone() const override { return new TNode(*this); }
  // Links set past the checks, to build broken structures.
  void forceChild(TNode* c) { m_child = c; }
  void forceNext(TNode* c) { m_nextSibling = c; }
  int id = -1;
};

typedef CTree<TNode> Tree;

// The links of a node as a compact string, for snapshots.
std::string links(const TNode* n) {
  std::ostringstream os;
  auto id = [](const TNode* p) { return p ? std::to_string(p->id) : std::string("-"); };
  os << n->id << "(p" << id(n->getParent()) << " c" << id(n->getChild()) << " <" << id(n->getPreSibling()) << " >"
     << id(n->getNextSibling()) << ")";
  return os.str();
}

std::string snapshot(const std::vector<TNode*>& nodes) {
  std::string s;
  for (const TNode* n : nodes) s += links(n) + " ";
  return s;
}

// The subtree of n (n's following siblings not included) in a bracket form:
// 1(2 3(4)).
std::string shape(const TNode* n) {
  std::string s = std::to_string(n->id);
  if (n->getChild()) {
    s += "(";
    for (const TNode* c = n->getChild(); c; c = c->getNextSibling()) {
      if (c != n->getChild()) s += " ";
      s += shape(c);
    }
    s += ")";
  }
  return s;
}

// Checks the invariants of the linking operations for every node given.
::testing::AssertionResult wellLinked(const std::vector<TNode*>& nodes) {
  for (const TNode* n : nodes) {
    if (n->getChild() && (n->getChild()->getParent() != n || n->getChild()->getPreSibling()))
      return ::testing::AssertionFailure() << "bad first child of " << links(n);
    if (n->getNextSibling() &&
        (n->getNextSibling()->getPreSibling() != n || n->getNextSibling()->getParent() != n->getParent()))
      return ::testing::AssertionFailure() << "bad next sibling of " << links(n);
    if (n->getPreSibling() && n->getPreSibling()->getNextSibling() != n)
      return ::testing::AssertionFailure() << "bad previous sibling of " << links(n);
    if (n->getParent() && n->getParent()->getChild() != const_cast<TNode*>(n)->getFirstSibling())
      return ::testing::AssertionFailure() << "parent does not lead to the chain of " << links(n);
  }
  return ::testing::AssertionSuccess();
}

class TreeTest : public ::testing::Test {
 protected:
  // Nodes 0..count-1 from the tree's pool.
  void make(int count) {
    for (int i = 0; i < count; ++i) {
      nodes.push_back(tree.createNode());
      nodes.back()->id = i;
    }
  }
  TNode* n(int i) { return nodes[i]; }

  Tree tree;
  std::vector<TNode*> nodes;
};

TEST_F(TreeTest, AppendChildAndSiblingKeepChainsDoublyLinked) {
  make(6);
  EXPECT_EQ(n(1), n(0)->appendChild(n(1)));
  EXPECT_EQ(n(2), n(0)->appendChild(n(2)));
  EXPECT_EQ(n(3), n(1)->appendSibling(n(3)));
  EXPECT_EQ("0(1 2 3)", shape(n(0)));
  EXPECT_EQ(n(3), n(0)->getLastChild());
  EXPECT_EQ(n(1), n(3)->getFirstSibling());
  EXPECT_EQ(nullptr, n(1)->getLastChild());
  // A chain 4 -> 5 (parentless) moves as a whole and every member gets the
  // parent.
  n(4)->appendSibling(n(5));
  EXPECT_EQ(n(4), n(2)->appendChild(n(4)));
  EXPECT_EQ("0(1 2(4 5) 3)", shape(n(0)));
  EXPECT_EQ(n(2), n(5)->getParent());
  EXPECT_TRUE(wellLinked(nodes));
  tree.setRoot(n(0));
  EXPECT_EQ(6u, tree.size());
  EXPECT_TRUE(tree.checkCircle());
}

TEST_F(TreeTest, LinkingRefusesLinkedNodesAndChangesNothing) {
  make(5);
  n(0)->appendChild(n(1));
  n(0)->appendChild(n(2));
  n(3)->appendSibling(n(4));  // 4 has a previous sibling
  const std::string before = snapshot(nodes);
  typedef TNode* (TNode::*Op)(TNode*);
  const std::vector<std::pair<const char*, Op> > ops = {
      {"appendChild", &TNode::appendChild},           {"appendSibling", &TNode::appendSibling},
      {"insertPreSibling", &TNode::insertPreSibling}, {"insertNextSibling", &TNode::insertNextSibling},
      {"insert", &TNode::insert},                     {"replace", &TNode::replace},
      {"replaceNode", &TNode::replaceNode}};
  for (const auto& op : ops) {
    for (TNode* linked : {n(2), n(4)}) {
      SCOPED_TRACE(op.first + std::string(" with ") + links(linked));
      try {
        (n(1)->*op.second)(linked);
        ADD_FAILURE() << "no exception";
      } catch (const CTreeException& e) {
        EXPECT_STREQ("The node might be in more than one tree.", e.what());
      }
      EXPECT_EQ(before, snapshot(nodes));
    }
    // A null node is no error: null result, nothing changes.
    EXPECT_EQ(nullptr, (n(1)->*op.second)(nullptr)) << op.first;
    EXPECT_EQ(before, snapshot(nodes));
  }
}

TEST_F(TreeTest, InsertSiblingsPlaceTheChainRightThere) {
  make(8);
  for (int i = 1; i <= 3; ++i) n(0)->appendChild(n(i));
  n(1)->insertNextSibling(n(4));  // after the first child
  n(4)->insertNextSibling(n(5));  // after a middle child
  n(3)->insertNextSibling(n(6));  // after the last child
  EXPECT_EQ("0(1 4 5 2 3 6)", shape(n(0)));
  n(1)->insertPreSibling(n(7));  // before the first child: new first child
  EXPECT_EQ(n(7), n(0)->getChild());
  EXPECT_EQ("0(7 1 4 5 2 3 6)", shape(n(0)));
  EXPECT_TRUE(wellLinked(nodes));

  // A parentless node without next sibling: like appendSibling.
  Tree other;
  TNode* a = other.createNode();
  TNode* b = other.createNode();
  a->id = 100;
  b->id = 101;
  EXPECT_EQ(b, a->insertNextSibling(b));
  EXPECT_EQ(b, a->getNextSibling());
  EXPECT_EQ(a, b->getPreSibling());
  EXPECT_EQ(nullptr, b->getParent());
}

TEST_F(TreeTest, InsertReplaceReplaceNodeAndRemove) {
  make(10);
  n(0)->appendChild(n(1));
  n(0)->appendChild(n(2));
  n(1)->appendChild(n(3));
  // insert on a first child: the new node takes its place, the old one
  // becomes its last child (with its own children).
  n(4)->appendChild(n(5));
  EXPECT_EQ(n(4), n(1)->insert(n(4)));
  EXPECT_EQ(n(4), n(0)->getChild());
  EXPECT_EQ("0(4(5 1(3)) 2)", shape(n(0)));

  // replace: the old node leaves with its children.
  EXPECT_EQ(n(2), n(2)->replace(n(6)));
  EXPECT_EQ("0(4(5 1(3)) 6)", shape(n(0)));
  EXPECT_EQ(nullptr, n(2)->getParent());
  EXPECT_EQ(nullptr, n(2)->getPreSibling());

  // replaceNode without children moves nothing.
  EXPECT_EQ(n(6), n(6)->replaceNode(n(7)));
  EXPECT_EQ("0(4(5 1(3)) 7)", shape(n(0)));
  EXPECT_EQ("6", shape(n(6)));
  // replaceNode with children: they follow the new node's own children.
  n(8)->appendChild(n(9));
  EXPECT_EQ(n(4), n(4)->replaceNode(n(8)));
  EXPECT_EQ("0(8(9 5 1(3)) 7)", shape(n(0)));
  EXPECT_EQ("4", shape(n(4)));
  EXPECT_EQ(nullptr, n(4)->getParent());

  // remove a first child: the next one becomes first; its children stay.
  EXPECT_EQ(n(8), n(8)->remove());
  EXPECT_EQ("0(7)", shape(n(0)));
  EXPECT_EQ("8(9 5 1(3))", shape(n(8)));
  EXPECT_EQ(nullptr, n(7)->getPreSibling());
  EXPECT_TRUE(wellLinked(nodes));
}

TEST_F(TreeTest, SizeAndCheckCircle) {
  EXPECT_EQ(0u, tree.size());
  EXPECT_TRUE(tree.checkCircle());
  make(5);
  tree.setRoot(n(0));
  EXPECT_EQ(1u, tree.size());
  for (int i = 1; i <= 3; ++i) n(0)->appendChild(n(i));
  EXPECT_EQ(4u, tree.size());
  EXPECT_TRUE(tree.checkCircle());

  // Node 4 reachable through two parents (links forced past the checks).
  n(1)->appendChild(n(4));
  n(2)->forceChild(n(4));
  EXPECT_FALSE(tree.checkCircle());
  n(2)->forceChild(nullptr);
  EXPECT_TRUE(tree.checkCircle());
  // A sibling chain that loops back: the walk ends (false) instead of
  // running forever.
  n(3)->forceNext(n(1));
  EXPECT_FALSE(tree.checkCircle());
  n(3)->forceNext(nullptr);
  // A root linked below its own descendant.
  n(4)->appendChild(n(0));
  EXPECT_FALSE(tree.checkCircle());
  n(0)->remove();
  EXPECT_TRUE(tree.checkCircle());
}

}  // namespace
