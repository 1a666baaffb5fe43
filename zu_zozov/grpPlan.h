// Evaluation plans: the fast path behind CGroup::isInGroup,
// CGrpRule::evalGroup and CXTreeNode::isMatch.
//
// A compiled group expression is lowered once into a CGrpProgram, a compact
// postfix program over numbered slots (one slot per variable name) with its
// constants converted once, inColl with a literal list turned into a
// prepared item set and substr with constant bounds into a slice.  Per
// instrument, CPlanSlots resolves each slot once, as a view into the
// instrument (no copies, no variable store).  Running the program gives the
// value the expression object's own evaluation would give.
//
// Exactness: a program only answers where it can answer exactly as the
// generic path (bind the variable store, evaluate the parse tree, read the
// result).  Everywhere else run() returns false and the caller hands that
// expression, for that instrument, to the generic path, which then does
// everything itself (its log records included):
//   - when lowering: no compiled tree; a function other than inColl and
//     substr (inSql, inPool, the ranking functions, host functions, unknown
//     names); inColl without exactly two arguments or with a list that is not
//     a constant string; substr without exactly three arguments or with
//     bounds that are not constants; a too deep operand stack.  Such an
//     expression gets no program at all;
//   - per instrument: a variable the instrument lacks (strict binding, which
//     logs it) or that holds a type the program does not model (anything but
//     empty, std::string, bool, int, double and the other arithmetic types);
//     the function registry no longer holding the library's inColl or substr
//     under their names;
//   - while running: inColl of a value that is neither a text, a double nor
//     empty (the function logs); substr starting beyond its text (the
//     function logs).
// A program has no side effects of its own, so handing over after a partial
// run changes nothing.  Operands that the generic path evaluates but whose
// value cannot matter (the right operand of && or || once the left one
// decides) are left out only when evaluating them could not be observed:
// they hold no calls, or guards on their calls' value slots show that none
// would log.
//
// A rule (CRulePlan) also hands a group to the generic path when the group
// was recompiled or assigned since the plan was built (CGroup's version; the
// next evalGroup builds a new plan), and leaves groups out through its lead
// index only when every variable of the rule is usable, the group functions
// are the library's and the guards of the skipped operands pass; otherwise
// it tries every group in order.
//
// Everything here is immutable once built and shared through
// std::shared_ptr<const ...>; per-call state lives in CPlanSlots and on the
// stack, so one program can run from several threads.
//
// Internal to the library; hosts must not rely on it.
#ifndef ZU_ZOZOV_GRPPLAN_H
#define ZU_ZOZOV_GRPPLAN_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/export.h"
#include "expr/value.h"
#include "zu_zozov/grpData.h"
#include "zu_zozov/grpDataDetail.h"

namespace qvtlib {
namespace expr {
class basic_function;
}
}  // namespace qvtlib

namespace qvt {
namespace ht {

class CGroupInstrument;

namespace detail {

class CAttrCursor;

// A value while a program runs: a tagged view.  Texts point into the
// instrument or into the program.
struct CPlanValue {
    enum Kind : unsigned char {
        EMPTY,     // no value
        BOOL,      // bool; num is 0 or 1
        INT,       // int; i and num
        DOUBLE,    // double; num
        NUMBER,    // another arithmetic type, converted to double in num
        TEXT,      // std::string; text
        UNUSABLE,  // a missing variable or a type the program does not model
    };
    Kind kind;
    int i;
    double num;
    // TEXT: the bytes (kept as two plain fields so that a value, and an
    // operand stack of them, needs no construction).
    const char* data;
    std::size_t size;

    std::string_view text() const { return std::string_view(data, size); }
};

// How variables are bound.
enum CPlanBinding {
    // As CGrpData::prepare(inst, expr): named attributes, else the fixed
    // fields I_CODE, A_TYPE and M_TYPE, else missing (UNUSABLE).
    BIND_STRICT,
    // As CGrpData::prepare(const void*): named attributes, else empty.
    BIND_NAMED,
};

// The slot values of one instrument for a sorted list of variable names.
// Per-call scratch; small lists need no heap.
class CPlanSlots {
  public:
    CPlanSlots() : m_values(m_inline) {}
    CPlanSlots(const CPlanSlots&) = delete;
    CPlanSlots& operator=(const CPlanSlots&) = delete;

