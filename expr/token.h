// Tokens of the expression language: source positions, token kinds and the
// token record the scanner fills.
//
// A Token's text either points into the scanner's buffer (while it is not
// copied) or lives in its own string; the scanner copies the text of every
// queued token before it moves or replaces its buffer, so getText() stays
// valid for as long as the token lives.  Plain value types, no sharing.
#ifndef ZU_ZOZOV_EXPR_TOKEN_H
#define ZU_ZOZOV_EXPR_TOKEN_H

#include <string>

#include "common/export.h"

namespace qvtlib {
namespace expr {

// A place in the expression text.  Every position has line 1; the column is
// 1 plus the byte offset from the start of the text.
struct SourcePos {
    int line = 1;
    int column = 1;

    SourcePos() = default;
    SourcePos(int l, int c) : line(l), column(c) {}
    bool operator==(const SourcePos& o) const { return line == o.line && column == o.column; }
    bool operator!=(const SourcePos& o) const { return !(*this == o); }
};

// Token kinds; the values are part of the language's interface.
enum TokenKind {
    T_EOF = 0,
    T_IDENT = 1,
    T_NUM = 2,
    T_STR = 3,
    T_AND = 4,
    T_OR = 5,
    T_LT = 6,
    T_GT = 7,
    T_NOT = 8,
    T_LE = 9,
    T_GE = 10,
    T_EQ = 11,
    T_NE = 12,
    T_MINUS = 13,
    T_PLUS = 14,
    T_COMMA = 15,
    T_MUL = 16,
    T_DIV = 17,
    T_MOD = 18,
    T_LPAREN = 19,
    T_RPAREN = 20
};

// One scanned token.  Only identifier, number and string tokens carry text.
struct Token {
    SourcePos begin;
    SourcePos end;
    int kind = T_EOF;
    unsigned length = 0;        // length of the text
    const char* ptr = nullptr;  // text inside the scanner's buffer, while !copied
    bool copied = false;        // the text has been copied into `text`
    std::string text;

    // The token's text (empty for tokens without text).
    std::string getText() const { return copied ? text : std::string(ptr ? ptr : "", length); }

    // Copies the text out of the scanner's buffer (done before the buffer moves).
    void copyText() {
        if (!copied) {
            text.assign(ptr ? ptr : "", length);
            copied = true;
            ptr = nullptr;
        }
    }
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_TOKEN_H
