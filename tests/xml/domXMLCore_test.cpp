#include "xml/domXMLCore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "support/gbk.h"
#include "support/smallStack.h"

namespace {

using vODodi::XML::CDomXMLCore;
using vODodi::XML::CDomXMLCoreFilter;
using vODodi::XML::CDomXMLCoreWalker;
using xercesc::DOMNode;

std::string attrOf(const CDomXMLCoreWalker& walker, const std::string& name) {
    std::string value = "<absent>";
    walker.getAttr(value, name);
    return value;
}

const char RULE_UTF8[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<GroupRule Code=\"R1\" Name=\"行业\">\n"
    "  <!-- a comment between groups -->\n"
    "  <Group Code=\"01\" Name=\"银行\" Expr=\"P_CODE1 == &quot;银行&quot;\"/>\n"
    "  text between groups\n"
    "  <Group Code=\"02\" Name=\"证券\"/>\n"
    "  <Other/>\n"
    "  <Group Code=\"03\" Name=\"保险\"/>\n"
    "</GroupRule>\n";

TEST(DomXMLCore, ReadsDeclaredAndUndeclaredEncodingsAsGbk) {
    const std::string name = testsupport::gbk("银行");
    struct Case {
        const char* what;
        std::string xml;
    };
    const Case cases[] = {
        {"UTF-8 declared", RULE_UTF8},
        {"no declaration reads as UTF-8", "<GroupRule><Group Name=\"银行\"/></GroupRule>"},
        {"GBK declared", "<?xml version=\"1.0\" encoding=\"GBK\"?><GroupRule><Group Name=\"" +
                             name + "\"/></GroupRule>"},
        {"gb2312 declared", "<?xml version=\"1.0\" encoding=\"gb2312\"?><GroupRule><Group Name=\"" +
                                name + "\"/></GroupRule>"},
    };
    for (const Case& c : cases) {
        CDomXMLCore doc;
        ASSERT_TRUE(doc.input(c.xml)) << c.what;
        CDomXMLCoreWalker walker = doc.root();
        ASSERT_NE(nullptr, walker.firstChild()) << c.what;
        EXPECT_EQ(name, attrOf(walker, "Name")) << c.what;
    }
}

TEST(DomXMLCore, OutputDeclaresGbkAndRoundTripsThroughInput) {
    CDomXMLCore doc;
    ASSERT_TRUE(doc.input(RULE_UTF8));
    std::string xml;
    ASSERT_TRUE(doc.output(xml));
    EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"GBK\"")) << xml;
    EXPECT_NE(std::string::npos, xml.find(testsupport::gbk("Name=\"银行\"")))
        << "GBK bytes, not references";

    CDomXMLCore again;
    ASSERT_TRUE(again.input(xml));
    CDomXMLCoreWalker walker = again.root();
    EXPECT_EQ(testsupport::gbk("行业"), attrOf(walker, "Name"));
    ASSERT_NE(nullptr, walker.firstChild());
    EXPECT_EQ(testsupport::gbk("P_CODE1 == \"银行\""), attrOf(walker, "Expr"));
    std::string second;
    ASSERT_TRUE(again.output(second));
    EXPECT_EQ(xml, second);

    // Characters GBK lacks survive as character references.
    CDomXMLCore thai;
    ASSERT_TRUE(thai.input("<a t=\"\xE0\xB8\x81\">\xE0\xB8\x81</a>"));
    std::string thaiXml;
    ASSERT_TRUE(thai.output(thaiXml));
    CDomXMLCore thaiAgain;
    ASSERT_TRUE(thaiAgain.input(thaiXml)) << thaiXml;
    std::string thaiSecond;
    ASSERT_TRUE(thaiAgain.output(thaiSecond));
    EXPECT_EQ(thaiXml, thaiSecond);

    std::string untouched = "keep";
    CDomXMLCore empty;
    EXPECT_FALSE(empty.output(untouched)) << "an empty document has nothing to write";
    EXPECT_EQ("keep", untouched);
    EXPECT_EQ(testsupport::gbk("文档没有根元素，无法输出。"), empty.getError());

    // The serialiser recurses once per level: a document as deep as output
    // takes is written on a host thread's 1 MiB stack, one level more is
    // refused with a reason instead of overflowing the stack.
    testsupport::onSmallStack([] {
        for (int depth : {CDomXMLCore::MAX_OUTPUT_DEPTH, CDomXMLCore::MAX_OUTPUT_DEPTH + 1}) {
            std::string text;
            for (int i = 0; i < depth; ++i) text += "<a>";
            for (int i = 0; i < depth; ++i) text += "</a>";
            CDomXMLCore deep;
            ASSERT_TRUE(deep.input(text));
            const bool fits = depth <= CDomXMLCore::MAX_OUTPUT_DEPTH;
            std::string xml = "keep";
            EXPECT_EQ(fits, deep.output(xml)) << depth;
            EXPECT_EQ(fits ? std::string() : testsupport::gbk("文档嵌套超过4000层，无法输出。"),
                      deep.getError());
            if (!fits) {
                EXPECT_EQ("keep", xml);
            }
        }
    });
}

