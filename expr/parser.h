// Parser of the expression language: reads the tokens of CExpScanner and
// builds a parse tree of basic_node objects (expr/node.h, expr/keys.h).
//
// Grammar, loosest first, every binary level left-associative:
//   expression -> and { "||" and }
//   and        -> rel { "&&" rel }
//   rel        -> add { ("<" | ">" | "<=" | ">=" | "==" | "!=") add }
//   add        -> mul { ("-" | "+") mul }
//   mul        -> unary { ("*" | "/" | "%") unary }
//   unary      -> primary | ("+" | "-" | "!") unary
//   primary    -> IDENT "(" [ expression { "," expression } ] ")" | IDENT
//                 | NUM | STR | "(" expression ")"
// After the whole expression, a parenthesised expression and each function
// argument, a speculative look-ahead refuses a second complete expression
// that follows without an operator.
//
// Nesting (parentheses, prefix operators, function calls) is bounded by
// MAX_NESTING, so no input can exhaust the stack; chains of binary operators
// are built and walked with loops and have no bound.
//
// The parser owns its tree; it does not own the stream.  Not thread-safe,
// not copyable.
#ifndef ZU_ZOZOV_EXPR_PARSER_H
#define ZU_ZOZOV_EXPR_PARSER_H

#include <cstddef>
#include <deque>
#include <istream>
#include <memory>
#include <set>
#include <string>

#include "common/export.h"
#include "expr/keys.h"
#include "expr/node.h"
#include "expr/scanner.h"
#include "expr/token.h"

namespace qvtlib {
namespace expr {

class ZU_ZOZOV_EXPORT CExpParser_base {
  public:
    virtual ~CExpParser_base();
};

class ZU_ZOZOV_EXPORT CExpParser : public CExpParser_base, public CParseTree<basic_node> {
  public:
    // Deepest nesting of parentheses, prefix operators and function calls.
    // The parser, calc and check recurse once per level, and the worst text
    // per level ("f(a||b&&c<d+e*", a call holding every binary level) costs
    // about 1 KB of stack in each of them in an optimised build (2.8 KB with
    // AddressSanitizer): 250 levels keep them within a quarter of a host
    // thread's 1 MiB stack.
    static constexpr int MAX_NESTING = 250;

    // Parses from `in` (not owned; null is an empty input).  The tree is
    // empty until parse().
    explicit CExpParser(std::istream* in);
    ~CExpParser() override;

    // Points the scanner at another stream (or none); the tree stays.
    void resetInput(std::istream* in);

    // Parses the whole input into a new tree, replacing the old one.  Throws
    // ScanException or ParseException; the tree is then empty.
    void parse();

    // The root of the tree; null before the first successful parse().
    basic_node* getRoot() const { return m_root; }

    // Inserts the name of every variable of the subtree at `from` (and of its
    // next siblings) into `names`.  Always returns true.
    bool getVarbNames(std::set<std::string>& names, basic_node* from) const;

  private:
    struct CNodeDeleter {
        void operator()(basic_node* n) const { destroyTree(n); }
    };
    typedef std::unique_ptr<basic_node, CNodeDeleter> NodePtr;
    class NestingGuard;
    class GuessGuard;

    const Token& lookAhead(std::size_t k);
    int kindAhead(std::size_t k) { return lookAhead(k).kind; }
    void consume();
    void match(int kind);

    NodePtr expression() { return binaryExpr(1); }
    NodePtr binaryExpr(int minLevel);
    NodePtr operand();
    NodePtr leaf(int kind);
    // A leaf (or, with `call`, a function node) for the current token.
    NodePtr newNode(int kind, bool call);
    NodePtr functionCall();
    void checkMissingOperator();

    NodePtr binary(int code, const SourcePos& begin, const SourcePos& end, NodePtr left,
                   NodePtr right);
    [[noreturn]] void syntaxError();

    CExpScanner m_scanner;
    std::deque<Token> m_queue;  // scanned tokens from the oldest still needed
    std::size_t m_next;         // index of the current token in m_queue
    int m_guessing;             // > 0 while looking ahead speculatively
    int m_nesting;
    bool m_tooDeep;           // the nesting bound was hit (ends look-aheads too)
    SourcePos m_lastMatched;  // begin of the last token consumed outside look-aheads
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_PARSER_H
