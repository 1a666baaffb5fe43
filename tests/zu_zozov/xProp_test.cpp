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
        {"TATTROBJ_PROP_DATA", "R", "AO_PROP_VALUE", "AO_PROP_CODE", "AO_VALUE", "AO_CLAS_CODE"},
        {"T_OWN", "R", "OWN_V", "", "OWN_K", "OWN_C"},
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
    }
}

TEST(CXProp, TypeIsNullUntilRecognisedAndDateColumnByName) {
    CXProp p;
    p.setType("s");
    EXPECT_EQ(nullptr, p.getType());
    p.setType("Class");
    EXPECT_EQ(CXProp::PTYPE_CLASS, p.getType());  // the constant itself
    p.setType("Float");                           // unknown: the last type stays
    EXPECT_EQ(CXProp::PTYPE_CLASS, p.getType());
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
}
