#include "common/tree.h"

#include <gtest/gtest.h>

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

// The subtree of n (n's following siblings not included) in a bracket form:
// 1(2 3(4)).
std::string shape(const TNode* n) {
    std::string s = std::to_string(n->id);
    for (const TNode* c = n->getChild(); c; c = c->getNextSibling())
        s += (c == n->getChild() ? "(" : " ") + shape(c);
    return n->getChild() ? s + ")" : s;
}

// Every parentless chain of the nodes, in the order of their heads' ids,
// separated by " | ": "0(1(2 3) 4) | 6 7".
std::string forest(const std::vector<TNode*>& nodes) {
    std::string s;
    for (const TNode* head : nodes) {
        if (head->getParent() || head->getPreSibling()) continue;
        for (const TNode* c = head; c; c = c->getNextSibling())
            s += (c != head ? " " : s.empty() ? "" : " | ") + shape(c);
    }
    return s;
}

// Nodes 0..count-1 from the tree's pool.
std::vector<TNode*> make(Tree& tree, int count) {
    std::vector<TNode*> v;
    for (int i = 0; i < count; ++i) {
        v.push_back(tree.createNode());
        v.back()->id = i;
    }
    return v;
}

// Nodes 0..9 of tree linked as "0(1(2 3) 4 5) | 6 7 | 8(9)".
std::vector<TNode*> startForest(Tree& tree) {
    std::vector<TNode*> v = make(tree, 10);
    v[0]->appendChild(v[1])->appendChild(v[2])->appendSibling(v[3]);
    v[0]->appendChild(v[4])->appendSibling(v[5]);
    v[6]->appendSibling(v[7]);
    v[8]->appendChild(v[9]);
    EXPECT_EQ("0(1(2 3) 4 5) | 6 7 | 8(9)", forest(v));
    return v;
}

// Checks the invariants of the linking operations for every node given.
::testing::AssertionResult wellLinked(const std::vector<TNode*>& nodes) {
    for (TNode* n : nodes) {
        const TNode *c = n->getChild(), *next = n->getNextSibling(), *pre = n->getPreSibling();
        if ((c && (c->getParent() != n || c->getPreSibling())) ||
            (next && (next->getPreSibling() != n || next->getParent() != n->getParent())) ||
            (pre && pre->getNextSibling() != n) ||
            (n->getParent() && n->getParent()->getChild() != n->getFirstSibling()))
            return ::testing::AssertionFailure() << "bad links at " << n->id;
    }
    return ::testing::AssertionSuccess();
}

// One table per linking operation.  Every row starts from the forest
// "0(1(2 3) 4 5) | 6 7 | 8(9)" (a tree, a parentless chain 6-7, a node 8 with
// a child) and applies t->op(n); the result is the id returned and the whole
// forest after, each parentless chain in the bracket form.
TEST(TreeLinking, OperationsPlaceTheChainAndKeepEveryLink) {
    typedef TNode* (TNode::*Op)(TNode*);
    const struct {
        const char* name;
        Op op;
        int t, n;           // -1: a null node
        const char* after;  // "throws" when the operation must refuse
        int result;
    } cases[] = {
        {"appendChild", &TNode::appendChild, 0, 6, "0(1(2 3) 4 5 6 7) | 8(9)", 6},
        {"appendChild", &TNode::appendChild, 0, 2, "throws", 0},  // n has a parent
        {"appendSibling", &TNode::appendSibling, 2, 6, "0(1(2 3 6 7) 4 5) | 8(9)", 6},
        {"appendSibling", &TNode::appendSibling, 6, 3, "throws", 0},
        {"insertPreSibling", &TNode::insertPreSibling, 1, 8, "0(8(9) 1(2 3) 4 5) | 6 7", 8},
        {"insertNextSibling", &TNode::insertNextSibling, 5, 8, "0(1(2 3) 4 5 8(9)) | 6 7", 8},
        {"insertNextSibling", &TNode::insertNextSibling, 6, 8, "0(1(2 3) 4 5) | 6 8(9) 7", 8},
        // insert: n takes t's place and t becomes n's last child.
        {"insert", &TNode::insert, 1, 8, "0(8(9 1(2 3)) 4 5) | 6 7", 8},
        {"insert", &TNode::insert, 1, 2, "throws", 0},
        // replace: n takes t's place, t leaves with its children.
        {"replace", &TNode::replace, 1, 8, "0(8(9) 4 5) | 1(2 3) | 6 7", 1},
        // replaceNode: like replace, but t's children follow n's own.
        {"replaceNode", &TNode::replaceNode, 1, 8, "0(8(9 2 3) 4 5) | 1 | 6 7", 1},
        {"replaceNode", &TNode::replaceNode, 4, 8, "0(1(2 3) 8(9) 5) | 4 | 6 7", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "(" + std::to_string(c.t) + ", " + std::to_string(c.n) +
                     ")");
        Tree tree;
        std::vector<TNode*> v = startForest(tree);
        TNode* n = c.n < 0 ? nullptr : v[c.n];
        if (std::string(c.after) == "throws") {
            const std::string before = forest(v);
            try {
                (v[c.t]->*c.op)(n);
                ADD_FAILURE() << "no exception";
            } catch (const CTreeException& e) {
                EXPECT_STREQ("The node might be in more than one tree.", e.what());
            }
            EXPECT_EQ(before, forest(v));
        } else {
            TNode* result = (v[c.t]->*c.op)(n);
            EXPECT_EQ(c.result, result ? result->id : -1);
            EXPECT_EQ(c.after, forest(v));
        }
        EXPECT_TRUE(wellLinked(v));
        // A null node is no error: null result, nothing changes.
        EXPECT_EQ(nullptr, (v[c.t]->*c.op)(nullptr));
        EXPECT_TRUE(wellLinked(v));
    }
}

