#include "zu_zozov/grpPlan.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <map>
#include <typeinfo>
#include <unordered_map>

#include "expr/function.h"
#include "expr/keys.h"
#include "expr/value.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/groupInstrumentDetail.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpExprDetail.h"

namespace qvt {
namespace ht {
namespace detail {

using qvtlib::expr::basic_node;
using qvtlib::expr::CFunc;
using qvtlib::expr::CNum;
using qvtlib::expr::COper;
using qvtlib::expr::CStr;
using qvtlib::expr::CVarb;

namespace {

// Program operations.
enum Op : unsigned char {
    PUSH_CONST,  // push constant arg
    PUSH_SLOT,   // push slot arg
    APPLY1,      // operator code on the top value alone (unary + - !)
    APPLY2,      // operator code on the two top values
    SKIP,        // && or || (code) decided by the top value: replace it, go to
                 // arg, unless a guard of guard list arg2 fails
    CMP_SLOT,    // comparison code of slot arg with constant arg2, pushed
    CMP_TOP,     // comparison code of the top value with constant arg2
    IN_COLL,     // inColl of the top value with collection arg
    SUBSTR,      // substr of the top value with slice arg
    // Made by CGrpProgram::fuse from a CMP_SLOT and the instruction after
    // it, which they run in the same step (that instruction is never a jump
    // target: targets follow an APPLY2):
    CMP_SLOT_SKIP,   // CMP_SLOT, then the SKIP that follows
    CMP_SLOT_APPLY,  // CMP_SLOT, then the APPLY2 that follows
};

// The deepest operand stack a program may need.
const int MAX_DEPTH = 32;

CPlanValue emptyValue() {
    CPlanValue v;
    v.kind = CPlanValue::EMPTY;
    v.i = 0;
    v.num = 0.0;
    v.data = nullptr;
    v.size = 0;
    return v;
}

CPlanValue kindValue(CPlanValue::Kind kind, double num) {
    CPlanValue v = emptyValue();
    v.kind = kind;
    v.num = num;
    return v;
}

CPlanValue textValue(std::string_view text) {
    CPlanValue v = emptyValue();
    v.kind = CPlanValue::TEXT;
    v.data = text.data();
    v.size = text.size();
    return v;
}

bool isNumeric(const CPlanValue& v) {
    return v.kind == CPlanValue::BOOL || v.kind == CPlanValue::INT ||
           v.kind == CPlanValue::DOUBLE || v.kind == CPlanValue::NUMBER;
}

// The value of a boost::any, as a view, written into out field by field.  A
// string value is viewed in place, so `value` must outlive the view.
void readAny(const boost::any& value, CPlanValue& out) {
    if (value.empty()) {
        out.kind = CPlanValue::EMPTY;
        return;
    }
    const std::type_info& type = value.type();
    // The usual types by the address of their name first: type_info's ==
    // compares the names' texts whenever the addresses differ, as they do for
    // every type but the one held.
    const char* name = type.name();
    const bool isDouble = name == typeid(double).name();
    if (name == typeid(std::string).name() || (!isDouble && type == typeid(std::string))) {
        const std::string& s = *boost::unsafe_any_cast<std::string>(&value);
        out.kind = CPlanValue::TEXT;
        out.data = s.data();
        out.size = s.size();
        return;
    }
    if (isDouble || type == typeid(double)) {
        out.kind = CPlanValue::DOUBLE;
        out.num = *boost::unsafe_any_cast<double>(&value);
        return;
    }
    if (type == typeid(bool)) {
        out.kind = CPlanValue::BOOL;
        out.num = *boost::unsafe_any_cast<bool>(&value) ? 1.0 : 0.0;
        return;
    }
    if (type == typeid(int)) {
        out.kind = CPlanValue::INT;
        out.i = *boost::unsafe_any_cast<int>(&value);
        out.num = out.i;
        return;
    }
    double d = 0.0;
    if (qvtlib::expr::tryToDouble(value, d)) {
        out.kind = CPlanValue::NUMBER;
        out.num = d;
        return;
    }
    out.kind = CPlanValue::UNUSABLE;
}

CPlanValue fromAny(const boost::any& value) {
    CPlanValue v = emptyValue();
    readAny(value, v);
    return v;
}

// Truth of a logical operand, as the tree walk reads it: false when the value
// cannot be converted.
inline bool truth(const CPlanValue& v, bool& out) {
    if (!isNumeric(v)) return false;
    out = v.num != 0;
    return true;
}

// Setters of a value in place: only the fields its kind uses are written
// (and later read), which keeps the operand stack free of partial-copy stalls.
inline void setBool(CPlanValue& v, bool b) {
    v.kind = CPlanValue::BOOL;
    v.num = b ? 1.0 : 0.0;
}
inline void setDouble(CPlanValue& v, double d) {
    v.kind = CPlanValue::DOUBLE;
    v.num = d;
}
inline void setEmpty(CPlanValue& v) { v.kind = CPlanValue::EMPTY; }
inline void setText(CPlanValue& v, std::string_view text) {
    v.kind = CPlanValue::TEXT;
    v.data = text.data();
    v.size = text.size();
}

// Operator code on L and R (R null: the unary + - !), as the tree walk
// applies it; the result goes to out, which may be L itself.
inline void apply(int code, const CPlanValue& L, const CPlanValue* R, CPlanValue& out) {
    using namespace qvtlib::expr;
    switch (code) {
        case OP_OR: {
            bool l = false, r = false;
            if (!truth(L, l)) return setBool(out, false);
            if (l) return setBool(out, true);
            return setBool(out, truth(*R, r) && r);
        }
        case OP_AND: {
            bool l = false, r = false;
            if (!truth(L, l) || !l) return setBool(out, false);
            return setBool(out, truth(*R, r) && r);
        }
        case OP_NOT: {
            bool l = false;
            return setBool(out, truth(L, l) && !l);
        }
        case OP_PLUS:
        case OP_MINUS:
            if (!isNumeric(L)) return setEmpty(out);
            if (R == nullptr) return setDouble(out, code == OP_PLUS ? L.num : -L.num);
            if (!isNumeric(*R)) return setEmpty(out);
            return setDouble(out, code == OP_PLUS ? L.num + R->num : L.num - R->num);
        case OP_MUL:
        case OP_DIV:
            if (!isNumeric(L) || !isNumeric(*R)) return setEmpty(out);
            return setDouble(out, code == OP_MUL ? L.num * R->num : L.num / R->num);
        case OP_MOD: {
            if (L.kind != CPlanValue::INT || R->kind != CPlanValue::INT || R->i == 0) {
                return setEmpty(out);
            }
            const int m = R->i == -1 ? 0 : L.i % R->i;
            out.kind = CPlanValue::INT;
            out.i = m;
            out.num = m;
            return;
        }
        case OP_LT:
        case OP_GT:
        case OP_LE:
        case OP_GE:
        case OP_EQ:
        case OP_NE:
            if (L.kind == CPlanValue::TEXT || R->kind == CPlanValue::TEXT) {
                return setBool(out,
                               L.kind == CPlanValue::TEXT && R->kind == CPlanValue::TEXT &&
                                   qvtlib::expr::detail::compareText(code, L.text(), R->text()));
            }
            if (!isNumeric(L) || !isNumeric(*R)) return setBool(out, false);
            return setBool(out, qvtlib::expr::detail::compareNumbers(code, L.num, R->num));
        default:
            return setEmpty(out);
    }
}

// A comparison with a constant, texts first (the usual case); out may be L.
inline void compare(int code, const CPlanValue& L, const CPlanValue& R, CPlanValue& out) {
    if (R.kind == CPlanValue::TEXT) {
        return setBool(out, L.kind == CPlanValue::TEXT &&
                                qvtlib::expr::detail::compareText(code, L.text(), R.text()));
    }
    apply(code, L, &R, out);
}

// Leaves one guard per test: one inColl guard per slot, and per slot the
// substr guard with the largest start (whose text is long enough for every
// smaller start too).  The guards pass exactly when they passed before.
void compactGuards(std::vector<CGrpProgram::CGuard>& guards) {
    std::vector<CGrpProgram::CGuard> kept;
    for (const CGrpProgram::CGuard& g : guards) {
        bool merged = false;
        for (CGrpProgram::CGuard& k : kept) {
            if (k.inColl != g.inColl || k.slot != g.slot) continue;
            if (g.start > k.start) k.start = g.start;
            merged = true;
            break;
        }
        if (!merged) kept.push_back(g);
    }
    guards.swap(kept);
}

const std::string FUNC_IN_COLL = "inColl";
const std::string FUNC_SUBSTR = "substr";

}  // namespace

// Lowers a parse tree into a program, with an explicit work stack (no
// recursion over the depth of the tree).
class CProgramBuilder {
  public:
    CProgramBuilder(CGrpProgram& program, const std::vector<std::string>& slotNames)
        : m_program(program), m_slotNames(slotNames), m_depth(0) {}

