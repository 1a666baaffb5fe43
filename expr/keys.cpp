#include "expr/keys.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>

#include "expr/anyAssign.h"
#include "expr/data.h"
#include "expr/exceptions.h"
#include "expr/value.h"

namespace qvtlib {
namespace expr {

namespace {

// Shared results, handed out by reference so that evaluation does not
// allocate for them.
const boost::any& emptyValue() {
    static const boost::any value;
    return value;
}
const boost::any& trueValue() {
    static const boost::any value(true);
    return value;
}
const boost::any& falseValue() {
    static const boost::any value(false);
    return value;
}
const boost::any& boolValue(bool b) { return b ? trueValue() : falseValue(); }

template <typename T>
const boost::any& store(boost::any& out, T value) {
    detail::assignTyped(out, value);
    return out;
}

int operCode(const basic_node* n) { return static_cast<const COper&>(n->getKey()).getCode(); }

// A binary operator node with both operands: the kind of node whose left
// operand chains are walked with a loop.
bool isBinaryNode(const basic_node* n) {
    if (!n || !n->isOper()) return false;
    int code = operCode(n);
    return code != OP_NONE && code != OP_NOT && n->getChild() && n->getChild()->getNextSibling();
}

// Truth of a logical operand: the engine's own bool results first, then any
// arithmetic value; false when the operand cannot be converted.
inline bool truth(const boost::any& v, bool& out) {
    if (const bool* b = boost::any_cast<bool>(&v)) {
        out = *b;
        return true;
    }
    double d;
    if (!tryToDouble(v, d)) return false;
    out = d != 0;
    return true;
}

// Applies operator `code` to L and R (R null: the operator has one operand).
// The result is a shared value or `out`.  Operands that cannot be converted
// give the operator's neutral result (false or no value); nothing throws.
const boost::any& apply(int code, const boost::any& L, const boost::any* R, boost::any& out) {
    const boost::any& r = R ? *R : emptyValue();
    double lv = 0.0;
    double rv = 0.0;
    switch (code) {
        case OP_OR: {
            bool l, r2;
            if (!truth(L, l)) return falseValue();
            if (l) return trueValue();
            return boolValue(truth(r, r2) && r2);
        }
        case OP_AND: {
            bool l, r2;
            if (!truth(L, l) || !l) return falseValue();
            return boolValue(truth(r, r2) && r2);
        }
        case OP_NOT: {
            bool l;
            return boolValue(truth(L, l) && !l);
        }
        case OP_PLUS:
        case OP_MINUS:
            if (!tryToDouble(L, lv)) return emptyValue();
            if (!R) return store(out, code == OP_PLUS ? lv : -lv);
            if (!tryToDouble(r, rv)) return emptyValue();
            return store(out, code == OP_PLUS ? lv + rv : lv - rv);
        case OP_MUL:
        case OP_DIV:
            if (!tryToDouble(L, lv) || !tryToDouble(r, rv)) return emptyValue();
            return store(out, code == OP_MUL ? lv * rv : lv / rv);
        case OP_MOD: {
            const int* li = boost::any_cast<int>(&L);
            const int* ri = boost::any_cast<int>(&r);
            // A zero divisor has no remainder; INT_MIN % -1 would trap.
            if (!li || !ri || *ri == 0) return emptyValue();
            return store(out, *ri == -1 ? 0 : *li % *ri);
        }
        case OP_LT:
        case OP_GT:
        case OP_LE:
        case OP_GE:
        case OP_EQ:
        case OP_NE: {
            const std::string* ls = boost::any_cast<std::string>(&L);
            const std::string* rs = boost::any_cast<std::string>(&r);
            if (ls || rs) return boolValue(ls && rs && detail::compareText(code, *ls, *rs));
            if (!tryToDouble(L, lv) || !tryToDouble(r, rv)) return falseValue();
            return boolValue(detail::compareNumbers(code, lv, rv));
        }
        default:
            return emptyValue();
    }
}

[[noreturn]] void typeError(const std::string& message, const basic_node* node) {
    throw basic_except(message, node->getBegin(), node->getEnd());
}

// Type rule of operator `code` at `node` for the samples L and R (R null: one
// operand).  Returns the operator's sample, the double 1.0.
boost::any checkOper(int code, const basic_node* node, const boost::any& L, const boost::any* R) {
    const std::string name = operName(code);
    switch (code) {
        case OP_PLUS:
        case OP_MINUS:
            if (R ? (R->empty() || L.type() != R->type()) : !isNumeric(L)) {
                typeError("操作符 " + name + "两边操作数类型不匹配.", node);
            }
            break;
        case OP_NOT:
            if (L.empty()) typeError("操作符" + name + "两边操作数类型不匹配.", node);
            break;
        default:
            if (!R || L.empty() || R->empty() || L.type() != R->type()) {
                typeError("操作数 " + name + "两边操作数类型不匹配.", node);
            }
            break;
    }
    return boost::any(1.0);
}

}  // namespace

std::string operName(int code) {
    static const char* const names[] = {"",  "||", "&&", "+",  "-",  "!",  "*", "/",
                                        "%", "<",  ">",  "<=", ">=", "==", "!="};
    if (code <= OP_NONE || code > OP_NE) return std::string();
    return names[code];
}

basic_key::~basic_key() = default;

// ---- COper ---------------------------------------------------------------

const boost::any& COper::eval(const basic_node* node, const basic_data* data,
                              boost::any& tmp) const {
    const basic_node* first = node->getChild();
    if (m_code == OP_NONE || !first) return emptyValue();
    const basic_node* second = first->getNextSibling();
    if (!second || m_code == OP_NOT) {
        boost::any lTmp;
        const boost::any& L = first->eval(data, lTmp);
        if (m_code == OP_PLUS || m_code == OP_MINUS || m_code == OP_NOT) {
            return apply(m_code, L, nullptr, tmp);
        }
        return apply(m_code, L, &emptyValue(), tmp);
    }
    // A chain of binary operators down the left operands (a+b+c+..., or
    // a==1 && b==2 || c) is walked with a loop: down to the innermost left
    // operand, then back up through the parents.  Operands are still evaluated
    // left before right.
    const basic_node* op = node;
    while (isBinaryNode(op->getChild())) op = op->getChild();
    boost::any buffers[2];
    const boost::any* acc = &op->getChild()->eval(data, buffers[0]);
    for (;;) {
        const int code = operCode(op);
        const basic_node* right = op->getChild()->getNextSibling();
        bool decided = false;
        if ((code == OP_AND || code == OP_OR) && right->isPure()) {
            // The left operand alone gives the result, and evaluating the
            // right one could not be observed: leave it out.
            bool l = false;
            const bool known = truth(*acc, l);
            if (!known || l == (code == OP_OR)) {
                acc = &boolValue(code == OP_OR && known);
                decided = true;
            }
        }
        if (!decided) {
            boost::any rTmp;
            const boost::any& R = right->eval(data, rTmp);
            boost::any& out = (acc == &buffers[0]) ? buffers[1] : buffers[0];
            acc = &apply(code, *acc, &R, out);
        }
        if (op == node) break;
        op = op->getParent();
    }
    if (acc == &buffers[0] || acc == &buffers[1]) {
        tmp = std::move(*const_cast<boost::any*>(acc));
        return tmp;
    }
    return *acc;
}

boost::any COper::calc(const basic_node* node, const basic_data* data) const {
    boost::any tmp;
    const boost::any& r = eval(node, data, tmp);
    if (&r == &tmp) return tmp;
    return r;
}

boost::any COper::check(const basic_node* node, const basic_data* data) const {
    const basic_node* first = node->getChild();
    if (m_code == OP_NONE || !first) return boost::any();
    const basic_node* second = first->getNextSibling();
    if (!second || m_code == OP_NOT) {
        boost::any L = first->check(data);
        bool unary = m_code == OP_PLUS || m_code == OP_MINUS || m_code == OP_NOT;
        boost::any none;
        return checkOper(m_code, node, L, unary ? nullptr : &none);
    }
    // Left operand chains with a loop, as in eval().
    const basic_node* op = node;
    while (isBinaryNode(op->getChild())) op = op->getChild();
    boost::any acc = op->getChild()->check(data);
    for (;;) {
        boost::any R = op->getChild()->getNextSibling()->check(data);
        acc = checkOper(operCode(op), op, acc, &R);
        if (op == node) break;
        resetSample(acc);
        op = op->getParent();
    }
    return acc;
}

void COper::dump() const { print(std::cout); }
void COper::print(std::ostream& out) const { out << "oper:" << m_code; }

// ---- CVarb ---------------------------------------------------------------

const boost::any& CVarb::eval(const basic_node*, const basic_data* data, boost::any&) const {
    const boost::any* value = data ? data->lookup(m_name) : nullptr;
    return value ? *value : emptyValue();
}

boost::any CVarb::calc(const basic_node* node, const basic_data* data) const {
    boost::any unused;
    return eval(node, data, unused);
}

boost::any CVarb::check(const basic_node* node, const basic_data* data) const {
    if (node->getChild()) typeError("变量\"" + m_name + "\"之后缺少操作符。", node);
    return calc(node, data);
}

void CVarb::dump() const { print(std::cout); }
void CVarb::print(std::ostream& out) const { out << "varb:" << m_name; }

// ---- CNum ----------------------------------------------------------------

boost::any CNum::calc(const basic_node*, const basic_data*) const { return m_any; }

boost::any CNum::check(const basic_node* node, const basic_data*) const {
    if (node->getChild()) {
        std::ostringstream text;
        text << m_value;
        typeError("常数" + text.str() + "之后缺少操作符。", node);
    }
    return boost::any(1.0);
}

void CNum::dump() const { print(std::cout); }
void CNum::print(std::ostream& out) const { out << "num:" << m_value; }

// ---- CStr ----------------------------------------------------------------

boost::any CStr::calc(const basic_node*, const basic_data*) const { return m_any; }

boost::any CStr::check(const basic_node* node, const basic_data*) const {
    if (node->getChild()) typeError("字符串\"" + m_value + "\"之后缺少操作符。", node);
    return boost::any(std::string());
}

void CStr::dump() const { print(std::cout); }
void CStr::print(std::ostream& out) const { out << "str:" << m_value; }

}  // namespace expr
}  // namespace qvtlib
