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
    os << n->id << "(p" << id(n->getParent()) << " c" << id(n->getChild()) << " <"
       << id(n->getPreSibling()) << " >" << id(n->getNextSibling()) << ")";
    return os.str();
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
        if (n->getNextSibling() && (n->getNextSibling()->getPreSibling() != n ||
                                    n->getNextSibling()->getParent() != n->getParent()))
            return ::testing::AssertionFailure() << "bad next sibling of " << links(n);
        if (n->getPreSibling() && n->getPreSibling()->getNextSibling() != n)
            return ::testing::AssertionFailure() << "bad previous sibling of " << links(n);
        if (n->getParent() &&
            n->getParent()->getChild() != const_cast<TNode*>(n)->getFirstSibling())
            return ::testing::AssertionFailure()
                   << "parent does not lead to the chain of " << links(n);
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

// The pool's reuse order is checked by the model test below.
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
    TNode* keep = foreign;
    EXPECT_FALSE(tree.destroyNode(foreign));
    EXPECT_EQ(keep, foreign);
    EXPECT_EQ(nullptr, foreign->getTree());
    TNode* plain = new TNode(7);
    TNode* plainKeep = plain;
    EXPECT_FALSE(tree.destroyNode(plain));
    EXPECT_EQ(plainKeep, plain);
    EXPECT_TRUE(TNode::destroyNode(plain));
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
    std::vector<TNode*> v;
    for (int i = 0; i < 7; ++i) {
        v.push_back(tree.createNode());
        v.back()->id = i;
    }
    // 0(1(3 4) 2(5) 6)
    v[0]->appendChild(v[1]);
    v[0]->appendChild(v[2]);
    v[0]->appendChild(v[6]);
    v[1]->appendChild(v[3]);
    v[1]->appendChild(v[4]);
    v[2]->appendChild(v[5]);
    tree.setRoot(v[0]);
    EXPECT_EQ(7u, tree.size());

    // A middle child is cut off with its following siblings, the rest stays
    // well linked.
    TNode* two = v[2];
    EXPECT_TRUE(tree.destroy(two));
    EXPECT_EQ(nullptr, two);
    EXPECT_EQ("0(1(3 4))", shape(v[0]));
    EXPECT_EQ(nullptr, v[1]->getNextSibling());
    EXPECT_TRUE(wellLinked({v[0], v[1], v[3], v[4]}));
    EXPECT_EQ(4u, tree.getPool().getUsedCount());
    tree.createNode();
    tree.createNode();
    tree.createNode();

    // A single linked node: its neighbours close ranks, its children are left
    // as a parentless chain, nothing points at the node given back.
    TNode* one = v[1];
    TNode* kids = v[3];
    EXPECT_TRUE(tree.destroyNode(one));
    EXPECT_EQ(nullptr, v[0]->getChild());
    EXPECT_EQ(nullptr, kids->getParent());
    EXPECT_EQ(v[4], kids->getNextSibling());
    EXPECT_EQ(nullptr, v[4]->getParent());
    EXPECT_EQ(v[1], tree.createNode());
    v[0]->appendChild(v[1]);
    v[1]->appendChild(kids);

    // A first child: the parent no longer leads to it.
    TNode* first = v[3];
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
    EXPECT_FALSE(TNode::destroyNode(a));  // linked
    EXPECT_FALSE(TNode::destroy(b));      // hangs below a parent: nothing deleted
    EXPECT_EQ(live + 4, g_live);
    TNode* sib = a->getNextSibling();
    EXPECT_FALSE(TNode::destroy(sib));  // after a sibling
    EXPECT_EQ(live + 4, g_live);
    TNode* copy = b->clone();
    EXPECT_EQ(2, copy->id);
    EXPECT_EQ(nullptr, copy->getParent());
    EXPECT_EQ(nullptr, copy->getChild());
    EXPECT_TRUE(TNode::destroyNode(copy));
    EXPECT_TRUE(TNode::destroy(a));
    EXPECT_EQ(nullptr, a);
    EXPECT_EQ(live, g_live);
    TNode* none = nullptr;
    EXPECT_TRUE(TNode::destroy(none));
    EXPECT_TRUE(TNode::destroyNode(none));
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
    // Plain nodes: static destroy of a wide chain and a deep path.
    const int live = g_live;
    TNode* wide = new TNode(0);
    TNode* w = wide->appendChild(new TNode(0));
    for (int i = 1; i < kWide; ++i) w = w->insertNextSibling(new TNode(i));
    TNode* deepRoot = new TNode(0);
    TNode* d = deepRoot;
    for (int i = 0; i < kDeep; ++i) d = d->appendChild(new TNode(i));
    EXPECT_TRUE(TNode::destroy(wide));
    EXPECT_TRUE(TNode::destroy(deepRoot));
    EXPECT_EQ(live, g_live);
}