TEST(DomXMLCore, MalformedOrUnsafeInputFailsSilentlyAndKeepsTheDocument) {
    const std::string laughs =
        "<!DOCTYPE a [<!ENTITY l0 \"ha\">"
        "<!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;\">"
        "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;\">"
        "<!ENTITY l3 \"&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;\">"
        "<!ENTITY l4 \"&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;\">"
        "<!ENTITY l5 \"&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;\">"
        "<!ENTITY l6 \"&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;\">]><a>&l6;</a>";
    const std::string bad[] = {
        "",
        "   ",
        "not xml",
        "<a>",
        "<a></b>",
        "<a x=1/>",
        "<a/><b/>",
        "<a>&undefined;</a>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><a/>",
        "<a Name=\"" + testsupport::gbk("银行") + "\"/>",  // GBK bytes without a declaration
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/hostname\">]><a>&e;</a>",
        laughs,
    };
    for (const std::string& xml : bad) {
        CDomXMLCore doc;
        ASSERT_TRUE(doc.input("<Kept/>"));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool parsed = doc.input(xml);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(parsed) << xml;
        EXPECT_EQ("", out) << xml;
        EXPECT_EQ("", err) << xml;
        EXPECT_EQ("Kept", doc.root().getName())
            << "a failed input leaves the document as it was: " << xml;
    }
    // Internal entities of reasonable size are fine; an external DTD is not
    // fetched, so its absence is no error.
    CDomXMLCore doc;
    EXPECT_TRUE(doc.input("<!DOCTYPE a [<!ENTITY e \"x\">]><a n=\"&e;\"/>"));
    EXPECT_EQ("x", attrOf(doc.root(), "n"));
    EXPECT_TRUE(doc.input("<!DOCTYPE a SYSTEM \"file:///nonexistent.dtd\"><a/>"));
}

TEST(DomXMLCoreWalker, MovesBetweenElementsOnly) {
    CDomXMLCore doc;
    ASSERT_TRUE(doc.input(RULE_UTF8));
    CDomXMLCoreWalker walker = doc.root(0xFFFF, nullptr, false);
    ASSERT_NE(nullptr, walker.getCur());
    EXPECT_EQ("GroupRule", walker.getName());
    EXPECT_EQ(nullptr, walker.nextSibling()) << "the root has no siblings";
    EXPECT_EQ(nullptr, walker.preSibling());
    EXPECT_EQ("GroupRule", walker.getName()) << "a failed move stays put";

    ASSERT_NE(nullptr, walker.firstChild());
    EXPECT_EQ("01", attrOf(walker, "Code"));
    CDomXMLCoreWalker kept(walker);  // copies are independent
    std::vector<std::string> seen;
    do {
        seen.push_back(walker.getName() + ":" + attrOf(walker, "Code"));
    } while (walker.nextSibling() != nullptr);
    EXPECT_EQ((std::vector<std::string>{"Group:01", "Group:02", "Other:<absent>", "Group:03"}),
              seen);
    EXPECT_EQ("03", attrOf(walker, "Code")) << "stays on the last element";
    ASSERT_NE(nullptr, walker.preSibling());
    EXPECT_EQ("Other", walker.getName());
    EXPECT_EQ("01", attrOf(kept, "Code"));

    std::string value = "untouched";
    EXPECT_FALSE(kept.getAttr(value, "Missing"));
    EXPECT_EQ("untouched", value);
    EXPECT_EQ(nullptr, kept.firstChild()) << "a Group has no child elements";
    ASSERT_NE(nullptr, kept.parentNode());
    EXPECT_EQ("GroupRule", kept.getName());
    ASSERT_NE(nullptr, kept.lastChild());
    EXPECT_EQ("03", attrOf(kept, "Code"));

    CDomXMLCoreWalker nowhere;
    EXPECT_EQ(nullptr, nowhere.getCur());
    EXPECT_EQ("", nowhere.getName());
    EXPECT_FALSE(nowhere.getAttr(value, "Code"));
    EXPECT_EQ(nullptr, nowhere.firstChild());
    EXPECT_EQ(nullptr, nowhere.nextSibling());
}

TEST(DomXMLCoreWalker, FilterAndMaskNarrowTheVisitedElements) {
    CDomXMLCore doc;
    ASSERT_TRUE(doc.input(RULE_UTF8));
    // The library's element filter: the same elements as without a filter.
    CDomXMLCoreWalker elements =
        doc.root(0xFFFF, new CDomXMLCoreFilter(DOMNode::ELEMENT_NODE, true), false);
    ASSERT_NE(nullptr, elements.firstChild());
    EXPECT_EQ("01", attrOf(elements, "Code"));
    {
        CDomXMLCoreWalker copy(elements);  // shares the filter; it dies with the last copy
        EXPECT_NE(nullptr, copy.nextSibling());
    }
    EXPECT_NE(nullptr, elements.nextSibling());
    EXPECT_EQ(xercesc::DOMNodeFilter::FILTER_REJECT,
              CDomXMLCoreFilter().acceptNode(doc.root().getCur()->getFirstChild()));

    CDomXMLCoreWalker noElements =
        doc.root(0xFFFF, new CDomXMLCoreFilter(DOMNode::ELEMENT_NODE, false), false);
    EXPECT_EQ(nullptr, noElements.firstChild());
    CDomXMLCoreWalker textOnly = doc.root(xercesc::DOMNodeFilter::SHOW_TEXT, nullptr, false);
    EXPECT_EQ(nullptr, textOnly.firstChild());
}

