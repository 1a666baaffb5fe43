#include "expr/scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "expr/exceptions.h"
#include "support/gbk.h"

using qvtlib::expr::CExpScanner;
using qvtlib::expr::ScanException;
using qvtlib::expr::SourcePos;
using qvtlib::expr::Token;
using namespace qvtlib::expr;  // token kinds
using testsupport::gbk;

namespace {

struct Tok {
    int kind;
    std::string text;
    int begin;  // columns; every line is 1
    int end;
};

bool operator==(const Tok& a, const Tok& b) {
    return a.kind == b.kind && a.text == b.text && a.begin == b.begin && a.end == b.end;
}

std::ostream& operator<<(std::ostream& out, const Tok& t) {
    return out << "{" << t.kind << ",'" << t.text << "'," << t.begin << "-" << t.end << "}";
}

// Scans the whole text, T_EOF included.
std::vector<Tok> scanAll(const std::string& text) {
    std::istringstream in(text);
    CExpScanner scanner(&in);
    std::vector<Tok> out;
    for (;;) {
        Token t;
        scanner.scan(t);
        EXPECT_EQ(1, t.begin.line);
        EXPECT_EQ(1, t.end.line);
        out.push_back(Tok{t.kind, t.getText(), t.begin.column, t.end.column});
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
    struct Case {
        std::string text;
        std::vector<Tok> tokens;
    };
    const Case cases[] = {
        {"", {{T_EOF, "", 1, 1}}},
        {"a==b", {{T_IDENT, "a", 1, 2}, {T_EQ, "", 2, 4}, {T_IDENT, "b", 4, 5}, {T_EOF, "", 5, 5}}},
        {"&& || < > ! <= >= == != - + , * / % ( )",
         {{T_AND, "", 1, 3},
          {T_OR, "", 4, 6},
          {T_LT, "", 7, 8},
          {T_GT, "", 9, 10},
          {T_NOT, "", 11, 12},
          {T_LE, "", 13, 15},
          {T_GE, "", 16, 18},
          {T_EQ, "", 19, 21},
          {T_NE, "", 22, 24},
          {T_MINUS, "", 25, 26},
          {T_PLUS, "", 27, 28},
          {T_COMMA, "", 29, 30},
          {T_MUL, "", 31, 32},
          {T_DIV, "", 33, 34},
          {T_MOD, "", 35, 36},
          {T_LPAREN, "", 37, 38},
          {T_RPAREN, "", 39, 40},
          {T_EOF, "", 40, 40}}},
        {".5 a.b %x",
         {{T_IDENT, ".5", 1, 3},
          {T_IDENT, "a.b", 4, 7},
          {T_IDENT, "%x", 8, 10},
          {T_EOF, "", 10, 10}}},
        {"a % b",
         {{T_IDENT, "a", 1, 2}, {T_MOD, "", 3, 4}, {T_IDENT, "b", 5, 6}, {T_EOF, "", 6, 6}}},
        {"a%b", {{T_IDENT, "a%b", 1, 4}, {T_EOF, "", 4, 4}}},
        {"a%", {{T_IDENT, "a%", 1, 3}, {T_EOF, "", 3, 3}}},
        {"7%", {{T_NUM, "7", 1, 2}, {T_MOD, "", 2, 3}, {T_EOF, "", 3, 3}}},
        {"12abc 1.25 3",
         {{T_NUM, "12", 1, 3},
          {T_IDENT, "abc", 3, 6},
          {T_NUM, "1.25", 7, 11},
          {T_NUM, "3", 12, 13},
          {T_EOF, "", 13, 13}}},
        {"1.5.3", {{T_NUM, "1.5", 1, 4}, {T_IDENT, ".3", 4, 6}, {T_EOF, "", 6, 6}}},
        {"\"a\\\"b\\\\c\"", {{T_STR, "\"a\\\"b\\\\c\"", 1, 10}, {T_EOF, "", 10, 10}}},
        {"\"\"", {{T_STR, "\"\"", 1, 3}, {T_EOF, "", 3, 3}}},
        // Line breaks count as columns; the line stays 1.
        {"a\n&&\r\nb\n\rc\t",
         {{T_IDENT, "a", 1, 2},
          {T_AND, "", 3, 5},
          {T_IDENT, "b", 7, 8},
          {T_IDENT, "c", 10, 11},
          {T_EOF, "", 12, 12}}},
        {"!a<b>c",
         {{T_NOT, "", 1, 2},
          {T_IDENT, "a", 2, 3},
          {T_LT, "", 3, 4},
          {T_IDENT, "b", 4, 5},
          {T_GT, "", 5, 6},
          {T_IDENT, "c", 6, 7},
          {T_EOF, "", 7, 7}}},
        {"f(x,y)",
         {{T_IDENT, "f", 1, 2},
          {T_LPAREN, "", 2, 3},
          {T_IDENT, "x", 3, 4},
          {T_COMMA, "", 4, 5},
          {T_IDENT, "y", 5, 6},
          {T_RPAREN, "", 6, 7},
          {T_EOF, "", 7, 7}}},
        // GBK names, punctuation and control bytes are identifier characters.
        {"\xB9\xC9\xC6\xB1#$'@[]^`{}?:;\x01",
         {{T_IDENT, "\xB9\xC9\xC6\xB1#$'@[]^`{}?:;\x01", 1, 19}, {T_EOF, "", 19, 19}}},
        // A NUL byte inside the text is an ordinary identifier character.
        {std::string("a\0b", 3), {{T_IDENT, std::string("a\0b", 3), 1, 4}, {T_EOF, "", 4, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.tokens, scanAll(c.text));
    }
}

TEST(Scanner, FailuresNameTheCharacterAtTheLexemeStart) {
    const struct {
        std::string text;
        std::string expected;  // column ": " UTF-8 message
    } cases[] = {
        {"a = b", "3: 非法字符 ' '."},    {"a & b", "3: 非法字符 ' '."},
        {"a | b", "3: 非法字符 ' '."},    {"a &", "3: 非法终止."},
        {"a =", "3: 非法终止."},          {"x > 12.", "5: 非法终止."},
        {"12.x", "1: 非法字符 'x'."},     {"\"abc", "1: 非法终止."},
        {"a == \"abc\\", "6: 非法终止."}, {"\"a\\nb\"", "1: 非法字符 'n'."},
        {"~", "1: 非法字符 '~'."},        {"a ~", "3: 非法字符 '~'."},
        {"a&~", "2: 非法字符 '~'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string sep = ": ";
        const std::string::size_type at = c.expected.find(sep);
        EXPECT_EQ(c.expected.substr(0, at + 2) + gbk(c.expected.substr(at + 2)), scanError(c.text));
    }
}

TEST(Scanner, ExceptionTextAndCopies) {
    ScanException e(SourcePos(1, 7), "M");
    EXPECT_EQ("1:7: M", e.toString());
    ScanException copy(e);
    EXPECT_EQ("1:7: M", copy.toString());
    EXPECT_EQ(7, copy.getPosition()->column);
}

TEST(Scanner, StreamStates) {
    // A stream in a failed state is an input error.
    std::istringstream bad("a");
    bad.setstate(std::ios::failbit);
    CExpScanner scanner(&bad);
    Token t;
    try {
        scanner.scan(t);
        FAIL() << "no exception";
    } catch (const ScanException& e) {
        EXPECT_EQ(gbk("输入流错误."), e.getMessage());
        EXPECT_EQ(1, e.getPosition()->column);
    }

    // No stream is an empty input; after the end every call gives T_EOF.
    CExpScanner none(nullptr);
    for (int i = 0; i < 3; ++i) {
        none.scan(t);
        EXPECT_EQ(T_EOF, t.kind);
        EXPECT_EQ(SourcePos(1, 1), t.begin);
    }

    // resetInput starts again at 1:1 on the new stream.
    std::istringstream first("abc def");
    CExpScanner s(&first);
    s.scan(t);
    std::istringstream second("  xy");
    s.resetInput(&second);
    s.scan(t);
    EXPECT_EQ("xy", t.getText());
    EXPECT_EQ(SourcePos(1, 3), t.begin);
    s.scan(t);
    EXPECT_EQ(T_EOF, t.kind);
}

TEST(Scanner, LexemesAcrossRefillsAndGrowth) {
    // An identifier that starts two bytes before the end of the first read.
    const std::size_t area = CExpScanner::INITIAL_READ_SIZE;
    std::string text(area - 2, ' ');
    text += "abcdefghij + \"s\"";
    std::vector<Tok> tokens = scanAll(text);
    ASSERT_EQ(4u, tokens.size());
    EXPECT_EQ((Tok{T_IDENT, "abcdefghij", int(area) - 1, int(area) + 9}), tokens[0]);
    EXPECT_EQ((Tok{T_STR, "\"s\"", int(area) + 12, int(area) + 15}), tokens[2]);

    // A lexeme longer than the read area makes it grow: 8192 -> 12800 -> 25600.
    const std::string longName(20000, 'x');
    std::istringstream in("a " + longName + " b");
    CExpScanner scanner(&in);
    Token t;
    scanner.scan(t);
    EXPECT_EQ("a", t.getText());
    scanner.scan(t);
    EXPECT_EQ(longName, t.getText());
    EXPECT_EQ(3, t.begin.column);
    EXPECT_EQ(20003, t.end.column);
    EXPECT_EQ(25600u, scanner.getReadSize());
    scanner.scan(t);
    EXPECT_EQ("b", t.getText());

    // A long string literal with escapes across several refills.
    std::string body;
    for (int i = 0; i < 5000; ++i) body += "ab\\\"\\\\";
    const std::string literal = "\"" + body + "\"";
    tokens = scanAll(literal + "==x");
    ASSERT_EQ(4u, tokens.size());
    EXPECT_EQ(literal, tokens[0].text);
    EXPECT_EQ(T_EQ, tokens[1].kind);
}

TEST(Scanner, QueuedTokensKeepTheirTextWhenTheBufferMoves) {
    const std::size_t area = CExpScanner::INITIAL_READ_SIZE;
    std::istringstream in("first" + std::string(area, ' ') + "second");
    std::deque<Token> queue;
    CExpScanner scanner(&in);
    scanner.setQueue(&queue);
    queue.emplace_back();
    scanner.scan(queue.back());
    EXPECT_FALSE(queue.back().copied);
    queue.emplace_back();
    scanner.scan(queue.back());  // needs a refill: the first token's text is copied
    EXPECT_TRUE(queue.front().copied);
    EXPECT_EQ("first", queue.front().getText());
    EXPECT_EQ("second", queue.back().getText());
}

// A compiled expression keeps its detached parser for life: the detached
// scanner must not keep its read area, and must get one back when a stream
// is attached again.
TEST(Scanner, DetachedScannerHoldsNoReadArea) {
    std::istringstream first("alpha + 1");
    CExpScanner scanner(&first);
    Token t;
    scanner.scan(t);
    EXPECT_EQ("alpha", t.getText());
    EXPECT_EQ(8192u, scanner.getReadSize());

    scanner.resetInput(nullptr);
    EXPECT_EQ(0u, scanner.getReadSize());
    scanner.scan(t);
    EXPECT_EQ(T_EOF, t.kind);
    EXPECT_EQ(1, t.begin.column);

    std::istringstream second("\"s\" == beta");
    scanner.resetInput(&second);
    EXPECT_EQ(8192u, scanner.getReadSize());
    std::vector<std::string> texts;
    for (scanner.scan(t); t.kind != T_EOF; scanner.scan(t)) texts.push_back(t.getText());
    EXPECT_EQ((std::vector<std::string>{"\"s\"", "", "beta"}), texts);
}
