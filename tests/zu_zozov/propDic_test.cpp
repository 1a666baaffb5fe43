#include "zu_zozov/propDic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qvt::ht::CAttrPropClassMap;
using qvt::ht::CAttrPropClassObjMap;
using qvt::ht::CInstrumentPool;

TEST(CAttrPropClassObjMap, GetAddAndDuplicates) {
    CAttrPropClassObjMap m;
    EXPECT_EQ(nullptr, m.get("k"));
    EXPECT_TRUE(m.add("k").empty());
    const std::vector<std::string>* list = m.get("k");
    ASSERT_NE(nullptr, list);
    EXPECT_TRUE(list->empty());

    m.add("k", "b");
    m.add("k", "a");
    m.add("k", "b");
    m.add("new", "x");
    EXPECT_EQ((std::vector<std::string>{"b", "a", "b"}), *m.get("k"));
    EXPECT_EQ((std::vector<std::string>{"x"}), *m.get("new"));
    // add(key) on a filled entry returns a copy and keeps the list.
    std::vector<std::string> copy = m.add("k");
    copy.push_back("z");
    EXPECT_EQ(3u, m.get("k")->size());
    EXPECT_EQ(2u, m.getCache().size());
}

TEST(CAttrPropClassMap, AddReturnsExistingEntryAndCopiesAreIndependent) {
    CAttrPropClassMap m;
    m.setTableName("T");
    EXPECT_EQ(nullptr, m.get("p"));
    m.add("p").add("c", "v1");
    m.add("p").add("c", "v2");  // same entry, lists intact
    ASSERT_NE(nullptr, m.get("p"));
    EXPECT_EQ((std::vector<std::string>{"v1", "v2"}), *m.get("p")->get("c"));

    CAttrPropClassMap copy(m);
    copy.add("p").add("c", "v3");
    copy.setTableName("U");
    EXPECT_EQ(2u, m.get("p")->get("c")->size());
    EXPECT_EQ(3u, copy.get("p")->get("c")->size());
    EXPECT_EQ("T", m.getTableName());
    m = copy;
    EXPECT_EQ(3u, m.get("p")->get("c")->size());
}

TEST(CInstrumentPool, NewPoolHasIdZero) { EXPECT_EQ(0, CInstrumentPool().getID()); }
