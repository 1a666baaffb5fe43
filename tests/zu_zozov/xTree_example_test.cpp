// A definition file with comments and a nested rule, used the way a host uses
// a tree: build, compile, sort, ask paths, export.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "xTreeFixture.h"
#include "zu_zozov/zu_zozov.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(XTreeExample, AssetTreeDefinitionBuildsSortsAndExports) {
    boost::shared_ptr<xtreetest::FakeData> data(new xtreetest::FakeData());
    data->addListRule("ASSET_CLASS",
                      {{"CASH", "Cash", ""}, {"EQ", "Equity", ""}, {"FI", "Fixed income", ""}});
    data->addListRule("REGION", {{"CN", "China", ""}, {"US", "United States", ""}});
    data->addListRule("SECTOR", {{"BANK", "Banks", ""}, {"TECH", "Technology", "WEIGHT > 0"}});

    vODodi::XML::CDomXMLCore defDoc;
    ASSERT_TRUE(defDoc.input(readFile(std::string(ZU_ZOZOV_TEST_DATA) + "/asset_tree.xml")));
    qvt::ht::CXDefTree def;
    ASSERT_TRUE(def.build(defDoc));

    qvt::ht::CXTree tree(data);
    ASSERT_TRUE(tree.buildByRuleDefs(def.getRoot())) << tree.getErrorInfo();
    EXPECT_EQ(
        "XTree(GroupTree,Asset allocation)[ASSET_CLASS.EQ[SECTOR.BANK,SECTOR.TECH],"
        "ASSET_CLASS.CASH[REGION.CN,REGION.US],ASSET_CLASS.FI[REGION.CN,REGION.US]]",
        xtreetest::shape(tree.getRoot()));
    EXPECT_TRUE(tree.createRuleExprs());

    std::map<std::string, qvt::ht::CGroupInstrument> holds;
    holds["600000"].addAttr("ASSET_CLASS", std::string("EQ"));
    holds["600000"].addAttr("SECTOR", std::string("BANK"));
    holds["000001"].addAttr("ASSET_CLASS", std::string("EQ"));
    holds["000001"].addAttr("SECTOR", std::string("TECH"));
    holds["000001"].addAttr("WEIGHT", -1.0);
    holds["T-BOND"].addAttr("ASSET_CLASS", std::string("FI"));
    holds["T-BOND"].addAttr("REGION", std::string("US"));
    ASSERT_TRUE(tree.appendHolds(holds, false));
    EXPECT_EQ("ASSET_CLASS.EQ/SECTOR.BANK", tree.grpPath(holds["600000"]));
    EXPECT_EQ("ASSET_CLASS.EQ/SECTOR.xother", tree.grpPath(holds["000001"]));
    EXPECT_EQ("ASSET_CLASS.FI/REGION.US", tree.grpPath(holds["T-BOND"]));
    EXPECT_EQ("US", tree.grpCode(holds["T-BOND"]));

    vODodi::XML::CDomXMLCore out;
    ASSERT_TRUE(tree.toXML(out, true));
    std::string xml;
    ASSERT_TRUE(out.output(xml));
    EXPECT_NE(std::string::npos, xml.find("Type=\"GroupTree\"")) << xml;
    EXPECT_NE(std::string::npos, xml.find("Name=\"Asset allocation\"")) << xml;
    EXPECT_NE(std::string::npos, xml.find("NodeCode=\"xother\"")) << xml;

    // The written document reads back.
    vODodi::XML::CDomXMLCore back;
    EXPECT_TRUE(back.input(xml));
    EXPECT_EQ(xtreetest::xmlShape(static_cast<xercesc::DOMElement*>(out.root().getCur())),
              xtreetest::xmlShape(static_cast<xercesc::DOMElement*>(back.root().getCur())));
}

}  // namespace
