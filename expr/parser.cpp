#include "expr/parser.h"

#include <cstdlib>
#include <sstream>
#include <vector>

#include "common/walker.h"
#include "expr/exceptions.h"

// Rules off the recursion path stay out of line, so that the frames that
// nest (one per parenthesis or prefix operator) stay small.
#if defined(__GNUC__)
#define ZU_ZOZOV_NOINLINE __attribute__((noinline))
#else
#define ZU_ZOZOV_NOINLINE
#endif

namespace qvtlib {
namespace expr {

namespace {

// Value of a string literal: the lexeme without its quotes, backslash-quote
// replaced by a quote, then backslash-backslash by one backslash.
void replaceAll(std::string& s, const char* from, const char* to) {
    const std::string f(from);
    const std::string t(to);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(f, pos);
        if (hit == std::string::npos) break;
        out.append(s, pos, hit - pos);
        out += t;
        pos = hit + f.size();
    }
    out.append(s, pos, std::string::npos);
    s.swap(out);
}

std::string literalValue(const std::string& lexeme) {
    std::string value = lexeme.size() >= 2 ? lexeme.substr(1, lexeme.size() - 2) : std::string();
    replaceAll(value, "\\\"", "\"");
    replaceAll(value, "\\\\", "\\");
    return value;
}

bool startsArgument(int kind) {
    return kind == T_IDENT || kind == T_NUM || kind == T_STR || kind == T_LPAREN || kind == T_NOT ||
           kind == T_MINUS || kind == T_PLUS;
}

std::string tooDeepMessage() {
    std::ostringstream text;
    text << "语法错误，表达式嵌套超过" << CExpParser::MAX_NESTING << "层。";
    return text.str();
}

}  // namespace

// Counts one level of nesting for the life of a rule; refuses to go deeper
// than MAX_NESTING.
class CExpParser::NestingGuard {
  public:
    explicit NestingGuard(CExpParser& p) : m_p(p) {
        if (m_p.m_nesting >= MAX_NESTING) {
            m_p.m_tooDeep = true;
            throw ParseException(m_p.lookAhead(1).begin, tooDeepMessage());
        }
        ++m_p.m_nesting;
    }
    ~NestingGuard() { --m_p.m_nesting; }

  private:
    CExpParser& m_p;
};

// Marks the token queue for a speculative look-ahead and rewinds on exit.
class CExpParser::GuessGuard {
  public:
    explicit GuessGuard(CExpParser& p) : m_p(p), m_mark(p.m_next), m_lastMatched(p.m_lastMatched) {
        ++m_p.m_guessing;
    }
    ~GuessGuard() {
        --m_p.m_guessing;
        m_p.m_next = m_mark;
        m_p.m_lastMatched = m_lastMatched;
    }