    bool build(const basic_node* root) {
        if (!markSubtrees(root)) return false;
        m_work.push_back(CWork{CWork::VISIT, root, 0, 0, 0});
        while (!m_work.empty()) {
            const CWork w = m_work.back();
            m_work.pop_back();
            switch (w.kind) {
                case CWork::VISIT:
                    if (!visit(w.node)) return false;
                    break;
                case CWork::EMIT:
                    if (!emit(w.op, w.code, w.arg)) return false;
                    break;
                case CWork::PATCH:
                    m_program.m_code[m_patches.back()].arg =
                        static_cast<std::uint32_t>(m_program.m_code.size());
                    m_patches.pop_back();
                    break;
            }
        }
        return m_depth == 1 && findLead(root);
    }

  private:
    // Records the lead test of root (see CGrpProgram::hasLead), if it has
    // one.  Always true.
    bool findLead(const basic_node* root) {
        using namespace qvtlib::expr;
        std::vector<CGrpProgram::CGuard> guards;
        const basic_node* n = root;
        while (n->isOper() && static_cast<const COper&>(n->getKey()).getCode() == OP_AND &&
               n->getChild() != nullptr && n->getChild()->getNextSibling() != nullptr) {
            const basic_node* right = n->getChild()->getNextSibling();
            if ((m_marks[right] & HAS_FUNC) != 0 && !guardsFor(right, guards)) return true;
            n = n->getChild();
        }
        if (!n->isOper() || static_cast<const COper&>(n->getKey()).getCode() != OP_EQ) return true;
        const basic_node* var = n->getChild();
        if (var == nullptr || !var->isVarb() || var->getNextSibling() == nullptr) return true;
        const basic_node* text = var->getNextSibling();
        std::uint32_t slot = 0;
        CPlanValue value;
        if (!slotOf(static_cast<const CVarb&>(var->getKey()).getName(), slot) ||
            !constantNode(text) || !constantOf(text, value) || value.kind != CPlanValue::TEXT) {
            return true;
        }
        m_program.m_hasLead = true;
        m_program.m_leadSlot = slot;
        m_program.m_leadText.assign(value.data, value.size);
        compactGuards(guards);
        m_program.m_leadGuards = guards;
        return true;
    }

