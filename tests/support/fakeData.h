// The tests' data provider: serves what the test put in its maps (rules not
// owned) and records every call ("dic:<code>", "parents:<child>|<parent>|<value>",
// "root", "rule:<code>", "acct:<code>").
#ifndef ZU_ZOZOV_TESTS_SUPPORT_FAKEDATA_H
#define ZU_ZOZOV_TESTS_SUPPORT_FAKEDATA_H

#include <map>
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
        calls.push_back("dic:" + code);
        return find(dics, code);
    }
    const std::vector<std::string>* getParentPropValues(const std::string& child,
                                                        const std::string& parent,
                                                        const std::string& value) override {
        const std::string key = child + "|" + parent + "|" + value;
        calls.push_back("parents:" + key);
        return find(parents, key);
    }
    std::string getRootClassCode() override {
        calls.push_back("root");
        return rootClass;
    }
    qvt::ht::CGrpRule* getGrpRule(const std::string& code) override {
        calls.push_back("rule:" + code);
        qvt::ht::CGrpRule** rule = find(rules, code);
        return rule ? *rule : nullptr;
    }
    qvt::ht::CAcctRule* getAcctRule(const std::string& code) override {
        calls.push_back("acct:" + code);
        qvt::ht::CAcctRule** rule = find(accts, code);
        return rule ? *rule : nullptr;
    }
    std::map<std::string, qvt::ht::CPropDic> dics;
    std::map<std::string, std::vector<std::string>> parents;  // "child|parent|value"
    std::map<std::string, qvt::ht::CGrpRule*> rules;
    std::map<std::string, qvt::ht::CAcctRule*> accts;
    std::string rootClass = "ROOT";
    std::vector<std::string> calls;

  private:
    template <typename Map>
    static typename Map::mapped_type* find(Map& map, const std::string& key) {
        typename Map::iterator it = map.find(key);
        return it == map.end() ? nullptr : &it->second;
    }
};

}  // namespace testsupport

#endif  // ZU_ZOZOV_TESTS_SUPPORT_FAKEDATA_H
