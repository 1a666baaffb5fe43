// Exceptions of the expression engine.
//
// ScanException (scanner) and ParseException (parser) carry the position of
// the failing lexeme and a GBK message; their what() carries no message text,
// read it with getMessage() or toString().  basic_except is thrown by the type
// check and by function calls; its what() is the message.  All three are
// copyable value types.
#ifndef ZU_ZOZOV_EXPR_EXCEPTIONS_H
#define ZU_ZOZOV_EXPR_EXCEPTIONS_H

#include <exception>
#include <string>

#include "common/export.h"
#include "expr/token.h"

namespace qvtlib {
namespace expr {

// Failure of the scanner: illegal character, illegal termination, stream error.
class ZU_ZOZOV_EXPORT ScanException : public std::exception {
  public:
    ScanException(const SourcePos& pos, const std::string& message);
    ~ScanException() override;

    // "line:column: message", e.g. "1:7: M".
    virtual std::string toString() const;
    // The GBK message; valid while the exception lives.
    virtual const char* getMessage() const;
    // The position of the lexeme that failed; valid while the exception lives.
    virtual const SourcePos* getPosition() const;

  private:
    SourcePos m_pos;
    std::string m_message;
};

// Failure of the parser: syntax error, missing operator, nesting too deep.
class ZU_ZOZOV_EXPORT ParseException : public std::exception {
  public:
    ParseException(const SourcePos& pos, const std::string& message);
    ~ParseException() override;

    virtual std::string toString() const;
    virtual const char* getMessage() const;
    virtual const SourcePos* getPosition() const;

  private:
    SourcePos m_pos;
    std::string m_message;
};

// Type-check and function-call failure at a node of the parse tree.
class ZU_ZOZOV_EXPORT basic_except : public std::exception {
  public:
    // The code is always 2; begin/end are the positions of the failing node.
    basic_except(const std::string& message, const SourcePos& begin, const SourcePos& end);
    ~basic_except() override;

    const char* what() const noexcept override;
    int getCode() const { return m_code; }
    const SourcePos& getBegin() const { return m_begin; }
    const SourcePos& getEnd() const { return m_end; }

  private:
    int m_code;
    SourcePos m_begin;
    SourcePos m_end;
    std::string m_message;
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_EXCEPTIONS_H
