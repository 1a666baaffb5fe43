#include "expr/parser.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "expr/exceptions.h"
#include "expr/keys.h"
#include "support/gbk.h"

using namespace qvtlib::expr;
using testsupport::gbk;

namespace {

// The compact tree string of a text, or "error: col message(UTF-8)".
std::string parseTree(const std::string& text) {
    std::istringstream in(text);
    CExpParser parser(&in);
    try {
        parser.parse();
    } catch (const ParseException& e) {
        return "error: " + std::to_string(e.getPosition()->column) + " " +
               testsupport::utf8(e.getMessage());
    } catch (const ScanException& e) {
        return "scan error: " + std::to_string(e.getPosition()->column) + " " +
               testsupport::utf8(e.getMessage());
    }
    return treeString(parser.getRoot());
}

}  // namespace

TEST(Parser, TreeShapesAndErrors) {
    const struct {
        const char* text;
        const char* tree;
    } cases[] = {
        {"a", "a"},
        {"1 + 2 * 3", "+(#1,*(#2,#3))"},
        {"a-b-c", "-(-(a,b),c)"},
        {"a/b%c*d", "*(/(a,b%c),d)"},
        // Each operator after one of its own level: the levels are equal.
        {"a % b / c", "/(%(a,b),c)"},
        {"a < b == c", "==(<(a,b),c)"},
        {"!a == b", "==(!(a),b)"},
        {"a != b <= c >= d > e", ">(>=(<=(!=(a,b),c),d),e)"},
        {"a == 1 && b == 2 || c", "||(&&(==(a,#1),==(b,#2)),c)"},
        {"a || b && c", "||(a,&&(b,c))"},
        {"f()", "f(_)"},
        {"f(1, x, \"s\")", "f(#1,x,\"s\")"},
        {"f(g(x), -1, !y, (z))", "f(g(x),-(#1),!(y),z)"},
        {"12.50 + 007", "+(#12.5,#7)"},
        {"a.b >= .5", ">=(a.b,.5)"},
        {"\"a\\\"b\\\\c\" == s", "==(\"a\"b\\c\",s)"},
        {"x%y % 2", "%(x%y,#2)"},
        // After the top-level expression the rest is not read unless it is a
        // complete expression.
        {"a )", "a"},
        // Errors: "error: column message" of the parser or the scanner.
        {"", "error: 1 语法错误."},
        {"a b", "error: 1 语法错误，缺少操作符。"},
        {"a + b c", "error: 5 语法错误，缺少操作符。"},
        {"f(a b)", "error: 3 语法错误，缺少操作符。"},
        {"f(1, (2) 3)", "error: 8 语法错误，缺少操作符。"},
        {"f(a, )", "error: 6 语法错误."},
        {"(a", "error: 3 语法错误."},
        {"a * * b", "error: 5 语法错误."},
        {"a ~", "scan error: 3 非法字符 '~'."},
        {"a = b", "scan error: 3 非法字符 ' '."},
        {"f(x) == \"ab", "scan error: 9 非法终止."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.tree, parseTree(c.text));
    }
}

// Positions are checked through the messages of the check (eval and function
// tests); here the links and clone.
TEST(Parser, NodeLinksAndClone) {
    std::istringstream in("ab == f(1.5)");
    CExpParser parser(&in);
    EXPECT_EQ(nullptr, parser.getRoot());
    parser.parse();
    const basic_node* root = parser.getRoot();
    EXPECT_EQ(OP_EQ, static_cast<const COper&>(root->getKey()).getCode());
    EXPECT_EQ(nullptr, root->getParent());
    const basic_node* ab = root->getChild();
    const basic_node* f = ab->getNextSibling();
    EXPECT_EQ(ab, f->getPreSibling());
    EXPECT_EQ(root, f->getParent());
    EXPECT_EQ(SourcePos(1, 9), f->getChild()->getBegin());
    EXPECT_EQ(1u, f->childCount());
    // clone copies the key, not the links or positions.
    basic_node* copy = root->clone();
    EXPECT_EQ(nullptr, copy->getChild());
    EXPECT_EQ(SourcePos(0, 0), copy->getBegin());
    EXPECT_EQ("==", treeString(copy));
    destroyTree(copy);
}

TEST(Parser, VariableNamesAndReparse) {
    std::istringstream in("a + f(b, a) * c.d > !e");
    CExpParser parser(&in);
    parser.parse();
    std::set<std::string> names;
    EXPECT_TRUE(parser.getVarbNames(names, parser.getRoot()));
    EXPECT_EQ((std::set<std::string>{"a", "b", "c.d", "e"}), names);
    // A new parse replaces the tree; a failed one leaves none.
    std::istringstream in3("z z");
    parser.resetInput(&in3);
    EXPECT_THROW(parser.parse(), ParseException);
    EXPECT_EQ(nullptr, parser.getRoot());
    // Refused for its depth, at the token after the last "(" it took; the
    // next parse starts afresh (its look-ahead for a missing operator may
    // fail again without ending the parse).
    const int deep = CExpParser::MAX_NESTING + 1;
    std::istringstream in4(std::string(deep, '(') + "a" + std::string(deep, ')'));
    parser.resetInput(&in4);
    try {
        parser.parse();
        ADD_FAILURE() << "no exception";
    } catch (const ParseException& e) {
        EXPECT_EQ(deep + 1, e.getPosition()->column);  // the "a"
    }
    std::istringstream in5("a )");
    parser.resetInput(&in5);
    parser.parse();
    EXPECT_EQ("a", treeString(parser.getRoot()));
}

TEST(Parser, QueuedTokenSurvivesRefill) {
    // The identifier is still queued when the look-ahead for "(" refills the
    // buffer; its text must be copied first.
    const std::string gap(CExpScanner::INITIAL_READ_SIZE, ' ');
    EXPECT_EQ("==(abc,#1)", parseTree("abc" + gap + "== 1"));
    EXPECT_EQ("f(abc)", parseTree("f" + gap + "(abc)"));
    const std::string longName(30000, 'n');
    EXPECT_EQ("+(" + longName + ",#2)", parseTree(longName + " + 2"));
}
