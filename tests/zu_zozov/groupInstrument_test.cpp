#include "zu_zozov/groupInstrument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOMNamedNodeMap.hpp>

#include "support/gbk.h"
#include "support/logCapture.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/groupInstrumentDetail.h"

namespace {

using qvt::ht::CGroupInstrument;
using Attr = CGroupInstrument::attr;

std::vector<std::string> attrNames(const CGroupInstrument& inst) {
    std::vector<std::string> names;
    for (const auto& entry : inst.getAttrs()) names.push_back(entry.first);
    return names;
}

const std::vector<std::string> P_CODES = {"P_CODE1", "P_CODE2", "P_CODE3", "P_CODE4",
                                          "P_CODE5", "P_CODE6", "P_CODE7", "P_CODE8"};

CGroupInstrument sample() {
    return CGroupInstrument("600000", "S", "SH", "ACC1", "p1", "p2", "p3", "p4", "p5", "p6", "p7",
                            "p8");
}

TEST(GroupInstrument, DefaultRecordGainsEmptyPCodesWhenKeyed) {
    CGroupInstrument inst;
    EXPECT_EQ("xother", inst.getAttributeAsString("P_CODE1"));
    EXPECT_TRUE(inst.getAttrs().empty()) << "reading a missing attribute adds nothing";
    EXPECT_EQ(",,,,,,,,,,,", inst.toKey());
    EXPECT_EQ(P_CODES, attrNames(inst));
    EXPECT_EQ("(,,,P_CODE1:,P_CODE2:,P_CODE3:,P_CODE4:,P_CODE5:,P_CODE6:,P_CODE7:,P_CODE8:,)",
              inst.toString());
    EXPECT_EQ("", inst.getAttributeAsString("P_CODE1"));
}

TEST(GroupInstrument, TwelveStringConstructorAndKeys) {
    CGroupInstrument inst("C1", "S", "M", "A1", "", "x", "", "", "", "", "", "");
    EXPECT_EQ(P_CODES, attrNames(inst)) << "all eight P-codes stored, empty ones too";
    EXPECT_EQ("xother", inst.getAttributeAsString("I_CODE"))
        << "fixed fields are not named attributes";
    EXPECT_EQ("x", inst.getAttributeAsString("P_CODE2"));
    EXPECT_EQ("C1,S,M,A1,,x,,,,,,", inst.toKey());
    // The same string object passed for several fields still gets every separator.
    const std::string x("x");
    EXPECT_EQ("x,x,x,x,x,x,x,x,x,x,x,x",
              CGroupInstrument::toKey(x, x, x, x, x, x, x, x, x, x, x, x));
    CGroupInstrument one;
    one.setiCode("C1");
    one.setAcctCode("not printed");
    one.addAttr("P_CODE1", std::string("A"));
    EXPECT_EQ("(C1,,,P_CODE1:A,)", one.toString());
}

TEST(GroupInstrument, FormatsValuesByHeldType) {
    struct Case {
        const char* what;
        boost::any value;
        std::string text;
    };
    const Case cases[] = {
        {"empty", boost::any(), ""},
        {"string", std::string("A股"), "A股"},
        {"double, seven integer digits", 1234567.0, "1.23457e+06"},
        {"int", 7, "7"},
        {"float", 1.25f, "1.25"},
        {"bool", true, ""},
        {"C string", static_cast<const char*>("text"), ""},
    };
    CGroupInstrument inst;
    for (const Case& c : cases) {
        inst.addAttr("V", c.value);
        EXPECT_EQ(c.text, inst.getAttributeAsString("V")) << c.what;
    }
}

TEST(GroupInstrument, AttributesCopyAndMergeByValue) {
    CGroupInstrument a = sample();
    a.addAttr("P_CODE1", 7);
    EXPECT_EQ("7", a.getAttributeAsString("P_CODE1")) << "addAttr replaces";
    CGroupInstrument other;
    other.setiCode("ignored");
    other.addAttr("P_CODE1", std::string("merged"));
    other.addAttr("EXTRA", 2.5);
    a.addAttr(other);
    EXPECT_EQ("600000", a.iCode()) << "merging leaves the fixed fields";
    EXPECT_EQ("merged", a.getAttributeAsString("P_CODE1"));
    EXPECT_EQ("2.5", a.getAttributeAsString("EXTRA"));
    a.addAttr(a);
    EXPECT_EQ(9u, a.getAttrs().size());
    CGroupInstrument copy(a);
    copy.addAttr("P_CODE1", std::string("changed"));
    copy.setiCode("other");
    EXPECT_EQ("merged", a.getAttributeAsString("P_CODE1")) << "copies share nothing";
    CGroupInstrument assigned;
    assigned = copy;
    EXPECT_EQ("changed", assigned.getAttributeAsString("P_CODE1"));
    EXPECT_EQ("other", assigned.iCode());
}

TEST(GroupInstrument, AttributeReadFailureRecord) {
    testsupport::LogCapture log;
    CGroupInstrument inst = sample();
    inst.addAttr("FLAG", true);
    inst.getAttributeAsString("P_CODE1");
    inst.getAttributeAsString("FLAG");
    inst.getAttributeAsString("MISSING");
    EXPECT_TRUE(log.records().empty()) << "ordinary reads, other types and misses log nothing";
    qvt::ht::detail::logAttributeReadFailure("P_CODE3", "boost::bad_any_cast: failed conversion");
    ASSERT_EQ(1u, log.records().size());
    testsupport::expectRecord(
        log.records()[0], "ERROR", "CGroupInstrument",
        testsupport::gbk("属性P_CODE3:boost::bad_any_cast: failed conversion"),
        "groupInstrument.cpp");
}

// The element's attributes as "name=value;" in the DOM's order (Xerces keeps
// an element's attributes sorted by name, whatever order they were set in).
std::string attributesInOrder(const xercesc::DOMElement* element) {
    std::string text;
    const xercesc::DOMNamedNodeMap* attrs = element->getAttributes();
    for (XMLSize_t i = 0; i < attrs->getLength(); ++i) {
        const xercesc::DOMNode* a = attrs->item(i);
        text += vODodi::XML::fromXMLCh(a->getNodeName()) + "=" +
                vODodi::XML::fromXMLCh(a->getNodeValue()) + ";";
    }
    return text;
}

TEST(GroupInstrument, XmlElementHasExactlyTheTwelveAttributes) {
    vODodi::XML::CDomXMLCore doc;
    CGroupInstrument empty;
    xercesc::DOMElement* element = empty.toXML(doc);
    ASSERT_NE(nullptr, element);
    EXPECT_EQ("Instrument", vODodi::XML::fromXMLCh(element->getTagName()));
    EXPECT_EQ(nullptr, element->getParentNode()) << "not linked";
    EXPECT_EQ(nullptr, element->getFirstChild());
    EXPECT_EQ(
        "ACCT_CODE=;A_TYPE=;I_CODE=;M_TYPE=;P_CODE1=;P_CODE2=;P_CODE3=;P_CODE4=;P_CODE5=;P_CODE6=;"
        "P_CODE7=;P_CODE8=;",
        attributesInOrder(element));
    EXPECT_EQ(P_CODES, attrNames(empty)) << "missing P-codes are added empty";
    CGroupInstrument inst("600000", "S", "SH", "ACC1", testsupport::gbk("银行"), "", "", "", "", "",
                          "", "");
    inst.addAttr("P_CODE2", 1234567.0);
    inst.addAttr("P_CODE3", true);
    inst.addAttr("P_CODE4", 42);
    CGroupInstrument withExtras(inst);
    withExtras.addAttr("G_CODE1", std::string("g"));
    withExtras.addAttr("OTHER", 1);
    const std::string expected =
        "ACCT_CODE=ACC1;A_TYPE=S;I_CODE=600000;M_TYPE=SH;P_CODE1=" + testsupport::gbk("银行") +
        ";P_CODE2=1.23457e+06;P_CODE3=;P_CODE4=42;P_CODE5=;P_CODE6=;P_CODE7=;P_CODE8=;";
    xercesc::DOMElement* plain = inst.toXML(doc);
    xercesc::DOMElement* extras = withExtras.toXML(doc);
    ASSERT_NE(nullptr, plain);
    ASSERT_NE(nullptr, extras);
    EXPECT_EQ(expected, attributesInOrder(plain));
    EXPECT_EQ(expected, attributesInOrder(extras)) << "only the twelve attributes are written";
}

}  // namespace