// Model-based test: random linking operations on pool nodes, mirrored on a
// plain model (each node's holder list: its parent's children, or a
// parentless chain), with every link and invariant checked after each step.
class TreeModel {
  public:
    explicit TreeModel(Tree& tree) : m_tree(tree) {}

    int add() {
        TNode* p = m_tree.createNode();
        int id;
        if (!m_freeIds.empty()) {
            id = m_freeIds.back();
            m_freeIds.pop_back();
            EXPECT_EQ(m_ptr[id], p) << "pool does not reuse the last node given back";
        } else {
            id = static_cast<int>(m_ptr.size());
            m_ptr.push_back(p);
            m_alive.push_back(false);
        }
        p->id = id;
        m_alive[id] = true;
        newHolder({id});
        return id;
    }

    // Node ids that are alive.
    std::vector<int> alive() const {
        std::vector<int> out;
        for (std::size_t i = 0; i < m_alive.size(); ++i)
            if (m_alive[i]) out.push_back(static_cast<int>(i));
        return out;
    }
    bool linkable(int n) const { return isVirtual(m_holder.at(n)) && index(n) == 0; }
    TNode* ptr(int id) const { return m_ptr[id]; }

    // Nodes of n's chain (n and its following siblings) and all below them.
    std::vector<int> closure(int n) const {
        std::vector<int> out;
        const std::vector<int>& list = m_lists.at(m_holder.at(n));
        std::vector<int> pending(list.begin() + index(n), list.end());
        while (!pending.empty()) {
            int q = pending.back();
            pending.pop_back();
            out.push_back(q);
            auto it = m_lists.find(q);
            if (it != m_lists.end())
                pending.insert(pending.end(), it->second.begin(), it->second.end());
        }
        return out;
    }

    enum Op {
        APPEND_CHILD,
        APPEND_SIBLING,
        INSERT_PRE,
        INSERT_NEXT,
        INSERT,
        REPLACE,
        REPLACE_NODE,
        OP_COUNT
    };

    void apply(Op op, int t, int n) {
        std::vector<int> chain = detachChain(n);
        switch (op) {
            case APPEND_CHILD:
                append(t, chain);
                break;
            case APPEND_SIBLING:
                append(m_holder[t], chain);
                break;
            case INSERT_PRE:
                insertAt(m_holder[t], index(t), chain);
                break;
            case INSERT_NEXT:
                insertAt(m_holder[t], index(t) + 1, chain);
                break;
            case INSERT:
            case REPLACE:
            case REPLACE_NODE: {
                int h = m_holder[t];
                int at = index(t);
                eraseAt(h, at);
                insertAt(h, at, chain);
                if (op == INSERT) {
                    append(n, {t});
                } else {
                    newHolder({t});
                    if (op == REPLACE_NODE) {
                        std::vector<int> kids = m_lists[t];
                        m_lists.erase(t);
                        append(n, kids);
                    }
                }
                break;
            }
            default:
                break;
        }
    }

    void remove(int t) {
        eraseAt(m_holder[t], index(t));
        newHolder({t});
    }

