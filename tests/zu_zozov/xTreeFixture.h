// Test helpers for classification trees: a data provider that serves group
// and account rules built in memory, and compact text forms of a tree and of
// an exported document.
#ifndef ZU_ZOZOV_TESTS_XTREEFIXTURE_H
#define ZU_ZOZOV_TESTS_XTREEFIXTURE_H

#include <boost/shared_ptr.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "xml/xmlString.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/group.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/propDic.h"
#include "zu_zozov/xDefTree.h"
#include "zu_zozov/xTree.h"

namespace xtreetest {

struct GroupSpec {
    std::string code;
    std::string name;
    std::string expr;
};

// Serves rules by code; records the provider calls the tree and the rules
// make ("rule:<code>", "acct:<code>", "parents:<child>|<parent>|<value>").
class FakeData : public qvt::ht::IHTGroupData {
  public:
    qvt::ht::CPropDic* getPropDic(const std::string& code) override {
        std::map<std::string, qvt::ht::CPropDic>::iterator it = m_dics.find(code);
        return it == m_dics.end() ? nullptr : &it->second;
    }
    const std::vector<std::string>* getParentPropValues(const std::string& child,
                                                        const std::string& parent,
                                                        const std::string& value) override {
        const std::string key = child + "|" + parent + "|" + value;
        calls.push_back("parents:" + key);
        std::map<std::string, std::vector<std::string> >::const_iterator it = m_parents.find(key);
        return it == m_parents.end() ? nullptr : &it->second;
    }
    std::string getRootClassCode() override { return "ROOT"; }
    qvt::ht::CGrpRule* getGrpRule(const std::string& code) override {
        calls.push_back("rule:" + code);
        std::map<std::string, std::unique_ptr<qvt::ht::CGrpRule> >::iterator it =
            m_rules.find(code);
        return it == m_rules.end() ? nullptr : it->second.get();
    }
    qvt::ht::CAcctRule* getAcctRule(const std::string& code) override {
        calls.push_back("acct:" + code);
        std::map<std::string, std::unique_ptr<qvt::ht::CAcctRule> >::iterator it =
            m_accts.find(code);
        return it == m_accts.end() ? nullptr : it->second.get();
    }

    // A group-list rule with the given groups.
    qvt::ht::CGrpRule& addListRule(const std::string& code, const std::vector<GroupSpec>& groups) {
        std::unique_ptr<qvt::ht::CGrpRule>& rule = m_rules[code];
        rule.reset(new qvt::ht::CGrpRule());
        rule->setCode(code);
        for (std::size_t i = 0; i < groups.size(); ++i) {
            qvt::ht::CGroup* g = new qvt::ht::CGroup();
            g->setCode(groups[i].code);
            g->setName(groups[i].name);
            g->setExpression(groups[i].expr);
            rule->addGroup(g);
        }
        return *rule;
    }

    // A property rule: its groups are the values of `values` (code -> name),
    // served as the value list of the property's last segment.
    qvt::ht::CGrpRule& addPropRule(const std::string& code, const std::string& property,
                                   const std::map<std::string, std::string>& values) {
        const std::string last = property.substr(property.rfind('.') + 1);
        m_dics[last].m_valueNames = values;
        std::unique_ptr<qvt::ht::CGrpRule>& rule = m_rules[code];
        rule.reset(new qvt::ht::CGrpRule());
        rule->setCode(code);
        // The rule refers back to this provider without owning it.
        rule->setGroupDataProvider(
            boost::shared_ptr<qvt::ht::IHTGroupData>(this, [](qvt::ht::IHTGroupData*) {}));
        rule->init("<Rule Property=\"" + property + "\"/>");
        return *rule;
    }

    void addParents(const std::string& child, const std::string& parent, const std::string& value,
                    const std::vector<std::string>& parents) {
        m_parents[child + "|" + parent + "|" + value] = parents;
    }

    qvt::ht::CAcctRule& addAcctRule(const std::string& code, const std::vector<GroupSpec>& accts) {
        std::unique_ptr<qvt::ht::CAcctRule>& rule = m_accts[code];
        rule.reset(new qvt::ht::CAcctRule());
        rule->setCode(code);
        for (std::size_t i = 0; i < accts.size(); ++i) {
            qvt::ht::CAccount* a = new qvt::ht::CAccount();
            a->setCode(accts[i].code);
            a->setName(accts[i].name);
            a->setExpression(accts[i].expr);
            rule->addAccount(a);
        }
        return *rule;
    }

    std::vector<std::string> calls;

  private:
    std::map<std::string, std::unique_ptr<qvt::ht::CGrpRule> > m_rules;
    std::map<std::string, std::unique_ptr<qvt::ht::CAcctRule> > m_accts;
    std::map<std::string, qvt::ht::CPropDic> m_dics;
    std::map<std::string, std::vector<std::string> > m_parents;
};

// "XTree(type,name)" for a root-tagged node, "rule.node" for the others, then
// the children in brackets: XTree(GroupTree,N)[R1.G1[R2.H1],R1.G2].
inline std::string shape(const qvt::ht::CXTreeNode* n) {
    if (n == nullptr) return "(empty)";
    std::string s = n->getTag() == "XTree" ? "XTree(" + n->getType() + "," + n->getName() + ")"
                                           : n->getRuleCode() + "." + n->getNodeCode();
    if (n->getChild() != nullptr) {
        s += "[";
        for (const qvt::ht::CXTreeNode* c = n->getChild(); c != nullptr; c = c->getNextSibling()) {
            if (c != n->getChild()) s += ",";
            s += shape(c);
        }
        s += "]";
    }
    return s;
}

// The holding keys of a node, joined by ",".
inline std::string holdKeys(const qvt::ht::CXTreeNode* n) {
    std::string s;
    const qvt::ht::CXTreeNode::HoldMap& h = n->getHolds();
    for (qvt::ht::CXTreeNode::HoldMap::const_iterator it = h.begin(); it != h.end(); ++it) {
        if (!s.empty()) s += ",";
        s += it->first;
    }
    return s;
}

// Through the library's own conversions: on Windows the library carries its
// own copy of Xerces-C, which a test program's copy would not share.
inline std::string fromXml(const XMLCh* x) { return vODodi::XML::fromXMLCh(x); }

inline std::string attr(const xercesc::DOMElement* el, const char* name) {
    return vODodi::XML::getAttr(el, name);
}

// Compact form of an exported element: XTree{Type,Name}, XNode{RuleCode.NodeCode},
// Instrument(I_CODE), children in brackets.
inline std::string xmlShape(const xercesc::DOMElement* el) {
    if (el == nullptr) return "(null)";
    const std::string tag = fromXml(el->getTagName());
    std::string s;
    if (tag == "XTree") {
        s = "XTree{" + attr(el, "Type") + "," + attr(el, "Name") + "}";
    } else if (tag == "XNode") {
        s = "XNode{" + attr(el, "RuleCode") + "." + attr(el, "NodeCode") + "}";
    } else {
        s = tag + "(" + attr(el, "I_CODE") + ")";
    }
    if (el->getFirstElementChild() != nullptr) {
        s += "[";
        for (const xercesc::DOMElement* c = el->getFirstElementChild(); c != nullptr;
             c = c->getNextElementSibling()) {
            if (c != el->getFirstElementChild()) s += ",";
            s += xmlShape(c);
        }
        s += "]";
    }
    return s;
}

}  // namespace xtreetest

#endif  // ZU_ZOZOV_TESTS_XTREEFIXTURE_H