    struct CWork {
        enum Kind { VISIT, EMIT, PATCH } kind;
        const basic_node* node;
        unsigned char op;
        unsigned char code;
        std::uint32_t arg;  // SKIP: the guard list; CMP_TOP: the constant
    };
    enum Marks : unsigned char { HAS_VARB = 1, HAS_FUNC = 2 };

    // Records for every node whether its subtree (children of leaves
    // included) holds a variable or a function call.
    bool markSubtrees(const basic_node* root) {
        std::vector<std::pair<const basic_node*, bool> > pending;
        pending.emplace_back(root, false);
        while (!pending.empty()) {
            const std::pair<const basic_node*, bool> item = pending.back();
            pending.pop_back();
            const basic_node* n = item.first;
            if (!item.second) {
                pending.emplace_back(n, true);
                for (const basic_node* c = n->getChild(); c != nullptr; c = c->getNextSibling()) {
                    pending.emplace_back(c, false);
                }
                continue;
            }
            unsigned char marks = 0;
            if (n->isVarb()) marks |= HAS_VARB;
            if (n->isFunc()) marks |= HAS_FUNC;
            for (const basic_node* c = n->getChild(); c != nullptr; c = c->getNextSibling()) {
                marks |= m_marks[c];
            }
            m_marks[n] = marks;
        }
        return true;
    }

    // The value of a subtree without variables and calls: evaluated once by
    // the tree walk itself, so it is the value the generic path computes.
    bool constantOf(const basic_node* n, CPlanValue& out) {
        const boost::any value = n->calc(nullptr);
        if (const std::string* s = boost::any_cast<std::string>(&value)) {
            m_program.m_texts.push_back(*s);
            out = textValue(m_program.m_texts.back());
            return true;
        }
        out = fromAny(value);
        return out.kind != CPlanValue::UNUSABLE;
    }

    bool pushConstant(const CPlanValue& v) {
        m_program.m_constants.push_back(v);
        return emit(PUSH_CONST, 0, static_cast<std::uint32_t>(m_program.m_constants.size() - 1));
    }

    void later(CWork::Kind kind, const basic_node* node, unsigned char op = 0,
               unsigned char code = 0, std::uint32_t arg = 0) {
        m_work.push_back(CWork{kind, node, op, code, arg});
    }

    bool emit(unsigned char op, unsigned char code, std::uint32_t arg) {
        if (op == SKIP || op == CMP_TOP) {
            // The jump target (patched later) or nothing goes to arg; the
            // work item's argument to arg2.
            if (op == SKIP) m_patches.push_back(m_program.m_code.size());
            m_program.m_code.push_back(CGrpProgram::CInstr{op, code, 0, arg});
            return true;
        }
        switch (op) {
            case PUSH_CONST:
            case PUSH_SLOT:
                if (++m_depth > MAX_DEPTH) return false;
                break;
            case APPLY2:
                --m_depth;
                break;
            default:
                break;
        }
        m_program.m_code.push_back(CGrpProgram::CInstr{op, code, arg, 0});
        return true;
    }

    // The constant that is a subtree without variables and calls, if n is
    // one.
    bool constantNode(const basic_node* n) const {
        const auto found = m_marks.find(n);
        return found != m_marks.end() && (found->second & (HAS_VARB | HAS_FUNC)) == 0;
    }

    // Guards under which the right operand `right` of && or || may be left
    // out: every call in it must be shown unable to log by a look at one
    // slot (or by its constant arguments).  False when some call cannot be.
    bool guardsFor(const basic_node* right, std::vector<CGrpProgram::CGuard>& guards) {
        std::vector<const basic_node*> pending(1, right);
        while (!pending.empty()) {
            const basic_node* n = pending.back();
            pending.pop_back();
            if (n->isFunc()) {
                const std::string& name = static_cast<const CFunc&>(n->getKey()).getName();
                const basic_node* value = n->getChild();
                if (value == nullptr) return false;
                std::uint32_t slot = 0;
                if (value->isVarb()) {
                    if (!slotOf(static_cast<const CVarb&>(value->getKey()).getName(), slot)) {
                        return false;
                    }
                } else if (!constantNode(value)) {
                    return false;
                }
                if (name == FUNC_IN_COLL) {
                    if (value->isVarb()) {
                        guards.push_back(CGrpProgram::CGuard{true, slot, 0});
                    } else {
                        CPlanValue v;
                        if (!constantOf(value, v)) return false;
                        if (v.kind != CPlanValue::TEXT && v.kind != CPlanValue::DOUBLE &&
                            v.kind != CPlanValue::EMPTY) {
                            return false;
                        }
                    }
                } else if (name == FUNC_SUBSTR) {
                    const basic_node* start = value->getNextSibling();
                    CPlanValue s;
                    if (start == nullptr || !constantNode(start) || !constantOf(start, s)) {
                        return false;
                    }
                    // Bounds that are not numbers never reach the text.
                    const std::uint32_t first =
                        s.kind == CPlanValue::DOUBLE ? substrCount(s.num) : 0;
                    if (value->isVarb()) {
                        if (first != 0) guards.push_back(CGrpProgram::CGuard{false, slot, first});
                    } else {
                        CPlanValue v;
                        if (!constantOf(value, v)) return false;
                        if (v.kind == CPlanValue::TEXT && first > v.size) return false;
                    }
                } else {
                    return false;
                }
                // Calls nested in the value were refused above (a call is no
                // constant); the bounds are constants.
                continue;
            }
            for (const basic_node* c = n->getChild(); c != nullptr; c = c->getNextSibling()) {
                if ((m_marks[c] & HAS_FUNC) != 0) pending.push_back(c);
            }
        }
        return true;
    }

