// Classification trees: expansion from rule definitions, matching, sorting of
// holdings, group codes and paths, XML export.
#include "zu_zozov/xTree.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <new>
#include <sstream>
#include <string_view>
#include <unordered_map>
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
    return tag == CXDefTree::GROUP_TREE || tag == CXDefTree::ACCT_TREE ||
           tag == CXDefTree::PORT_TREE || tag == CXDefTree::GROUP_RULE_TREE ||
           tag == CXDefTree::ACCT_RULE_TREE;
}

// Asks the memory for the cache line at p, for a read soon: a large book's
// records and keys are cold, and a loop over holdings that knows which ones
// come next can have their lines on the way while it works on this one.
// On x86 (with SSE, which has the instruction) it is written out: GCC's
// dead code elimination drops __builtin_prefetch in loops like the
// router's, where nothing else uses the address.
inline void prefetchLine(const void* p) {
#if defined(__GNUC__) && (defined(__x86_64__) || (defined(__i386__) && defined(__SSE__)))
    __asm__ __volatile__("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#elif defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// Appends n as the last child of parent, whose current last child is last
// (null when it has none); returns n.
CXTreeNode* appendAfter(CXTreeNode* parent, CXTreeNode* last, CXTreeNode* n) {
    return last == nullptr ? parent->appendChild(n) : last->insertNextSibling(n);
}

}  // namespace

// The instrument's attributes as one walk down the tree reads them.  The
// attribute named like a rule code is looked up once for a run of sibling
// nodes that share the rule code (the usual case: one rule per level),
// rather than once per node, and read once: a text (with its key), a
// double, or neither.  The levels' look-ups share one cursor over the
// record's attributes, so that names read in ascending order (G_CODE1,
// G_CODE2, ...) walk the record's map forward instead of each descending it
// from the root.
class CXTreeNode::CAttrLookup {
  public:
    explicit CAttrLookup(const CGroupInstrument& inst)
        : m_cursor(inst.getAttrs()),
          m_rule(nullptr),
          m_ruleKey(),
          m_text(nullptr),
          m_textKey(),
          m_num(nullptr) {}
    // Looks up the attribute named like node's rule code, unless the last
    // look-up was for the same name.
    void find(const CXTreeNode& node) {
        if (m_rule != nullptr && (m_rule == &node.m_ruleCode ||
                                  sameCode(m_ruleKey, *m_rule, node.m_ruleKey, node.m_ruleCode))) {
            return;
        }
        m_rule = &node.m_ruleCode;
        m_ruleKey = node.m_ruleKey;
        const detail::CTextOrNumber read = detail::textOrNumber(m_cursor.find(node.m_ruleCode));
        m_text = read.text;
        m_num = read.num;
        if (m_text != nullptr) m_textKey = CCodeKey::of(*m_text);
    }
    // The attribute called name, or null.
    const boost::any* attr(const std::string& name) { return m_cursor.find(name); }
    detail::CAttrCursor& cursor() { return m_cursor; }
    const std::string* text() const { return m_text; }
    const CCodeKey& textKey() const { return m_textKey; }
    const double* num() const { return m_num; }

  private:
    detail::CAttrCursor m_cursor;
    const std::string* m_rule;
    CCodeKey m_ruleKey;
    const std::string* m_text;
    CCodeKey m_textKey;
    const double* m_num;
};

bool CXTreeNode::matchesCodes(CAttrLookup& lookup) const {
    // The root and catch-all nodes take every instrument.
    if (m_ruleCode.empty() || m_catchAll) return true;
    // The attribute named like the rule code must carry the node's code.
    lookup.find(*this);
    if (const std::string* s = lookup.text()) {
        return sameCode(lookup.textKey(), *s, m_codeKey, m_nodeCode);
    }
    if (const double* d = lookup.num()) return qvtlib::expr::doubleEqual(*d, m_nodeNum);
    return false;
}

// ---------------------------------------------------------------------------
// CXTreeNode

CXTreeNode::CXTreeNode() : m_ruleExpr(nullptr), m_nodeNum(0.0) { keyCodes(); }

CXTreeNode::CXTreeNode(const std::string& tag, const std::string& ruleCode,
                       const std::string& nodeCode, const std::string& name,
                       const std::string& expr)
    : m_ruleCode(ruleCode),
      m_nodeCode(nodeCode),
      m_ruleExpr(nullptr),
      m_nodeNum(std::atof(nodeCode.c_str())),
      m_tag(tag),
      m_name(name),
      m_expr(expr) {
    keyCodes();
}

CXTreeNode::CXTreeNode(const CXTreeNode& other)
    : qvtlib::common::CNode<CXTreeNode>(other), m_ruleExpr(nullptr), m_nodeNum(0.0) {
    keyCodes();
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
    keyCodes();
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
    m_childIndex.reset();
    m_tag.clear();
    m_ruleCode.clear();
    m_nodeCode.clear();
    m_nodeNum = 0.0;
    keyCodes();
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
    keyCodes();
}

void CXTreeNode::setRuleCode(const std::string& v) {
    m_ruleCode = v;
    keyCodes();
}

void CXTreeNode::keyCodes() {
    m_ruleKey = CCodeKey::of(m_ruleCode);
    m_codeKey = CCodeKey::of(m_nodeCode);
    m_catchAll = m_nodeCode == detail::xother();
    // The parent's index of its children reads the codes.
    touchChildren(m_parent);
}

bool CXTreeNode::isMatch(const CGroupInstrument& inst) const {
    CAttrLookup lookup(inst);
    return isMatch(inst, lookup);
}

bool CXTreeNode::isMatch(const CGroupInstrument& inst, CAttrLookup& lookup) const {
    return matchesCodes(lookup) && matchesExpr(inst, false, lookup);
}

bool CXTreeNode::isMatchGeneric(const CGroupInstrument& inst) const {
    CAttrLookup lookup(inst);
    return matchesCodes(lookup) && matchesExpr(inst, true, lookup);
}

bool CXTreeNode::matchesExpr(const CGroupInstrument& inst, bool generic,
                             CAttrLookup& lookup) const {
    // Only the root and catch-all nodes pass without their codes; they take
    // every instrument whatever their expression.
    if (m_ruleCode.empty() || m_catchAll) return true;
    // A compiled expression must hold as well: a positive number or true.
    // The plan exists only for a compiled one, so it goes first and the
    // expression object is not read.
    if (!generic && m_fastExpr != nullptr &&
        detail::functionsIntact(m_fastExpr->program->functions())) {
        detail::CPlanSlots slots;
        slots.resolve(inst, m_fastExpr->slotNames, detail::BIND_NAMED, lookup.cursor());
        detail::CPlanValue value;
        if (m_fastExpr->program->run(slots.values(), value)) return detail::nodeTruth(value);
    }
    if (m_ruleExpr == nullptr || !m_ruleExpr->isCompiled()) return true;
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

bool CXTreeNode::matchesAll() const { return m_ruleCode.empty() || m_catchAll; }

int CXTreeNode::matchesExprQuietly(const CGroupInstrument& inst, CAttrLookup& lookup) const {
    if (matchesAll()) return 1;
    // As in matchesExpr, the plan first: it exists only for a compiled
    // expression.
    if (m_fastExpr != nullptr && detail::functionsIntact(m_fastExpr->program->functions())) {
        detail::CPlanSlots slots;
        slots.resolve(inst, m_fastExpr->slotNames, detail::BIND_NAMED, lookup.cursor());
        detail::CPlanValue value;
        if (m_fastExpr->program->run(slots.values(), value))
            return detail::nodeTruth(value) ? 1 : 0;
    }
    return m_ruleExpr == nullptr || !m_ruleExpr->isCompiled() ? 1 : -1;
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

template <class FillShare, class FillRest>
bool CXTree::addCatchAll(CXTreeNode* node, bool keep, FillShare fillShare, FillRest fillRest) {
    const CXTreeNode* first = node->getChild();
    CXTreeNode* other = createRuleNode(node->m_type, TAG_XNODE, first->m_ruleCode, detail::xother(),
                                       first->m_ruleCode, std::string());
    if (other == nullptr) {
        if (!keep) fillShare(node->m_holds);
        return false;
    }
    // The catch-all node matches everything: it takes the rest.
    fillRest(other->m_holds);
    node->appendChild(other);
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
        n->setNodeCode(nodeCode);  // keys both codes
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
    bool result = false;
    if (routeChain(root, work, keepInner, result)) return result;
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
    bool result = false;
    if (!routeChain(start, work, keepInner, result)) result = sortChain(start, work, keepInner);
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

// A sibling chain indexed by node code.  When the nodes that compare codes
// all compare one attribute (the usual case: one rule per level) and are
// many, the attribute is looked up once and an open-addressing table of the
// packed node codes (longer codes by text) gives the positions of the nodes
// that hold its value (a code held by one node, the usual case, keeps its
// position in its own entry); the other chains keep only their nodes.  Made per
// call by appendHolds, and kept by a parent node for grpCode and grpPath
// until its children change (CNode's children stamp).
class CXTreeNode::CChildIndex {
  public:
    // The positions (ascending) of the nodes that hold one code.
    class Positions {
      public:
        Positions(const std::uint32_t* begin, const std::uint32_t* end)
            : m_begin(begin), m_end(end) {}
        const std::uint32_t* begin() const { return m_begin; }
        const std::uint32_t* end() const { return m_end; }

      private:
        const std::uint32_t* m_begin;
        const std::uint32_t* m_end;
    };

    explicit CChildIndex(CXTreeNode* first) {
        for (CXTreeNode* n = first; n != nullptr; n = n->getNextSibling()) nodes.push_back(n);
        const std::size_t size = nodes.size();
        std::size_t coded = 0;
        std::size_t firstCoded = 0;
        bool shared = true;
        for (std::size_t i = 0; i < size; ++i) {
            const CXTreeNode* n = nodes[i];
            if (n->matchesAll()) {
                if (firstAll < 0) firstAll = static_cast<std::ptrdiff_t>(i);
                lastAll = static_cast<std::ptrdiff_t>(i);
                continue;
            }
            if (coded++ == 0) {
                rule = &n->m_ruleCode;
                firstCoded = i;
            } else if (!sameCode(nodes[firstCoded]->m_ruleKey, *rule, n->m_ruleKey,
                                 n->m_ruleCode)) {
                shared = false;
            }
        }
        if (!shared || coded < INDEX_FROM) {
            rule = nullptr;
            return;
        }
        std::size_t slots = 16;
        while (slots < coded * 2) slots *= 2;
        const Slot free = {CCodeKey(), {NO_SPAN, 0}};
        m_table.assign(slots, free);
        m_mask = slots - 1;
        // Each code's positions are gathered first; then a code held by one
        // node keeps its position in its own entry (the usual case, and one
        // memory read less), and the others get a run of m_positions.
        std::vector<std::vector<std::uint32_t> > lists;
        for (std::size_t i = 0; i < size; ++i) {
            const CXTreeNode* n = nodes[i];
            if (n->matchesAll()) continue;
            Span* span = nullptr;
            if (n->m_codeKey.packed) {
                Slot* slot = probe(n->m_codeKey);
                if (slot->span.first == NO_SPAN) slot->key = n->m_codeKey;
                span = &slot->span;
            } else {
                const Span none = {NO_SPAN, 0};
                span = &m_longCodes.emplace(std::string_view(n->m_nodeCode), none).first->second;
            }
            if (span->first == NO_SPAN) {
                span->first = static_cast<std::uint32_t>(lists.size());
                lists.emplace_back();
            }
            lists[span->first].push_back(static_cast<std::uint32_t>(i));
        }
        const auto settle = [this, &lists](Span& span) {
            const std::vector<std::uint32_t>& list = lists[span.first];
            span.count = static_cast<std::uint32_t>(list.size());
            if (list.size() == 1) {
                span.first = list.front();
                return;
            }
            span.first = static_cast<std::uint32_t>(m_positions.size());
            m_positions.insert(m_positions.end(), list.begin(), list.end());
        };
        for (Slot& slot : m_table) {
            if (slot.span.first != NO_SPAN) settle(slot.span);
        }
        for (auto& entry : m_longCodes) settle(entry.second);
    }

    // The positions of the coded nodes whose code is text; empty for none.
    // REQUIRES: rule != null.
    Positions find(const std::string& text) const {
        const CCodeKey key = CCodeKey::of(text);
        const Span* span = nullptr;
        if (key.packed) {
            span = &const_cast<CChildIndex*>(this)->probe(key)->span;
        } else {
            const auto found = m_longCodes.find(std::string_view(text));
            if (found != m_longCodes.end()) span = &found->second;
        }
        if (span == nullptr || span->count == 0) return Positions(nullptr, nullptr);
        const std::uint32_t* run = span->count == 1 ? &span->first : &m_positions[span->first];
        return Positions(run, run + span->count);
    }

    std::vector<CXTreeNode*> nodes;  // in child order
    // The rule code every node that compares codes compares; null when they
    // do not share one, or are too few to index (then find() is not used).
    const std::string* rule = nullptr;
    std::ptrdiff_t firstAll = -1;  // the first node that takes everything
    std::ptrdiff_t lastAll = -1;   // the last one
    std::uint64_t stamp = 0;       // the parent's children stamp it was made for

  private:
    static const std::size_t INDEX_FROM = 8;  // fewer coded siblings are compared one by one
    static const std::uint32_t NO_SPAN = 0xFFFFFFFFu;

    // Where a code's positions are: with count 1, first is the position;
    // with more, first is where they start in m_positions.  first NO_SPAN:
    // no code.
    struct Span {
        std::uint32_t first;
        std::uint32_t count;
    };
    struct Slot {
        CCodeKey key;
        Span span;
    };

    // The slot that holds the packed key, or the free slot where it would go.
    Slot* probe(const CCodeKey& key) {
        std::uint64_t h =
            key.w0 * 0x9E3779B97F4A7C15ull ^ (key.w1 + key.size) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 29;
        for (std::size_t i = static_cast<std::size_t>(h) & m_mask;; i = (i + 1) & m_mask) {
            Slot* slot = &m_table[i];
            if (slot->span.first == NO_SPAN) return slot;
            if (slot->key.w0 == key.w0 && slot->key.w1 == key.w1 && slot->key.size == key.size) {
                return slot;
            }
        }
    }

    std::vector<Slot> m_table;
    std::size_t m_mask = 0;
    std::unordered_map<std::string_view, Span> m_longCodes;
    std::vector<std::uint32_t> m_positions;
};

const CXTreeNode::CChildIndex* CXTreeNode::childIndex() const {
    if (m_childIndex == nullptr || m_childIndex->stamp != getChildStamp()) {
        m_childIndex.reset();
        m_childIndex.reset(new CChildIndex(getChild()));
        m_childIndex->stamp = getChildStamp();
    }
    return m_childIndex.get();
}

// The sorting of sortChain, holding by holding: each holding goes down the
// tree in one pass (at each level the node that would take it from its
// siblings' chain), so the book is read once rather than once per level and
// each holding's attributes are looked up while they are at hand.  Then the
// nodes are filled, and catch-all nodes made, in sortChain's order.
//
// A node's choice among its siblings is made exactly as sortChain makes it
// (the last sibling that matches), but without trying every sibling: a
// chain's CChildIndex gives the siblings whose code the attribute holds;
// a double attribute, or siblings of several rules, are compared node by
// node.  Only the siblings whose codes match have their expressions
// evaluated, as in isMatch.
//
// Trying nodes in another order than sortChain is only exact when nothing
// of it can be observed: code comparisons and evaluation plans have no side
// effects, but an expression that only the expression object can decide
// (logging, asking providers, leaving its variables behind) has to be
// evaluated in sortChain's order.  The routing stops at the first such
// holding and leaves everything to sortChain.
class CXTree::CRouter {
  public:
    // Holdings are numbered by their place in the caller's list.
    typedef std::vector<std::uint32_t> Indices;

    // One sibling chain that holdings reach.
    struct Chain {
        explicit Chain(CXTreeNode* first) : index(first) {
            const std::size_t size = index.nodes.size();
            steps.resize(size);
            // Nothing a routing runs changes the nodes: what they are made
            // of is read here once, not from every node for every holding.
            for (std::size_t i = 0; i < size; ++i) {
                const CXTreeNode* n = index.nodes[i];
                Step& step = steps[i];
                step.child = n->getChild();
                step.below = -1;
                step.plain =
                    n->matchesAll() || n->m_ruleExpr == nullptr || !n->m_ruleExpr->isCompiled();
            }
        }
        // matchesExprQuietly of the node at i.
        int quiet(std::ptrdiff_t i, const CGroupInstrument& inst,
                  CXTreeNode::CAttrLookup& lookup) const {
            return steps[i].plain ? 1 : index.nodes[i]->matchesExprQuietly(inst, lookup);
        }
        // What the routing keeps of each node, together: a holding going
        // down reads and writes one place per level.
        struct Step {
            CXTreeNode* child;   // the node's first child
            std::int32_t below;  // the chain of its children; -1 not yet made
            bool plain;          // it has no expression to evaluate
            Indices share;       // what it took
            Indices rest;        // of that, what none of its children took
        };
        CXTreeNode::CChildIndex index;
        std::vector<Step> steps;
    };

    explicit CRouter(const HoldList& holds) : m_holds(holds) {}

    // The chain at `first`, made on first use.
    std::uint32_t chainOf(CXTreeNode* first) {
        const std::uint32_t id = static_cast<std::uint32_t>(m_chains.size());
        m_chains.emplace_back(first);
        return id;
    }

    // Sends every holding down from the chain at `start`.  False at the
    // first holding that needs an expression object.
    bool route(CXTreeNode* start) {
        chainOf(start);
        for (std::size_t h = 0; h < m_holds.size(); ++h) {
            prefetch(h);
            const CGroupInstrument* inst = m_holds[h].inst;
            if (inst == nullptr) continue;
            CXTreeNode::CAttrLookup lookup(*inst);
            std::uint32_t chain = 0;
            std::uint32_t above = 0;   // the chain above the one in hand
            std::ptrdiff_t from = -1;  // its node that handed the holding down
            for (;;) {
                const std::ptrdiff_t pos = choose(m_chains[chain], *inst, lookup);
                if (pos == UNDECIDED) return false;
                if (pos < 0) {
                    // None of the children takes it: it stays with the
                    // parent, for a catch-all node.
                    if (from >= 0) m_chains[above].steps[from].rest.push_back(index(h));
                    break;
                }
                Chain& c = m_chains[chain];
                Chain::Step& step = c.steps[pos];
                step.share.push_back(index(h));
                CXTreeNode* first = step.child;
                if (first == nullptr) break;
                if (step.below < 0) {
                    const std::uint32_t made = chainOf(first);
                    m_chains[chain].steps[pos].below = static_cast<std::int32_t>(made);
                }
                above = chain;
                from = pos;
                chain = static_cast<std::uint32_t>(m_chains[chain].steps[pos].below);
            }
        }
        return true;
    }

    std::deque<Chain>& chains() { return m_chains; }

  private:
    static const std::ptrdiff_t UNDECIDED = -2;

    static std::uint32_t index(std::size_t h) { return static_cast<std::uint32_t>(h); }

    // Asks the memory for what the holdings a few places ahead will be
    // looked up in (their record, then the first node of their attributes),
    // so that those reads overlap the work on this one.
    void prefetch(std::size_t h) const {
        const std::size_t AHEAD = 8;
        if (h + AHEAD < m_holds.size() && m_holds[h + AHEAD].inst != nullptr) {
            // The map's head (where its first node is kept) may straddle two
            // lines.
            const CGroupInstrument::Attrs& attrs = m_holds[h + AHEAD].inst->getAttrs();
            prefetchLine(&attrs);
            prefetchLine(reinterpret_cast<const char*>(&attrs) + sizeof attrs - 1);
        }
        if (h + AHEAD / 2 < m_holds.size() && m_holds[h + AHEAD / 2].inst != nullptr) {
            const CGroupInstrument::Attrs& attrs = m_holds[h + AHEAD / 2].inst->getAttrs();
            if (!attrs.empty()) {
                // So may the first attribute's name and value.
                const CGroupInstrument::Attrs::value_type& first = *attrs.begin();
                prefetchLine(&first);
                prefetchLine(reinterpret_cast<const char*>(&first) + sizeof first - 1);
            }
        }
    }

    // The position of the node of c that takes inst (the last that matches),
    // -1 for none, UNDECIDED when an expression object would have to decide.
    static std::ptrdiff_t choose(const Chain& chain, const CGroupInstrument& inst,
                                 CXTreeNode::CAttrLookup& lookup) {
        const CXTreeNode::CChildIndex& c = chain.index;
        const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(c.nodes.size());
        if (c.rule == nullptr) {
            for (std::ptrdiff_t i = size - 1; i >= 0; --i) {
                const CXTreeNode* n = c.nodes[i];
                if (!n->matchesCodes(lookup)) continue;
                const int quiet = chain.quiet(i, inst, lookup);
                if (quiet < 0) return UNDECIDED;
                if (quiet > 0) return i;
            }
            return -1;
        }
        // The nodes after the last catch-all one that hold the attribute's
        // value, from the last; else that catch-all node (or none).
        const detail::CTextOrNumber value = detail::textOrNumber(lookup.attr(*c.rule));
        if (const std::string* s = value.text) {
            const CXTreeNode::CChildIndex::Positions list = c.find(*s);
            for (const std::uint32_t* it = list.end(); it != list.begin();) {
                const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(*--it);
                if (i < c.lastAll) break;
                const int quiet = chain.quiet(i, inst, lookup);
                if (quiet < 0) return UNDECIDED;
                if (quiet > 0) return i;
            }
            return c.lastAll;
        }
        if (const double* d = value.num) {
            for (std::ptrdiff_t i = size - 1; i > c.lastAll; --i) {
                const CXTreeNode* n = c.nodes[i];
                if (!qvtlib::expr::doubleEqual(*d, n->m_nodeNum)) continue;
                const int quiet = chain.quiet(i, inst, lookup);
                if (quiet < 0) return UNDECIDED;
                if (quiet > 0) return i;
            }
        }
        return c.lastAll;
    }

    const HoldList& m_holds;
    std::deque<Chain> m_chains;  // stays in place as it grows
};

bool CXTree::routeChain(CXTreeNode* start, HoldList& holds, bool keepInner, bool& result) {
    if (start == nullptr || holds.empty()) return false;  // sortChain answers at once
    if (holds.size() > 0xFFFFFFFFu) return false;
    CRouter router(holds);
    if (!router.route(start)) return false;
    std::deque<CRouter::Chain>& chains = router.chains();

    const auto fill = [&holds](CXTreeNode::HoldMap& map, const CRouter::Indices& list) {
        // Lists are in key order, so every holding goes to the end of the map.
        // A node's holdings are spread over the book: their entries in
        // `holds`, then their keys in the caller's map, are long out of
        // cache.  Both are asked for ahead, the entry first.
        const std::size_t AHEAD = 8;
        const std::size_t size = list.size();
        for (std::size_t k = 0; k < size; ++k) {
            if (k + 2 * AHEAD < size) prefetchLine(&holds[list[k + 2 * AHEAD]]);
            if (k + AHEAD < size) prefetchLine(holds[list[k + AHEAD]].key);
            const CHold& h = holds[list[k]];
            map.emplace_hint(map.end(), *h.key, h.inst);
        }
    };
    // sortChain's second half: from the last node of a chain to its first,
    // each node keeps its share or hands it down; a chain below is done
    // before its parent's chain goes on, and a node's leftovers go into a
    // new catch-all child once its children are done.
    struct Level {
        std::uint32_t chain;
        std::size_t at;  // nodes done, counted from the last
        bool waiting;    // the node in hand waits for its children
        bool result;
    };
    std::vector<Level> levels;
    const Level top = {0, 0, false, true};
    levels.push_back(top);
    result = true;
    while (!levels.empty()) {
        Level& level = levels.back();
        CRouter::Chain& c = chains[level.chain];
        if (level.at == c.index.nodes.size()) {
            result = level.result;
            levels.pop_back();
            continue;
        }
        const std::size_t pos = c.index.nodes.size() - 1 - level.at;
        CXTreeNode* node = c.index.nodes[pos];
        const CRouter::Indices& share = c.steps[pos].share;
        CXTreeNode* first = node->getChild();
        const bool keep = keepInner || first == nullptr;
        if (level.waiting) {
            level.waiting = false;
            ++level.at;
            const CRouter::Indices& rest = c.steps[pos].rest;
            if (rest.empty()) continue;
            if (!addCatchAll(
                    node, keep, [&](CXTreeNode::HoldMap& map) { fill(map, share); },
                    [&](CXTreeNode::HoldMap& map) { fill(map, rest); })) {
                level.result = false;
            }
            continue;
        }
        level.result = true;
        if (share.empty()) {
            ++level.at;
            continue;
        }
        if (keep) fill(node->m_holds, share);
        if (first == nullptr) {
            level.result = false;
            ++level.at;
            continue;
        }
        level.waiting = true;
        const Level below = {static_cast<std::uint32_t>(c.steps[pos].below), 0, false, true};
        levels.push_back(below);
    }
    // What the first chain took is taken in the caller's list.
    const CRouter::Chain& startChain = chains.front();
    for (const CRouter::Chain::Step& step : startChain.steps) {
        for (std::uint32_t i : step.share) holds[i].inst = nullptr;
    }
    return true;
}

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
            if (!addCatchAll(
                    node, keep, [&](CXTreeNode::HoldMap& map) { fillHolds(map, share); },
                    [&](CXTreeNode::HoldMap& map) { fillHolds(map, level.rest); })) {
                level.result = false;
            }
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

// firstMatch over parent's children, through the parent's index: the nodes
// that hold the attribute's code, before the first node that takes
// everything, then that node; exactly the nodes that firstMatch would find
// matching codes, in the same order, so expressions run on the same nodes.
CXTreeNode* CXTree::firstChildMatch(const CXTreeNode* parent, const CGroupInstrument& inst,
                                    CXTreeNode::CAttrLookup& lookup) {
    CXTreeNode* first = parent->getChild();
    if (first == nullptr || first->getNextSibling() == nullptr)
        return firstMatch(first, inst, lookup);
    const CXTreeNode::CChildIndex& c = *parent->childIndex();
    if (c.rule == nullptr) return firstMatch(first, inst, lookup);
    const detail::CTextOrNumber value = detail::textOrNumber(lookup.attr(*c.rule));
    if (value.num != nullptr) {
        // A double compares with every code as a number; other values
        // match no code.
        return firstMatch(first, inst, lookup);
    }
    if (value.text != nullptr) {
        for (const std::uint32_t pos : c.find(*value.text)) {
            if (c.firstAll >= 0 && static_cast<std::ptrdiff_t>(pos) > c.firstAll) break;
            if (c.nodes[pos]->matchesExpr(inst, false, lookup)) return c.nodes[pos];
        }
    }
    return c.firstAll < 0 ? nullptr : c.nodes[static_cast<std::size_t>(c.firstAll)];
}

// The first node of the chain at n that matches inst.  The codes are
// compared here, without a call for every node, and only a node whose codes
// match has its expression evaluated, as in isMatch.
CXTreeNode* CXTree::firstMatch(CXTreeNode* n, const CGroupInstrument& inst,
                               CXTreeNode::CAttrLookup& lookup) {
    for (; n != nullptr; n = n->getNextSibling()) {
        if (n->matchesCodes(lookup) && n->matchesExpr(inst, false, lookup)) return n;
    }
    return nullptr;
}

std::string CXTree::grpCode(const CGroupInstrument& inst) const { return grpCode(m_root, inst); }

// The deepest node of the matching path with a code gives the code.  The
// path is walked level by level in a loop, so a deep tree does not use the
// call stack.
std::string CXTree::grpCode(CXTreeNode* node, const CGroupInstrument& inst) const {
    const std::string* code = nullptr;
    CXTreeNode::CAttrLookup lookup(inst);
    for (CXTreeNode* n = firstMatch(node, inst, lookup); n != nullptr;
         n = firstChildMatch(n, inst, lookup)) {
        if (!n->m_nodeCode.empty()) code = &n->m_nodeCode;
    }
    return code == nullptr ? std::string() : *code;
}

std::string CXTree::grpPath(const CGroupInstrument& inst) const { return grpPath(m_root, inst); }

// The matching path is found level by level in a loop, then its segments are
// written from the root down into one string, so a deep tree uses neither the
// call stack nor time that grows with the square of its depth.  The nodes of
// the path are kept on the stack while the tree is shallow: the path's text
// is then the only allocation.
std::string CXTree::grpPath(CXTreeNode* node, const CGroupInstrument& inst) const {
    const std::size_t INLINE = 32;
    const CXTreeNode* inlined[INLINE];
    std::vector<const CXTreeNode*> spilled;
    std::size_t depth = 0;
    CXTreeNode::CAttrLookup lookup(inst);
    for (CXTreeNode* n = firstMatch(node, inst, lookup); n != nullptr;
         n = firstChildMatch(n, inst, lookup)) {
        if (depth < INLINE) {
            inlined[depth] = n;
        } else {
            if (depth == INLINE) spilled.assign(inlined, inlined + INLINE);
            spilled.push_back(n);
        }
        ++depth;
    }
    const CXTreeNode* const* matched = depth <= INLINE ? inlined : spilled.data();
    // A node's path is its own segment "rule.node" (none for a node without
    // codes, like the root) and the path below it; when nothing lies below,
    // the next level's rule with "xother" stands there.  So the path is the
    // segments of the matched nodes with codes, then, looked for from the
    // deepest matched node up to the deepest one with codes, that rule.
    const std::string* tail = nullptr;
    for (std::size_t k = depth; k-- > 0;) {
        for (const CXTreeNode* c = matched[k]->getChild(); c != nullptr; c = c->getChild()) {
            if (!c->m_ruleCode.empty()) {
                tail = &c->m_ruleCode;
                break;
            }
        }
        if (tail != nullptr) break;
        if (!matched[k]->m_ruleCode.empty() || !matched[k]->m_nodeCode.empty()) break;
    }
    // The text is measured, then written in place: one allocation, and no
    // append call (with its capacity check) per piece.
    std::size_t size = 0;
    std::size_t segments = 0;
    for (std::size_t k = 0; k < depth; ++k) {
        const CXTreeNode* n = matched[k];
        if (n->m_ruleCode.empty() && n->m_nodeCode.empty()) continue;
        size += n->m_ruleCode.size() + 1 + n->m_nodeCode.size();
        ++segments;
    }
    if (tail != nullptr) {
        size += tail->size() + 1 + detail::xother().size();
        ++segments;
    }
    if (segments > 1) size += segments - 1;  // the slashes
    // Usual paths are written on the stack and copied once; longer ones
    // straight into the string.
    char local[256];
    std::string path;
    if (size > sizeof local) path.resize(size);
    char* const start = size > sizeof local ? &path[0] : local;
    char* out = start;
    const auto put = [&out](const std::string& text) {
        if (text.empty()) return;
        std::memcpy(out, text.data(), text.size());
        out += text.size();
    };
    const auto segment = [&](const std::string& rule, const std::string& code) {
        if (out != start) *out++ = '/';
        put(rule);
        *out++ = '.';
        put(code);
    };
    for (std::size_t k = 0; k < depth; ++k) {
        const CXTreeNode* n = matched[k];
        if (n->m_ruleCode.empty() && n->m_nodeCode.empty()) continue;
        segment(n->m_ruleCode, n->m_nodeCode);
    }
    if (tail != nullptr) segment(*tail, detail::xother());
    if (start == local) path.assign(local, size);
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