TEST(TreeLinking, RemoveLeavesWithTheChildren) {
    for (int t : {1, 4, 5, 7}) {
        Tree tree;
        std::vector<TNode*> v = startForest(tree);
        EXPECT_EQ(v[t], v[t]->remove());
        EXPECT_TRUE(wellLinked(v));
        const char* expected[] = {
            "", "0(4 5) | 1(2 3) | 6 7 | 8(9)", "",
            "", "0(1(2 3) 5) | 4 | 6 7 | 8(9)", "0(1(2 3) 4) | 5 | 6 7 | 8(9)",
            "", "0(1(2 3) 4 5) | 6 | 7 | 8(9)"};
        EXPECT_EQ(expected[t], forest(v)) << t;
    }
}

TEST(Tree, SizeAndCheckCircle) {
    Tree tree;
    EXPECT_TRUE(tree.checkCircle());
    std::vector<TNode*> v = make(tree, 5);
    auto n = [&v](int i) { return v[i]; };
    tree.setRoot(n(0));
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

TEST(TreePool, RefusesForeignAndTwiceGivenNodesAndReleasesEverything) {
    Tree tree;
    const Tree::pool_type& pool = tree.getPool();
    std::vector<TNode*> out;
    for (int i = 0; i < 129; ++i) out.push_back(tree.createNode());
    TNode* back = out[40];
    TNode* p = back;
    EXPECT_TRUE(tree.destroyNode(p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(nullptr, back->getTree());   // cleared
    EXPECT_FALSE(tree.destroyNode(back));  // given back twice: refused
    EXPECT_EQ(back, tree.createNode());
    // Foreign nodes are refused: cleared, caller's pointer kept, not freed.
    Tree other;
    TNode* foreign = other.createNode();
    EXPECT_FALSE(tree.destroyNode(foreign));
    EXPECT_EQ(nullptr, foreign->getTree());
    TNode* none = nullptr;
    EXPECT_FALSE(tree.destroyNode(none));
    // release frees every block, linked or not, and nulls the root.
    const int liveBefore = g_live;
    out[0]->appendChild(out[1]);
    tree.setRoot(out[0]);
    EXPECT_TRUE(tree.release());
    EXPECT_EQ(liveBefore - 256, g_live);
    EXPECT_EQ(0u, pool.getBlockCount());
    EXPECT_EQ(0u, pool.getUsedCount());
    EXPECT_TRUE(tree.empty());
}

TEST(TreeDestroy, GivesSubtreesBackAndKeepsTheRestLinked) {
    Tree tree;
    std::vector<TNode*> v = make(tree, 7);
    for (auto link : {std::make_pair(0, 1), {0, 2}, {0, 6}, {1, 3}, {1, 4}, {2, 5}})
        v[link.first]->appendChild(v[link.second]);
    tree.setRoot(v[0]);  // 0(1(3 4) 2(5) 6)
    // A middle child is cut off with its following siblings, the rest stays
    // well linked.
    TNode* two = v[2];
    EXPECT_TRUE(tree.destroy(two));
    EXPECT_EQ(nullptr, two);
    EXPECT_EQ("0(1(3 4))", shape(v[0]));
    EXPECT_TRUE(wellLinked({v[0], v[1], v[3], v[4]}));
    EXPECT_EQ(4u, tree.getPool().getUsedCount());
    // A single linked node: its neighbours close ranks, its children are left
    // as a parentless chain, nothing points at the node given back.
    TNode* one = v[1];
    TNode* kids = v[3];
    EXPECT_TRUE(tree.destroyNode(one));
    EXPECT_EQ(nullptr, v[0]->getChild());
    EXPECT_EQ("3 4", forest({kids, v[4]}));
    EXPECT_EQ(v[1], tree.createNode());
    v[0]->appendChild(v[1]);
    v[1]->appendChild(kids);
    TNode* first = v[3];  // a first child: the parent no longer leads to it
    EXPECT_TRUE(tree.destroy(first));
    EXPECT_EQ(nullptr, v[1]->getChild());
    // A foreign node in the subtree stops the walk with false; the link that
    // leads to it is kept, the nodes before it are back in the pool.
    TNode* plain = new TNode(99);
    v[1]->appendChild(plain);
    const std::size_t used = tree.getPool().getUsedCount();
    EXPECT_FALSE(tree.reset());
    EXPECT_EQ(plain, v[1]->getChild());
    EXPECT_EQ(nullptr, plain->getParent());  // cleared
    EXPECT_EQ(used, tree.getPool().getUsedCount());
    EXPECT_TRUE(TNode::destroyNode(plain));
}

TEST(TreeDestroy, StaticDestroyDeletesPlainNodesAndRefusesLinkedOnes) {
    const int live = g_live;
    TNode* a = new TNode(1);
    a->appendChild(new TNode(2));
    a->getChild()->appendChild(new TNode(3));
    a->appendSibling(new TNode(4));
    TNode* b = a->getChild();
    TNode* sib = a->getNextSibling();
    EXPECT_FALSE(TNode::destroyNode(a));  // linked
    EXPECT_FALSE(TNode::destroy(b));      // hangs below a parent: nothing deleted
    EXPECT_FALSE(TNode::destroy(sib));    // after a sibling
    EXPECT_EQ(live + 4, g_live);
    EXPECT_TRUE(TNode::destroy(a));
    EXPECT_EQ(nullptr, a);
    EXPECT_EQ(live, g_live);
}

// 100,000 siblings on one level and 10,000 levels of nesting: every walk is
// a loop, so none of them may overflow the stack.
TEST(TreeDeep, WideAndDeepTreesAreWalkedWithoutRecursion) {
    const int kWide = 100000;
    const int kDeep = 10000;
    {
        Tree tree;
        TNode* root = tree.createNode();
        tree.setRoot(root);
        TNode* last = root->appendChild(tree.createNode());
        for (int i = 1; i < kWide; ++i) last = last->insertNextSibling(tree.createNode());
        TNode* deep = root->getChild();
        for (int i = 0; i < kDeep; ++i) deep = deep->appendChild(tree.createNode());
        EXPECT_EQ(static_cast<std::size_t>(1 + kWide + kDeep), tree.size());
        EXPECT_TRUE(tree.checkCircle());
        EXPECT_TRUE(tree.reset());
        EXPECT_TRUE(tree.empty());
        EXPECT_EQ(0u, tree.getPool().getUsedCount());
    }
    // Plain nodes: static destroy of a wide chain.
    const int live = g_live;
    TNode* wide = new TNode(0);
    TNode* w = wide->appendChild(new TNode(0));
    for (int i = 1; i < kWide; ++i) w = w->insertNextSibling(new TNode(i));
    EXPECT_TRUE(TNode::destroy(wide));
    EXPECT_EQ(live, g_live);
}

}  // namespace
