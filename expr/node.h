// Nodes of the parse tree.
//
// basic_node is the abstract node: four links (parent, first child, previous
// and next sibling) and the begin/end positions of the token that created it.
// CKeyNode<T> holds one key (COper, CFunc, CVarb, CNum or CStr, see
// expr/keys.h) and forwards the tree walks to it.  CParseTree owns a whole
// tree through its root.
//
// A node never deletes its children; trees are destroyed with destroyTree(),
// which works with a loop and so handles trees of any depth.  Not thread-safe.
#ifndef ZU_ZOZOV_EXPR_NODE_H
#define ZU_ZOZOV_EXPR_NODE_H

#include <boost/any.hpp>
#include <iostream>
#include <string>

#include "common/export.h"
#include "expr/token.h"

namespace qvtlib {
namespace expr {

class basic_data;
class basic_key;

class ZU_ZOZOV_EXPORT basic_node {
  public:
    basic_node();
    // Resets the links; does not delete children (see destroyTree).
    virtual ~basic_node();

    // A new node of the same class with a copy of the key; links and
    // positions zero.  The caller owns it.
    virtual basic_node* clone() const = 0;
    // Type sample of the subtree; throws basic_except on a type error.
    virtual boost::any check(const basic_data* data) const = 0;
    // Value of the subtree.
    virtual boost::any calc(const basic_data* data) const = 0;
    virtual bool isVarb() const { return false; }
    virtual bool isFunc() const { return false; }
    virtual bool isOper() const { return false; }
    virtual bool isNum() const { return false; }
    virtual bool isStr() const { return false; }
    // Prints "(" parent key ", " own key ")" to standard output.
    virtual void dump() const = 0;
    // Prints the key to standard output.
    virtual void dumpKey() const = 0;

    // Value of the subtree without copying: the result is either a value that
    // lives in the tree or the data (variables, constants, bool results) or
    // `tmp`.  The reference is valid while `tmp`, the tree and the data are.
    virtual const boost::any& eval(const basic_data* data, boost::any& tmp) const = 0;
    // The node's key.
    virtual const basic_key& getKey() const = 0;

    basic_node* getParent() const { return m_parent; }
    basic_node* getChild() const { return m_child; }
    basic_node* getPreSibling() const { return m_preSibling; }
    basic_node* getNextSibling() const { return m_nextSibling; }
    const SourcePos& getBegin() const { return m_begin; }
    const SourcePos& getEnd() const { return m_end; }
    void setPositions(const SourcePos& begin, const SourcePos& end) {
        m_begin = begin;
        m_end = end;
    }
    // Number of children.
    unsigned childCount() const;

    // True when evaluating the subtree has no effect beyond its value: it
    // holds no function call, only operators, variables and constants, none
    // of which throws, logs or calls out.  Subtrees of more than a few nodes
    // count as not pure (the test stays cheap).  The answer is cached;
    // appendChild and insertAfter drop the cached answers above them.
    bool isPure() const;

    // Appends `child` (unlinked) as the last child of this node.  Walks the
    // children to find the last one; to build a long list use insertAfter.
    void appendChild(basic_node* child);
    // Links `node` (unlinked) directly after this node, under the same
    // parent, in constant time.
    void insertAfter(basic_node* node);

  protected:
    basic_node(const basic_node&);

  private:
    basic_node& operator=(const basic_node&) = delete;
    bool computePurity() const;
    void forgetPurity();

    basic_node* m_parent;
    basic_node* m_child;
    basic_node* m_preSibling;
    basic_node* m_nextSibling;
    SourcePos m_begin;
    SourcePos m_end;
    mutable signed char m_purity;  // 0 not known yet, 1 pure, 2 not pure
};

// Deletes `root`, its children and its next-sibling chain, with a loop.
ZU_ZOZOV_EXPORT void destroyTree(basic_node* root);

// A compact text of the subtree at `node`, for tests and diagnostics:
// operators by their text with their operands in parentheses, "_" for a
// placeholder, variables by name, numbers as "#value", strings quoted,
// functions as name(args).  E.g. "||(&&(==(a,#1),b),f(_))".
ZU_ZOZOV_EXPORT std::string treeString(const basic_node* node);

// Clears the content of a type sample: a double becomes 0.0, a string "".
ZU_ZOZOV_EXPORT void resetSample(boost::any& sample);

// Node holding one key of type T.
template <typename T>
class ZU_ZOZOV_TEMPLATE_EXPORT CKeyNode : public basic_node {
  public:
    explicit CKeyNode(const T& key) : m_key(key) {}

    basic_node* clone() const override { return new CKeyNode<T>(m_key); }
    boost::any check(const basic_data* data) const override {
        boost::any sample = m_key.check(this, data);
        resetSample(sample);
        return sample;
    }
    boost::any calc(const basic_data* data) const override { return m_key.calc(this, data); }
    bool isVarb() const override { return m_key.isVarb(); }
    bool isFunc() const override { return m_key.isFunc(); }
    bool isOper() const override { return m_key.isOper(); }
    bool isNum() const override { return m_key.isNum(); }
    bool isStr() const override { return m_key.isStr(); }
    void dump() const override;
    void dumpKey() const override { m_key.dump(); }
    const boost::any& eval(const basic_data* data, boost::any& tmp) const override {
        return m_key.eval(this, data, tmp);
    }
    const basic_key& getKey() const override { return m_key; }

    const T& key() const { return m_key; }

  private:
    T m_key;
};

template <typename T>
void CKeyNode<T>::dump() const {
    std::cout << "(";
    if (getParent()) getParent()->dumpKey();
    std::cout << ", ";
    m_key.dump();
    std::cout << ")";
}

// Owner of a parse tree through its root.
template <typename Node>
class CParseTree {
  public:
    CParseTree() : m_root(nullptr) {}
    virtual ~CParseTree() { destroyTree(m_root); }
    CParseTree(const CParseTree&) = delete;
    CParseTree& operator=(const CParseTree&) = delete;

  protected:
    Node* m_root;
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_NODE_H
