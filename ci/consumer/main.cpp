// Smallest real host: reads a group rule, classifies instruments, expands a
// classification tree from a definition, sorts holdings into it and exports
// it. Built against the installed package and through add_subdirectory, so
// the public headers and the exported symbols are what a host gets.
#include <boost/make_shared.hpp>
#include <iostream>
#include <map>
#include <string>

#include "zu_zozov/zu_zozov.h"

using namespace qvt::ht;

namespace {

const char* const kRule =
    "<GroupRule Code='MARKET'>"
    "  <Group Code='SH' Name='Shanghai' Exp='M_TYPE == \"XSHG\"'/>"
    "  <Group Code='SZ' Name='Shenzhen' Exp='M_TYPE == \"XSHE\"'/>"
    "</GroupRule>";

const char* const kTree =
    "<GroupTree Code='T' Name='By market'><GroupRule Code='MARKET'/></GroupTree>";

class Data : public IHTGroupData {
  public:
    CGrpRule* rule = nullptr;
    CPropDic* getPropDic(const std::string&) override { return nullptr; }
    const std::vector<std::string>* getParentPropValues(const std::string&, const std::string&,
                                                        const std::string&) override {
        return nullptr;
    }
    std::string getRootClassCode() override { return "ALL"; }
    CGrpRule* getGrpRule(const std::string& code) override {
        return code == "MARKET" ? rule : nullptr;
    }
    CAcctRule* getAcctRule(const std::string&) override { return nullptr; }
};

int fail(const std::string& what) {
    std::cerr << "consumer: " << what << '\n';
    return 1;
}

}  // namespace

int main() {
    zAZir4::setSink([](const char*, const char*, const char*, const char*, int) {});
    boost::shared_ptr<Data> data = boost::make_shared<Data>();
    CGrpRule rule;
    rule.setCode("MARKET");
    rule.setGroupDataProvider(data);
    if (!rule.init(kRule) || !rule.buildExps()) return fail("rule did not compile");
    data->rule = &rule;

    std::map<std::string, CGroupInstrument> holds;
    holds["1"] = CGroupInstrument("600000", "STK", "XSHG", "A1", "", "", "", "", "", "", "", "");
    holds["2"] = CGroupInstrument("000001", "STK", "XSHE", "A1", "", "", "", "", "", "", "", "");
    holds["3"] = CGroupInstrument("AU2412", "FUT", "SHFE", "A1", "", "", "", "", "", "", "", "");
    for (auto& h : holds) {
        std::string code;
        if (!rule.evalGroup(code, h.second)) return fail("evalGroup failed");
        h.second.addAttr("MARKET", std::string(code));
    }

    vODodi::XML::CDomXMLCore defDoc;
    CXDefTree def;
    if (!defDoc.input(kTree) || !def.build(defDoc)) return fail("definition not read");
    CXTree tree(data);
    if (!tree.buildByRuleDefs(def.getRoot())) return fail("tree not built");
    tree.appendHolds(holds, false);
    const std::string paths = tree.grpPath(holds["1"]) + " " + tree.grpPath(holds["3"]);
    if (paths != "MARKET.SH MARKET.xother") return fail("unexpected paths " + paths);

    vODodi::XML::CDomXMLCore out;
    std::string xml;
    if (!tree.toXML(out, true) || !out.output(xml)) return fail("export failed");
    if (xml.find("I_CODE=\"000001\"") == std::string::npos) return fail("export lacks a holding");

    zAZir4::setSink({});
    std::cout << "zu_zozov " << version() << " linked: " << paths << '\n';
    return 0;
}
