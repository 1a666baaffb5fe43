#include "xml/domXMLCore.h"

#include <gtest/gtest.h>

#include <string>

#include "support/gbk.h"
#include "support/smallStack.h"

namespace {

using testsupport::gbk;
using vODodi::XML::CDomXMLCore;
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
    EXPECT_NE(std::string::npos, xml.find(gbk("Expr=\"P_CODE1 == &quot;银行&quot;\"")));
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
            if (!fits) {
                EXPECT_EQ("keep", xml);
            }
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

}  // namespace
