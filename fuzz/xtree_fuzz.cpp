// Fuzz target: a rule-definition XML taken the whole road of a classification
// tree.
//
// The input is read as a definition (CDomXMLCore::input, CXDefTree::build),
// expanded into a CXTree by a data provider that knows a few rules by code,
// compiled, and used: appendHolds of a small book (keeping inner holdings or
// not), grpCode and grpPath of each instrument, toXML with holdings and its
// output.  The provider knows the group rules "L" (groups by expression),
// "P" (by property CLS.A) and "Q" (by property CLS.A.B, below P) and the
// account rule "AC"; other codes are unknown rules.  Any crash, leak,
// sanitizer report or escaping exception is a finding.
#include <boost/any.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "log/logout.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/propDic.h"
#include "zu_zozov/xDefTree.h"
#include "zu_zozov/xTree.h"

namespace {

using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;

class CFuzzHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any&, const boost::any&) override { return true; }
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data*, const boost::any&) override {
        return 0;
    }
};

// Value lists only: serves the rules' own init.
class CDicProvider : public qvt::ht::IHTGroupData {
  public:
    CDicProvider() : m_parents(1, std::string("01")) {
        m_a.m_valueNames["01"] = "one";
        m_a.m_valueNames["02"] = "two";
        m_b.m_valueNames["x"] = "ex";
        m_b.m_valueNames["y"] = "why";
    }
    qvt::ht::CPropDic* getPropDic(const std::string& propCode) override {
        if (propCode == "A") return &m_a;
        if (propCode == "B") return &m_b;
        return nullptr;
    }
    const std::vector<std::string>* getParentPropValues(const std::string&, const std::string&,
                                                        const std::string& childValue) override {
        return childValue == "x" ? &m_parents : nullptr;
    }
    std::string getRootClassCode() override { return "ROOT"; }
    CGrpRule* getGrpRule(const std::string&) override { return nullptr; }
    qvt::ht::CAcctRule* getAcctRule(const std::string&) override { return nullptr; }

  private:
    qvt::ht::CPropDic m_a;
    qvt::ht::CPropDic m_b;
    std::vector<std::string> m_parents;
};

// The tree's provider: the rules L, P, Q and the account rule AC.
class CTreeProvider : public CDicProvider {
  public:
    CTreeProvider() {
        const boost::shared_ptr<qvt::ht::IHTGroupData> dics = boost::make_shared<CDicProvider>();
        initRule(m_list, "L",
                 "<Rule><Group Code=\"1\" Exp=\"num &gt; 10\"/>"
                 "<Group Code=\"2\" Exp=\"M_TYPE == &quot;SZ&quot;\"/></Rule>",
                 dics);
        initRule(m_prop, "P", "<Rule Property=\"CLS.A\"/>", dics);
        initRule(m_sub, "Q", "<Rule Property=\"CLS.A.B\"/>", dics);
        m_acct.setCode("AC");
        addAccount("a1", "I_CODE == \"600000\"");
        addAccount("a2", "num < 0 || flag");
    }
    CGrpRule* getGrpRule(const std::string& code) override {
        if (code == "L") return &m_list;
        if (code == "P") return &m_prop;
        if (code == "Q") return &m_sub;
        return nullptr;
    }
    qvt::ht::CAcctRule* getAcctRule(const std::string& code) override {
        return code == "AC" ? &m_acct : nullptr;
    }

  private:
    static void initRule(CGrpRule& rule, const char* code, const char* xml,
                         const boost::shared_ptr<qvt::ht::IHTGroupData>& dics) {
        rule.setCode(code);
        rule.setGroupDataProvider(dics);
        rule.init(xml);
        rule.buildExps();
    }
    void addAccount(const char* code, const char* expression) {
        qvt::ht::CAccount* account = new qvt::ht::CAccount;
        account->setCode(code);
        account->setName(code);
        account->setExpression(expression);
        m_acct.addAccount(account);
    }

    CGrpRule m_list;
    CGrpRule m_prop;
    CGrpRule m_sub;
    qvt::ht::CAcctRule m_acct;
};

std::map<std::string, CGroupInstrument> makeBook() {
    std::map<std::string, CGroupInstrument> book;
    CGroupInstrument a("600000", "E", "SH", "acct", "", "", "", "", "", "", "", "");
    a.addAttr("CLS.A", std::string("01"));
    a.addAttr("CLS.A.B", std::string("x"));
    a.addAttr("num", 12.5);
    a.addAttr("flag", false);
    book["600000"] = a;
    CGroupInstrument b("000001", "B", "SZ", "", "", "", "", "", "", "", "", "");
    b.addAttr("CLS.A", std::string("02"));
    b.addAttr("num", -3.0);
    book["000001"] = b;
    book["empty"] = CGroupInstrument();
    return book;
}

struct CSetup {
    CSetup() : provider(boost::make_shared<CTreeProvider>()), book(makeBook()) {
        zAZir4::setSink([](const char*, const char*, const char*, const char*, int) {});
        qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<CFuzzHelper>());
    }
    boost::shared_ptr<qvt::ht::IHTGroupData> provider;
    std::map<std::string, CGroupInstrument> book;
};

// A definition expands multiplicatively: every node below a rule is made once
// per group of that rule.  The tree's own node limit stops an expansion past
// MAX_NODES (and that failure path is fuzzed too), or nested rules would only
// measure memory.
const std::size_t MAX_NODES = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSetup* setup = new CSetup;  // lives for the whole process

    const std::string text(reinterpret_cast<const char*>(data), size);
    vODodi::XML::CDomXMLCore doc;
    if (!doc.input(text)) return 0;
    qvt::ht::CXDefTree defs;
    if (!defs.build(doc) || defs.getRoot() == nullptr) return 0;

    qvt::ht::CXTree tree(setup->provider);
    tree.setNodeLimit(MAX_NODES);
    static_cast<void>(tree.buildByRuleDefs(defs.getRoot()));
    static_cast<void>(tree.createRuleExprs());
    for (const auto& entry : setup->book) {
        static_cast<void>(tree.grpCode(entry.second));
        static_cast<void>(tree.grpPath(entry.second));
    }
    for (int keepInner = 0; keepInner < 2; ++keepInner) {
        static_cast<void>(tree.appendHolds(setup->book, keepInner != 0));
        vODodi::XML::CDomXMLCore out;
        std::string xml;
        if (tree.toXML(out, true)) static_cast<void>(out.output(xml));
    }
    // Built again over the same pool.
    static_cast<void>(tree.buildByRuleDefs(defs.getRoot()));
    static_cast<void>(tree.grpPath(setup->book.begin()->second));
    return 0;
}
