#include "zu_zozov/htGroupData.h"

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <map>
#include <string>
#include <vector>

using namespace qvt::ht;

namespace {

// A host's data provider answering from the library's own cache types.
class CacheProvider : public IHTGroupData {
public:
    CPropDic* getPropDic(const std::string& propCode) override {
        auto it = m_dics.find(propCode);
        return it == m_dics.end() ? nullptr : &it->second;
    }
    const std::vector<std::string>* getParentPropValues(const std::string& childProp,
                                                        const std::string& parentProp,
                                                        const std::string& childValue) override {
        const CAttrPropClassObjMap* values = m_parents.get(childProp + "." + parentProp);
        return values == nullptr ? nullptr : values->get(childValue);
    }
    std::string getRootClassCode() override { return "ROOT"; }
    CGrpRule* getGrpRule(const std::string&) override { return nullptr; }
    CAcctRule* getAcctRule(const std::string& code) override {
        return code == m_acct.getCode() ? &m_acct : nullptr;
    }

    std::map<std::string, CPropDic> m_dics;
    CAttrPropClassMap m_parents;
    CAcctRule m_acct;
};

}  // namespace

TEST(IHTGroupData, HostAnswersFromTheDictionaryTypes) {
    boost::shared_ptr<CacheProvider> host(new CacheProvider);
    host->m_dics["P"].m_valueNames["1"] = "one";
    host->m_parents.add("CHILD.PARENT").add("c1", "p1");
    host->m_parents.add("CHILD.PARENT").add("c1", "p2");
    host->m_acct.setCode("ACCT");

    boost::shared_ptr<IHTGroupData> provider = host;
    ASSERT_NE(nullptr, provider->getPropDic("P"));
    EXPECT_EQ("one", provider->getPropDic("P")->m_valueNames["1"]);
    EXPECT_EQ(nullptr, provider->getPropDic("Q"));
    const std::vector<std::string>* parents =
        provider->getParentPropValues("CHILD", "PARENT", "c1");
    ASSERT_NE(nullptr, parents);
    EXPECT_EQ((std::vector<std::string>{"p1", "p2"}), *parents);
    EXPECT_EQ(nullptr, provider->getParentPropValues("CHILD", "PARENT", "c2"));
    EXPECT_EQ("ROOT", provider->getRootClassCode());
    EXPECT_EQ(nullptr, provider->getGrpRule("G"));
    EXPECT_EQ(&host->m_acct, provider->getAcctRule("ACCT"));
}
