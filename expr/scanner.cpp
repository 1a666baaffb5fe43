#include "expr/scanner.h"

#include <cstring>
#include <string>

#include "expr/exceptions.h"

namespace qvtlib {
namespace expr {

namespace {

const int END = -1;

// Bytes that may appear in an identifier: everything but blanks, line breaks,
// the double quote and the operator characters.
struct CIdentTable {
    bool allowed[256];
    CIdentTable() {
        for (bool& b : allowed) b = true;
        const char excluded[] = "\t\n\r \"!&()*+,-/<=>|~";
        for (const char* p = excluded; *p; ++p) allowed[static_cast<unsigned char>(*p)] = false;
    }
};

bool isIdentChar(int c) {
    static const CIdentTable table;
    return c >= 0 && table.allowed[c];
}

bool isDigit(int c) { return c >= '0' && c <= '9'; }

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

CExpScanner::CExpScanner(std::istream* in)
    : m_in(nullptr),
      m_buf(new char[LEAD_SIZE + INITIAL_READ_SIZE + 1]),
      m_readSize(INITIAL_READ_SIZE),
      m_cur(nullptr),
      m_lim(nullptr),
      m_tok(nullptr),
      m_eof(true),
      m_queue(nullptr) {
    resetInput(in);
}

CExpScanner::~CExpScanner() { delete[] m_buf; }

void CExpScanner::resetInput(std::istream* in) {
    // A detached scanner reads nothing more, so it keeps no read area: a
    // compiled expression holds its parser for life, and thousands of them
    // would otherwise each keep an idle buffer.  Attaching a stream brings
    // the read area back to its initial size.
    const std::size_t readSize = in ? INITIAL_READ_SIZE : 0;
    if (readSize != m_readSize) {
        char* buf = new char[LEAD_SIZE + readSize + 1];
        delete[] m_buf;
        m_buf = buf;
        m_readSize = readSize;
    }
    m_in = in;
    m_pos = SourcePos(1, 1);
    m_cur = m_lim = m_tok = readStart();
    *m_lim = '\0';
    m_eof = (in == nullptr);
}

int CExpScanner::peek() {
    for (;;) {
        if (m_cur < m_lim) return static_cast<unsigned char>(*m_cur);
        if (m_eof) return END;
        if (m_in->fail() || m_in->bad()) throw ScanException(m_pos, "输入流错误.");
        fill();
    }
}

void CExpScanner::fill() {
    // Queued tokens must not keep pointers into a buffer that moves.
    if (m_queue) {
        for (Token& t : *m_queue) t.copyText();
    }
    char* start = readStart();
    char* readEnd = start + m_readSize;
    if (m_tok == m_cur) {
        m_tok = m_cur = start;
    } else if (m_tok > start) {
        std::size_t n = static_cast<std::size_t>(m_cur - m_tok);
        std::memmove(start, m_tok, n);
        m_tok = start;
        m_cur = start + n;
    } else if (m_cur >= readEnd) {
        // The lexeme fills the whole read area: grow it.
        std::size_t newSize = 100;
        while (newSize <= 100 + m_readSize) newSize *= 2;
        char* buf = new char[LEAD_SIZE + newSize + 1];
        std::size_t n = static_cast<std::size_t>(m_cur - m_tok);
        std::memcpy(buf + LEAD_SIZE, m_tok, n);
        delete[] m_buf;
        m_buf = buf;
        m_readSize = newSize;
        start = readStart();
        readEnd = start + m_readSize;
        m_tok = start;
        m_cur = start + n;
    }
    m_in->read(m_cur, static_cast<std::streamsize>(readEnd - m_cur));
    m_lim = m_cur + m_in->gcount();
    *m_lim = '\0';
    m_eof = m_in->eof();
}

void CExpScanner::accept(Token& out, int kind, bool hasText) {
    out.kind = kind;
    out.length = static_cast<unsigned>(m_cur - m_tok);
    if (hasText) {
        out.ptr = m_tok;
        out.copied = false;
    }
    m_pos.column += static_cast<int>(m_cur - m_tok);
    out.end = m_pos;
    m_tok = m_cur;
}

void CExpScanner::illegalChar(int c) const {
    std::string message = "非法字符 '";
    message += static_cast<char>(c);
    message += "'.";
    throw ScanException(m_pos, message);
}

void CExpScanner::illegalEnd() const { throw ScanException(m_pos, "非法终止."); }

void CExpScanner::scan(Token& out) {
    // The token may sit in the queue: keep it harmless while the buffer moves.
    out.kind = T_EOF;
    out.length = 0;
    out.ptr = nullptr;
    out.copied = true;
    out.text.clear();

    int c;
    for (;;) {
        m_tok = m_cur;
        c = peek();
        if (!isBlank(c)) break;
        ++m_cur;
        ++m_pos.column;
    }
    m_tok = m_cur;
    out.begin = m_pos;
    if (c == END) {
        out.end = m_pos;
        return;
    }
    ++m_cur;
    switch (c) {
        case '&':
        case '|':
        case '=': {
            int next = peek();
            if (next == END) illegalEnd();
            if (next != (c == '=' ? '=' : c)) illegalChar(next);
            ++m_cur;
            accept(out, c == '&' ? T_AND : c == '|' ? T_OR : T_EQ, false);
            return;
        }
        case '<':
        case '>':
        case '!': {
            bool withEq = peek() == '=';
            if (withEq) ++m_cur;
            int kind = c == '<'   ? (withEq ? T_LE : T_LT)
                       : c == '>' ? (withEq ? T_GE : T_GT)
                                  : (withEq ? T_NE : T_NOT);
            accept(out, kind, false);
            return;
        }
        case '+':
            accept(out, T_PLUS, false);
            return;
        case '-':
            accept(out, T_MINUS, false);
            return;
        case '*':
            accept(out, T_MUL, false);
            return;
        case '/':
            accept(out, T_DIV, false);
            return;
        case ',':
            accept(out, T_COMMA, false);
            return;
        case '(':
            accept(out, T_LPAREN, false);
            return;
        case ')':
            accept(out, T_RPAREN, false);
            return;
        case '"': {
            for (;;) {
                int d = peek();
                if (d == END) illegalEnd();
                ++m_cur;
                if (d == '"') break;
                if (d == '\\') {
                    int e = peek();
                    if (e == END) illegalEnd();
                    if (e != '"' && e != '\\') illegalChar(e);
                    ++m_cur;
                }
            }
            accept(out, T_STR, true);
            return;
        }
        case '%':
            if (!isIdentChar(peek())) {
                accept(out, T_MOD, false);
                return;
            }
            break;  // '%' followed by an identifier character starts an identifier
        default:
            break;
    }
    if (isDigit(c)) {
        while (isDigit(peek())) ++m_cur;
        if (peek() == '.') {
            ++m_cur;
            int d = peek();
            if (d == END) illegalEnd();
            if (!isDigit(d)) illegalChar(d);
            while (isDigit(peek())) ++m_cur;
        }
        accept(out, T_NUM, true);
        return;
    }
    if (!isIdentChar(c)) illegalChar(c);
    while (isIdentChar(peek())) ++m_cur;
    accept(out, T_IDENT, true);
}

}  // namespace expr
}  // namespace qvtlib