    // REQUIRES: names ascending, each once.
    void resolve(const CGroupInstrument& inst, const std::vector<std::string>& names,
                 CPlanBinding binding);
    // resolve through `attrs`, a cursor over inst's attributes that other
    // look-ups share, wherever it stands.
    void resolve(const CGroupInstrument& inst, const std::vector<std::string>& names,
                 CPlanBinding binding, CAttrCursor& attrs);
    const CPlanValue* values() const { return m_values; }
    // No slot is UNUSABLE.
    bool allUsable() const { return m_allUsable; }

  private:
    template <bool Shared>
    void resolveThrough(const CGroupInstrument& inst, const std::vector<std::string>& names,
                        CPlanBinding binding, CAttrCursor& attrs);

    static const std::size_t INLINE = 24;
    CPlanValue m_inline[INLINE];
    std::unique_ptr<CPlanValue[]> m_heap;
    std::size_t m_heapSize = 0;
    CPlanValue* m_values;
    bool m_allUsable = true;
};

// A group function a program relies on: the registry must still hold this
// object under this name when the program runs.
struct CPlanFunction {
    std::string name;
    const qvtlib::expr::basic_function* function;
};
typedef std::vector<CPlanFunction> CPlanFunctions;

// True when the function registry holds every one of functions.
bool functionsIntact(const CPlanFunctions& functions);

class CGrpProgram {
  public:
    // The program of expr's parse tree over slots named slotNames (ascending;
    // it must name every variable of the tree).  Null when expr is not
    // compiled or the tree holds something the program cannot model (see the
    // top of this file).
    static std::shared_ptr<const CGrpProgram> lower(const CGrpExpr& expr,
                                                    const std::vector<std::string>& slotNames);

    CGrpProgram(const CGrpProgram&) = delete;
    CGrpProgram& operator=(const CGrpProgram&) = delete;

    // Runs the program with slot values `slots`; the expression's value goes
    // to `result`.  False when the generic path must decide instead.
    // REQUIRES: functionsIntact(functions()).
    // allUsable: the caller knows that no slot is UNUSABLE.
    // leadHolds: the caller knows that the lead test (see hasLead) holds;
    // the program then starts after it where it can.
    bool run(const CPlanValue* slots, CPlanValue& result, bool allUsable = false,
             bool leadHolds = false) const;

    // The group functions the program relies on.
    const CPlanFunctions& functions() const { return m_functions; }

    // A test that a call in a skipped operand could not have logged: the
    // value of `slot` (inColl: a text, a double or empty; substr: not a text
    // longer than start is short).
    struct CGuard {
        bool inColl;
        std::uint32_t slot;
        std::uint32_t start;
    };
    // True when every guard passes for the slot values.
    static bool quiet(const std::vector<CGuard>& guards, const CPlanValue* slots);

    // The lead test of an expression of the form
    //   VAR == "text" && B && C ...   (or VAR == "text" alone):
    // when VAR does not hold that text, the expression is false, provided
    // the guards pass and every variable is usable (evaluating B, C, ...
    // could not have been observed).  hasLead() false for other forms.
    bool hasLead() const { return m_hasLead; }
    std::uint32_t leadSlot() const { return m_leadSlot; }
    std::string_view leadText() const { return m_leadText; }
    const std::vector<CGuard>& leadGuards() const { return m_leadGuards; }
    // The slots of every variable of the expression.
    const std::vector<std::uint32_t>& usedSlots() const { return m_used; }

  private:
    // A test `VAR == "text"` that the program runs first and whose failure
    // ends it with false, leaving out only operands that the guards show
    // quiet: run then answers false without stepping through the program.
    // slot < 0: the program does not begin that way.
    struct CFirstTest {
        std::int32_t slot = -1;
        std::uint32_t size = 0;
        const char* data = nullptr;                   // the text, owned by the program
        const std::vector<CGuard>* guards = nullptr;  // of the left-out operands

        // True when the test fails for these slot values (all usable) and
        // the rest may be left out: the program's value is then false.
        bool fails(const CPlanValue* slots) const;
    };

    CGrpProgram() = default;
    friend class CProgramBuilder;

    // Joins instructions that usually run one after the other.
    void fuse();
    void findFirstTests();

    struct CInstr {
        unsigned char op;
        unsigned char code;
        std::uint32_t arg;
        std::uint32_t arg2;
    };
    struct CCollection {
        const std::string* list;              // the whole list, for number values
        std::vector<std::string_view> items;  // stripped items, sorted, each once
    };
    struct CSlice {
        std::uint32_t start;
        std::uint32_t length;
        bool always;  // the bounds are not both numbers: always the empty text
    };

