// Generic intrusive node tree with a node pool.
//
// CNode<T> is the link part of a node: T, the concrete node class, derives
// from CNode<T> and adds its data.  A node links to its parent, its first
// child and its two siblings; the children of a node form a doubly linked
// chain that starts at the parent's child field, every node of that chain has
// the same parent, and the first child has no previous sibling.  The linking
// operations keep these invariants and refuse (CTreeException) a node that is
// already linked below a parent or after a sibling.
//
// CTree<T> owns a root pointer and a CSimplePool<T,128> that hands out nodes
// 128 to an allocation and takes them back for reuse.  Nodes handed out by the
// pool belong to the pool: they are freed when the pool is released (release()
// or the tree's destructor), never with delete.  Nodes made with plain new
// (clone()) are freed with the static CNode<T>::destroy.
//
// Every walk over a tree (size, destroy, checkCircle, dump) is iterative, so
// long sibling chains and deep nesting do not use the call stack.
//
// Thread-safety: none.  A tree, its pool and its nodes belong to one thread at
// a time.
#ifndef ZU_ZOZOV_COMMON_TREE_H
#define ZU_ZOZOV_COMMON_TREE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <typeinfo>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/export.h"
#include "common/grid.h"
#include "common/walker.h"

namespace qvtlib {
namespace common {

// Thrown by the linking operations; what() is the message given at the throw.
class ZU_ZOZOV_EXPORT CTreeException : public std::exception {
  public:
    explicit CTreeException(const std::string& message);
    ~CTreeException() noexcept override;
    const char* what() const noexcept override;

    // "The node might be in more than one tree.": the node to link already has
    // a parent or a previous sibling.
    static const char* const NODE_IN_OTHER_TREE;

  private:
    std::string m_message;
};

namespace detail {
// Throws CTreeException with CTreeException::NODE_IN_OTHER_TREE.
[[noreturn]] ZU_ZOZOV_EXPORT void throwNodeInOtherTree();
}  // namespace detail

template <class T>
class CTree;

// Link part of a tree node.  T derives from CNode<T>.
template <class T>
class CNode {
  public:
    CNode()
        : m_parent(nullptr),
          m_child(nullptr),
          m_preSibling(nullptr),
          m_nextSibling(nullptr),
          m_tree(nullptr),
          m_childStamp(0) {}
    explicit CNode(CTree<T>* tree)
        : m_parent(nullptr),
          m_child(nullptr),
          m_preSibling(nullptr),
          m_nextSibling(nullptr),
          m_tree(tree),
          m_childStamp(0) {}
    // Nulls the links; never touches the neighbours.
    virtual ~CNode() { nullLinks(); }

    // Nulls the five link fields (derived classes extend it with their data).
    virtual void clear() { nullLinks(); }
    // A new, unlinked copy of the node's own data made with plain new; the
    // caller owns it (free it with the static destroy/destroyNode).
    virtual T* clone() const = 0;
    // Tabular dump: when r's table is enabled, this node's key row in r's
    // nested table "node_attr", then every child into that row.
    virtual void dump(tuple& r) const;
    // The row of t that stands for this node: the row with the empty key.
    virtual tuple& dumpKey(table<tuple>& t) const { return t.row(std::string()); }

    T* getParent() const { return m_parent; }
    T* getChild() const { return m_child; }
    T* getPreSibling() const { return m_preSibling; }
    T* getNextSibling() const { return m_nextSibling; }
    CTree<T>* getTree() const { return m_tree; }
    // Changes whenever the chain of this node's children may have changed:
    // every linking operation that adds, removes or moves a child changes
    // it, and a derived class changes it (touchChildren on the parent) when
    // data of a child that it indexes changes.  What is kept about the
    // children, an index of them, is still good while it stays the same.
    std::uint64_t getChildStamp() const { return m_childStamp; }
    void setTree(CTree<T>* tree) { m_tree = tree; }

