// Keys of the parse tree: what a node stands for (operator, function call,
// variable, number, string) and how it is checked and evaluated.
//
// A key reaches its operands through the node that holds it.  Keys are small
// value types copied into their nodes; they hold no pointers into the tree.
// Evaluation (calc/eval) and the static type check (check) are const and
// reentrant, except that function calls use the process-wide function objects
// (expr/function.h).
#ifndef ZU_ZOZOV_EXPR_KEYS_H
#define ZU_ZOZOV_EXPR_KEYS_H

#include <boost/any.hpp>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>

#include "common/export.h"
#include "expr/node.h"
#include "expr/value.h"

namespace qvtlib {
namespace expr {

// Operator codes held by COper.
enum OperCode {
    OP_NONE = 0,  // placeholder, no operands
    OP_OR = 1,
    OP_AND = 2,
    OP_PLUS = 3,
    OP_MINUS = 4,
    OP_NOT = 5,
    OP_MUL = 6,
    OP_DIV = 7,
    OP_MOD = 8,
    OP_LT = 9,
    OP_GT = 10,
    OP_LE = 11,
    OP_GE = 12,
    OP_EQ = 13,
    OP_NE = 14
};

// The operator's text ("||", "&&", "+", ...); empty for OP_NONE and for any
// other code.
ZU_ZOZOV_EXPORT std::string operName(int code);

namespace detail {

// The comparison `code` (OP_LT .. OP_NE) of two numbers: differences below
// the smallest normalised double count as equal; a NaN operand makes every
// comparison false.  Shared by the tree walk and the evaluation plans of the
// grouping library, which must agree to the bit.
inline bool compareNumbers(int code, double l, double r) {
    const double tolerance = DOUBLE_TOLERANCE;
    switch (code) {
        case OP_LT:
            return r - l >= tolerance;
        case OP_GT:
            return l - r >= tolerance;
        case OP_LE:
            return r - l >= tolerance || std::fabs(l - r) < tolerance;
        case OP_GE:
            return l - r >= tolerance || std::fabs(l - r) < tolerance;
        case OP_EQ:
            return std::fabs(l - r) < tolerance;
        default:
            return std::fabs(l - r) >= tolerance;
    }
}

// The comparison `code` (OP_LT .. OP_NE) of two texts, byte-wise, a shorter
// prefix first (the std::string operators).
inline bool sameText(std::string_view l, std::string_view r) {
    const std::size_t n = l.size();
    if (n != r.size()) return false;
    // Codes are short: comparing them here, byte by byte, costs less than a
    // call to memcmp, and most texts that differ differ early.
    if (n <= 16) {
        for (std::size_t i = 0; i < n; ++i) {
            if (l[i] != r[i]) return false;
        }
        return true;
    }
    return l.compare(r) == 0;
}

inline bool compareText(int code, std::string_view l, std::string_view r) {
    if (code == OP_EQ) return sameText(l, r);
    if (code == OP_NE) return !sameText(l, r);
    const int order = l.compare(r);
    switch (code) {
        case OP_LT:
            return order < 0;
        case OP_GT:
            return order > 0;
        case OP_LE:
            return order <= 0;
        case OP_GE:
            return order >= 0;
        case OP_EQ:
            return order == 0;
        default:
            return order != 0;
    }
}

}  // namespace detail

class ZU_ZOZOV_EXPORT basic_key {
  public:
    virtual ~basic_key();
    // Value of the subtree at `node` (the node holding this key) with the
    // variables of `data`.  Operators never throw for operands they cannot
    // convert (they give false or no value); a function call may throw
    // basic_except.
    virtual boost::any calc(const basic_node* node, const basic_data* data) const = 0;
    // Type sample of the subtree at `node`; throws basic_except at the first
    // node, children before their parent, whose operand types do not fit.
    virtual boost::any check(const basic_node* node, const basic_data* data) const = 0;
    // Prints the key ("oper:13", "varb:x", ...) to standard output.
    virtual void dump() const = 0;
    virtual bool isVarb() const { return false; }
    virtual bool isOper() const { return false; }
    virtual bool isNum() const { return false; }
    virtual bool isStr() const { return false; }
    virtual bool isFunc() const { return false; }
    // Writes what dump() prints.
    virtual void print(std::ostream& out) const = 0;
};

// Operator; its operands are the node's children.
class ZU_ZOZOV_EXPORT COper : public basic_key {
  public:
    explicit COper(int code = OP_NONE) : m_code(code) {}
    int getCode() const { return m_code; }

    boost::any calc(const basic_node* node, const basic_data* data) const override;
    boost::any check(const basic_node* node, const basic_data* data) const override;
    void dump() const override;
    bool isOper() const override { return true; }
    void print(std::ostream& out) const override;
    // calc without copying: see basic_node::eval.
    const boost::any& eval(const basic_node* node, const basic_data* data, boost::any& tmp) const;

  private:
    int m_code;
};

// Function call; the arguments are the node's children.  The function is
// looked up by name in the registry (expr/function.h) at every check and
// evaluation.
class ZU_ZOZOV_EXPORT CFunc : public basic_key {
  public:
    explicit CFunc(const std::string& name) : m_name(name) {}
    const std::string& getName() const { return m_name; }

    boost::any calc(const basic_node* node, const basic_data* data) const override;
    boost::any check(const basic_node* node, const basic_data* data) const override;
    void dump() const override;
    bool isFunc() const override { return true; }
    void print(std::ostream& out) const override;
    const boost::any& eval(const basic_node* node, const basic_data* data, boost::any& tmp) const;

  private:
    std::string m_name;
};

// Variable, looked up by name in the data object.
class ZU_ZOZOV_EXPORT CVarb : public basic_key {
  public:
    explicit CVarb(const std::string& name) : m_name(name) {}
    const std::string& getName() const { return m_name; }

    boost::any calc(const basic_node* node, const basic_data* data) const override;
    boost::any check(const basic_node* node, const basic_data* data) const override;
    void dump() const override;
    bool isVarb() const override { return true; }
    void print(std::ostream& out) const override;
    const boost::any& eval(const basic_node* node, const basic_data* data, boost::any& tmp) const;

  private:
    std::string m_name;
};

// Number literal (always a double).
class ZU_ZOZOV_EXPORT CNum : public basic_key {
  public:
    explicit CNum(double value) : m_value(value), m_any(value) {}
    double getValue() const { return m_value; }

    boost::any calc(const basic_node* node, const basic_data* data) const override;
    boost::any check(const basic_node* node, const basic_data* data) const override;
    void dump() const override;
    bool isNum() const override { return true; }
    void print(std::ostream& out) const override;
    const boost::any& eval(const basic_node*, const basic_data*, boost::any&) const {
        return m_any;
    }

  private:
    double m_value;
    boost::any m_any;  // the value, ready to be handed out without a copy
};

// String literal (escapes already resolved).
class ZU_ZOZOV_EXPORT CStr : public basic_key {
  public:
    explicit CStr(const std::string& value) : m_value(value), m_any(value) {}
    const std::string& getValue() const { return m_value; }

    boost::any calc(const basic_node* node, const basic_data* data) const override;
    boost::any check(const basic_node* node, const basic_data* data) const override;
    void dump() const override;
    bool isStr() const override { return true; }
    void print(std::ostream& out) const override;
    const boost::any& eval(const basic_node*, const basic_data*, boost::any&) const {
        return m_any;
    }

  private:
    std::string m_value;
    boost::any m_any;
};

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_KEYS_H
