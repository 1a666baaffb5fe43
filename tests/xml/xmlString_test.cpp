#include "xml/xmlString.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/gbk.h"

namespace {

using vODodi::XML::CToXMLCh;
using vODodi::XML::fromXMLCh;

std::u16string units(const XMLCh* text) {
    std::u16string out;
    for (; *text != 0; ++text) out.push_back(static_cast<char16_t>(*text));
    return out;
}

TEST(XmlString, GbkRoundTripsThroughUtf16WhateverTheLocale) {
    std::setlocale(LC_ALL, "C");  // GBK must not depend on the process locale
    struct Case {
        std::string gbk;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"P_CODE1", u"P_CODE1"},
        // The bytes are spelled out: every platform's build must produce exactly
        // these, whatever converter it has.
        {"\xB9\xC9\xC6\xB1", u"股票"},
        {"A\xB9\xC9-\xD5\xAE\xC8\xAF(\xB9\xFA\xD5\xAE)", u"A股-债券(国债)"},
        {"\x80", u"€"},  // code page 936 has the euro as one byte
    };
    for (const Case& c : cases) {
        CToXMLCh converted(c.gbk);
        EXPECT_EQ(c.utf16, units(converted.get())) << testsupport::utf8(c.gbk);
        EXPECT_EQ(c.gbk, fromXMLCh(converted.get())) << testsupport::utf8(c.gbk);
    }
    std::setlocale(LC_ALL, "");
}

TEST(XmlString, NullAndUnconvertibleText) {
    EXPECT_EQ("", fromXMLCh(nullptr));
    // A lone lead byte and a byte that starts no GBK character decode to U+FFFD,
    // with the text around them kept.
    EXPECT_EQ(u"a\uFFFD", units(CToXMLCh(std::string("a\x81", 2)).get()));
    EXPECT_EQ(u"\uFFFD b", units(CToXMLCh(std::string("\x81 b", 3)).get()));
    // The dangling byte of one conversion does not leak into the next.
    EXPECT_EQ(u"b", units(CToXMLCh("b").get()));
    EXPECT_EQ(u"中", units(CToXMLCh(testsupport::gbk("中")).get()));
    // Characters GBK lacks are written as a substitute, never dropped silently
    // into nothing and never thrown.
    const XMLCh thaiAndHan[] = {0x0E01, 0x4E2D, 0};
    const std::string encoded = fromXMLCh(thaiAndHan);
    EXPECT_EQ(testsupport::gbk("中"), encoded.substr(encoded.size() - 2));
    EXPECT_EQ(3u, encoded.size()) << "one substitute byte, then the two bytes of 中";
}

}  // namespace