    // The last node of the child chain; null without children.
    T* getLastChild() const { return m_child ? m_child->getLastSibling() : nullptr; }
    // The first / last node of this node's sibling chain (this node itself when
    // it is first / last).
    T* getFirstSibling() {
        T* p = self();
        while (p->m_preSibling) p = p->m_preSibling;
        return p;
    }
    T* getLastSibling() {
        T* p = self();
        while (p->m_nextSibling) p = p->m_nextSibling;
        return p;
    }
    const T* getLastSibling() const { return const_cast<CNode*>(this)->getLastSibling(); }

    // Sets the parent of this node and of every node after it in its sibling
    // chain to p; when p has no child yet, this node becomes p's first child.
    void setSiblingParent(T* p) {
        for (T* c = self(); c; c = c->m_nextSibling) c->m_parent = p;
        if (p && !p->m_child) p->m_child = self();
        touchChildren(p);
    }

    // The linking operations below take a node n that may carry following
    // siblings and children: they move with it.  Null n: nothing happens and the
    // result is null.  n with a parent or a previous sibling: CTreeException
    // (NODE_IN_OTHER_TREE) and nothing changes.  n must not be this node nor an
    // ancestor of it (that would make a cycle; checkCircle() detects one).

    // n's chain becomes the last children of this node; returns n.
    T* appendChild(T* n) {
        if (!checkLinkable(n)) return nullptr;
        if (m_child) return getLastChild()->appendSibling(n);
        m_child = n;
        n->setSiblingParent(self());
        return n;
    }
    // n's chain is linked after the last node of this node's sibling chain.
    T* appendSibling(T* n) {
        if (!checkLinkable(n)) return nullptr;
        T* last = getLastSibling();
        n->setSiblingParent(last->m_parent);
        last->m_nextSibling = n;
        n->m_preSibling = last;
        return n;
    }
    // n's chain is linked directly before this node.
    T* insertPreSibling(T* n) {
        if (!checkLinkable(n)) return nullptr;
        if (m_parent && m_parent->m_child == self()) m_parent->m_child = n;
        n->setSiblingParent(m_parent);
        n->m_preSibling = m_preSibling;
        if (m_preSibling) m_preSibling->m_nextSibling = n;
        T* end = n->getLastSibling();
        end->m_nextSibling = self();
        m_preSibling = end;
        return n;
    }
    // n's chain is linked directly after this node.
    T* insertNextSibling(T* n) {
        if (!checkLinkable(n)) return nullptr;
        if (m_nextSibling) return m_nextSibling->insertPreSibling(n);
        return appendSibling(n);
    }
    // n's chain takes this node's place and this node (with its children)
    // becomes n's last child; returns n.
    T* insert(T* n) {
        if (!checkLinkable(n)) return nullptr;
        takePlace(n);
        return n->appendChild(self()) ? n : nullptr;
    }
    // n's chain takes this node's place; this node is detached with its
    // children and returned.
    T* replace(T* n) {
        if (!checkLinkable(n)) return nullptr;
        takePlace(n);
        return self();
    }
    // n's chain takes this node's place and n receives this node's children
    // after its own; this node is detached without children and returned.
    T* replaceNode(T* n) {
        if (!checkLinkable(n)) return nullptr;
        takePlace(n);
        T* kids = m_child;
        m_child = nullptr;
        touchChildren(self());
        for (T* c = kids; c; c = c->m_nextSibling) c->m_parent = nullptr;
        if (kids) n->appendChild(kids);
        return self();
    }
    // Detaches this node (with its children) from its parent and siblings;
    // returns this node.  Its children and tree field stay.
    T* remove() {
        touchChildren(m_parent);
        if (m_parent && m_parent->m_child == self()) m_parent->m_child = m_nextSibling;
        if (m_preSibling) m_preSibling->m_nextSibling = m_nextSibling;
        if (m_nextSibling) m_nextSibling->m_preSibling = m_preSibling;
        m_parent = m_preSibling = m_nextSibling = nullptr;
        return self();
    }