// A new element of doc with one attribute.
xercesc::DOMElement* element(CDomXMLCore& doc, const char* tag, const char* name,
                             const char* value) {
    xercesc::DOMElement* e = doc.createElement(tag);
    vODodi::XML::setAttr(e, name, value);
    return e;
}

TEST(DomXMLCore, BuildsADocumentFromCreatedElements) {
    CDomXMLCore doc;
    EXPECT_TRUE(doc.empty());
    EXPECT_EQ(nullptr, doc.root().getCur());
    EXPECT_EQ(nullptr, doc.createElement("")) << "invalid names give null, not an exception";
    EXPECT_EQ(nullptr, doc.createElement("a b"));
    EXPECT_FALSE(doc.setRoot(nullptr));

    xercesc::DOMElement* tree = doc.createElement("XTree");
    ASSERT_NE(nullptr, tree);
    EXPECT_TRUE(doc.empty()) << "created elements are not linked";
    ASSERT_TRUE(doc.setRoot(tree));
    EXPECT_FALSE(doc.empty());

    // Appending under a parent without children, then with children: the
    // cursor reaches the appended element either way.
    CDomXMLCoreWalker walker = doc.root(0xFFFF, new CDomXMLCoreFilter(1, true), false);
    xercesc::DOMElement* node1 = element(doc, "XNode", "NodeCode", "1");
    ASSERT_EQ(node1, walker.appendChild(node1));
    EXPECT_EQ("XTree", walker.getName()) << "appendChild does not move the cursor";
    CDomXMLCoreWalker child(walker);
    ASSERT_EQ(node1, child.lastChild());
    for (const char* code : {"i1", "i2"})
        ASSERT_NE(nullptr, child.appendChild(element(doc, "Instrument", "I_CODE", code)));
    xercesc::DOMElement* node11 = element(doc, "XNode", "NodeCode", "11");
    ASSERT_EQ(node11, child.appendChild(node11));
    CDomXMLCoreWalker grandChild(child);
    ASSERT_EQ(node11, grandChild.lastChild()) << "not the first of the existing children";

    // appendSibling links directly after the current element, before later ones.
    xercesc::DOMElement* node3 = element(doc, "XNode", "NodeCode", "3");
    ASSERT_EQ(node3, child.appendSibling(node3));
    xercesc::DOMElement* node2 = element(doc, "XNode", "NodeCode", "2");
    ASSERT_EQ(node2, child.appendSibling(node2));
    EXPECT_EQ("1", attrOf(child, "NodeCode")) << "appendSibling does not move the cursor";
    ASSERT_NE(nullptr, child.nextSibling());
    EXPECT_EQ("2", attrOf(child, "NodeCode"));
    ASSERT_NE(nullptr, child.nextSibling());
    EXPECT_EQ("3", attrOf(child, "NodeCode"));

    // Refused links leave the document unchanged.
    CDomXMLCore other;
    xercesc::DOMElement* foreign = other.createElement("XNode");
    EXPECT_EQ(nullptr, walker.appendChild(foreign));
    EXPECT_EQ(nullptr, walker.appendSibling(doc.createElement("XNode")))
        << "the root has no parent";
    EXPECT_EQ(nullptr, grandChild.appendChild(tree)) << "an ancestor cannot become a child";
    EXPECT_EQ(nullptr, walker.appendChild(nullptr));
    EXPECT_EQ(nullptr, CDomXMLCoreWalker().appendChild(doc.createElement("x")));
    EXPECT_FALSE(doc.setRoot(foreign));

    std::string xml;
    ASSERT_TRUE(doc.output(xml));
    const std::string body = xml.substr(xml.find("?>") + 2);
    EXPECT_EQ(
        "<XTree><XNode NodeCode=\"1\"><Instrument I_CODE=\"i1\"/><Instrument I_CODE=\"i2\"/>"
        "<XNode NodeCode=\"11\"/></XNode><XNode NodeCode=\"2\"/><XNode NodeCode=\"3\"/></XTree>",
        body.substr(body.find('<')));

    // A new root replaces the old one; reset empties the document.
    xercesc::DOMElement* replacement = doc.createElement("Other");
    ASSERT_TRUE(doc.setRoot(replacement));
    EXPECT_EQ("Other", doc.root().getName());
    EXPECT_TRUE(doc.reset());
    EXPECT_TRUE(doc.empty());
    EXPECT_NE(nullptr, doc.createElement("Fresh")) << "a reset document makes new elements";
}

}  // namespace
