// Classification trees: expansion from rule definitions, matching, sorting of
// holdings, group codes and paths, XML export.
#include "zu_zozov/xTree.h"

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

#include "expr/value.h"
#include "log/logSite.h"
#include "xml/xmlString.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/group.h"
#include "zu_zozov/grpPlan.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"

namespace qvt {
namespace ht {

namespace {

const std::string XOTHER = "xother";
const std::string TAG_XNODE = "XNode";
const std::string TAG_XTREE = "XTree";
const std::string TAG_GROUP = "Group";
const std::string TAG_ACCT = "Acct";
const std::string TAG_GROUP_RULE = "GroupRule";
const std::string TAG_ACCT_RULE = "AcctRule";
const std::string TYPE_GROUP_TREE = "GroupTree";
const std::string TYPE_ACCT_TREE = "AcctTree";
const std::string TYPE_PORT_TREE = "PortTree";
const std::string TYPE_GROUP_RULE_TREE = "GroupRuleTree";
const std::string TYPE_ACCT_RULE_TREE = "AcctRuleTree";
const std::string ATTR_RULE_CODE = "RuleCode";
const std::string ATTR_NODE_CODE = "NodeCode";
const std::string ATTR_NAME = "Name";
const std::string ATTR_EXPR = "Expr";
const std::string ATTR_TYPE = "Type";
const char* const LOGGER = "CXTree";

bool isTreeType(const std::string& tag) {
    return tag == TYPE_GROUP_TREE || tag == TYPE_ACCT_TREE || tag == TYPE_PORT_TREE ||
           tag == TYPE_GROUP_RULE_TREE || tag == TYPE_ACCT_RULE_TREE;
}

// Appends n as the last child of parent, whose current last child is last
// (null when it has none); returns n.
CXTreeNode* appendAfter(CXTreeNode* parent, CXTreeNode* last, CXTreeNode* n) {
    return last == nullptr ? parent->appendChild(n) : last->insertNextSibling(n);
}

}  // namespace

// ---------------------------------------------------------------------------
// CXTreeNode

CXTreeNode::CXTreeNode() : m_ruleExpr(nullptr), m_nodeNum(0.0) {}

CXTreeNode::CXTreeNode(const std::string& tag, const std::string& ruleCode,
                       const std::string& nodeCode, const std::string& name,
                       const std::string& expr)
    : m_tag(tag),
      m_ruleCode(ruleCode),
      m_nodeCode(nodeCode),
      m_name(name),
      m_expr(expr),
      m_ruleExpr(nullptr),
      m_nodeNum(std::atof(nodeCode.c_str())) {}

CXTreeNode::CXTreeNode(const CXTreeNode& other)
    : qvtlib::common::CNode<CXTreeNode>(other), m_ruleExpr(nullptr), m_nodeNum(0.0) {
    copyFrom(other);
}

CXTreeNode& CXTreeNode::operator=(const CXTreeNode& other) {
    if (this != &other) {
        qvtlib::common::CNode<CXTreeNode>::operator=(other);
        copyFrom(other);
    }
    return *this;
}

// Copies the texts and holdings; the compiled expression is never shared: a
// node whose source had an expression object compiles its own from the same
// text, so it ends up in the same state (compiled, or holding an uncompiled
// object).
void CXTreeNode::copyFrom(const CXTreeNode& other) {
    m_type = other.m_type;
    m_tag = other.m_tag;
    m_ruleCode = other.m_ruleCode;
    m_nodeCode = other.m_nodeCode;
    m_nodeNum = other.m_nodeNum;
    m_name = other.m_name;
    m_expr = other.m_expr;
    m_holds = other.m_holds;
    deleteRuleExpr();
    if (other.m_ruleExpr != nullptr) createRuleExpr();
}

CXTreeNode::~CXTreeNode() { CXTreeNode::clear(); }

void CXTreeNode::deleteRuleExpr() {
    delete m_ruleExpr;
    m_ruleExpr = nullptr;
    m_fastExpr.reset();
}

void CXTreeNode::clear() {
    qvtlib::common::CNode<CXTreeNode>::clear();
    m_tag.clear();
    m_ruleCode.clear();
    m_nodeCode.clear();
    m_nodeNum = 0.0;
    m_name.clear();
    m_holds.clear();
    m_expr.clear();
    deleteRuleExpr();
}

CXTreeNode* CXTreeNode::clone() const {
    return new CXTreeNode(m_tag, m_ruleCode, m_nodeCode, m_name, m_expr);
}

void CXTreeNode::setNodeCode(const std::string& v) {
    m_nodeCode = v;
    m_nodeNum = std::atof(v.c_str());
}

bool CXTreeNode::isMatch(const CGroupInstrument& inst) const {
    CAttrLookup lookup(inst);
    return isMatch(inst, lookup);
}

bool CXTreeNode::isMatch(const CGroupInstrument& inst, CAttrLookup& lookup) const {
    return matchesCodes(lookup) && matchesExpr(inst, false);
}

bool CXTreeNode::isMatchGeneric(const CGroupInstrument& inst) const {
    CAttrLookup lookup(inst);
    return matchesCodes(lookup) && matchesExpr(inst, true);
}

bool CXTreeNode::matchesCodes(CAttrLookup& lookup) const {
    // The root and catch-all nodes take every instrument.
    if (m_ruleCode.empty()) return true;
    if (m_nodeCode == XOTHER) return true;

    // The attribute named like the rule code must carry the node's code.
    const boost::any* value = lookup.get(m_ruleCode);
    if (value == nullptr) return false;
    if (const std::string* s = boost::any_cast<std::string>(value)) return sameCode(*s, m_nodeCode);
    if (const double* d = boost::any_cast<double>(value)) {
        return qvtlib::expr::doubleEqual(*d, m_nodeNum);
    }
    return false;
}

bool CXTreeNode::matchesExpr(const CGroupInstrument& inst, bool generic) const {
    // Only the root and catch-all nodes pass without their codes; they take
    // every instrument whatever their expression.
    if (m_ruleCode.empty() || m_nodeCode == XOTHER) return true;
    // A compiled expression must hold as well: a positive number or true.
    if (m_ruleExpr == nullptr || !m_ruleExpr->isCompiled()) return true;
    if (!generic && m_fastExpr != nullptr &&
        detail::functionsIntact(m_fastExpr->program->functions())) {
        detail::CPlanSlots slots;
        slots.resolve(inst, m_fastExpr->slotNames, detail::BIND_NAMED);
        detail::CPlanValue value;
        if (m_fastExpr->program->run(slots.values(), value)) return detail::nodeTruth(value);
    }
    // prepare replaces the whole store; assigning over the old entries lets
    // the map reuse their nodes instead of freeing and allocating them.
    m_ruleExpr->getData().prepare(&inst);
    if (!m_ruleExpr->calc()) return false;
    const boost::any& result = m_ruleExpr->result();
    if (!qvtlib::expr::isNumeric(result)) return false;
    return qvtlib::expr::toDouble(result) >= DBL_MIN;
}

std::string CXTreeNode::toString() const {
    std::string s;
    s.reserve(m_type.size() + m_tag.size() + m_ruleCode.size() + m_nodeCode.size() + m_name.size() +
              m_expr.size() + 5);
    s += m_type;
    s += '-';
    s += m_tag;
    s += '-';
    s += m_ruleCode;
    s += '-';
    s += m_nodeCode;
    s += '-';
    s += m_name;
    s += '-';
    s += m_expr;
    return s;
}

void CXTreeNode::dumpKey() const { std::cout << toString(); }

CXTreeNode* CXTreeNode::findChildByNodeCode(const std::string& code) {
    for (CXTreeNode* c = getChild(); c != nullptr; c = c->getNextSibling()) {
        if (c->m_nodeCode == code) return c;
    }
    return nullptr;
}

bool CXTreeNode::appendHolds(HoldMap& holds) {
    m_holds.clear();
    for (HoldMap::iterator it = holds.begin(); it != holds.end(); ++it) {
        if (it->second == nullptr || !isMatch(*it->second)) continue;
        // Entries come in key order, so each one goes to the end of m_holds.
        m_holds.emplace_hint(m_holds.end(), it->first, it->second);
        it->second = nullptr;
    }
    return !m_holds.empty();
}

xercesc::DOMNode* CXTreeNode::toXML(vODodi::XML::CDomXMLCore& doc, bool withHolds) {
    xercesc::DOMElement* el = doc.createElement(m_tag);
    if (el == nullptr) return nullptr;
    if (m_tag == TAG_XNODE) {
        vODodi::XML::setAttr(el, ATTR_RULE_CODE, m_ruleCode);
        vODodi::XML::setAttr(el, ATTR_NODE_CODE, m_nodeCode);
        vODodi::XML::setAttr(el, ATTR_NAME, m_name);
        vODodi::XML::setAttr(el, ATTR_EXPR, m_expr);
    } else if (m_tag == TAG_XTREE) {
        if (m_type == TYPE_GROUP_RULE_TREE) {
            vODodi::XML::setAttr(el, ATTR_TYPE, TAG_GROUP_RULE);
        } else if (m_type == TYPE_ACCT_RULE_TREE) {
            vODodi::XML::setAttr(el, ATTR_TYPE, TAG_ACCT_RULE);
        } else {
            vODodi::XML::setAttr(el, ATTR_TYPE, m_type);
        }
        vODodi::XML::setAttr(el, ATTR_NAME, m_name);
    }
    if (withHolds) {
        for (HoldMap::const_iterator it = m_holds.begin(); it != m_holds.end(); ++it) {
            if (it->second == nullptr) break;
            xercesc::DOMElement* inst = it->second->toXML(doc);
            if (inst == nullptr) {
                el->release();
                return nullptr;
            }
            el->appendChild(inst);
        }
    }
    return el;
}

bool CXTreeNode::createRuleExpr() {
    deleteRuleExpr();
    if (m_expr.empty()) return true;
    m_ruleExpr = new (std::nothrow) RuleExpr();
    if (m_ruleExpr == nullptr) return false;
    if (!m_ruleExpr->compile(m_expr)) return false;
    // The evaluation plan over the expression's variables, bound as the
    // generic binding binds them (named attributes only).
    std::shared_ptr<detail::CGroupPlan> fast(new detail::CGroupPlan());
    const std::set<std::string> names = detail::collectVarbNames(*m_ruleExpr);
    fast->slotNames.assign(names.begin(), names.end());
    fast->program = detail::CGrpProgram::lower(*m_ruleExpr, fast->slotNames);
    if (fast->program != nullptr) m_fastExpr = fast;
    return true;
}

// ---------------------------------------------------------------------------
// CXTree

CXTree::CXTree(const boost::shared_ptr<IHTGroupData>& data) : m_dataProvider(data) {}

CXTree::~CXTree() { m_dataProvider.reset(); }

bool CXTree::build(const vODodi::XML::CDomXMLCore&) { return false; }

bool CXTree::buildByRuleDefs(CXTreeDefNode* const defRoot) {
    if (defRoot == nullptr) return true;
    // A rebuilt tree gives its previous nodes back to the pool, so that a
    // long-lived tree rebuilt many times keeps a bounded number of nodes.
    reset();
    CXTreeNode* tmpRoot = createNode();
    setRoot(tmpRoot);
    if (!fillByRuleDefs(tmpRoot, defRoot)) {
        addError("在规则定义节点 [" + defRoot->toString() + "] 时出错！");
        return false;
    }
    if (removeRoot() == nullptr) {
        addError("生成树有非唯一根。");
        return false;
    }
    destroyNode(tmpRoot);
    return true;
}

CXTreeNode* CXTree::removeRoot() {
    CXTreeNode* tmp = getRoot();
    if (tmp == nullptr) return nullptr;
    CXTreeNode* child = tmp->getChild();
    if (child == nullptr) {
        setRoot(nullptr);
        return tmp;
    }
    if (child->getNextSibling() != nullptr) return nullptr;
    child->remove();
    setRoot(child);
    return tmp;
}

bool CXTree::fillByRuleDefs(CXTreeNode* node, CXTreeDefNode* const defStart) {
    if (node == nullptr) return false;
    // Expansions still to run: (tree node, first definition of a chain to
    // place below it).  Last in, first out, and every expansion pushes what it
    // leads to on top, so each runs to its end before the ones below it: the
    // order of a recursive expansion (provider calls, messages, nodes), but
    // nesting in the definition costs heap instead of call stack.
    typedef std::pair<CXTreeNode*, CXTreeDefNode*> Expansion;
    std::vector<Expansion> pending;
    std::vector<Expansion> next;
    pending.push_back(Expansion(node, defStart));
    while (!pending.empty()) {
        CXTreeNode* const parent = pending.back().first;
        CXTreeDefNode* def = pending.back().second;
        pending.pop_back();
        next.clear();
        // A skipped definition goes on with its next sibling.
        for (; def != nullptr; def = def->getNextSibling()) {
            std::vector<CXTreeNode*> nodes;
            const int r = createRuleNodesByDefNode(nodes, def, parent);
            if (r == -1) {
                addError("缺少数据，无法扩展规则定义（" + def->toString() + "）。");
                ZU_ZOZOV_LOG(zAZir4::LEVEL_WARN, LOGGER, getErrorInfo());
                continue;
            }
            if (r == 1) {
                // A transparent wrapper: its children, then its following
                // siblings, below the same tree node.
                next.push_back(Expansion(parent, def->getChild()));
                next.push_back(Expansion(parent, def->getNextSibling()));
            } else if (r == 2) {
                // Each node goes after the last child of `parent`.  The last
                // child is tracked here rather than found again for every
                // node, so a rule with many groups is linked in linear time.
                CXTreeNode* last = parent->getLastChild();
                std::vector<char> used(nodes.size(), 0);
                for (CXTreeDefNode* c = def->getChild(); c != nullptr; c = c->getNextSibling()) {
                    for (std::size_t i = 0; i < nodes.size(); ++i) {
                        if (used[i] || nodes[i]->m_nodeCode != c->getCode()) continue;
                        last = appendAfter(parent, last, nodes[i]);
                        next.push_back(Expansion(nodes[i], c->getChild()));
                        used[i] = 1;
                        break;
                    }
                }
                CXTreeDefNode* sub = nullptr;
                getXRuleDefChildNode(sub, def);
                for (std::size_t i = 0; i < nodes.size(); ++i) {
                    if (used[i]) continue;
                    last = appendAfter(parent, last, nodes[i]);
                    if (sub != nullptr) next.push_back(Expansion(nodes[i], sub));
                }
            } else if (r == 3) {
                parent->appendChild(nodes.front());
                next.push_back(Expansion(nodes.front(), def->getChild()));
            }
            break;
        }
        // Pushed in reverse, so they run in the order they were found.
        for (std::vector<Expansion>::reverse_iterator it = next.rbegin(); it != next.rend(); ++it) {
            if (it->second != nullptr) pending.push_back(*it);
        }
    }
    return true;
}

int CXTree::createRuleNodesByDefNode(std::vector<CXTreeNode*>& nodes, const CXTreeDefNode* def,
                                     CXTreeNode* const parent) {
    nodes.clear();
    if (def == nullptr) return 0;
    const std::string& tag = def->getTag();
    if (tag == TAG_GROUP || tag == TAG_ACCT) return 1;
    if (tag == TAG_GROUP_RULE) {
        CGrpRule* rule = m_dataProvider->getGrpRule(def->getCode());
        if (rule == nullptr) return -1;
        std::string limitRule;
        std::string limitNode;
        getRuleLimits(limitRule, limitNode, parent, tag);
        const std::map<std::string, CGroup*> groups = rule->getGroups(limitRule, limitNode);
        for (std::map<std::string, CGroup*>::const_iterator it = groups.begin(); it != groups.end();
             ++it) {
            const CGroup* g = it->second;
            if (g == nullptr) continue;
            CXTreeNode* n = createRuleNode(tag, TAG_XNODE, def->getCode(), g->getCode(),
                                           g->getName(), g->getExpression());
            if (n == nullptr) return -1;
            nodes.push_back(n);
        }
        return nodes.empty() ? -1 : 2;
    }
    if (tag == TAG_ACCT_RULE) {
        CAcctRule* rule = m_dataProvider->getAcctRule(def->getCode());
        if (rule == nullptr) return -1;
        const std::map<std::string, CAccount*>& accts = rule->getAccts();
        for (std::map<std::string, CAccount*>::const_iterator it = accts.begin(); it != accts.end();
             ++it) {
            const CAccount* a = it->second;
            if (a == nullptr) continue;
            CXTreeNode* n = createRuleNode(tag, TAG_XNODE, def->getCode(), a->getCode(),
                                           a->getName(), a->getExpression());
            if (n == nullptr) return -1;
            nodes.push_back(n);
        }
        return nodes.empty() ? -1 : 2;
    }
    if (isTreeType(tag)) {
        CXTreeNode* n = createRuleNode(def->getType(), TAG_XTREE, std::string(), std::string(),
                                       def->getName(), std::string());
        if (n == nullptr) return -1;
        nodes.push_back(n);
        return 3;
    }
    return -1;
}

bool CXTree::getRuleLimits(std::string& ruleCode, std::string& nodeCode, CXTreeNode* const parent,
                           const std::string& defTag) {
    if (defTag != TAG_GROUP_RULE) return true;
    for (CXTreeNode* n = parent; n != nullptr; n = n->getParent()) {
        if (n->m_type == TAG_GROUP_RULE || n->m_type == TYPE_GROUP_RULE_TREE) {
            ruleCode = n->m_ruleCode;
            nodeCode = n->m_nodeCode;
            break;
        }
    }
    return true;
}

bool CXTree::getXRuleDefChildNode(CXTreeDefNode*& ruleDef, const CXTreeDefNode* def) {
    ruleDef = nullptr;
    if (def == nullptr) return true;
    for (CXTreeDefNode* c = def->getChild(); c != nullptr; c = c->getNextSibling()) {
        if (c->getTag() == TAG_GROUP_RULE || c->getTag() == TAG_ACCT_RULE) {
            ruleDef = c;
            break;
        }
    }
    return true;
}

CXTreeNode* CXTree::createRuleNode(const std::string& type, const std::string& tag,
                                   const std::string& ruleCode, const std::string& nodeCode,
                                   const std::string& name, const std::string& expr) {
    CXTreeNode* n = createNode();
    if (n == nullptr) return nullptr;
    n->setTree(this);
    n->m_type = type;
    n->m_tag = tag;
    n->m_ruleCode = ruleCode;
    n->setNodeCode(nodeCode);
    n->m_name = name;
    n->m_expr = expr;
    return n;
}

bool CXTree::createRuleExpr(CXTreeNode* node) {
    if (node == nullptr) return false;
    // node, its following siblings and everything below them, with a heap
    // stack instead of recursion (the order of compiling is not observable).
    std::vector<CXTreeNode*> pending(1, node);
    while (!pending.empty()) {
        CXTreeNode* n = pending.back();
        pending.pop_back();
        n->createRuleExpr();
        if (n->getNextSibling() != nullptr) pending.push_back(n->getNextSibling());
        if (n->getChild() != nullptr) pending.push_back(n->getChild());
    }
    return true;
}

// ---------------------------------------------------------------------------
// Sorting holdings, codes and paths

bool CXTree::appendHolds(const std::map<std::string, CGroupInstrument>& holds, bool keepInner) {
    CXTreeNode* root = getRoot();
    if (root == nullptr) return false;
    HoldList work;
    work.reserve(holds.size());
    for (std::map<std::string, CGroupInstrument>::const_iterator it = holds.begin();
         it != holds.end(); ++it) {
        const CHold h = {&it->first, &it->second};
        work.push_back(h);
    }
    return sortChain(root, work, keepInner);
}

bool CXTree::appendHolds(CXTreeNode* start, HoldMap& holds, bool keepInner) {
    if (start == nullptr) return false;
    HoldList work;
    work.reserve(holds.size());
    for (HoldMap::const_iterator it = holds.begin(); it != holds.end(); ++it) {
        const CHold h = {&it->first, it->second};
        work.push_back(h);
    }
    const bool result = sortChain(start, work, keepInner);
    // Mark in the caller's map what the nodes took.
    std::size_t i = 0;
    for (HoldMap::iterator it = holds.begin(); it != holds.end(); ++it, ++i) {
        if (work[i].inst == nullptr) it->second = nullptr;
    }
    return result;
}

// Sorting a sibling chain: every holding not yet taken goes to the last node
// of the chain that matches it (the nodes choose from the last to the first,
// each taking what matches of what is left).  Then, again from the last node
// to `start`, each node that took something hands its share down to its
// children, and what none of them takes goes into a new catch-all child.
// The result is that of `start`.  Siblings are walked in loops; only the
// depth of the tree uses the stack.
bool CXTree::sortChain(CXTreeNode* start, HoldList& holds, bool keepInner) {
    if (start == nullptr) return false;
    if (holds.empty()) return true;

    std::vector<CXTreeNode*> order;
    for (CXTreeNode* n = start; n != nullptr; n = n->getNextSibling()) order.push_back(n);
    std::reverse(order.begin(), order.end());
    for (std::size_t i = 0; i < order.size(); ++i) order[i]->m_holds.clear();

    // Each holding once, each node tried in choosing order until one takes
    // it: the same pairs are tried as when every node scans all holdings.
    std::vector<HoldList> shares(order.size());
    for (HoldList::iterator h = holds.begin(); h != holds.end(); ++h) {
        if (h->inst == nullptr) continue;
        CXTreeNode::CAttrLookup lookup(*h->inst);
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (!order[i]->isMatch(*h->inst, lookup)) continue;
            shares[i].push_back(*h);
            h->inst = nullptr;
            break;
        }
    }