    // Deletes a single node made with plain new.  Null p: true.  A node with
    // any link (parent, child, siblings): false and nothing deleted.  Otherwise
    // the node is deleted, p nulled, true.
    static bool destroyNode(T*& p) {
        if (!p) return true;
        if (p->m_parent || p->m_child || p->m_preSibling || p->m_nextSibling) return false;
        delete p;
        p = nullptr;
        return true;
    }
    // Deletes p, its subtree and its following siblings, all made with plain
    // new (never pool nodes).  Null p: true.  A p that hangs below a parent or
    // after a sibling: false and nothing deleted (detach it with remove()
    // first).  Otherwise every node is deleted (following siblings before
    // children before the node itself), p nulled, true.
    static bool destroy(T*& p) {
        if (!p) return true;
        if (p->m_parent || p->m_preSibling) return false;
        std::vector<T*> order;
        preOrder(p, order);
        for (typename std::vector<T*>::reverse_iterator it = order.rbegin(); it != order.rend();
             ++it) {
            T* q = *it;
            q->nullLinks();
            delete q;
        }
        p = nullptr;
        return true;
    }

  protected:
    // Copying copies no links: the copy is unlinked, assignment keeps the
    // target's links.
    CNode(const CNode&)
        : m_parent(nullptr),
          m_child(nullptr),
          m_preSibling(nullptr),
          m_nextSibling(nullptr),
          m_tree(nullptr),
          m_childStamp(0) {}
    CNode& operator=(const CNode&) { return *this; }

    T* self() { return static_cast<T*>(this); }
    const T* self() const { return static_cast<const T*>(this); }

    void nullLinks() {
        m_parent = m_child = m_preSibling = m_nextSibling = nullptr;
        m_tree = nullptr;
        ++m_childStamp;
    }

    // Marks p's children as changed (see getChildStamp); null p: nothing.
    static void touchChildren(T* p) {
        if (p) ++p->m_childStamp;
    }

    // Appends p, its subtree and its following siblings in pre-order (a node,
    // then its children's subtrees, then its next sibling) to out.
    static void preOrder(T* p, std::vector<T*>& out) {
        walkPreOrder(p, [&out](T* q) { out.push_back(q); });
    }

  private:
    friend class CTree<T>;

    // False for null n; throws for a linked n.
    static bool checkLinkable(T* n) {
        if (!n) return false;
        if (n->m_parent || n->m_preSibling) detail::throwNodeInOtherTree();
        return true;
    }

    // Puts n's chain where this node is and detaches this node from parent and
    // siblings (its children stay).
    void takePlace(T* n) {
        if (m_parent && m_parent->m_child == self()) m_parent->m_child = n;
        n->setSiblingParent(m_parent);
        n->m_preSibling = m_preSibling;
        if (m_preSibling) m_preSibling->m_nextSibling = n;
        T* end = n->getLastSibling();
        end->m_nextSibling = m_nextSibling;
        if (m_nextSibling) m_nextSibling->m_preSibling = end;
        m_parent = m_preSibling = m_nextSibling = nullptr;
    }

  protected:
    // A derived class that sets these itself, rather than through the
    // operations above, must also call touchChildren for every parent whose
    // chain of children it changes.
    T* m_parent;
    T* m_child;
    T* m_preSibling;
    T* m_nextSibling;
    CTree<T>* m_tree;

  private:
    std::uint64_t m_childStamp;
};

// Pool of nodes of one tree.  Hands out default-constructed T, N to one array
// allocation, and takes them back for reuse (last given back, first handed
// out).  Blocks and free stacks are kept per node class name.  A node handed
// out stays owned by the pool: its memory is released only by release() or
// the destructor, which destroy every block whatever state its nodes are in.
template <class T, int N>
class CSimplePool {
  public:
    CSimplePool() : m_ownFree(nullptr) {}
    virtual ~CSimplePool() { release(); }
    // A pool owns raw blocks; copying it would free them twice.
    CSimplePool(const CSimplePool&) = delete;
    CSimplePool& operator=(const CSimplePool&) = delete;