    bool slotOf(const std::string& name, std::uint32_t& slot) const {
        const auto it = std::lower_bound(m_slotNames.begin(), m_slotNames.end(), name);
        if (it == m_slotNames.end() || *it != name) return false;
        slot = static_cast<std::uint32_t>(it - m_slotNames.begin());
        return true;
    }

    // Requires that the registry holds the library's own function of this
    // name (not a host's), and records it for the check before each run.
    template <class Func>
    bool requireFunction(const std::string& name) {
        const auto& registry = qvtlib::expr::getFuncMap();
        const auto found = registry.find(name);
        if (found == registry.end() || found->second == nullptr) return false;
        const qvtlib::expr::basic_function& function = *found->second;
        if (typeid(function) != typeid(Func)) return false;
        for (const CPlanFunction& f : m_program.m_functions) {
            if (f.name == name) return true;
        }
        m_program.m_functions.push_back(CPlanFunction{name, found->second});
        return true;
    }

    bool visit(const basic_node* n) {
        if (n->isVarb()) {
            const std::string& name = static_cast<const CVarb&>(n->getKey()).getName();
            const auto it = std::lower_bound(m_slotNames.begin(), m_slotNames.end(), name);
            if (it == m_slotNames.end() || *it != name) return false;
            return emit(PUSH_SLOT, 0, static_cast<std::uint32_t>(it - m_slotNames.begin()));
        }
        if (n->isNum() || n->isStr() || (m_marks[n] & (HAS_VARB | HAS_FUNC)) == 0) {
            CPlanValue v;
            return constantOf(n, v) && pushConstant(v);
        }
        if (n->isFunc()) return visitCall(n);
        if (!n->isOper()) return false;

        using namespace qvtlib::expr;
        const int code = static_cast<const COper&>(n->getKey()).getCode();
        const basic_node* first = n->getChild();
        if (code == OP_NONE || first == nullptr) return pushConstant(emptyValue());
        const basic_node* second = first->getNextSibling();
        const unsigned char c = static_cast<unsigned char>(code);
        // Work runs last in, first out: push in reverse order.
        if (second == nullptr || code == OP_NOT) {
            if (code == OP_PLUS || code == OP_MINUS || code == OP_NOT) {
                later(CWork::EMIT, nullptr, APPLY1, c);
            } else {
                // A binary operator with one operand: the other is empty.
                later(CWork::EMIT, nullptr, APPLY2, c);
                m_program.m_constants.push_back(emptyValue());
                later(CWork::EMIT, nullptr, PUSH_CONST, 0,
                      static_cast<std::uint32_t>(m_program.m_constants.size() - 1));
            }
            later(CWork::VISIT, first);
            return true;
        }
        const bool comparison = code >= OP_LT && code <= OP_NE;
        if (comparison && constantNode(second)) {
            CPlanValue right;
            if (!constantOf(second, right)) return false;
            m_program.m_constants.push_back(right);
            const std::uint32_t k = static_cast<std::uint32_t>(m_program.m_constants.size() - 1);
            std::uint32_t slot = 0;
            if (first->isVarb() &&
                slotOf(static_cast<const CVarb&>(first->getKey()).getName(), slot)) {
                if (++m_depth > MAX_DEPTH) return false;
                m_program.m_code.push_back(CGrpProgram::CInstr{CMP_SLOT, c, slot, k});
                return true;
            }
            later(CWork::EMIT, nullptr, CMP_TOP, c, k);
            later(CWork::VISIT, first);
            return true;
        }
        // The right operand of && or || is left out when the left one
        // decides, as long as evaluating it could not have been observed: no
        // calls, or calls whose guards show they would not log.  Otherwise it
        // is evaluated, as the tree walk does.
        std::uint32_t guardList = 0;
        bool skip = false;
        if (code == OP_AND || code == OP_OR) {
            std::vector<CGrpProgram::CGuard> guards;
            if ((m_marks[second] & HAS_FUNC) == 0 || guardsFor(second, guards)) {
                skip = true;
                compactGuards(guards);
                m_program.m_guards.push_back(std::move(guards));
                guardList = static_cast<std::uint32_t>(m_program.m_guards.size() - 1);
            }
        }
        if (skip) later(CWork::PATCH, nullptr);
        later(CWork::EMIT, nullptr, APPLY2, c);
        later(CWork::VISIT, second);
        if (skip) later(CWork::EMIT, nullptr, SKIP, c, guardList);
        later(CWork::VISIT, first);
        return true;
    }