    // Lists are in key order, so every holding goes to the end of the map.
    struct Fill {
        static void into(HoldMap& map, const HoldList& list) {
            for (HoldList::const_iterator h = list.begin(); h != list.end(); ++h) {
                if (h->inst != nullptr) map.emplace_hint(map.end(), *h->key, h->inst);
            }
        }
    };

    bool result = true;
    for (std::size_t i = 0; i < order.size(); ++i) {
        CXTreeNode* node = order[i];
        const HoldList& share = shares[i];
        result = true;
        if (share.empty()) continue;
        CXTreeNode* first = node->getChild();
        // A node with children keeps its holdings only with keepInner; a node
        // without children always does.
        const bool keep = keepInner || first == nullptr;
        if (keep) Fill::into(node->m_holds, share);
        if (first == nullptr) {
            // A leaf that received holdings: it keeps them, and says so.
            result = false;
            continue;
        }
        HoldList rest(share);
        sortChain(first, rest, keepInner);
        HoldList::const_iterator left = rest.begin();
        while (left != rest.end() && left->inst == nullptr) ++left;
        if (left == rest.end()) continue;
        CXTreeNode* other = createRuleNode(node->m_type, TAG_XNODE, first->m_ruleCode, XOTHER,
                                           first->m_ruleCode, std::string());
        if (other == nullptr) {
            // No catch-all node to be had: the node keeps its holdings.
            if (!keep) Fill::into(node->m_holds, share);
            result = false;
            continue;
        }
        // The catch-all node matches everything: it takes the rest.
        Fill::into(other->m_holds, rest);
        node->appendChild(other);
    }
    return result;
}

std::string CXTree::grpCode(const CGroupInstrument& inst) const { return grpCode(m_root, inst); }

// The deepest node of the matching path with a code gives the code.  The
// path is walked level by level in a loop, so a deep tree does not use the
// call stack.
std::string CXTree::grpCode(CXTreeNode* node, const CGroupInstrument& inst) const {
    const std::string* code = nullptr;
    for (CXTreeNode* chain = node; chain != nullptr;) {
        CXTreeNode::CAttrLookup lookup(inst);
        CXTreeNode* n = chain;
        while (n != nullptr && !n->isMatch(inst, lookup)) n = n->getNextSibling();
        if (n == nullptr) break;
        if (!n->m_nodeCode.empty()) code = &n->m_nodeCode;
        chain = n->getChild();
    }
    return code == nullptr ? std::string() : *code;
}

std::string CXTree::grpPath(const CGroupInstrument& inst) const { return grpPath(m_root, inst); }

// The matching path is found level by level in a loop, then its segments are
// joined from the deepest node up, so a deep tree does not use the call stack.
std::string CXTree::grpPath(CXTreeNode* node, const CGroupInstrument& inst) const {
    std::vector<const CXTreeNode*> matched;
    for (CXTreeNode* chain = node; chain != nullptr;) {
        CXTreeNode::CAttrLookup lookup(inst);
        CXTreeNode* n = chain;
        while (n != nullptr && !n->isMatch(inst, lookup)) n = n->getNextSibling();
        if (n == nullptr) break;
        matched.push_back(n);
        chain = n->getChild();
    }
    std::string sub;  // the path below the node at hand
    for (std::vector<const CXTreeNode*>::reverse_iterator it = matched.rbegin();
         it != matched.rend(); ++it) {
        const CXTreeNode* n = *it;
        if (sub.empty()) {
            // Nothing matched below: the next level's rule with "xother".
            for (const CXTreeNode* c = n->getChild(); c != nullptr; c = c->getChild()) {
                if (!c->m_ruleCode.empty()) {
                    sub = c->m_ruleCode + "." + XOTHER;
                    break;
                }
            }
        }
        if (n->m_ruleCode.empty() && n->m_nodeCode.empty()) continue;  // path "" + sub
        std::string path;
        path.reserve(n->m_ruleCode.size() + n->m_nodeCode.size() + 2 + sub.size());
        path += n->m_ruleCode;
        path += '.';
        path += n->m_nodeCode;
        if (!sub.empty()) {
            path += '/';
            path += sub;
        }
        sub.swap(path);
    }
    return sub;
}

// ---------------------------------------------------------------------------
// XML export

bool CXTree::toXML(vODodi::XML::CDomXMLCore& doc, bool withHolds) {
    CXTreeNode* root = getRoot();
    if (root == nullptr) return true;
    doc.reset();
    xercesc::DOMNode* el = root->toXML(doc, false);
    if (el == nullptr || !doc.setRoot(el)) {
        addError("创建根节点失败！");
        return false;
    }
    // The document takes ownership of the filter.
    vODodi::XML::CDomXMLCoreWalker cursor =
        doc.root(0xFFFF, new vODodi::XML::CDomXMLCoreFilter(1, true), false);
    return toXML(root, cursor, doc, withHolds);
}

bool CXTree::toXML(CXTreeNode* start, vODodi::XML::CDomXMLCoreWalker cursor,
                   vODodi::XML::CDomXMLCore& doc, bool withHolds) {
    if (start == nullptr) return false;
    // Siblings along a loop (the cursor steps from one sibling's element to
    // the next), children by recursion with a cursor of their own.
    for (CXTreeNode* node = start;;) {
        CXTreeNode* child = node->getChild();
        if (child != nullptr) {
            xercesc::DOMNode* el = child->toXML(doc, withHolds);
            if (el != nullptr && cursor.appendChild(el) != nullptr) {
                // Step onto the appended element itself: the node's element may
                // already hold instrument elements, so its first child is not
                // necessarily the one just appended.
                vODodi::XML::CDomXMLCoreWalker sub(cursor);
                sub.setCur(el);
                toXML(child, sub, doc, withHolds);
            }
        }
        CXTreeNode* next = node->getNextSibling();
        if (next == nullptr) break;
        xercesc::DOMNode* el = next->toXML(doc, withHolds);
        if (el == nullptr || cursor.appendSibling(el) == nullptr) break;
        if (cursor.nextSibling() != el) break;
        node = next;
    }
    return true;
}

}  // namespace ht
}  // namespace qvt
