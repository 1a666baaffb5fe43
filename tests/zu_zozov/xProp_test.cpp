#include "zu_zozov/xProp.h"

#include <gtest/gtest.h>

#include <string>

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
