#include "expr/node.h"

#include <sstream>
#include <vector>

#include "common/walker.h"
#include "expr/keys.h"

namespace qvtlib {
namespace expr {

basic_node::basic_node()
    : m_parent(nullptr),
      m_child(nullptr),
      m_preSibling(nullptr),
      m_nextSibling(nullptr),
      m_begin(0, 0),
      m_end(0, 0),
      m_purity(0) {}

// A copy takes neither links nor positions: it starts as a fresh node.
basic_node::basic_node(const basic_node&) : basic_node() {}

basic_node::~basic_node() { m_parent = m_child = m_preSibling = m_nextSibling = nullptr; }

unsigned basic_node::childCount() const {
    unsigned n = 0;
    for (const basic_node* c = m_child; c; c = c->m_nextSibling) ++n;
    return n;
}

namespace {
// isPure() looks at no more than this many nodes, so a change to the tree can
// affect the cached answers of at most this many levels of ancestors.
const int PURITY_BUDGET = 8;
}  // namespace

bool basic_node::isPure() const {
    if (m_purity == 0) m_purity = computePurity() ? 1 : 2;
    return m_purity == 1;
}

bool basic_node::computePurity() const {
    const basic_node* pending[PURITY_BUDGET];
    int count = 0;
    int visited = 0;
    pending[count++] = this;
    while (count > 0) {
        const basic_node* n = pending[--count];
        if (++visited > PURITY_BUDGET || n->isFunc()) return false;
        // Only operators evaluate their children; a leaf ignores any.
        if (!n->isOper()) continue;
        for (const basic_node* c = n->m_child; c; c = c->m_nextSibling) {
            if (count == PURITY_BUDGET) return false;
            pending[count++] = c;
        }
    }
    return true;
}

void basic_node::forgetPurity() {
    basic_node* n = this;
    for (int level = 0; n && level <= PURITY_BUDGET; ++level, n = n->m_parent) n->m_purity = 0;
}

void basic_node::appendChild(basic_node* child) {
    forgetPurity();
    child->m_parent = this;
    child->m_nextSibling = nullptr;
    if (!m_child) {
        m_child = child;
        child->m_preSibling = nullptr;
        return;
    }
    basic_node* last = m_child;
    while (last->m_nextSibling) last = last->m_nextSibling;
    last->m_nextSibling = child;
    child->m_preSibling = last;
}

void basic_node::insertAfter(basic_node* node) {
    if (m_parent) m_parent->forgetPurity();
    node->m_parent = m_parent;
    node->m_preSibling = this;
    node->m_nextSibling = m_nextSibling;
    if (m_nextSibling) m_nextSibling->m_preSibling = node;
    m_nextSibling = node;
}

void destroyTree(basic_node* root) {
    // The walk reads a node's links before the node is deleted.
    common::walkPreOrder(root, [](basic_node* n) { delete n; });
}

void resetSample(boost::any& sample) {
    if (double* d = boost::any_cast<double>(&sample)) {
        *d = 0.0;
    } else if (std::string* s = boost::any_cast<std::string>(&sample)) {
        s->clear();
    }
}

namespace {

void writeLabel(std::ostream& out, const basic_node* n) {
    const basic_key& key = n->getKey();
    if (key.isOper()) {
        int code = static_cast<const COper&>(key).getCode();
        out << (code == OP_NONE ? std::string("_") : operName(code));
    } else if (key.isVarb()) {
        out << static_cast<const CVarb&>(key).getName();
    } else if (key.isFunc()) {
        out << static_cast<const CFunc&>(key).getName();
    } else if (key.isNum()) {
        out << '#' << static_cast<const CNum&>(key).getValue();
    } else if (key.isStr()) {
        out << '"' << static_cast<const CStr&>(key).getValue() << '"';
    } else {
        key.print(out);
    }
}

}  // namespace

std::string treeString(const basic_node* node) {
    std::ostringstream out;
    common::walkSubtree(
        node,
        [&out](const basic_node* n) {
            writeLabel(out, n);
            if (n->getChild()) out << '(';
        },
        [&out, node](const basic_node* n) {
            if (n->getChild()) out << ')';
            if (n != node && n->getNextSibling()) out << ',';
        });
    return out.str();
}

}  // namespace expr
}  // namespace qvtlib
