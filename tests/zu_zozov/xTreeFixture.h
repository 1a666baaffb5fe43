// Test helpers for classification trees: the shared data provider with rules
// built in memory, and compact text forms of a tree and of an export.
#ifndef ZU_ZOZOV_TESTS_XTREEFIXTURE_H
#define ZU_ZOZOV_TESTS_XTREEFIXTURE_H

#include <boost/shared_ptr.hpp>
#include <memory>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "support/fakeData.h"
#include "xml/xmlString.h"
#include "zu_zozov/group.h"
#include "zu_zozov/xDefTree.h"
#include "zu_zozov/xTree.h"

namespace xtreetest {

struct GroupSpec {
    std::string code, name, expr;
};

// The shared provider, owning the rules it serves.
class FakeData : public testsupport::FakeData {
  public:
    // A group-list rule (or an account rule) with the given entries.
    qvt::ht::CGrpRule& addListRule(const std::string& code, const std::vector<GroupSpec>& groups) {
        qvt::ht::CGrpRule& rule = own(m_rules, rules, code);
        for (const GroupSpec& s : groups) rule.addGroup(fill(new qvt::ht::CGroup(), s));
        return rule;
    }
    qvt::ht::CAcctRule& addAcctRule(const std::string& code, const std::vector<GroupSpec>& accts) {
        qvt::ht::CAcctRule& rule = own(m_accts, this->accts, code);
        for (const GroupSpec& s : accts) rule.addAccount(fill(new qvt::ht::CAccount(), s));
        return rule;
    }
    // A property rule: its groups are `values` (code -> name), served as the
    // value list of the property's last segment.
    qvt::ht::CGrpRule& addPropRule(const std::string& code, const std::string& property,
                                   const std::map<std::string, std::string>& values) {
        dics[property.substr(property.rfind('.') + 1)].m_valueNames = values;
        qvt::ht::CGrpRule& rule = own(m_rules, rules, code);
        // The rule refers back to this provider without owning it.
        rule.setGroupDataProvider(
            boost::shared_ptr<qvt::ht::IHTGroupData>(this, [](qvt::ht::IHTGroupData*) {}));
        rule.init("<Rule Property=\"" + property + "\"/>");
        return rule;
    }
    void addParents(const std::string& child, const std::string& parent, const std::string& value,
                    const std::vector<std::string>& list) {
        parents[child + "|" + parent + "|" + value] = list;
    }

  private:
    template <typename T>
    static T& own(std::vector<std::unique_ptr<T> >& store, std::map<std::string, T*>& served,
                  const std::string& code) {
        store.emplace_back(new T());
        store.back()->setCode(code);
        served[code] = store.back().get();
        return *store.back();
    }
    template <typename T>
    static T* fill(T* entry, const GroupSpec& s) {
        entry->setCode(s.code);
        entry->setName(s.name);
        entry->setExpression(s.expr);
        return entry;
    }
    std::vector<std::unique_ptr<qvt::ht::CGrpRule> > m_rules;
    std::vector<std::unique_ptr<qvt::ht::CAcctRule> > m_accts;
};

// "XTree(type,name)" for a root-tagged node, "rule.node" for the others, then
// the children in brackets: XTree(GroupTree,N)[R1.G1[R2.H1],R1.G2].
inline std::string shape(const qvt::ht::CXTreeNode* n) {
    if (n == nullptr) return "(empty)";
    std::string s = n->getTag() == "XTree" ? "XTree(" + n->getType() + "," + n->getName() + ")"
                                           : n->getRuleCode() + "." + n->getNodeCode();
    for (const qvt::ht::CXTreeNode* c = n->getChild(); c != nullptr; c = c->getNextSibling()) {
        s += (c == n->getChild() ? "[" : ",") + shape(c);
    }
    return n->getChild() != nullptr ? s + "]" : s;
}

// The holding keys of a node, joined by ",".
inline std::string holdKeys(const qvt::ht::CXTreeNode* n) {
    std::string s;
    for (const auto& h : n->getHolds()) s += (s.empty() ? "" : ",") + h.first;
    return s;
}

// Through the library's own conversions: on Windows the library carries its
// own copy of Xerces-C, which a test program's copy would not share.
inline std::string attr(const xercesc::DOMElement* el, const char* name) {
    return vODodi::XML::getAttr(el, name);
}

// Compact form of an exported element: XTree{Type,Name}, XNode{RuleCode.NodeCode},
// Instrument(I_CODE), children in brackets.
inline std::string xmlShape(const xercesc::DOMElement* el) {
    if (el == nullptr) return "(null)";
    const std::string tag = vODodi::XML::fromXMLCh(el->getTagName());
    std::string s = tag == "XTree" ? "XTree{" + attr(el, "Type") + "," + attr(el, "Name") + "}"
                    : tag == "XNode"
                        ? "XNode{" + attr(el, "RuleCode") + "." + attr(el, "NodeCode") + "}"
                        : tag + "(" + attr(el, "I_CODE") + ")";
    for (const xercesc::DOMElement* c = el->getFirstElementChild(); c != nullptr;
         c = c->getNextElementSibling()) {
        s += (c == el->getFirstElementChild() ? "[" : ",") + xmlShape(c);
    }
    return el->getFirstElementChild() != nullptr ? s + "]" : s;
}

}  // namespace xtreetest

#endif  // ZU_ZOZOV_TESTS_XTREEFIXTURE_H
