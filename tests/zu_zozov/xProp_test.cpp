#include "zu_zozov/xProp.h"

#include <gtest/gtest.h>

#include <string>

#include "zu_zozov/xClass.h"

using qvt::ht::CXClass;
using qvt::ht::CXProp;

namespace {

CXProp makeProp(const std::string& table, const std::string& storemode) {
    CXProp p;
    p.setTable(table);
    p.setStoremode(storemode);
    p.setVcolumn("OWN_V");
    p.setKeycol("OWN_K");
    p.setClasCodeCol("OWN_C");
    return p;
}

}  // namespace

TEST(CXProp, DerivedColumnNamesByTableAndStoreMode) {
    struct Case {
        const char* table;
        const char* mode;
        const char* vcol;
        const char* ncol;
        const char* keycol;
        const char* clascol;
    };
    const Case cases[] = {
        {"TINST_PROP_DATA", "R", "I_PROP_VALUE", "I_PROP_CODE", "OWN_K", "OWN_C"},
        {"TINST_PROP_DATA", "C", "I_PROP_VALUE", "I_PROP_CODE", "OWN_K", ""},
        {"TATTROBJ_PROP_DATA", "R", "AO_PROP_VALUE", "AO_PROP_CODE", "AO_VALUE", "AO_CLAS_CODE"},
        {"TATTROBJ_PROP_DATA", "C", "AO_PROP_VALUE", "AO_PROP_CODE", "AO_VALUE", ""},
        {"TATTROBJ_PROP_DATA", "", "AO_PROP_VALUE", "AO_PROP_CODE", "AO_VALUE", ""},
        {"T_OWN", "R", "OWN_V", "", "OWN_K", "OWN_C"},
        {"T_OWN", "r", "OWN_V", "", "OWN_K", ""},
        {"tinst_prop_data", "R", "OWN_V", "", "OWN_K", "OWN_C"},
        {"", "X", "OWN_V", "", "OWN_K", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "/" + c.mode);
        CXProp p = makeProp(c.table, c.mode);
        EXPECT_EQ(c.vcol, p.getVcolumn());
        EXPECT_EQ(c.ncol, p.getNcolumn());
        EXPECT_EQ(c.keycol, p.getKeycol());
        EXPECT_EQ(c.clascol, p.getClasCodeCol());
        EXPECT_EQ(std::string(c.mode) == "R", p.isRowStoremode());
        EXPECT_FALSE(p.hasNcolumn());
        // A copy derives the same names.
        CXProp copy(p);
        EXPECT_EQ(p.getVcolumn(), copy.getVcolumn());
        EXPECT_EQ(p.getClasCodeCol(), copy.getClasCodeCol());
    }
}

TEST(CXProp, TypeIsNullUntilRecognisedAndComparesByPointer) {
    CXProp p;
    EXPECT_EQ(nullptr, p.getType());
    p.setType("s");
    p.setType("class");
    p.setType("");
    EXPECT_EQ(nullptr, p.getType());

    const struct {
        const char* text;
        const char* expected;
    } types[] = {{"S", CXProp::PTYPE_S},
                 {"I", CXProp::PTYPE_I},
                 {"D", CXProp::PTYPE_D},
                 {"F", CXProp::PTYPE_F},
                 {"Class", CXProp::PTYPE_CLASS}};
    for (const auto& t : types) {
        p.setType(t.text);
        EXPECT_EQ(t.expected, p.getType()) << t.text;  // same pointer
        EXPECT_STREQ(t.text, p.getType());
    }
    p.setType("Float");  // unknown: the last type stays
    EXPECT_EQ(CXProp::PTYPE_CLASS, p.getType());
    CXProp copy;
    copy = p;
    EXPECT_EQ(CXProp::PTYPE_CLASS, copy.getType());
}

TEST(CXProp, DefaultsAndDateColumn) {
    CXProp p;
    EXPECT_FALSE(p.isDirectSQL());
    EXPECT_FALSE(p.isPropFlag());
    EXPECT_FALSE(p.hasDatecol());
    EXPECT_FALSE(p.isBegDateProperty());
    p.setDatecol("beg_date");  // the name is compared case-sensitively
    EXPECT_TRUE(p.hasDatecol());
    EXPECT_FALSE(p.isBegDateProperty());
    p.setDatecol("BEG_DATE");
    EXPECT_TRUE(p.isBegDateProperty());
}

TEST(CXClass, AddPropertyReplacesAddPropertiesNeverDoes) {
    auto prop = [](const std::string& code, const std::string& name) {
        boost::shared_ptr<CXProp> p(new CXProp);
        p->setCode(code);
        p->setName(name);
        return p;
    };
    CXClass cls;
    cls.addProperty(boost::shared_ptr<CXProp>());
    EXPECT_TRUE(cls.getProperties().empty());
    cls.addProperty(prop("A", "first"));
    cls.addProperty(prop("A", "second"));
    ASSERT_EQ(1u, cls.getProperties().size());
    EXPECT_EQ("second", cls.getProperty("A")->getName());
    EXPECT_FALSE(cls.getProperty("B"));

    boost::shared_ptr<CXClass> other(new CXClass);
    other->addProperty(prop("A", "other"));
    boost::shared_ptr<CXProp> shared = prop("B", "shared");
    other->addProperty(shared);
    cls.addProperties(other);
    cls.addProperties(boost::shared_ptr<CXClass>());
    ASSERT_EQ(2u, cls.getProperties().size());
    EXPECT_EQ("second", cls.getProperty("A")->getName());
    EXPECT_EQ(shared, cls.getProperty("B"));  // the pointer, not a copy

    CXClass copy(cls);
    EXPECT_EQ(shared, copy.getProperty("B"));
    shared->setName("renamed");
    EXPECT_EQ("renamed", copy.getProperty("B")->getName());
}