    bool visitCall(const basic_node* n) {
        const std::string& name = static_cast<const CFunc&>(n->getKey()).getName();
        std::vector<const basic_node*> args;
        for (const basic_node* c = n->getChild(); c != nullptr; c = c->getNextSibling()) {
            args.push_back(c);
        }
        if (name == FUNC_IN_COLL) {
            // inColl(value, "list"): the list must be a constant text.
            if (args.size() != 2 || (m_marks[args[1]] & (HAS_VARB | HAS_FUNC)) != 0) return false;
            if (!requireFunction<CGrpFunc_inColl>(name)) return false;
            CPlanValue list;
            if (!constantOf(args[1], list) || list.kind != CPlanValue::TEXT) return false;
            CGrpProgram::CCollection coll;
            coll.list = &m_program.m_texts.back();
            coll.items = inCollTextItems(*coll.list);
            std::sort(coll.items.begin(), coll.items.end());
            coll.items.erase(std::unique(coll.items.begin(), coll.items.end()), coll.items.end());
            m_program.m_collections.push_back(std::move(coll));
            later(CWork::EMIT, nullptr, IN_COLL, 0,
                  static_cast<std::uint32_t>(m_program.m_collections.size() - 1));
            later(CWork::VISIT, args[0]);
            return true;
        }
        if (name == FUNC_SUBSTR) {
            // substr(text, start, length) with constant bounds.
            if (args.size() != 3) return false;
            if (((m_marks[args[1]] | m_marks[args[2]]) & (HAS_VARB | HAS_FUNC)) != 0) return false;
            if (!requireFunction<CGrpFunc_substr>(name)) return false;
            CPlanValue start, length;
            if (!constantOf(args[1], start) || !constantOf(args[2], length)) return false;
            CGrpProgram::CSlice slice;
            slice.always = start.kind != CPlanValue::DOUBLE || length.kind != CPlanValue::DOUBLE;
            slice.start = slice.always ? 0 : substrCount(start.num);
            slice.length = slice.always ? 0 : substrCount(length.num);
            m_program.m_slices.push_back(slice);
            later(CWork::EMIT, nullptr, SUBSTR, 0,
                  static_cast<std::uint32_t>(m_program.m_slices.size() - 1));
            later(CWork::VISIT, args[0]);
            return true;
        }
        return false;
    }

