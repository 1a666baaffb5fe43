// The data provider of the tests and benchmarks: serves what was put in its
// maps (rules not owned, except those made by ownRule) and records every call
// ("dic:<code>", "parents:<child>|<parent>|<value>", "root", "rule:<code>",
// "acct:<code>") unless recordCalls is false.
#ifndef ZU_ZOZOV_TESTS_SUPPORT_FAKEDATA_H
#define ZU_ZOZOV_TESTS_SUPPORT_FAKEDATA_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zu_zozov/acctRule.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/propDic.h"

namespace testsupport {

class FakeData : public qvt::ht::IHTGroupData {
  public:
    qvt::ht::CPropDic* getPropDic(const std::string& code) override {
        record("dic:" + code);
        return find(dics, code);
    }
    const std::vector<std::string>* getParentPropValues(const std::string& child,
                                                        const std::string& parent,
                                                        const std::string& value) override {
        const std::string key = child + "|" + parent + "|" + value;
        record("parents:" + key);
        return find(parents, key);
    }
    std::string getRootClassCode() override {
        record("root");
        return rootClass;
    }
    qvt::ht::CGrpRule* getGrpRule(const std::string& code) override {
        record("rule:" + code);
        qvt::ht::CGrpRule** rule = find(rules, code);
        return rule ? *rule : nullptr;
    }
    qvt::ht::CAcctRule* getAcctRule(const std::string& code) override {
        record("acct:" + code);
        qvt::ht::CAcctRule** rule = find(accts, code);
        return rule ? *rule : nullptr;
    }
    std::map<std::string, qvt::ht::CPropDic> dics;
    std::map<std::string, std::vector<std::string>> parents;  // "child|parent|value"
    std::map<std::string, qvt::ht::CGrpRule*> rules;
    // A new rule with this code, owned by the provider and served by it.
    qvt::ht::CGrpRule& ownRule(const std::string& code) {
        std::unique_ptr<qvt::ht::CGrpRule>& rule = m_owned[code];
        rule.reset(new qvt::ht::CGrpRule());
        rule->setCode(code);
        rules[code] = rule.get();
        return *rule;
    }
    std::map<std::string, qvt::ht::CAcctRule*> accts;
    std::string rootClass = "ROOT";
    std::vector<std::string> calls;
    bool recordCalls = true;

  private:
    void record(const std::string& call) {
        if (recordCalls) calls.push_back(call);
    }
    template <typename Map>
    static typename Map::mapped_type* find(Map& map, const std::string& key) {
        typename Map::iterator it = map.find(key);
        return it == map.end() ? nullptr : &it->second;
    }
    std::map<std::string, std::unique_ptr<qvt::ht::CGrpRule>> m_owned;
};

}  // namespace testsupport

#endif  // ZU_ZOZOV_TESTS_SUPPORT_FAKEDATA_H
