// CBaseExpr<Data, Resolver>: one compiled expression with its variable store.
//
// compile() scans and parses the text once into a tree kept by the object;
// the caller then fills the variable store (getData(), a basic_data
// subclass), calls calc() and reads getResult(), as often as it likes.
// Failures never throw out of compile(); calc() turns every std::exception
// into false, while any other exception (say, thrown by a host provider
// inside a function) passes through.  Failure messages (GBK) accumulate in the
// error text, read and cleared by getErrorText().
//
//   CBaseExpr<MyData, CBaseResolver> e;
//   if (!e.compile("x > 1")) std::cerr << e.getErrorText();
//   e.getData().getValues()["x"] = 2.0;
//   if (e.calc()) bool b = boost::any_cast<bool>(e.getResult());
//
// The object owns its parser, tree and store; it cannot be copied (CNoCopy).
// Not thread-safe, and evaluations of different objects must not overlap when
// they call functions (expr/function.h).
#ifndef ZU_ZOZOV_EXPR_BASEEXPR_H
#define ZU_ZOZOV_EXPR_BASEEXPR_H

#include <boost/any.hpp>
#include <exception>
#include <new>
#include <sstream>
#include <string>

#include "common/errorInfo.h"
#include "common/export.h"
#include "common/noCopy.h"
#include "expr/anyAssign.h"
#include "expr/data.h"
#include "expr/exceptions.h"
#include "expr/parser.h"

namespace qvtlib {
namespace expr {

// Resolver slot of CBaseExpr.  Functions are resolved through the function
// registry, not through the resolver.
class ZU_ZOZOV_EXPORT CBaseResolver {
  public:
    virtual ~CBaseResolver();
};

// Error position of the last failed compile.  A scan or syntax error sets
// beginColumn to the byte offset of the failing lexeme in the text.
struct ErrorPos {
    int beginLine = 0;
    int beginColumn = 0;
    int endLine = 0;
    int endColumn = 0;
};

namespace detail {
// The head of the error text of a compile: "表达式 [" text "]:" in GBK.
ZU_ZOZOV_EXPORT std::string compileErrorHead(const std::string& text);
}  // namespace detail

template <typename Data, typename Resolver>
class CBaseExpr : public common::CNoCopy, public common::CErrorInfo {
  public:
    CBaseExpr() : m_parser(nullptr), m_compiled(false), m_errCode(0) {}
    ~CBaseExpr() override { delete m_parser; }

    // Compiles `text`.  An empty text clears the object and returns true
    // (the object is then not compiled).  Otherwise returns whether the text
    // parsed; on failure the error code, position and text tell why.
    bool compile(const std::string& text);

    // Evaluates the compiled tree with the variable store.  False when not
    // compiled or when the evaluation threw a std::exception (its what() is
    // then appended to the error text and the result keeps its old value).
    bool calc();

    // The value of the last successful calc().
    boost::any getResult() const { return m_result; }
    // The value of the last successful calc(), without a copy.
    const boost::any& result() const { return m_result; }

    // The accumulated error text; reading it clears it.
    std::string getErrorText() {
        std::string text = getErrorInfo();
        clearErrorInfo();
        return text;
    }
    // 0 none, 1 scan error, 2 syntax error (of the last failed compile).
    int getErrorCode() const { return m_errCode; }
    const ErrorPos& getErrorPos() const { return m_errPos; }
    bool isCompiled() const { return m_compiled; }
    std::string getExpression() const { return m_expr; }
    Data& getData() { return m_data; }
    const Data& getData() const { return m_data; }
    // The parser with the tree; null before the first compile.
    CExpParser* getParser() const { return m_parser; }

    // Deletes the parser and tree, empties the store, the result, the text
    // and the error text.  The error code and position stay.  Returns true.
    bool clear();

  private:
    template <typename E>
    void recordSyntaxError(const E& e, int code) {
        m_errCode = code;
        m_errPos.beginColumn = e.getPosition()->column - 1;
        addError(e.getMessage());
    }

    std::string m_expr;
    CExpParser* m_parser;
    Data m_data;
    Resolver m_resolver;
    boost::any m_result;
    bool m_compiled;
    ErrorPos m_errPos;
    int m_errCode;
};

template <typename Data, typename Resolver>
bool CBaseExpr<Data, Resolver>::compile(const std::string& text) {
    if (text.empty()) return clear();
    m_expr = text;
    std::stringstream in(text, std::ios::in | std::ios::out);
    delete m_parser;
    m_parser = nullptr;
    m_compiled = false;
    try {
        m_parser = new CExpParser(&in);
    } catch (const std::bad_alloc&) {
        return false;
    }
    clearErrorInfo();
    errorStream() << detail::compileErrorHead(text);
    try {
        m_parser->parse();
        m_parser->resetInput(nullptr);
        clearErrorInfo();
        m_errCode = 0;
        m_compiled = true;
        return true;
    } catch (const ScanException& e) {
        recordSyntaxError(e, 1);
    } catch (const ParseException& e) {
        recordSyntaxError(e, 2);
    } catch (const std::exception& e) {
        addError(e.what());
    } catch (...) {
        addError("unexpected exception!");
    }
    m_parser->resetInput(nullptr);  // the stream dies with this call
    return false;
}

template <typename Data, typename Resolver>
bool CBaseExpr<Data, Resolver>::calc() {
    if (!m_compiled || !m_parser || !m_parser->getRoot()) return false;
    try {
        boost::any tmp;
        detail::assignValue(m_result, m_parser->getRoot()->eval(&m_data, tmp));
        return true;
    } catch (const std::exception& e) {
        addError(e.what());
        return false;
    }
}

template <typename Data, typename Resolver>
bool CBaseExpr<Data, Resolver>::clear() {
    delete m_parser;
    m_parser = nullptr;
    m_compiled = false;
    m_data.getValues().clear();
    m_result = boost::any();
    m_expr.clear();
    clearErrorInfo();
    return true;
}

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_BASEEXPR_H
