// Fuzz target: group rule XML as hosts hand it in.
//
// CGrpRule::init of the input, buildExps, evalGroup of a few instruments
// (attributes of every kind the engine meets), then the rule's other readers:
// a copy, toString, isForFIClass and getGroups against a second rule.  The
// data provider makes the value list of a property rule from the property's
// name (its last segment split at '|'), so the fuzzer also drives the group
// expressions generated from value codes; those are compiled and evaluated
// too.  Any crash, leak, sanitizer report or escaping exception is a finding;
// rules that do not parse or compile are answers.
#include <boost/any.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "log/logout.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/propDic.h"

namespace {

using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;

class CFuzzHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) override {
        const std::string* s = boost::any_cast<std::string>(&value);
        return boost::any(s != nullptr && *s == boost::any_cast<std::string>(sql));
    }
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data*, const boost::any& poolId) override {
        return boost::any(boost::any_cast<double>(poolId) > 0 ? 1 : 0);
    }
};

class CFuzzProvider : public qvt::ht::IHTGroupData {
  public:
    // withOther: getGrpRule("other") answers a property rule of CLS.A.B,
    // itself served by a provider without one.
    explicit CFuzzProvider(bool withOther) : m_parents(1, std::string("P1")) {
        if (!withOther) return;
        m_other.setCode("other");
        m_other.setGroupDataProvider(boost::make_shared<CFuzzProvider>(false));
        m_other.init("<Rule Property=\"CLS.A.B\"/>");
    }

    // The values are the '|'-separated parts of propCode (at most 16).
    qvt::ht::CPropDic* getPropDic(const std::string& propCode) override {
        m_dic.m_valueNames.clear();
        std::string::size_type start = 0;
        for (int n = 0; n < 16; ++n) {
            const std::string::size_type bar = propCode.find('|', start);
            const std::string value = propCode.substr(start, bar - start);
            m_dic.m_valueNames[value] = "name of " + value;
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
        return &m_dic;
    }
    const std::vector<std::string>* getParentPropValues(const std::string&, const std::string&,
                                                        const std::string& childValue) override {
        return childValue.empty() ? nullptr : &m_parents;
    }
    std::string getRootClassCode() override { return "ROOT"; }
    CGrpRule* getGrpRule(const std::string& ruleCode) override {
        return ruleCode == "other" ? &m_other : nullptr;
    }
    qvt::ht::CAcctRule* getAcctRule(const std::string&) override { return nullptr; }

  private:
    qvt::ht::CPropDic m_dic;
    std::vector<std::string> m_parents;
    CGrpRule m_other;
};

std::vector<CGroupInstrument> makeInstruments() {
    std::vector<CGroupInstrument> out;
    out.emplace_back("600000", "A", "SH", "acct", "p1", "p2", "", "", "", "", "", "x\"y");
    CGroupInstrument& a = out.back();
    a.addAttr("CLS.A", std::string("01"));
    a.addAttr("num", 12.5);
    a.addAttr("int", 3);
    a.addAttr("flag", true);
    a.addAttr("big", 4000000000u);
    a.addAttr("vec", std::vector<int>(1, 2));
    out.emplace_back();  // everything empty
    out.emplace_back("000001", "B", "SZ", "", "", "", "", "", "", "", "", "");
    out.back().addAttr("CLS.A", std::string("02"));
    out.back().addAttr("num", -1.0);
    return out;
}

struct CSetup {
    CSetup() : provider(boost::make_shared<CFuzzProvider>(true)), instruments(makeInstruments()) {
        zAZir4::setSink([](const char*, const char*, const char*, const char*, int) {});
        qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<CFuzzHelper>());
    }
    boost::shared_ptr<qvt::ht::IHTGroupData> provider;
    std::vector<CGroupInstrument> instruments;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSetup* setup = new CSetup;  // lives for the whole process

    const std::string text(reinterpret_cast<const char*>(data), size);
    CGrpRule rule;
    rule.setCode("fuzz");
    rule.setGroupDataProvider(setup->provider);
    if (!rule.init(text)) return 0;
    static_cast<void>(rule.buildExps());
    std::string code;
    for (const CGroupInstrument& inst : setup->instruments) {
        static_cast<void>(rule.evalGroup(code, inst));
    }
    // Property rules compile nothing in buildExps: compile and try their
    // generated groups here.
    if (rule.getType() == CGrpRule::GROUP_PROPERTY) {
        for (const auto& entry : rule.getGroups()) {
            qvt::ht::CGroup* group = entry.second;
            if (group == nullptr || !group->buildExp()) continue;
            for (const CGroupInstrument& inst : setup->instruments) {
                static_cast<void>(group->isInGroup(inst));
            }
        }
    }
    CGrpRule copy(rule);
    static_cast<void>(copy.evalGroup(code, setup->instruments.front()));
    static_cast<void>(copy.toString());
    static_cast<void>(rule.isForFIClass("CLS"));
    static_cast<void>(rule.isForFIClass("ROOT"));
    static_cast<void>(rule.getGroups("other", "01"));
    return 0;
}