    // A node ready for use: the last one given back, else the next of the free
    // stack, else one of a new block (handed out in descending array order).
    // Never null (allocation failure throws std::bad_alloc).
    T* create() {
        std::vector<T*>& freeNodes = ownFree();
        if (freeNodes.empty()) {
            T* block = new T[N];
            m_blocks[typeid(T).name()].push_back(block);
            freeNodes.reserve(freeNodes.size() + N);
            for (int i = 0; i < N; ++i) freeNodes.push_back(block + i);
        }
        T* p = freeNodes.back();
        m_used.insert(p);
        freeNodes.pop_back();
        return p;
    }

    // Takes back a node this pool handed out: p nulled, true.  A node this pool
    // did not hand out (or already took back): false, p unchanged.  The node's
    // destructor does not run; clear it before.
    bool destroy(T*& p) {
        typename std::unordered_set<T*>::iterator it = m_used.find(p);
        if (it == m_used.end()) return false;
        m_used.erase(it);
        if (typeid(*p) == typeid(T)) {
            ownFree().push_back(p);
        } else {
            m_free[typeid(*p).name()].push_back(p);
        }
        p = nullptr;
        return true;
    }

    // True when p is a node this pool handed out and has not taken back.
    bool isUsed(const T* p) const { return m_used.count(const_cast<T*>(p)) != 0; }

    // Destroys every block (every node's destructor runs) and forgets every
    // node.  Always true.
    bool release() {
        for (typename blocks_type::iterator it = m_blocks.begin(); it != m_blocks.end(); ++it) {
            for (typename std::vector<T*>::iterator b = it->second.begin(); b != it->second.end();
                 ++b)
                delete[] * b;
        }
        m_blocks.clear();
        m_free.clear();
        m_ownFree = nullptr;
        m_used.clear();
        return true;
    }

    // Counts, for tests and diagnostics.
    std::size_t getBlockCount() const {
        std::size_t n = 0;
        for (typename blocks_type::const_iterator it = m_blocks.begin(); it != m_blocks.end(); ++it)
            n += it->second.size();
        return n;
    }
    std::size_t getFreeCount() const {
        std::size_t n = 0;
        for (typename blocks_type::const_iterator it = m_free.begin(); it != m_free.end(); ++it)
            n += it->second.size();
        return n;
    }
    std::size_t getUsedCount() const { return m_used.size(); }

  private:
    typedef std::map<std::string, std::vector<T*> > blocks_type;

    // The free stack of T's own class name, looked up once.
    std::vector<T*>& ownFree() {
        if (!m_ownFree) m_ownFree = &m_free[typeid(T).name()];
        return *m_ownFree;
    }

    blocks_type m_blocks;
    blocks_type m_free;
    std::vector<T*>* m_ownFree;
    std::unordered_set<T*> m_used;
};

// A tree: a root pointer and the pool its nodes come from.  The tree does not
// own nodes set from outside with setRoot (only pool nodes are freed with it).
template <class T>
class CTree {
  public:
    typedef CSimplePool<T, 128> pool_type;

    CTree() : m_root(nullptr) {}
    explicit CTree(T* root) : m_root(root) {}
    // Releases the pool and with it every node it handed out.
    virtual ~CTree() { release(); }
    // The tree owns its pool's nodes; copying would share them.
    CTree(const CTree&) = delete;
    CTree& operator=(const CTree&) = delete;

    T* getRoot() const { return m_root; }
    T*& getRootRef() { return m_root; }
    // Only stores the pointer.
    void setRoot(T* root) { m_root = root; }
    bool empty() const { return m_root == nullptr; }

    // Number of nodes reachable from the root along child and next-sibling
    // links (the root's following siblings included); 0 for an empty tree.
    std::size_t size() const { return count(m_root); }

