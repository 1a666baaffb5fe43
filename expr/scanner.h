// Scanner of the expression language: turns the bytes of a std::istream into
// Tokens (see expr/token.h).
//
// The scanner reads through a buffer made of a lead area, a read area that
// grows when a single lexeme outgrows it, and a NUL mark after the last byte
// read; so it handles texts of any length.  It does not own the stream.  When
// a token queue is attached (setQueue), the text of every queued token that
// still points into the buffer is copied before the buffer moves.
//
// Every position has line 1; the column is 1 plus the byte offset in the text.
// Failures throw ScanException at the begin position of the failing lexeme.
// Not thread-safe; not copyable (it owns its buffer).
#ifndef ZU_ZOZOV_EXPR_SCANNER_H
#define ZU_ZOZOV_EXPR_SCANNER_H

#include <cstddef>
#include <deque>
#include <istream>

#include "common/export.h"
#include "expr/token.h"

namespace qvtlib {
namespace expr {

class ZU_ZOZOV_EXPORT CExpScanner {
  public:
    static constexpr std::size_t LEAD_SIZE = 100;
    static constexpr std::size_t INITIAL_READ_SIZE = 8192;

    // Scans `in` (not owned); a null stream is an empty, exhausted input.
    explicit CExpScanner(std::istream* in);
    ~CExpScanner();
    CExpScanner(const CExpScanner&) = delete;
    CExpScanner& operator=(const CExpScanner&) = delete;

    // Points the scanner at another stream (or none): positions back to 1:1,
    // an empty buffer, end of input when `in` is null.
    void resetInput(std::istream* in);

    // Attaches the queue whose tokens' texts must survive buffer moves.
    void setQueue(std::deque<Token>* queue) { m_queue = queue; }

    // Fills `out` with the next token; after the end of input every call
    // delivers T_EOF at the current position.  Throws ScanException.
    void scan(Token& out);

    // The current position (begin of the next lexeme).
    const SourcePos& getPosition() const { return m_pos; }

    // Size of the read area: 8192 bytes once a stream is attached, growing when
    // a lexeme outgrows it; 0 while no stream is attached.
    std::size_t getReadSize() const { return m_readSize; }

  private:
    int peek();
    void fill();
    void accept(Token& out, int kind, bool hasText);
    [[noreturn]] void illegalChar(int c) const;
    [[noreturn]] void illegalEnd() const;
    char* readStart() const { return m_buf + LEAD_SIZE; }

    std::istream* m_in;
    SourcePos m_pos;
    char* m_buf;
    std::size_t m_readSize;
    char* m_cur;  // cursor
    char* m_lim;  // position of the NUL mark after the last byte read
    char* m_tok;  // start of the lexeme in progress
    bool m_eof;   // the stream reported end of file
    std::deque<Token>* m_queue;
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_SCANNER_H
