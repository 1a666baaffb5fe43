// The one walk over the library's trees: the expression parse trees, the
// generic node tree and the classification and definition trees built on it.
// All of them link a node to its first child and its next sibling, and all
// of them can be deeper than the call stack allows (an expression nested a
// hundred thousand times, a tree expanded level by level from user rules),
// so no walk recurses: walkPreOrder and walkSubtree keep their pending
// nodes on the heap.
// Every walk over such a tree goes through it instead of hand-writing the
// loop again.
//
//   walkPreOrder(root, [&](const basic_node* n) { names.insert(...); });
//   walkPreOrder(root, [&](T* n) { return seen.insert(n).second ? WALK_ON : WALK_STOP; });
//
// Header-only, so that the visitor inlines into the loop.
#ifndef ZU_ZOZOV_COMMON_WALKER_H
#define ZU_ZOZOV_COMMON_WALKER_H

#include <type_traits>
#include <utility>
#include <vector>

namespace qvtlib {
namespace common {

// What a visitor tells the walk after seeing a node.
enum WalkAction {
    WALK_ON,             // on into the node's children, then its next sibling
    WALK_SKIP_CHILDREN,  // on with the node's next sibling, its children unseen
    WALK_STOP,           // end the walk now
};

// Visits start, its following siblings and everything below them, in
// pre-order: a node, then the subtree of each of its children in child
// order, then its next sibling.  Node is any type with getChild() and
// getNextSibling() (const or not).  visit(Node*) returns a WalkAction, or
// nothing for WALK_ON.  The links of a node are read before it is visited,
// so the visitor may unlink or even delete the node it is given.  Returns
// false when a visitor stopped the walk, true otherwise (null start: true).
//
// The pending nodes live in `pending`, which the caller may reuse between
// walks; it is empty again when the walk returns.
template <class Node, class Visit>
bool walkPreOrder(Node* start, Visit&& visit, std::vector<Node*>& pending) {
    pending.clear();
    if (start != nullptr) pending.push_back(start);
    while (!pending.empty()) {
        Node* const n = pending.back();
        pending.pop_back();
        Node* const child = n->getChild();
        Node* const next = n->getNextSibling();
        WalkAction action = WALK_ON;
        if constexpr (std::is_void_v<decltype(visit(n))>) {
            visit(n);
        } else {
            action = visit(n);
        }
        if (action == WALK_STOP) {
            pending.clear();
            return false;
        }
        if (next != nullptr) pending.push_back(next);
        if (child != nullptr && action == WALK_ON) pending.push_back(child);
    }
    return true;
}

// walkPreOrder with a stack of its own.
template <class Node, class Visit>
bool walkPreOrder(Node* start, Visit&& visit) {
    std::vector<Node*> pending;
    return walkPreOrder(start, std::forward<Visit>(visit), pending);
}

// Visits root and everything below it (not root's siblings) in the same
// pre-order, calling pre(n) when the walk reaches n and post(n) when it
// leaves n, after n's subtree and before n's next sibling: what a recursion
// that does something before and after the children does, without the
// recursion.  The visitors must not change the links.  Null root: nothing.
template <class Node, class Pre, class Post>
void walkSubtree(Node* root, Pre&& pre, Post&& post) {
    if (root == nullptr) return;
    std::vector<Node*> open;  // the ancestors of n below root, root first
    Node* n = root;
    for (;;) {
        pre(n);
        if (Node* const child = n->getChild()) {
            open.push_back(n);
            n = child;
            continue;
        }
        // n has no children: leave it, and its ancestors as long as they have
        // no next sibling either.
        for (;;) {
            post(n);
            if (n == root) return;
            if (Node* const next = n->getNextSibling()) {
                n = next;
                break;
            }
            n = open.back();
            open.pop_back();
        }
    }
}

}  // namespace common
}  // namespace qvtlib

#endif  // ZU_ZOZOV_COMMON_WALKER_H
