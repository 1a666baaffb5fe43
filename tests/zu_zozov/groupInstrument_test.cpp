#include "zu_zozov/groupInstrument.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>
#include <xercesc/dom/DOMNamedNodeMap.hpp>

#include "support/gbk.h"
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

TEST(GroupInstrument, DefaultRecordGainsEmptyPCodesWhenKeyed) {
    CGroupInstrument inst;
    EXPECT_EQ("xother", inst.getAttributeAsString("P_CODE1"));
    EXPECT_TRUE(inst.getAttrs().empty()) << "reading a missing attribute adds nothing";
    EXPECT_EQ(",,,,,,,,,,,", inst.toKey());
    EXPECT_EQ(P_CODES, attrNames(inst));
    EXPECT_EQ("(,,,P_CODE1:,P_CODE2:,P_CODE3:,P_CODE4:,P_CODE5:,P_CODE6:,P_CODE7:,P_CODE8:,)",
              inst.toString());
}

TEST(GroupInstrument, TwelveStringConstructorAndKeys) {
    CGroupInstrument inst("C1", "S", "M", "A1", "", "x", "", "", "", "", "", "");
    EXPECT_EQ(P_CODES, attrNames(inst)) << "all eight P-codes stored, empty ones too";
    EXPECT_EQ("xother", inst.getAttributeAsString("I_CODE"));  // not a named attribute
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

// Names are ordered a word at a time; the order must be std::string's for
// every length (the whole words, the overlapping last word, the short
// forms) and for bytes above 0x7f.
TEST(GroupInstrument, NamesCompareAsStdStringDoes) {
    std::mt19937 random(11);
    const char alphabet[] = {'A', 'B', '_', '1', '\x7f', '\x80', '\xff'};
    const auto make = [&](std::size_t size) {
        std::string s(size, 'A');
        for (char& c : s) c = alphabet[random() % sizeof alphabet];
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string a = make(random() % 21);
        // Often b shares a prefix with a and differs in one byte, or in
        // length only.
        std::string b = random() % 2 == 0 ? a : make(random() % 21);
        if (!b.empty() && random() % 2 == 0) b[random() % b.size()] = alphabet[random() % 7];
        if (random() % 4 == 0) b.resize(random() % 21, 'B');
        const int expected = a.compare(b) < 0 ? -1 : (a.compare(b) > 0 ? 1 : 0);
        ASSERT_EQ(expected, qvt::ht::detail::compareNames(a, b))
            << '"' << a << "\" vs \"" << b << '"';
    }
}

// The cursor that the evaluation paths read records with must find exactly
// what findAttr finds, for names in any order (repeats, names below the last
// one, names the record lacks, walks long enough to fall back to a search)
// and, through findNext, for names in ascending order.
TEST(GroupInstrument, AttrCursorFindsWhatFindAttrFinds) {
    const std::vector<std::string> names = {"",  "A", "AB", "B", "B_", "C", "D", "E",
                                            "F", "G", "H",  "I", "J",  "K", "L", "\xff"};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        CGroupInstrument inst;
        for (const std::string& name : names) {
            if (random() % 3 != 0) inst.addAttr(name, name);
        }
        qvt::ht::detail::CAttrCursor any(inst.getAttrs());
        qvt::ht::detail::CAttrCursor ascending(inst.getAttrs());
        std::size_t from = 0;
        for (int read = 0; read < 12; ++read) {
            const std::string& name = names[random() % names.size()];
            ASSERT_EQ(inst.findAttr(name), any.find(name)) << "round " << round << ": " << name;
            from += random() % 4;
            if (from < names.size()) {
                ASSERT_EQ(inst.findAttr(names[from]), ascending.findNext(names[from]))
                    << "round " << round << ": " << names[from];
                ++from;
            }
        }
    }
}

}  // namespace