    CGrpProgram& m_program;
    const std::vector<std::string>& m_slotNames;
    std::vector<CWork> m_work;
    std::vector<std::size_t> m_patches;
    std::unordered_map<const basic_node*, unsigned char> m_marks;
    int m_depth;
};

std::shared_ptr<const CGrpProgram> CGrpProgram::lower(const CGrpExpr& expr,
                                                      const std::vector<std::string>& slotNames) {
    if (!expr.isCompiled() || expr.getParser() == nullptr ||
        expr.getParser()->getRoot() == nullptr) {
        return nullptr;
    }
    std::shared_ptr<CGrpProgram> program(new CGrpProgram());
    // Every variable of the tree, also those never evaluated: the strict
    // binding reports each one the instrument lacks.
    for (const std::string& name : collectVarbNames(expr)) {
        const auto it = std::lower_bound(slotNames.begin(), slotNames.end(), name);
        if (it == slotNames.end() || *it != name) return nullptr;
        program->m_used.push_back(static_cast<std::uint32_t>(it - slotNames.begin()));
    }
    CProgramBuilder builder(*program, slotNames);
    if (!builder.build(expr.getParser()->getRoot())) return nullptr;
    program->fuse();
    return program;
}

// Fewer steps for the usual shapes (tests joined by &&), the instructions
// staying where they are so that no jump target moves:
//   - a SKIP of && that lands on another SKIP of && without guards jumps on
//     to that one's target: it would only skip again (the value it leaves,
//     false, is the value the second leaves);
//   - a CMP_SLOT runs together with the SKIP or APPLY2 after it.
void CGrpProgram::fuse() {
    const std::size_t size = m_code.size();
    for (std::size_t i = 0; i < size; ++i) {
        CInstr& in = m_code[i];
        if (in.op != SKIP || in.code != qvtlib::expr::OP_AND) continue;
        while (in.arg < size) {
            const CInstr& next = m_code[in.arg];
            if (next.op != SKIP || next.code != qvtlib::expr::OP_AND ||
                !m_guards[next.arg2].empty()) {
                break;
            }
            in.arg = next.arg;
        }
    }
    // The lead test, when the program begins with it (see m_leadEnd).
    if (m_hasLead && size > 0 && m_code[0].op == CMP_SLOT && m_code[0].arg == m_leadSlot &&
        m_code[0].code == qvtlib::expr::OP_EQ &&
        m_constants[m_code[0].arg2].kind == CPlanValue::TEXT &&
        m_constants[m_code[0].arg2].text() == m_leadText) {
        if (size == 1) {
            m_leadEnd = 1;
        } else if (m_code[1].op == SKIP && m_code[1].code == qvtlib::expr::OP_AND) {
            m_leadEnd = 2;
        }
    }
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (m_code[i].op != CMP_SLOT) continue;
        if (m_code[i + 1].op == SKIP) m_code[i].op = CMP_SLOT_SKIP;
        if (m_code[i + 1].op == APPLY2) m_code[i].op = CMP_SLOT_APPLY;
    }
    findFirstTests();
    findChain(0, m_chain);
    if (m_leadEnd > 0) findChain(m_leadEnd, m_chainAfterLead);
}

// From the start: a comparison alone, or followed by a SKIP; after the lead
// test: nothing at all.  Then any number of comparisons each joined by an
// APPLY2 of && to what went before, with SKIPs between them.  As every
// operator is an && of comparisons, every SKIP is one of &&, past only
// comparisons (no guards) and, fused, to the end.
void CGrpProgram::findChain(std::size_t from, CChain& chain) const {
    const std::size_t size = m_code.size();
    std::vector<CInstr> tests;
    std::size_t i = from;
    if (from == 0) {
        if (size == 1 && m_code[0].op == CMP_SLOT) {
            chain.tests.assign(1, m_code[0]);
            chain.whole = true;
            return;
        }
        if (size < 2 || m_code[0].op != CMP_SLOT_SKIP) return;
        tests.push_back(m_code[0]);
        i = 2;
    }
    while (i < size) {
        if (m_code[i].op != CMP_SLOT_APPLY || i + 1 >= size || m_code[i + 1].op != APPLY2 ||
            m_code[i + 1].code != qvtlib::expr::OP_AND) {
            return;
        }
        tests.push_back(m_code[i]);
        i += 2;
        if (i < size && m_code[i++].op != SKIP) return;
    }
    chain.tests.swap(tests);
    chain.whole = true;
}

// The first tests (see CFirstTest): from the start, `VAR == "text"` alone or
// followed by the SKIP of an && that jumps to the end; after the lead test,
// `VAR == "text"` joined by && to the true the lead leaves, then the end or
// such a SKIP.
void CGrpProgram::findFirstTests() {
    static const std::vector<CGuard> none;
    const std::size_t size = m_code.size();
    const auto textTest = [this](const CInstr& in, CFirstTest& test) {
        if (in.code != qvtlib::expr::OP_EQ || m_constants[in.arg2].kind != CPlanValue::TEXT) {
            return false;
        }
        test.slot = static_cast<std::int32_t>(in.arg);
        test.data = m_constants[in.arg2].data;
        test.size = static_cast<std::uint32_t>(m_constants[in.arg2].size);
        return true;
    };
    // The guards of a SKIP of && at `at` that ends the program, or null.
    const auto endingSkip = [&](std::size_t at) -> const std::vector<CGuard>* {
        if (at == size) return &none;
        const CInstr& skip = m_code[at];
        if (skip.op != SKIP || skip.code != qvtlib::expr::OP_AND || skip.arg != size) {
            return nullptr;
        }
        return &m_guards[skip.arg2];
    };
    if (size > 0 && (m_code[0].op == CMP_SLOT || m_code[0].op == CMP_SLOT_SKIP)) {
        const std::vector<CGuard>* guards = endingSkip(1);
        if (guards != nullptr && textTest(m_code[0], m_firstTest)) m_firstTest.guards = guards;
    }
    const std::size_t e = m_leadEnd;
    if (e > 0 && e + 1 < size && m_code[e].op == CMP_SLOT_APPLY && m_code[e + 1].op == APPLY2 &&
        m_code[e + 1].code == qvtlib::expr::OP_AND) {
        const std::vector<CGuard>* guards = endingSkip(e + 2);
        if (guards != nullptr && textTest(m_code[e], m_firstTestAfterLead)) {
            m_firstTestAfterLead.guards = guards;
        }
    }
}

// A SKIP of && or || (skip.code) with the left operand's value `top`: when
// that value decides and the guards let the right operand be left out,
// replaces it with the operation's value and answers true (jump to
// skip.arg).
inline bool CGrpProgram::skips(const CInstr& skip, CPlanValue& top, const CPlanValue* slots) const {
    bool l = false;
    const bool known = truth(top, l);
    const bool isOr = skip.code == qvtlib::expr::OP_OR;
    if ((!known || l == isOr) && quiet(m_guards[skip.arg2], slots)) {
        setBool(top, isOr && known);
        return true;
    }
    return false;
}

// A value that is not a text never equals a text.
inline bool CGrpProgram::CFirstTest::fails(const CPlanValue* slots) const {
    if (slot < 0) return false;
    const CPlanValue& v = slots[slot];
    if (v.kind == CPlanValue::TEXT &&
        qvtlib::expr::detail::sameText(v.text(), std::string_view(data, size))) {
        return false;
    }
    return guards->empty() || quiet(*guards, slots);
}

bool CGrpProgram::run(const CPlanValue* slots, CPlanValue& result, bool allUsable,
                      bool leadHolds) const {
    if (!allUsable) {
        for (const std::uint32_t s : m_used) {
            if (slots[s].kind == CPlanValue::UNUSABLE) return false;
        }
    }
    // Every slot of the program is usable now.
    const bool afterLead = leadHolds && m_leadEnd > 0;
    const CChain& chain = afterLead ? m_chainAfterLead : m_chain;
    if (chain.whole) {
        // The value of a comparison is always a bool, and so is that of &&.
        for (const CInstr& test : chain.tests) {
            CPlanValue tested;
            compare(test.code, slots[test.arg], m_constants[test.arg2], tested);
            if (tested.num == 0) {
                setBool(result, false);
                return true;
            }
        }
        setBool(result, true);
        return true;
    }
    if ((afterLead ? m_firstTestAfterLead : m_firstTest).fails(slots)) {
        setBool(result, false);
        return true;
    }
    CPlanValue stack[MAX_DEPTH];  // not initialised: every push writes its value
    int top = -1;
    std::size_t pc = 0;
    if (leadHolds && m_leadEnd > 0) {
        // What the test and its SKIP would leave: true, not skipping.
        setBool(stack[++top], true);
        pc = m_leadEnd;
    }
    const std::size_t size = m_code.size();
    for (; pc < size; ++pc) {
        const CInstr& in = m_code[pc];
        switch (in.op) {
            case PUSH_CONST:
                stack[++top] = m_constants[in.arg];
                break;
            case PUSH_SLOT:
                stack[++top] = slots[in.arg];
                break;
            case APPLY1:
                apply(in.code, stack[top], nullptr, stack[top]);
                break;
            case APPLY2:
                apply(in.code, stack[top - 1], &stack[top], stack[top - 1]);
                --top;
                break;
            case CMP_SLOT:
                ++top;
                compare(in.code, slots[in.arg], m_constants[in.arg2], stack[top]);
                break;
            case CMP_TOP:
                compare(in.code, stack[top], m_constants[in.arg2], stack[top]);
                break;
            case CMP_SLOT_SKIP: {
                ++top;
                compare(in.code, slots[in.arg], m_constants[in.arg2], stack[top]);
                const CInstr& skip = m_code[++pc];
                if (skips(skip, stack[top], slots)) pc = skip.arg - 1;  // the loop steps on
                break;
            }
            case CMP_SLOT_APPLY: {
                CPlanValue tested;
                compare(in.code, slots[in.arg], m_constants[in.arg2], tested);
                apply(m_code[++pc].code, stack[top], &tested, stack[top]);
                break;
            }
            case SKIP:
                if (skips(in, stack[top], slots)) pc = in.arg - 1;  // the loop steps on to in.arg
                break;
            case IN_COLL: {
                const CPlanValue& v = stack[top];
                const CCollection& coll = m_collections[in.arg];
                bool found = false;
                if (v.kind == CPlanValue::TEXT) {
                    if (coll.items.size() <= 8) {
                        for (const std::string_view& item : coll.items) {
                            if (qvtlib::expr::detail::sameText(item, v.text())) {
                                found = true;
                                break;
                            }
                        }
                    } else {
                        found = std::binary_search(coll.items.begin(), coll.items.end(), v.text());
                    }
                } else if (v.kind == CPlanValue::DOUBLE) {
                    found = inCollHoldsNumber(*coll.list, v.num);
                } else if (v.kind != CPlanValue::EMPTY) {
                    return false;  // the function logs an unsupported value
                }
                // An empty value does not reach the function: too few
                // arguments, 0.
                setDouble(stack[top], found ? 1.0 : 0.0);
                break;
            }
            case SUBSTR: {
                const CPlanValue& v = stack[top];
                const CSlice& slice = m_slices[in.arg];
                if (v.kind != CPlanValue::TEXT || slice.always) {
                    setText(stack[top], std::string_view());
                    break;
                }
                if (slice.start > v.size) return false;  // the function logs
                setText(stack[top], v.text().substr(slice.start, slice.length));
                break;
            }
            default:
                return false;
        }
    }
    const CPlanValue& last = stack[top];
    result.kind = last.kind;
    result.i = last.i;
    result.num = last.num;
    result.data = last.data;
    result.size = last.size;
    return true;
}

bool CGrpProgram::quiet(const std::vector<CGuard>& guards, const CPlanValue* slots) {
    for (const CGuard& g : guards) {
        const CPlanValue& v = slots[g.slot];
        if (g.inColl) {
            if (v.kind != CPlanValue::TEXT && v.kind != CPlanValue::DOUBLE &&
                v.kind != CPlanValue::EMPTY) {
                return false;
            }
        } else if (v.kind == CPlanValue::TEXT && g.start > v.size) {
            return false;
        }
    }
    return true;
}

namespace {
std::atomic<unsigned>& epoch() {
    static std::atomic<unsigned> value(0);
    return value;
}
}  // namespace

unsigned groupEpoch() { return epoch().load(std::memory_order_relaxed); }
void bumpGroupEpoch() { epoch().fetch_add(1, std::memory_order_relaxed); }

void CRulePlan::index() {
    // The slot most programs lead with.
    std::map<std::uint32_t, std::size_t> leads;
    for (const CEntry& e : entries) {
        if (e.program != nullptr && e.program->hasLead()) ++leads[e.program->leadSlot()];
    }
    std::size_t best = 0;
    for (const auto& l : leads) {
        if (l.second > best) {
            best = l.second;
            leadSlot = static_cast<int>(l.first);
        }
    }
    if (best < 2) {
        leadSlot = -1;
        return;
    }
    const std::uint32_t slot = static_cast<std::uint32_t>(leadSlot);
    std::map<std::string, std::vector<std::uint32_t> > byText;
    for (const CEntry& e : entries) {
        if (e.program != nullptr && e.program->hasLead() && e.program->leadSlot() == slot) {
            byText[std::string(e.program->leadText())];
            allGuards.insert(allGuards.end(), e.program->leadGuards().begin(),
                             e.program->leadGuards().end());
        }
    }
    std::vector<std::uint32_t> others;
    for (std::uint32_t k = 0; k < entries.size(); ++k) {
        CEntry& e = entries[k];
        e.led = e.program != nullptr && e.program->hasLead() && e.program->leadSlot() == slot;
        if (e.led) {
            byText[std::string(e.program->leadText())].push_back(k);
        } else {
            others.push_back(k);
            for (auto& t : byText) t.second.push_back(k);
        }
    }
    compactGuards(allGuards);
    // Lists stay ascending: entries were visited in order.
    for (auto& t : byText) {
        std::sort(t.second.begin(), t.second.end());
        leadTexts.emplace_back(t.first, static_cast<std::uint32_t>(candidates.size()));
        candidates.push_back(std::move(t.second));
    }
    otherCandidates = static_cast<std::uint32_t>(candidates.size());
    candidates.push_back(std::move(others));
}

const std::vector<std::uint32_t>* CRulePlan::candidatesFor(const CPlanValue* slots) const {
    if (!CGrpProgram::quiet(allGuards, slots)) return nullptr;
    const CPlanValue& v = slots[leadSlot];
    if (v.kind == CPlanValue::TEXT) {
        const std::string_view text = v.text();
        if (leadTexts.size() <= 16) {
            for (const auto& t : leadTexts) {
                if (qvtlib::expr::detail::sameText(t.first, text)) return &candidates[t.second];
            }
            return &candidates[otherCandidates];
        }
        const auto found =
            std::lower_bound(leadTexts.begin(), leadTexts.end(), text,
                             [](const std::pair<std::string, std::uint32_t>& a,
                                std::string_view b) { return std::string_view(a.first) < b; });
        if (found != leadTexts.end() && found->first == text) return &candidates[found->second];
    }
    return &candidates[otherCandidates];
}

bool functionsIntact(const CPlanFunctions& functions) {
    if (functions.empty()) return true;
    const auto& registry = qvtlib::expr::getFuncMap();
    for (const CPlanFunction& f : functions) {
        const auto found = registry.find(f.name);
        if (found == registry.end() || found->second != f.function) return false;
    }
    return true;
}

namespace {

// The fixed field the strict binding binds under name, or null.
inline const std::string* fixedField(const CGroupInstrument& inst, const std::string& name) {
    if (name.size() != 6) return nullptr;
    switch (name[0]) {
        case 'I':
            return qvtlib::expr::detail::sameText(name, CGroupInstrument::attr::I_CODE)
                       ? &inst.iCodeRef()
                       : nullptr;
        case 'A':
            return qvtlib::expr::detail::sameText(name, CGroupInstrument::attr::A_TYPE)
                       ? &inst.aTypeRef()
                       : nullptr;
        case 'M':
            return qvtlib::expr::detail::sameText(name, CGroupInstrument::attr::M_TYPE)
                       ? &inst.mTypeRef()
                       : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

void CPlanSlots::resolve(const CGroupInstrument& inst, const std::vector<std::string>& names,
                         CPlanBinding binding) {
    // The cursor is this call's own, so that it stays in registers.
    CAttrCursor attrs(inst.getAttrs());
    resolveThrough<false>(inst, names, binding, attrs);
}

void CPlanSlots::resolve(const CGroupInstrument& inst, const std::vector<std::string>& names,
                         CPlanBinding binding, CAttrCursor& attrs) {
    resolveThrough<true>(inst, names, binding, attrs);
}

template <bool Shared>
inline void CPlanSlots::resolveThrough(const CGroupInstrument& inst,
                                       const std::vector<std::string>& names, CPlanBinding binding,
                                       CAttrCursor& attrs) {
    const std::size_t count = names.size();
    if (count > INLINE) {
        if (m_heapSize < count) {
            m_heap.reset(new CPlanValue[count]);
            m_heapSize = count;
        }
        m_values = m_heap.get();
    } else {
        m_values = m_inline;
    }
    // Both lists are sorted: walk the attributes along the names (a shared
    // cursor from wherever it stands to the first).
    m_allUsable = true;
    for (std::size_t k = 0; k < count; ++k) {
        const std::string& name = names[k];
        const boost::any* found = Shared && k == 0 ? attrs.find(name) : attrs.findNext(name);
        CPlanValue& slot = m_values[k];
        if (found != nullptr) {
            readAny(*found, slot);
            if (slot.kind == CPlanValue::UNUSABLE) m_allUsable = false;
        } else if (binding == BIND_NAMED) {
            slot = emptyValue();
        } else if (const std::string* field = fixedField(inst, name)) {
            slot = textValue(*field);
        } else {
            slot = kindValue(CPlanValue::UNUSABLE, 0.0);
            m_allUsable = false;
        }
    }
}

}  // namespace detail
}  // namespace ht
}  // namespace qvt