  private:
    CExpParser& m_p;
    std::size_t m_mark;
    SourcePos m_lastMatched;
};

CExpParser_base::~CExpParser_base() = default;

CExpParser::CExpParser(std::istream* in)
    : m_scanner(in), m_next(0), m_guessing(0), m_nesting(0), m_tooDeep(false) {
    m_scanner.setQueue(&m_queue);
}

CExpParser::~CExpParser() = default;

void CExpParser::resetInput(std::istream* in) {
    m_queue.clear();
    m_next = 0;
    m_scanner.resetInput(in);
}

void CExpParser::parse() {
    destroyTree(m_root);
    m_root = nullptr;
    m_queue.clear();
    m_next = 0;
    m_guessing = 0;
    m_nesting = 0;
    m_tooDeep = false;
    m_lastMatched = SourcePos(1, 1);
    NodePtr tree = expression();
    checkMissingOperator();
    m_root = tree.release();
}

const Token& CExpParser::lookAhead(std::size_t k) {
    while (m_queue.size() < m_next + k) {
        m_queue.emplace_back();
        m_scanner.scan(m_queue.back());
    }
    return m_queue[m_next + k - 1];
}

void CExpParser::consume() {
    m_lastMatched = lookAhead(1).begin;
    ++m_next;
    if (m_guessing == 0) {
        // Outside look-aheads consumed tokens are no longer needed.
        while (m_next > 0) {
            m_queue.pop_front();
            --m_next;
        }
    }
}

void CExpParser::syntaxError() { throw ParseException(lookAhead(1).begin, "语法错误."); }

void CExpParser::match(int kind) {
    if (kindAhead(1) != kind) syntaxError();
    consume();
}

CExpParser::NodePtr CExpParser::binary(int code, const SourcePos& begin, const SourcePos& end,
                                       NodePtr left, NodePtr right) {
    if (m_guessing) return NodePtr();
    NodePtr op(new CKeyNode<COper>(COper(code)));
    op->setPositions(begin, end);
    op->appendChild(left.release());
    op->appendChild(right.release());
    return op;
}

// Binary operator of a token kind: its code and its level (1 loosest).
static bool binaryOperator(int kind, int& code, int& level) {
    switch (kind) {
        case T_OR:
            code = OP_OR;
            level = 1;
            return true;
        case T_AND:
            code = OP_AND;
            level = 2;
            return true;
        case T_LT:
            code = OP_LT;
            level = 3;
            return true;
        case T_GT:
            code = OP_GT;
            level = 3;
            return true;
        case T_LE:
            code = OP_LE;
            level = 3;
            return true;
        case T_GE:
            code = OP_GE;
            level = 3;
            return true;
        case T_EQ:
            code = OP_EQ;
            level = 3;
            return true;
        case T_NE:
            code = OP_NE;
            level = 3;
            return true;
        case T_MINUS:
            code = OP_MINUS;
            level = 4;
            return true;
        case T_PLUS:
            code = OP_PLUS;
            level = 4;
            return true;
        case T_MUL:
            code = OP_MUL;
            level = 5;
            return true;
        case T_DIV:
            code = OP_DIV;
            level = 5;
            return true;
        case T_MOD:
            code = OP_MOD;
            level = 5;
            return true;
        default:
            return false;
    }
}

// The binary levels by precedence climbing: operators of level `minLevel` and
// above, each level left-associative.  One frame per level that actually
// nests, so parentheses cost little stack.
CExpParser::NodePtr CExpParser::binaryExpr(int minLevel) {
    NodePtr left = operand();
    int code;
    int level;
    while (binaryOperator(kindAhead(1), code, level) && level >= minLevel) {
        const SourcePos begin = lookAhead(1).begin;
        const SourcePos end = lookAhead(1).end;
        consume();
        NodePtr right = binaryExpr(level + 1);
        left = binary(code, begin, end, std::move(left), std::move(right));
    }
    return left;
}

// unary -> primary | ("+" | "-" | "!") unary
// primary -> call | IDENT | NUM | STR | "(" expression ")"
CExpParser::NodePtr CExpParser::operand() {
    const int kind = kindAhead(1);
    if (kind == T_IDENT || kind == T_NUM || kind == T_STR) {
        if (kind == T_IDENT && kindAhead(2) == T_LPAREN) return functionCall();
        return leaf(kind);
    }
    if (kind == T_LPAREN) {
        consume();
        NestingGuard nesting(*this);
        NodePtr inner = expression();
        checkMissingOperator();
        match(T_RPAREN);
        return inner;
    }
    const int code = kind == T_PLUS ? OP_PLUS : kind == T_MINUS ? OP_MINUS : OP_NOT;
    const SourcePos begin = lookAhead(1).begin;
    const SourcePos end = lookAhead(1).end;
    match(code == OP_PLUS ? T_PLUS : code == OP_MINUS ? T_MINUS : T_NOT);
    NestingGuard nesting(*this);
    NodePtr inner = operand();
    if (m_guessing) return NodePtr();
    NodePtr node(new CKeyNode<COper>(COper(code)));
    node->setPositions(begin, end);
    node->appendChild(inner.release());
    return node;
}

CExpParser::NodePtr CExpParser::leaf(int kind) {
    if (m_guessing) {
        consume();
        return NodePtr();
    }
    NodePtr node = newNode(kind, false);
    consume();
    return node;
}

ZU_ZOZOV_NOINLINE CExpParser::NodePtr CExpParser::newNode(int kind, bool call) {
    const Token& token = lookAhead(1);
    const std::string text = token.getText();
    NodePtr node;
    if (call) {
        node.reset(new CKeyNode<CFunc>(CFunc(text)));
    } else if (kind == T_IDENT) {
        node.reset(new CKeyNode<CVarb>(CVarb(text)));
    } else if (kind == T_NUM) {
        node.reset(new CKeyNode<CNum>(CNum(std::atof(text.c_str()))));
    } else {
        node.reset(new CKeyNode<CStr>(CStr(literalValue(text))));
    }
    node->setPositions(token.begin, token.end);
    return node;
}

ZU_ZOZOV_NOINLINE CExpParser::NodePtr CExpParser::functionCall() {
    NodePtr call = m_guessing ? NodePtr() : newNode(T_IDENT, true);
    match(T_IDENT);
    match(T_LPAREN);
    NestingGuard nesting(*this);
    if (startsArgument(kindAhead(1))) {
        // Each argument goes after the one before it: appending at the end of
        // the sibling chain would walk the chain per argument.
        basic_node* last = nullptr;
        for (;;) {
            NodePtr arg = expression();
            checkMissingOperator();
            if (call) {
                basic_node* next = arg.release();
                if (last) {
                    last->insertAfter(next);
                } else {
                    call->appendChild(next);
                }
                last = next;
            }
            if (kindAhead(1) != T_COMMA) break;
            consume();
        }
    } else if (call) {
        call->appendChild(new CKeyNode<COper>(COper(OP_NONE)));  // empty argument list
    }
    match(T_RPAREN);
    return call;
}

ZU_ZOZOV_NOINLINE void CExpParser::checkMissingOperator() {
    bool complete = false;
    {
        GuessGuard guess(*this);
        try {
            expression();
            complete = true;
        } catch (const ParseException&) {
            if (m_tooDeep) throw;
        }
    }
    if (complete) throw ParseException(m_lastMatched, "语法错误，缺少操作符。");
}

bool CExpParser::getVarbNames(std::set<std::string>& names, basic_node* from) const {
    common::walkPreOrder(static_cast<const basic_node*>(from), [&names](const basic_node* n) {
        if (n->isVarb()) names.insert(static_cast<const CVarb&>(n->getKey()).getName());
    });
    return true;
}

}  // namespace expr
}  // namespace qvtlib
