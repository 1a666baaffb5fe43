// Rule-definition trees: which group and account rules a classification tree
// applies at which level, read from XML.
//
// CXDefTree::build reads a definition document into a tree of CXTreeDefNode,
// one node per element, keeping the element name (tag), its "Code" and "Name"
// attributes and a type inherited from the root.  The root element names the
// tree type: "GroupTree", "AcctTree" and "PortTree" are their own type;
// "GroupRule" and "AcctRule" make a "GroupRuleTree" / "AcctRuleTree" whose
// root also stands for one rule, hung below it as its only child.  Below the
// root, the children of an element are the leading run of its child elements
// that carry "Code"; the first child element without one ends the run (it,
// its descendants and the elements after it are not read).  Only elements
// count; text and comments are ignored.  Reading is iterative: wide or deeply
// nested documents do not use the call stack.
//
// The host builds a CXDefTree and hands its root to CXTree::buildByRuleDefs:
//
//   vODodi::XML::CDomXMLCore doc;
//   doc.input(xmlText);
//   qvt::ht::CXDefTree defs;
//   if (!defs.build(doc)) std::cerr << defs.getErrorInfo();
//
// Ownership: the tree owns its nodes (they come from its pool and are freed
// with it); pointers to nodes stay valid until the next build, reset, release
// or the tree's destruction.  Rebuilding gives the old nodes back to the pool
// and reuses them.
//
// Thread-safety: none; a definition tree is built and read by one thread.
#ifndef ZU_ZOZOV_ZU_ZOZOV_XDEFTREE_H
#define ZU_ZOZOV_ZU_ZOZOV_XDEFTREE_H

#include <set>
#include <string>

#include "common/errorInfo.h"
#include "common/export.h"
#include "common/tree.h"

namespace vODodi {
namespace XML {
class CDomXMLCore;
class CDomXMLCoreWalker;
}  // namespace XML
}  // namespace vODodi

namespace qvt {
namespace ht {

// One element of a definition: type, tag (element name), code and name.
class ZU_ZOZOV_EXPORT CXTreeDefNode : public qvtlib::common::CNode<CXTreeDefNode> {
  public:
    CXTreeDefNode();
    // Name empty, unlinked.
    CXTreeDefNode(const std::string& type, const std::string& tag, const std::string& code);
    // Copies the four strings, no links.
    CXTreeDefNode(const CXTreeDefNode& other);
    // Copies the four strings; the links stay.
    CXTreeDefNode& operator=(const CXTreeDefNode& other);
    ~CXTreeDefNode() override;

    // Nulls the links and empties type, tag and code; the name keeps its value.
    void clear() override;
    // A new unlinked node made with plain new from type, tag and code (name
    // empty); the caller owns it.
    CXTreeDefNode* clone() const override;

    using qvtlib::common::CNode<CXTreeDefNode>::dumpKey;
    // Writes toString() to standard output, without a line end.
    virtual void dumpKey() const;
    // The first child, in child order, whose code equals code; null if none.
    virtual CXTreeDefNode* findChildByDefCode(const std::string& code);
    // The first node after this one along its next-sibling chain whose code
    // equals code (this node is not tested); null if none.
    virtual CXTreeDefNode* findNextSiblingByDefCode(const std::string& code);

    // type + "-" + tag + "-" + code.
    std::string toString() const;

    const std::string& getType() const { return m_type; }
    void setType(const std::string& type) { m_type = type; }
    const std::string& getTag() const { return m_tag; }
    void setTag(const std::string& tag) { m_tag = tag; }
    const std::string& getCode() const { return m_code; }
    void setCode(const std::string& code) { m_code = code; }
    const std::string& getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }

  private:
    std::string m_type;  // tree type, or "GroupRule"/"AcctRule" below a rule root
    std::string m_tag;   // element name; the tree type for the root
    std::string m_code;  // the element's "Code"
    std::string m_name;  // the element's "Name"
};

// A rule-definition tree read from XML.  Messages of failed builds accumulate
// in the error text (CErrorInfo), each followed by a line end; build never
// clears it.
class ZU_ZOZOV_EXPORT CXDefTree : public qvtlib::common::CTree<CXTreeDefNode>,
                                  public qvtlib::common::CErrorInfo {
  public:
    // Tree types and element names.
    static const std::string GROUP_TREE;       // "GroupTree"
    static const std::string ACCT_TREE;        // "AcctTree"
    static const std::string PORT_TREE;        // "PortTree"
    static const std::string GROUP_RULE;       // "GroupRule"
    static const std::string ACCT_RULE;        // "AcctRule"
    static const std::string TREE_SUFFIX;      // "Tree"
    static const std::string GROUP_RULE_TREE;  // "GroupRuleTree"
    static const std::string ACCT_RULE_TREE;   // "AcctRuleTree"
    // Attribute names.
    static const std::string ATTR_CODE;  // "Code"
    static const std::string ATTR_NAME;  // "Name"

    CXDefTree();
    ~CXDefTree() override;

    // Replaces the tree by the one the document describes.
    //  - empty document (no root element): true, tree unchanged;
    //  - unsupported root element name: "Do not support type [<name>] of tree
    //    now!" to the error text, false, the tree is a single empty root;
    //  - otherwise true (old nodes back to the pool, new ones from it).
    virtual bool build(const vODodi::XML::CDomXMLCore& doc);
    // Writing a definition tree is not supported: false, nothing touched.
    virtual bool toXML(vODodi::XML::CDomXMLCore& doc);

    // True when the tree has a root.
    bool right() const { return getRoot() != nullptr; }
    // Empties codes, then inserts the code of every node reachable from the
    // root (its descendants and following siblings included; empty codes too).
    // Always true.
    bool getRuleCodes(std::set<std::string>& codes);
    // The tree type ("GroupTree", ..., "GroupRuleTree", "AcctRuleTree"); empty
    // before a build names one.
    const std::string& getTreeType() const { return m_treeType; }

  protected:
    // build() once the document has a cursor: cursor standing nowhere writes
    // "The xml document is empty." and gives false (tree unchanged).
    bool buildFrom(const vODodi::XML::CDomXMLCoreWalker& cursor);
    // Reads the elements below the cursor's element into node (see the unit
    // comment for the rules).  False when node is null or the cursor stands
    // nowhere; build then writes "Build tree failed.".
    bool readElements(CXTreeDefNode* node, const vODodi::XML::CDomXMLCoreWalker& cursor);

  private:
    // A pool node with type, tag, code and name from the cursor's element.
    CXTreeDefNode* makeNode(const std::string& type, const std::string& tag,
                            const vODodi::XML::CDomXMLCoreWalker& cursor);

    std::string m_treeType;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_ZU_ZOZOV_XDEFTREE_H
