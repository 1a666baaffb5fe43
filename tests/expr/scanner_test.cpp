#include "expr/scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "expr/exceptions.h"
#include "support/gbk.h"

using namespace qvtlib::expr;
using testsupport::gbk;

namespace {

// One token as "KIND:text@begin-end" (operators by their symbol, without
// text); every token must be on line 1.
std::string tokenString(const Token& t) {
    static const char* const kinds[] = {"EOF", "ID", "NUM", "STR", "&&", "||", "<",
                                        ">",   "!",  "<=",  ">=",  "==", "!=", "-",
                                        "+",   ",",  "*",   "/",   "%",  "(",  ")"};
    EXPECT_EQ(1, t.begin.line);
    EXPECT_EQ(1, t.end.line);
    std::string s = kinds[t.kind];
    if (t.kind == T_IDENT || t.kind == T_NUM || t.kind == T_STR) s += ":" + t.getText();
    return s + "@" + std::to_string(t.begin.column) + "-" + std::to_string(t.end.column);
}

// Scans the whole text, EOF included, the tokens separated by spaces.
std::string scanAll(const std::string& text) {
    std::istringstream in(text);
    CExpScanner scanner(&in);
    std::string out;
    for (;;) {
        Token t;
        scanner.scan(t);
        out += (out.empty() ? "" : " ") + tokenString(t);
        if (t.kind == T_EOF) return out;
    }
}

// Scans until the scanner throws; returns "column: message" (message in GBK).
std::string scanError(const std::string& text) {
    std::istringstream in(text);
    CExpScanner scanner(&in);
    try {
        for (int i = 0; i < 100; ++i) {
            Token t;
            scanner.scan(t);
        }
    } catch (const ScanException& e) {
        EXPECT_STREQ("std::exception", e.what());  // the message is not in what()
        return std::to_string(e.getPosition()->column) + ": " + e.getMessage();
    }
    return "no error";
}

}  // namespace

TEST(Scanner, TokensTextsAndPositions) {
    const struct {
        std::string text;
        std::string tokens;
    } cases[] = {
        {"", "EOF@1-1"},
        {"a==b", "ID:a@1-2 ==@2-4 ID:b@4-5 EOF@5-5"},
        {"&& || < > ! <= >= == != - + , * / % ( )",
         "&&@1-3 ||@4-6 <@7-8 >@9-10 !@11-12 <=@13-15 >=@16-18 ==@19-21 !=@22-24 -@25-26 "
         "+@27-28 ,@29-30 *@31-32 /@33-34 %@35-36 (@37-38 )@39-40 EOF@40-40"},
        {".5 a.b %x", "ID:.5@1-3 ID:a.b@4-7 ID:%x@8-10 EOF@10-10"},
        {"a%b", "ID:a%b@1-4 EOF@4-4"},
        {"7%", "NUM:7@1-2 %@2-3 EOF@3-3"},
        {"12abc 1.25 3", "NUM:12@1-3 ID:abc@3-6 NUM:1.25@7-11 NUM:3@12-13 EOF@13-13"},
        {"\"a\\\"b\\\\c\"", "STR:\"a\\\"b\\\\c\"@1-10 EOF@10-10"},
        // Line breaks count as columns; the line stays 1.
        {"a\n&&\r\nb\n\rc\t", "ID:a@1-2 &&@3-5 ID:b@7-8 ID:c@10-11 EOF@12-12"},
        // GBK names, punctuation and control bytes are identifier characters.
        {"\xB9\xC9\xC6\xB1#$'@[]^`{}?:;\x01",
         "ID:\xB9\xC9\xC6\xB1#$'@[]^`{}?:;\x01@1-19 EOF@19-19"},
        // A NUL byte inside the text is an ordinary identifier character.
        {std::string("a\0b", 3), "ID:" + std::string("a\0b", 3) + "@1-4 EOF@4-4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.tokens, scanAll(c.text));
    }
}

TEST(Scanner, FailuresNameTheCharacterAtTheLexemeStart) {
    const struct {
        std::string text;
        std::string expected;  // column ": " UTF-8 message
    } cases[] = {
        {"a = b", "3: 非法字符 ' '."},    {"a | b", "3: 非法字符 ' '."},
        {"a &", "3: 非法终止."},          {"x > 12.", "5: 非法终止."},
        {"12.x", "1: 非法字符 'x'."},     {"\"abc", "1: 非法终止."},
        {"a == \"abc\\", "6: 非法终止."}, {"\"a\\nb\"", "1: 非法字符 'n'."},
        {"a&~", "2: 非法字符 '~'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string::size_type at = c.expected.find(": ");
        EXPECT_EQ(c.expected.substr(0, at + 2) + gbk(c.expected.substr(at + 2)), scanError(c.text));
    }
    EXPECT_EQ("1:7: M", ScanException(SourcePos(1, 7), "M").toString());
}

TEST(Scanner, LexemesAcrossRefillsAndGrowth) {
    // An identifier that starts two bytes before the end of the first read.
    const int area = static_cast<int>(CExpScanner::INITIAL_READ_SIZE);
    auto at = [](int b, int e) { return "@" + std::to_string(b) + "-" + std::to_string(e); };
    EXPECT_EQ("ID:abcdefghij" + at(area - 1, area + 9) + " +" + at(area + 10, area + 11) +
                  " STR:\"s\"" + at(area + 12, area + 15) + " EOF" + at(area + 15, area + 15),
              scanAll(std::string(area - 2, ' ') + "abcdefghij + \"s\""));
    // A lexeme longer than the read area makes it grow.
    const std::string longName(20000, 'x');
    EXPECT_EQ("ID:a@1-2 ID:" + longName + "@3-20003 ID:b@20004-20005 EOF@20005-20005",
              scanAll("a " + longName + " b"));
}