    // A node from the pool with its tree field set to this tree.
    T* createNode() {
        T* p = m_pool.create();
        p->setTree(this);
        return p;
    }
    // Clears p (virtual clear()) and gives it back to the pool: p nulled, true.
    // Null p, or a node the pool did not hand out: false (such a node is
    // cleared all the same, p unchanged).  A linked p is first taken out of its
    // place and its children are left as a parentless chain, so no node keeps
    // pointing at a node the pool may hand out again.
    bool destroyNode(T*& p) {
        if (p) {
            p->remove();
            for (T* c = p->m_child; c; c = c->m_nextSibling) c->m_parent = nullptr;
            p->m_child = nullptr;
            p->clear();
        }
        return m_pool.destroy(p);
    }
    // Gives p, its subtree and its following siblings back to the pool, each
    // node cleared first; order: following siblings before children before the
    // node.  When p hangs below a parent or after a sibling, it is first cut
    // off there (with its following siblings), so the rest stays well linked.
    // Null p: true.  Success: p nulled, true.  A node the pool did not hand out
    // stops the walk with false (that node cleared, the pointer that leads to it
    // unchanged; the nodes before it in the order are back in the pool).
    bool destroy(T*& p) {
        if (!p) return true;
        CNode<T>::touchChildren(p->m_parent);
        if (p->m_preSibling) {
            p->m_preSibling->m_nextSibling = nullptr;
            p->m_preSibling = nullptr;
        } else if (p->m_parent && p->m_parent->m_child == p) {
            p->m_parent->m_child = nullptr;
        }
        std::vector<T*> order;
        CNode<T>::preOrder(p, order);
        for (typename std::vector<T*>::reverse_iterator it = order.rbegin(); it != order.rend();
             ++it) {
            T* q = *it;
            if (q == p) break;
            // The link that leads to q: the previous sibling's next, or the
            // parent's first child.
            T** lead = q->m_preSibling ? &q->m_preSibling->m_nextSibling : &q->m_parent->m_child;
            q->clear();
            if (!m_pool.destroy(*lead)) return false;
        }
        p->clear();
        return m_pool.destroy(p);
    }
    // Gives the whole tree back to the pool: destroy(root).
    bool reset() { return destroy(m_root); }
    // Frees every node the pool ever allocated and nulls the root (which would
    // otherwise point into freed memory).  Always true.
    bool release() {
        m_root = nullptr;
        return m_pool.release();
    }

    // False when a node is reachable twice below the root (the root's own
    // following siblings are not walked); true for an empty tree.
    bool checkCircle() const {
        if (!m_root) return true;
        std::unordered_set<const T*> seen;
        seen.insert(m_root);
        return walkPreOrder(static_cast<const T*>(m_root->m_child), [&seen](const T* q) {
            return seen.insert(q).second ? WALK_ON : WALK_STOP;
        });
    }

    // Tabular dump: when r's table is enabled, the root into the empty-key row
    // of r's nested table "tree".
    void dump(tuple& r) const {
        if (!r.getOwner() || !r.getOwner()->isEnabled()) return;
        tuple& row = r.subTable("tree").row(std::string());
        if (m_root) m_root->dump(row);
    }

    const pool_type& getPool() const { return m_pool; }

  protected:
    // 0 for null, else 1 + the nodes below n + the nodes along n's following
    // siblings (and theirs).
    std::size_t count(const T* n) const {
        std::size_t total = 0;
        walkPreOrder(n, [&total](const T*) { ++total; });
        return total;
    }

    T* m_root;
    pool_type m_pool;
};

// Each node's key row in the "node_attr" table of the row its parent's key
// gave, the nodes in pre-order (a node, then its children's subtrees in child
// order): what a node-by-node recursion does, with a heap stack.
template <class T>
void CNode<T>::dump(tuple& r) const {
    if (!r.getOwner() || !r.getOwner()->isEnabled()) return;
    // The row each open node's key gave: its children's keys go there.
    std::vector<tuple*> rows(1, &r);
    walkSubtree(
        this,
        [&rows](const CNode* n) {
            rows.push_back(&n->dumpKey(rows.back()->subTable("node_attr")));
        },
        [&rows](const CNode*) { rows.pop_back(); });
}

}  // namespace common
}  // namespace qvtlib

#endif  // ZU_ZOZOV_COMMON_TREE_H
