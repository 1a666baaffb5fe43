#include "xml/domXMLCore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "support/gbk.h"
#include "support/smallStack.h"

namespace {

using testsupport::gbk;
using vODodi::XML::CDomXMLCore;
using vODodi::XML::CDomXMLCoreFilter;
using vODodi::XML::CDomXMLCoreWalker;

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
    const std::string name = gbk("银行");
    const std::string cases[] = {
        RULE_UTF8,
        "<GroupRule><Group Name=\"银行\"/></GroupRule>",  // undeclared: UTF-8
        "<?xml version=\"1.0\" encoding=\"GBK\"?><GroupRule><Group Name=\"" + name +
            "\"/></GroupRule>",
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><GroupRule><Group Name=\"" + name +
            "\"/></GroupRule>",
    };
    for (const std::string& xml : cases) {
        CDomXMLCore doc;
        ASSERT_TRUE(doc.input(xml)) << xml;
        CDomXMLCoreWalker walker = doc.root();
        ASSERT_NE(nullptr, walker.firstChild()) << xml;
        EXPECT_EQ(name, attrOf(walker, "Name")) << xml;
    }
}

TEST(DomXMLCore, OutputDeclaresGbkAndRoundTripsThroughInput) {
    for (const char* text : {RULE_UTF8, "<a t=\"\xE0\xB8\x81\">\xE0\xB8\x81</a>"}) {
        // GBK bytes, not references; characters GBK lacks as references.
        CDomXMLCore doc, again;
        std::string xml, second;
        ASSERT_TRUE(doc.input(text));
        ASSERT_TRUE(doc.output(xml));
        EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"GBK\"")) << xml;
        ASSERT_TRUE(again.input(xml)) << xml;
        ASSERT_TRUE(again.output(second));
        EXPECT_EQ(xml, second);
    }
    CDomXMLCore doc;
    std::string xml;
    ASSERT_TRUE(doc.input(RULE_UTF8));
    ASSERT_TRUE(doc.output(xml));
    EXPECT_NE(std::string::npos, xml.find(gbk("Name=\"银行\"")));
    ASSERT_TRUE(doc.input(xml));
    CDomXMLCoreWalker walker = doc.root();
    ASSERT_NE(nullptr, walker.firstChild());
    EXPECT_EQ(gbk("P_CODE1 == \"银行\""), attrOf(walker, "Expr"));
    std::string untouched = "keep";
    CDomXMLCore empty;
    EXPECT_FALSE(empty.output(untouched));
    EXPECT_EQ("keep", untouched);
    EXPECT_EQ(gbk("文档没有根元素，无法输出。"), empty.getError());
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
            EXPECT_EQ(fits ? "" : gbk("文档嵌套超过4000层，无法输出。"), deep.getError());
            if (!fits) EXPECT_EQ("keep", xml);
        }
    });
}

TEST(DomXMLCore, MalformedOrUnsafeInputFailsSilentlyAndKeepsTheDocument) {
    std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 6; ++i) {
        const std::string prev = "&l" + std::to_string(i - 1) + ";";
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += prev;
        laughs += "\">";
    }
    laughs += "]><a>&l6;</a>";
    const std::string bad[] = {
        "",
        "not xml",
        "<a>",
        "<a></b>",
        "<a x=1/>",
        "<a/><b/>",
        "<a>&undefined;</a>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><a/>",
        "<a Name=\"" + gbk("银行") + "\"/>",                      // GBK bytes without a declaration
        "<?xml version='1.0' encoding='GBK'?><R N='\x81\x20'/>",  // not GBK, though declared
        std::string("<R>\0</R>", 8),
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/hostname\">]><a>&e;</a>",
        laughs,
    };
    for (const std::string& xml : bad) {
        CDomXMLCore doc;
        ASSERT_TRUE(doc.input("<Kept/>"));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(doc.input(xml)) << xml;
        EXPECT_EQ("", testing::internal::GetCapturedStdout()) << xml;
        EXPECT_EQ("", testing::internal::GetCapturedStderr()) << xml;
        EXPECT_EQ("Kept", doc.root().getName()) << xml;
    }
    // Internal entities of reasonable size are fine; an external DTD is not
    // fetched, so its absence is no error.
    CDomXMLCore doc;
    EXPECT_TRUE(doc.input("<!DOCTYPE a [<!ENTITY e \"x\">]><a n=\"&e;\"/>"));
    EXPECT_EQ("x", attrOf(doc.root(), "n"));
    EXPECT_TRUE(doc.input("<!DOCTYPE a SYSTEM \"file:///nonexistent.dtd\"><a/>"));
}