    // Gives n's chain with its subtrees back to the pool; the expected order
    // is the reverse pre-order.
    void destroy(int n) {
        std::vector<int> order;
        std::vector<int> pending = {n};
        while (!pending.empty()) {
            int q = pending.back();
            pending.pop_back();
            order.push_back(q);
            int next = nextOf(q);
            if (next >= 0) pending.push_back(next);
            auto it = m_lists.find(q);
            if (it != m_lists.end() && !it->second.empty()) pending.push_back(it->second.front());
        }
        std::vector<int> chain = detachChain(n);
        (void)chain;
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            m_alive[*it] = false;
            m_lists.erase(*it);
            m_holder.erase(*it);
            m_freeIds.push_back(*it);
        }
    }

    // Compares every alive node's links with the model.
    ::testing::AssertionResult matches() const {
        std::vector<TNode*> live;
        for (int id : alive()) {
            live.push_back(m_ptr[id]);
            int h = m_holder.at(id);
            const std::vector<int>& list = m_lists.at(h);
            std::size_t i = index(id);
            TNode* expParent = isVirtual(h) ? nullptr : m_ptr[h];
            TNode* expPre = i > 0 ? m_ptr[list[i - 1]] : nullptr;
            TNode* expNext = i + 1 < list.size() ? m_ptr[list[i + 1]] : nullptr;
            auto kids = m_lists.find(id);
            TNode* expChild = (kids != m_lists.end() && !kids->second.empty())
                                  ? m_ptr[kids->second.front()]
                                  : nullptr;
            const TNode* p = m_ptr[id];
            if (p->getParent() != expParent || p->getPreSibling() != expPre ||
                p->getNextSibling() != expNext || p->getChild() != expChild)
                return ::testing::AssertionFailure()
                       << "node " << links(p) << " differs from the model";
        }
        for (std::size_t id = 0; id < m_alive.size(); ++id) {
            const TNode* p = m_ptr[id];
            if (!m_alive[id] &&
                (p->getParent() || p->getChild() || p->getPreSibling() || p->getNextSibling()))
                return ::testing::AssertionFailure()
                       << "node given back is not cleared: " << links(p);
        }
        if (m_tree.getPool().getUsedCount() != live.size())
            return ::testing::AssertionFailure()
                   << "pool hands out " << m_tree.getPool().getUsedCount() << " nodes, model "
                   << live.size();
        return wellLinked(live);
    }

  private:
    static bool isVirtual(int h) { return h >= kVirtual; }
    std::size_t index(int n) const {
        const std::vector<int>& list = m_lists.at(m_holder.at(n));
        return std::find(list.begin(), list.end(), n) - list.begin();
    }
    int nextOf(int n) const {
        const std::vector<int>& list = m_lists.at(m_holder.at(n));
        std::size_t i = index(n);
        return i + 1 < list.size() ? list[i + 1] : -1;
    }
    void newHolder(const std::vector<int>& chain) {
        int h = m_nextVirtual++;
        m_lists[h] = chain;
        for (int c : chain) m_holder[c] = h;
    }
    std::vector<int> detachChain(int n) {
        int h = m_holder[n];
        std::vector<int>& list = m_lists[h];
        std::size_t i = index(n);
        std::vector<int> chain(list.begin() + i, list.end());
        list.erase(list.begin() + i, list.end());
        if (isVirtual(h) && list.empty()) m_lists.erase(h);
        return chain;
    }
    void append(int h, const std::vector<int>& chain) { insertAt(h, m_lists[h].size(), chain); }
    void insertAt(int h, std::size_t at, const std::vector<int>& chain) {
        std::vector<int>& list = m_lists[h];
        list.insert(list.begin() + at, chain.begin(), chain.end());
        for (int c : chain) m_holder[c] = h;
    }
    void eraseAt(int h, std::size_t at) {
        std::vector<int>& list = m_lists[h];
        list.erase(list.begin() + at);
        if (isVirtual(h) && list.empty()) m_lists.erase(h);
    }

    static const int kVirtual = 1 << 20;
    Tree& m_tree;
    std::vector<TNode*> m_ptr;
    std::vector<bool> m_alive;
    std::vector<int> m_freeIds;
    std::map<int, int> m_holder;               // node -> holder (parent id or virtual)
    std::map<int, std::vector<int> > m_lists;  // holder -> ordered chain
    int m_nextVirtual = kVirtual;
};

