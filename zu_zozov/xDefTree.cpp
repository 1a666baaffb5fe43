#include "zu_zozov/xDefTree.h"

#include <iostream>
#include <vector>

#include "common/walker.h"
#include "xml/domXMLCore.h"

namespace qvt {
namespace ht {

using vODodi::XML::CDomXMLCore;
using vODodi::XML::CDomXMLCoreFilter;
using vODodi::XML::CDomXMLCoreWalker;

// ---------------------------------------------------------------------------
// CXTreeDefNode

CXTreeDefNode::CXTreeDefNode() {}

CXTreeDefNode::CXTreeDefNode(const std::string& type, const std::string& tag,
                             const std::string& code)
    : m_type(type), m_tag(tag), m_code(code) {}

CXTreeDefNode::CXTreeDefNode(const CXTreeDefNode& other)
    : qvtlib::common::CNode<CXTreeDefNode>(other),
      m_type(other.m_type),
      m_tag(other.m_tag),
      m_code(other.m_code),
      m_name(other.m_name) {}

CXTreeDefNode& CXTreeDefNode::operator=(const CXTreeDefNode& other) {
    if (this != &other) {
        m_type = other.m_type;
        m_tag = other.m_tag;
        m_code = other.m_code;
        m_name = other.m_name;
    }
    return *this;
}

CXTreeDefNode::~CXTreeDefNode() {}

void CXTreeDefNode::clear() {
    qvtlib::common::CNode<CXTreeDefNode>::clear();
    m_type.clear();
    m_tag.clear();
    m_code.clear();
}

CXTreeDefNode* CXTreeDefNode::clone() const { return new CXTreeDefNode(m_type, m_tag, m_code); }

void CXTreeDefNode::dumpKey() const { std::cout << toString(); }

CXTreeDefNode* CXTreeDefNode::findChildByDefCode(const std::string& code) {
    for (CXTreeDefNode* c = getChild(); c != nullptr; c = c->getNextSibling()) {
        if (c->m_code == code) return c;
    }
    return nullptr;
}

CXTreeDefNode* CXTreeDefNode::findNextSiblingByDefCode(const std::string& code) {
    for (CXTreeDefNode* c = getNextSibling(); c != nullptr; c = c->getNextSibling()) {
        if (c->m_code == code) return c;
    }
    return nullptr;
}

std::string CXTreeDefNode::toString() const { return m_type + "-" + m_tag + "-" + m_code; }

// ---------------------------------------------------------------------------
// CXDefTree

const std::string CXDefTree::GROUP_TREE = "GroupTree";
const std::string CXDefTree::ACCT_TREE = "AcctTree";
const std::string CXDefTree::PORT_TREE = "PortTree";
const std::string CXDefTree::GROUP_RULE = "GroupRule";
const std::string CXDefTree::ACCT_RULE = "AcctRule";
const std::string CXDefTree::TREE_SUFFIX = "Tree";
const std::string CXDefTree::GROUP_RULE_TREE = "GroupRuleTree";
const std::string CXDefTree::ACCT_RULE_TREE = "AcctRuleTree";
const std::string CXDefTree::ATTR_CODE = "Code";
const std::string CXDefTree::ATTR_NAME = "Name";

namespace {
const char* const MSG_DOC_EMPTY = "The xml document is empty.";
const char* const MSG_BUILD_FAILED = "Build tree failed.";
}  // namespace

CXDefTree::CXDefTree() {}

CXDefTree::~CXDefTree() {}

bool CXDefTree::build(const CDomXMLCore& doc) {
    if (doc.empty()) return true;
    CDomXMLCoreWalker cursor =
        doc.root(xercesc::DOMNodeFilter::SHOW_ALL,
                 new CDomXMLCoreFilter(xercesc::DOMNode::ELEMENT_NODE, true), false);
    return buildFrom(cursor);
}

bool CXDefTree::buildFrom(const CDomXMLCoreWalker& cursor) {
    if (cursor.getCur() == nullptr) {
        addError(MSG_DOC_EMPTY);
        return false;
    }
    // The old tree goes back to the pool.  A root set from outside that the
    // pool never handed out is not ours to free: forget it.
    if (!reset()) setRoot(nullptr);
    m_treeType.clear();
    CXTreeDefNode* root = nullptr;
    while (root == nullptr) root = createNode();
    setRoot(root);

    const std::string name = cursor.getName();
    CXTreeDefNode* start = root;
    if (name == GROUP_TREE || name == ACCT_TREE || name == PORT_TREE) {
        m_treeType = name;
    } else if (name == GROUP_RULE || name == ACCT_RULE) {
        m_treeType = name + TREE_SUFFIX;
    } else {
        root->setName(std::string());
        addError("Do not support type [" + name + "] of tree now!");
        return false;
    }
    std::string value;
    root->setType(m_treeType);
    root->setTag(m_treeType);
    if (cursor.getAttr(value, ATTR_CODE)) root->setCode(value);
    value.clear();
    cursor.getAttr(value, ATTR_NAME);
    root->setName(value);
    if (name == GROUP_RULE || name == ACCT_RULE) {
        // The root element also stands for the rule one level below the root.
        start = makeNode(name, name, cursor);
        root->appendChild(start);
    }
    if (!readElements(start, cursor)) {
        addError(MSG_BUILD_FAILED);
        return false;
    }
    return true;
}

CXTreeDefNode* CXDefTree::makeNode(const std::string& type, const std::string& tag,
                                   const CDomXMLCoreWalker& cursor) {
    CXTreeDefNode* node = nullptr;
    while (node == nullptr) node = createNode();
    node->setType(type);
    node->setTag(tag);
    std::string value;
    if (cursor.getAttr(value, ATTR_CODE)) node->setCode(value);
    // A node back from the pool keeps its old name: empty it, or an element
    // without "Name" would show the name of an earlier build.
    value.clear();
    cursor.getAttr(value, ATTR_NAME);
    node->setName(value);
    return node;
}

bool CXDefTree::readElements(CXTreeDefNode* start, const CDomXMLCoreWalker& cursor) {
    if (start == nullptr || cursor.getCur() == nullptr) return false;
    // One cursor walks the elements in document order, one step at a time,
    // while cur follows it through the tree: no recursion, so neither long
    // sibling chains nor deep nesting use the call stack.
    CDomXMLCoreWalker walker(cursor);
    CXTreeDefNode* cur = start;
    std::string code;
    for (;;) {
        // Down to the first child element when it carries a Code.
        if (walker.firstChild() != nullptr) {
            if (walker.getAttr(code, ATTR_CODE)) {
                CXTreeDefNode* child = makeNode(cur->getType(), walker.getName(), walker);
                cur->appendChild(child);
                cur = child;
                continue;
            }
            walker.parentNode();
        }
        // On to the next sibling element with a Code; where the run of such
        // siblings ends, back up one level and try there.
        for (;;) {
            if (cur == start) return true;
            if (walker.nextSibling() != nullptr) {
                if (walker.getAttr(code, ATTR_CODE)) {
                    CXTreeDefNode* sibling = makeNode(cur->getType(), walker.getName(), walker);
                    cur->appendSibling(sibling);
                    cur = sibling;
                    break;
                }
            }
            walker.parentNode();
            cur = cur->getParent();
        }
    }
}

bool CXDefTree::toXML(CDomXMLCore& /*doc*/) { return false; }

bool CXDefTree::getRuleCodes(std::set<std::string>& codes) {
    codes.clear();
    qvtlib::common::walkPreOrder(
        static_cast<const CXTreeDefNode*>(getRoot()),
        [&codes](const CXTreeDefNode* node) { codes.insert(node->getCode()); });
    return true;
}

}  // namespace ht
}  // namespace qvt