TEST(DomXMLCoreWalker, MovesBetweenElementsOnlyAsTheFilterAllows) {
    CDomXMLCore doc;
    ASSERT_TRUE(doc.input(RULE_UTF8));
    CDomXMLCoreWalker walker = doc.root(0xFFFF, nullptr, false);
    EXPECT_EQ("GroupRule", walker.getName());
    EXPECT_EQ(nullptr, walker.nextSibling());
    EXPECT_EQ(nullptr, walker.preSibling());
    EXPECT_EQ("GroupRule", walker.getName()) << "a failed move stays put";
    ASSERT_NE(nullptr, walker.firstChild());
    CDomXMLCoreWalker kept(walker);  // copies are independent
    std::vector<std::string> seen;
    do {
        seen.push_back(walker.getName() + ":" + attrOf(walker, "Code"));
    } while (walker.nextSibling() != nullptr);
    EXPECT_EQ((std::vector<std::string>{"Group:01", "Group:02", "Other:<absent>", "Group:03"}),
              seen);
    ASSERT_NE(nullptr, walker.preSibling());
    EXPECT_EQ("Other", walker.getName());
    EXPECT_EQ("01", attrOf(kept, "Code"));
    EXPECT_EQ(nullptr, kept.firstChild());
    ASSERT_NE(nullptr, kept.parentNode());
    ASSERT_NE(nullptr, kept.lastChild());
    EXPECT_EQ("03", attrOf(kept, "Code"));
    CDomXMLCoreWalker nowhere;
    EXPECT_EQ(nullptr, nowhere.firstChild());
    EXPECT_EQ(nullptr, nowhere.lastChild());
    // The library's element filter shows the same elements; its negation and
    // a text-only mask none.
    CDomXMLCoreWalker elements =
        doc.root(0xFFFF, new CDomXMLCoreFilter(xercesc::DOMNode::ELEMENT_NODE, true), false);
    ASSERT_NE(nullptr, elements.firstChild());
    EXPECT_EQ("01", attrOf(elements, "Code"));
    {
        CDomXMLCoreWalker copy(elements);  // shares the filter; it dies with the last copy
        EXPECT_NE(nullptr, copy.nextSibling());
    }
    EXPECT_NE(nullptr, elements.nextSibling());
    EXPECT_EQ(nullptr,
              doc.root(0xFFFF, new CDomXMLCoreFilter(xercesc::DOMNode::ELEMENT_NODE, false), false)
                  .firstChild());
    EXPECT_EQ(nullptr, doc.root(xercesc::DOMNodeFilter::SHOW_TEXT, nullptr, false).firstChild());
}

// A new element of doc with one attribute.
xercesc::DOMElement* element(CDomXMLCore& doc, const char* tag, const char* value) {
    xercesc::DOMElement* e = doc.createElement(tag);
    vODodi::XML::setAttr(e, "N", value);
    return e;
}

TEST(DomXMLCore, BuildsADocumentFromCreatedElements) {
    CDomXMLCore doc;
    EXPECT_TRUE(doc.empty());
    EXPECT_EQ(nullptr, doc.createElement("a b")) << "invalid names give null, not an exception";
    EXPECT_FALSE(doc.setRoot(nullptr));
    xercesc::DOMElement* tree = doc.createElement("XTree");
    EXPECT_TRUE(doc.empty()) << "created elements are not linked";
    ASSERT_TRUE(doc.setRoot(tree));
    EXPECT_FALSE(doc.empty());
    // Appending under a parent without children, then with children: the
    // cursor reaches the appended element either way; appendSibling links
    // directly after the current element.  Neither moves the cursor.
    CDomXMLCoreWalker walker = doc.root(0xFFFF, new CDomXMLCoreFilter(1, true), false);
    xercesc::DOMElement* node1 = element(doc, "X", "1");
    ASSERT_EQ(node1, walker.appendChild(node1));
    EXPECT_EQ("XTree", walker.getName());
    CDomXMLCoreWalker child(walker);
    ASSERT_EQ(node1, child.lastChild());
    ASSERT_NE(nullptr, child.appendChild(element(doc, "I", "i1")));
    xercesc::DOMElement* node11 = element(doc, "X", "11");
    ASSERT_EQ(node11, child.appendChild(node11));
    CDomXMLCoreWalker grandChild(child);
    ASSERT_EQ(node11, grandChild.lastChild());
    ASSERT_NE(nullptr, child.appendSibling(element(doc, "X", "3")));
    ASSERT_NE(nullptr, child.appendSibling(element(doc, "X", "2")));
    EXPECT_EQ("1", attrOf(child, "N"));
    // Refused links leave the document unchanged.
    CDomXMLCore other;
    EXPECT_EQ(nullptr, walker.appendChild(other.createElement("X")));
    EXPECT_EQ(nullptr, walker.appendSibling(doc.createElement("X"))) << "the root has no parent";
    EXPECT_EQ(nullptr, grandChild.appendChild(tree)) << "an ancestor cannot become a child";
    std::string xml;
    ASSERT_TRUE(doc.output(xml));
    const std::string body = xml.substr(xml.find("?>") + 2);
    EXPECT_EQ("<XTree><X N=\"1\"><I N=\"i1\"/><X N=\"11\"/></X><X N=\"2\"/><X N=\"3\"/></XTree>",
              body.substr(body.find('<')));
    // reset empties the document.
    EXPECT_TRUE(doc.reset());
    EXPECT_TRUE(doc.empty());
    EXPECT_NE(nullptr, doc.createElement("Fresh"));
}

}  // namespace
