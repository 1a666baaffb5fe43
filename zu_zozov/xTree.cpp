// Classification trees: expansion from rule definitions, matching, sorting of
// holdings, group codes and paths, XML export.
#include "zu_zozov/xTree.h"

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <new>
#include <sstream>
#include <utility>
#include <vector>

#include "common/walker.h"
#include "expr/value.h"
#include "log/logSite.h"
#include "xml/xmlString.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrumentDetail.h"
#include "zu_zozov/grpPlan.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"

namespace qvt {
namespace ht {

namespace {

const std::string TAG_XNODE = "XNode";
const std::string TAG_XTREE = "XTree";
const std::string TAG_GROUP = "Group";
const std::string TAG_ACCT = "Acct";
const std::string ATTR_RULE_CODE = "RuleCode";
const std::string ATTR_NODE_CODE = "NodeCode";
const std::string ATTR_NAME = "Name";
const std::string ATTR_EXPR = "Expr";
const std::string ATTR_TYPE = "Type";
const char* const LOGGER = "CXTree";

bool isTreeType(const std::string& tag) {
    return tag == CXDefTree::GROUP_TREE || tag == CXDefTree::ACCT_TREE || tag == CXDefTree::PORT_TREE ||
           tag == CXDefTree::GROUP_RULE_TREE || tag == CXDefTree::ACCT_RULE_TREE;
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
    if (m_nodeCode == detail::xother()) return true;

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
    if (m_ruleCode.empty() || m_nodeCode == detail::xother()) return true;
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
    if (!m_ruleExpr->calc()) {
        // The failure's message is of no use to anyone here (the instrument
        // just does not match); kept, it would grow by one message for every
        // holding the expression fails on.
        m_ruleExpr->clearErrorInfo();
        return false;
    }
    const boost::any& result = m_ruleExpr->result();
    if (!qvtlib::expr::isNumeric(result)) return false;
    return qvtlib::expr::toDouble(result) >= qvtlib::expr::DOUBLE_TOLERANCE;
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
        if (m_type == CXDefTree::GROUP_RULE_TREE) {
            vODodi::XML::setAttr(el, ATTR_TYPE, CXDefTree::GROUP_RULE);
        } else if (m_type == CXDefTree::ACCT_RULE_TREE) {
            vODodi::XML::setAttr(el, ATTR_TYPE, CXDefTree::ACCT_RULE);
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

const std::size_t CXTree::DEFAULT_NODE_LIMIT;

CXTree::CXTree(const boost::shared_ptr<IHTGroupData>& data)
    : m_dataProvider(data),
      m_nodeLimit(DEFAULT_NODE_LIMIT),
      m_made(0),
      m_stop(STOP_NONE),
      m_building(false) {}

CXTree::~CXTree() { m_dataProvider.reset(); }

bool CXTree::build(const vODodi::XML::CDomXMLCore&) { return false; }

bool CXTree::buildByRuleDefs(CXTreeDefNode* const defRoot) {
    if (defRoot == nullptr) return true;
    // A rebuilt tree gives its previous nodes back to the pool, so that a
    // long-lived tree rebuilt many times keeps a bounded number of nodes.
    reset();
    m_made = 0;
    m_stop = STOP_NONE;
    m_building = true;
    bool filled = false;
    CXTreeNode* tmpRoot = nullptr;
    try {
        tmpRoot = createNode();
        setRoot(tmpRoot);
        filled = fillByRuleDefs(tmpRoot, defRoot);
    } catch (const std::bad_alloc&) {
        m_stop = STOP_NO_MEMORY;
    } catch (...) {
        // The provider's exception reaches the host; no half-built tree stays.
        m_building = false;
        release();
        throw;
    }
    m_building = false;
    const StopReason stop = m_stop;
    m_stop = STOP_NONE;
    if (stop != STOP_NONE) {
        // Nothing of the expansion stays, and the pool gives its memory back.
        release();
        std::ostringstream text;
        if (stop == STOP_NODE_LIMIT) {
            text << "生成树的节点数超过上限" << m_nodeLimit << "个，已放弃扩展。";
        } else {
            text << "内存不足，无法生成树的节点。";
        }
        addError(text.str());
        addError("在规则定义节点 [" + defRoot->toString() + "] 时出错！");
        return false;
    }
    if (!filled) {
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
            if (m_stop != STOP_NONE) return false;
            if (r == EXPAND_MISSING) {
                addError("缺少数据，无法扩展规则定义（" + def->toString() + "）。");
                ZU_ZOZOV_LOG(zAZir4::LEVEL_WARN, LOGGER, getErrorInfo());
                continue;
            }
            if (r == EXPAND_WRAPPER) {
                // A transparent wrapper: its children, then its following
                // siblings, below the same tree node.
                next.push_back(Expansion(parent, def->getChild()));
                next.push_back(Expansion(parent, def->getNextSibling()));
            } else if (r == EXPAND_NODES) {
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
            } else if (r == EXPAND_TREE) {
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
    if (def == nullptr) return EXPAND_NONE;
    const std::string& tag = def->getTag();
    if (tag == TAG_GROUP || tag == TAG_ACCT) return EXPAND_WRAPPER;
    if (tag == CXDefTree::GROUP_RULE) {
        CGrpRule* rule = m_dataProvider->getGrpRule(def->getCode());
        if (rule == nullptr) return EXPAND_MISSING;
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
            if (n == nullptr) return giveBack(nodes);
            nodes.push_back(n);
        }
        return nodes.empty() ? EXPAND_MISSING : EXPAND_NODES;
    }
    if (tag == CXDefTree::ACCT_RULE) {
        CAcctRule* rule = m_dataProvider->getAcctRule(def->getCode());
        if (rule == nullptr) return EXPAND_MISSING;
        const std::map<std::string, CAccount*>& accts = rule->getAccts();
        for (std::map<std::string, CAccount*>::const_iterator it = accts.begin(); it != accts.end();
             ++it) {
            const CAccount* a = it->second;
            if (a == nullptr) continue;
            CXTreeNode* n = createRuleNode(tag, TAG_XNODE, def->getCode(), a->getCode(),
                                           a->getName(), a->getExpression());
            if (n == nullptr) return giveBack(nodes);
            nodes.push_back(n);
        }
        return nodes.empty() ? EXPAND_MISSING : EXPAND_NODES;
    }
    if (isTreeType(tag)) {
        CXTreeNode* n = createRuleNode(def->getType(), TAG_XTREE, std::string(), std::string(),
                                       def->getName(), std::string());
        if (n == nullptr) return EXPAND_MISSING;
        nodes.push_back(n);
        return EXPAND_TREE;
    }
    return EXPAND_MISSING;
}

int CXTree::giveBack(std::vector<CXTreeNode*>& nodes) {
    for (std::size_t i = 0; i < nodes.size(); ++i) destroyNode(nodes[i]);
    nodes.clear();
    return EXPAND_MISSING;
}

bool CXTree::getRuleLimits(std::string& ruleCode, std::string& nodeCode, CXTreeNode* const parent,
                           const std::string& defTag) {
    if (defTag != CXDefTree::GROUP_RULE) return true;
    for (CXTreeNode* n = parent; n != nullptr; n = n->getParent()) {
        if (n->m_type == CXDefTree::GROUP_RULE || n->m_type == CXDefTree::GROUP_RULE_TREE) {
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
        if (c->getTag() == CXDefTree::GROUP_RULE || c->getTag() == CXDefTree::ACCT_RULE) {
            ruleDef = c;
            break;
        }
    }
    return true;
}

CXTreeNode* CXTree::createRuleNode(const std::string& type, const std::string& tag,
                                   const std::string& ruleCode, const std::string& nodeCode,
                                   const std::string& name, const std::string& expr) {
    // While building, the node limit stops the expansion (m_stop tells the
    // build why there was no node).
    if (m_building && m_stop != STOP_NONE) return nullptr;
    if (m_building && m_made >= m_nodeLimit) {
        m_stop = STOP_NODE_LIMIT;
        return nullptr;
    }
    CXTreeNode* n = nullptr;
    try {
        n = createNode();
        n->setTree(this);
        n->m_type = type;
        n->m_tag = tag;
        n->m_ruleCode = ruleCode;
        n->setNodeCode(nodeCode);
        n->m_name = name;
        n->m_expr = expr;
    } catch (const std::bad_alloc&) {
        if (n != nullptr) destroyNode(n);
        return nullptr;
    }
    if (m_building) ++m_made;
    return n;
}

bool CXTree::createRuleExpr(CXTreeNode* node) {
    if (node == nullptr) return false;
    // node, its following siblings and everything below them, with a heap
    // stack instead of recursion (the order of compiling is not observable).
    qvtlib::common::walkPreOrder(node, [](CXTreeNode* n) { n->createRuleExpr(); });
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
    // Holdings of an earlier book would point into a map the caller may
    // since have freed: every node starts empty.
    clearHoldsFrom(root);
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
    clearHoldsFrom(start);
    const bool result = sortChain(start, work, keepInner);
    // Mark in the caller's map what the nodes took.
    std::size_t i = 0;
    for (HoldMap::iterator it = holds.begin(); it != holds.end(); ++it, ++i) {
        if (work[i].inst == nullptr) it->second = nullptr;
    }
    return result;
}

void CXTree::clearHoldsFrom(CXTreeNode* start) {
    qvtlib::common::walkPreOrder(start, [](CXTreeNode* n) { n->m_holds.clear(); });
}

namespace {

// Lists are in key order, so every holding goes to the end of the map.
template <class HoldList>
void fillHolds(CXTreeNode::HoldMap& map, const HoldList& list) {
    for (typename HoldList::const_iterator h = list.begin(); h != list.end(); ++h) {
        if (h->inst != nullptr) map.emplace_hint(map.end(), *h->key, h->inst);
    }
}

}  // namespace

// Sorting a sibling chain: every holding not yet taken goes to the last node
// of the chain that matches it (the nodes choose from the last to the first,
// each taking what matches of what is left).  Then, again from the last node
// to `start`, each node that took something hands its share down to its
// children, and what none of them takes goes into a new catch-all child.
// The result is that of `start`.
//
// The chains below are sorted the same way, one level per entry of an
// explicit stack rather than per call, so the depth of the tree costs heap,
// not call stack.  Each level's chain is sorted to its end before its parent
// chain goes on with the next node: the order of a recursive sort.
bool CXTree::sortChain(CXTreeNode* start, HoldList& holds, bool keepInner) {
    if (start == nullptr) return false;
    if (holds.empty()) return true;

    struct CLevel {
        std::vector<CXTreeNode*> order;  // the chain, last node first
        std::vector<HoldList> shares;    // what each node of `order` took
        std::size_t at;                  // the node of `order` in hand
        bool waiting;                    // its children are sorting `rest`
        HoldList rest;                   // its share, as its children leave it
        bool result;                     // the result of the node in hand
    };
    // A deque keeps its elements in place as it grows: a level sorts the
    // `rest` of the level below it.
    std::deque<CLevel> levels;

    // Opens a level for the chain at `first`: each holding of `list` not yet
    // taken goes to the first node in choosing order that matches it, and is
    // marked taken in `list`.
    struct COpen {
        static void level(std::deque<CLevel>& levels, CXTreeNode* first, HoldList& list) {
            levels.emplace_back();
            CLevel& level = levels.back();
            level.at = 0;
            level.waiting = false;
            level.result = true;
            for (CXTreeNode* n = first; n != nullptr; n = n->getNextSibling()) {
                level.order.push_back(n);
            }
            std::reverse(level.order.begin(), level.order.end());
            for (std::size_t i = 0; i < level.order.size(); ++i) level.order[i]->m_holds.clear();
            // Each holding once, each node tried in choosing order until one
            // takes it: the same pairs are tried as when every node scans all
            // holdings.
            level.shares.resize(level.order.size());
            for (HoldList::iterator h = list.begin(); h != list.end(); ++h) {
                if (h->inst == nullptr) continue;
                CXTreeNode::CAttrLookup lookup(*h->inst);
                for (std::size_t i = 0; i < level.order.size(); ++i) {
                    if (!level.order[i]->isMatch(*h->inst, lookup)) continue;
                    level.shares[i].push_back(*h);
                    h->inst = nullptr;
                    break;
                }
            }
        }
    };

    COpen::level(levels, start, holds);
    bool result = true;
    while (!levels.empty()) {
        CLevel& level = levels.back();
        if (level.at == level.order.size()) {
            result = level.result;
            levels.pop_back();
            continue;
        }
        CXTreeNode* node = level.order[level.at];
        const HoldList& share = level.shares[level.at];
        CXTreeNode* first = node->getChild();
        // A node with children keeps its holdings only with keepInner; a node
        // without children always does.
        const bool keep = keepInner || first == nullptr;
        if (level.waiting) {
            // Its children have taken their part of the share.
            level.waiting = false;
            ++level.at;
            HoldList::const_iterator left = level.rest.begin();
            while (left != level.rest.end() && left->inst == nullptr) ++left;
            if (left == level.rest.end()) continue;
            CXTreeNode* other =
                createRuleNode(node->m_type, TAG_XNODE, first->m_ruleCode, detail::xother(),
                               first->m_ruleCode, std::string());
            if (other == nullptr) {
                // No catch-all node to be had: the node keeps its holdings.
                if (!keep) fillHolds(node->m_holds, share);
                level.result = false;
                continue;
            }
            // The catch-all node matches everything: it takes the rest.
            fillHolds(other->m_holds, level.rest);
            node->appendChild(other);
            continue;
        }
        level.result = true;
        if (share.empty()) {
            ++level.at;
            continue;
        }
        if (keep) fillHolds(node->m_holds, share);
        if (first == nullptr) {
            // A leaf that received holdings: it keeps them, and says so.
            level.result = false;
            ++level.at;
            continue;
        }
        level.rest = share;
        level.waiting = true;
        COpen::level(levels, first, level.rest);
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
// written from the root down into one string, so a deep tree uses neither the
// call stack nor time that grows with the square of its depth.
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
    // The segments "rule.node", from the deepest node up.  A node's path is
    // its own segment (none for a node without codes, like the root) and the
    // path below it; when nothing lies below, the next level's rule with
    // "xother" stands there.
    struct CSegment {
        const std::string* rule;
        const std::string* code;
    };
    std::vector<CSegment> segments;
    std::size_t size = 0;
    for (std::vector<const CXTreeNode*>::reverse_iterator it = matched.rbegin();
         it != matched.rend(); ++it) {
        const CXTreeNode* n = *it;
        if (segments.empty()) {
            for (const CXTreeNode* c = n->getChild(); c != nullptr; c = c->getChild()) {
                if (!c->m_ruleCode.empty()) {
                    const CSegment tail = {&c->m_ruleCode, &detail::xother()};
                    segments.push_back(tail);
                    break;
                }
            }
        }
        if (n->m_ruleCode.empty() && n->m_nodeCode.empty()) continue;
        const CSegment own = {&n->m_ruleCode, &n->m_nodeCode};
        segments.push_back(own);
    }
    for (std::size_t i = 0; i < segments.size(); ++i) {
        size += segments[i].rule->size() + segments[i].code->size() + 2;
    }
    std::string path;
    path.reserve(size);
    for (std::vector<CSegment>::reverse_iterator it = segments.rbegin(); it != segments.rend();
         ++it) {
        if (!path.empty()) path += '/';
        path += *it->rule;
        path += '.';
        path += *it->code;
    }
    return path;
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
        doc.root(xercesc::DOMNodeFilter::SHOW_ALL,
                 new vODodi::XML::CDomXMLCoreFilter(xercesc::DOMNode::ELEMENT_NODE, true), false);
    return toXML(root, cursor, doc, withHolds);
}

// Writes the elements of start's following siblings after start's element
// (on which the cursor stands) and the elements of everything below them.
// Each chain of siblings is written as a whole, then the children of its
// nodes; the nodes whose children are still to be written wait on a heap
// stack, so a deep tree does not use the call stack.  Elements go where a
// recursive walk puts them, so the order of writing is not observable.
bool CXTree::toXML(CXTreeNode* start, vODodi::XML::CDomXMLCoreWalker cursor,
                   vODodi::XML::CDomXMLCore& doc, bool withHolds) {
    if (start == nullptr) return false;
    typedef std::pair<CXTreeNode*, xercesc::DOMNode*> Placed;
    std::vector<Placed> pending;
    std::vector<Placed> chain;
    // The chain at `first`, whose element `el` is in place: each following
    // sibling's element after the one before it.  A sibling whose element
    // cannot be made or linked ends the chain there.
    const auto placeChain = [&](CXTreeNode* first, xercesc::DOMNode* el) {
        chain.clear();
        chain.push_back(Placed(first, el));
        cursor.setCur(el);
        for (CXTreeNode* n = first->getNextSibling(); n != nullptr; n = n->getNextSibling()) {
            xercesc::DOMNode* next = n->toXML(doc, withHolds);
            if (next == nullptr || cursor.appendSibling(next) == nullptr) break;
            if (cursor.nextSibling() != next) break;
            chain.push_back(Placed(n, next));
        }
        pending.insert(pending.end(), chain.rbegin(), chain.rend());
    };
    placeChain(start, cursor.getCur());
    while (!pending.empty()) {
        const Placed placed = pending.back();
        pending.pop_back();
        CXTreeNode* child = placed.first->getChild();
        if (child == nullptr || placed.second == nullptr) continue;
        // The first child goes after what the node's element already holds
        // (its instrument elements).
        xercesc::DOMNode* el = child->toXML(doc, withHolds);
        if (el == nullptr) continue;
        cursor.setCur(placed.second);
        if (cursor.appendChild(el) == nullptr) continue;
        placeChain(child, el);
    }
    return true;
}

}  // namespace ht
}  // namespace qvt