TEST(TreeModelTest, RandomOperationsMatchTheModel) {
    Tree tree;
    TreeModel model(tree);
    std::mt19937 rnd(1000);
    for (int i = 0; i < 40; ++i) model.add();
    // A null node is no error: null result, nothing changes.
    for (auto fn :
         {&TNode::appendChild, &TNode::appendSibling, &TNode::insertPreSibling,
          &TNode::insertNextSibling, &TNode::insert, &TNode::replace, &TNode::replaceNode})
        EXPECT_EQ(nullptr, (model.ptr(0)->*fn)(nullptr));
    ASSERT_TRUE(model.matches());
    int throws = 0, linked = 0, destroyed = 0;
    for (int step = 0; step < 20000; ++step) {
        std::vector<int> ids = model.alive();
        const int kind = static_cast<int>(rnd() % 100);
        if (ids.empty() || (kind < 6 && ids.size() < 120)) {
            model.add();
        } else if (kind < 8 && ids.size() > 20) {
            // Give a parentless chain back to the pool.
            std::vector<int> heads;
            for (int id : ids)
                if (model.linkable(id)) heads.push_back(id);
            if (heads.empty()) continue;
            int h = heads[rnd() % heads.size()];
            TNode* p = model.ptr(h);
            ASSERT_TRUE(tree.destroy(p)) << step;
            ASSERT_EQ(nullptr, p);
            model.destroy(h);
            ++destroyed;
        } else if (kind < 14) {
            int t = ids[rnd() % ids.size()];
            ASSERT_EQ(model.ptr(t), model.ptr(t)->remove());
            model.remove(t);
        } else {
            int t = ids[rnd() % ids.size()];
            int n = ids[rnd() % ids.size()];
            auto op = static_cast<TreeModel::Op>(rnd() % TreeModel::OP_COUNT);
            TNode* (TNode::*fn)(TNode*) = nullptr;
            switch (op) {
                case TreeModel::APPEND_CHILD:
                    fn = &TNode::appendChild;
                    break;
                case TreeModel::APPEND_SIBLING:
                    fn = &TNode::appendSibling;
                    break;
                case TreeModel::INSERT_PRE:
                    fn = &TNode::insertPreSibling;
                    break;
                case TreeModel::INSERT_NEXT:
                    fn = &TNode::insertNextSibling;
                    break;
                case TreeModel::INSERT:
                    fn = &TNode::insert;
                    break;
                case TreeModel::REPLACE:
                    fn = &TNode::replace;
                    break;
                case TreeModel::REPLACE_NODE:
                    fn = &TNode::replaceNode;
                    break;
                default:
                    break;
            }
            if (!model.linkable(n)) {
                try {
                    (model.ptr(t)->*fn)(model.ptr(n));
                    FAIL() << "step " << step << ": no exception for " << links(model.ptr(n));
                } catch (const CTreeException& e) {
                    ASSERT_STREQ("The node might be in more than one tree.", e.what());
                }
                ++throws;
            } else {
                // Moves that would make a cycle are outside the contract.
                std::vector<int> moving = model.closure(n);
                if (std::find(moving.begin(), moving.end(), t) != moving.end()) continue;
                TNode* expected = (op == TreeModel::REPLACE || op == TreeModel::REPLACE_NODE)
                                      ? model.ptr(t)
                                      : model.ptr(n);
                ASSERT_EQ(expected, (model.ptr(t)->*fn)(model.ptr(n))) << "step " << step;
                model.apply(op, t, n);
                ++linked;
            }
        }
        ASSERT_TRUE(model.matches()) << "after step " << step;
    }
    // The seed must exercise every branch.
    EXPECT_GT(throws, 1000);
    EXPECT_GT(linked, 1000);
    EXPECT_GT(destroyed, 100);
}

}  // namespace