    // Whether a SKIP leaves out its right operand (then top is replaced).
    bool skips(const CInstr& skip, CPlanValue& top, const CPlanValue* slots) const;

    std::vector<CInstr> m_code;
    std::vector<CPlanValue> m_constants;
    std::deque<std::string> m_texts;  // owns the texts of constants and lists
    std::vector<CCollection> m_collections;
    std::vector<CSlice> m_slices;
    std::vector<std::vector<CGuard> > m_guards;  // by SKIP instruction
    std::vector<std::uint32_t> m_used;           // slots of every variable of the tree
    CPlanFunctions m_functions;
    bool m_hasLead = false;
    std::uint32_t m_leadSlot = 0;
    std::string m_leadText;
    // Where run starts when the lead test holds: after the test and the
    // SKIP of its &&, with true on the stack; 0 when the program does not
    // begin that way.
    std::size_t m_leadEnd = 0;
    std::vector<CGuard> m_leadGuards;
    CFirstTest m_firstTest;
    CFirstTest m_firstTestAfterLead;
    // When the program (from the start, or after the lead test) is nothing
    // but comparisons of slots with constants joined by &&: those
    // comparisons, which run() then evaluates in a plain loop.
    struct CChain {
        bool whole = false;
        std::vector<CInstr> tests;
    };
    CChain m_chain;
    CChain m_chainAfterLead;
    void findChain(std::size_t from, CChain& chain) const;
};

// A group's answer from its expression's value, as CGroup::isInGroup reads
// it: a bool as is, a number when not zero, anything else false.
inline bool groupTruth(const CPlanValue& value) {
    switch (value.kind) {
        case CPlanValue::BOOL:
            return value.num != 0;
        case CPlanValue::INT:
        case CPlanValue::DOUBLE:
        case CPlanValue::NUMBER:
            return !(std::fabs(value.num) < qvtlib::expr::DOUBLE_TOLERANCE);
        default:
            return false;
    }
}
// A tree node's answer, as CXTreeNode::isMatch reads it: a number (true
// counts 1) of at least the smallest normalised double.
inline bool nodeTruth(const CPlanValue& value) {
    switch (value.kind) {
        case CPlanValue::BOOL:
        case CPlanValue::INT:
        case CPlanValue::DOUBLE:
        case CPlanValue::NUMBER:
            return value.num >= qvtlib::expr::DOUBLE_TOLERANCE;
        default:
            return false;
    }
}

// A group's program and its variables: what CGroup keeps to answer
// isInGroup without the generic path.
struct CGroupPlan {
    std::vector<std::string> slotNames;
    std::shared_ptr<const CGrpProgram> program;
};

// A rule's plan: every group's program over the union of the groups'
// variables, in the order evalGroup tries the groups.  Built from the groups
// as they are; a group changed since (CGroup::planVersion) answers through
// the generic path.
struct CRulePlan {
    struct CEntry {
        const void* group;  // the CGroup, for identity only
        unsigned version;
        std::shared_ptr<const CGrpProgram> program;  // null: generic path
        // The program leads with a test of the index's slot: when the index
        // chose the group, that test holds.
        bool led = false;
    };
    std::vector<std::string> slotNames;
    std::vector<CEntry> entries;
    CPlanFunctions functions;  // of all programs

    // The lead index (see CGrpProgram::hasLead): when most groups lead with
    // a test of one slot, an instrument need only try the groups whose lead
    // text is its value of that slot and the groups without such a lead, in
    // order.  Valid for an instrument whose slots are all usable and for
    // which every guard of allGuards passes; the other groups are false for
    // it.  leadSlot < 0: no index.
    int leadSlot = -1;
    std::vector<std::pair<std::string, std::uint32_t> > leadTexts;  // sorted: text -> list
    std::vector<std::vector<std::uint32_t> > candidates;            // entry indices, ascending
    std::uint32_t otherCandidates = 0;                              // the list for any other value
    std::vector<CGrpProgram::CGuard> allGuards;

    // Fills the lead index from the entries' programs.
    void index();
    // The entries to try for an instrument with these slot values, or null
    // when all must be tried.  REQUIRES: leadSlot >= 0, every slot usable,
    // the functions intact.
    const std::vector<std::uint32_t>* candidatesFor(const CPlanValue* slots) const;
};

// Changes whenever any group anywhere is recompiled or assigned, so that a
// rule can tell cheaply that its plan may be out of date.
unsigned groupEpoch();
void bumpGroupEpoch();

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GRPPLAN_H
