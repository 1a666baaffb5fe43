// One group of a group rule: a code, a display name and a boolean expression
// over instrument attributes.
//
// The group compiles its expression once (buildExp) and then answers, for any
// number of instruments, whether an instrument belongs to it (isInGroup).
// Failures become a false result, most of them with a log record (logger
// "CGroup"); boost::bad_any_cast while the result is read is caught here, any
// other exception from the evaluation reaches the caller.
//
// Ownership: the group owns its compiled expression.  Copying copies the three
// texts and gives the copy an expression of its own, compiled from the text
// the source's expression was compiled from, so a copy classifies exactly like
// its source.
//
// Thread-safety: none.  isInGroup is const towards the texts but rewrites the
// compiled expression's variable store, result and error text; a group must
// not be evaluated from two threads at once (and no two evaluations may
// overlap at all while they call group functions, which are process-wide).
#ifndef ZU_ZOZOV_GROUP_H
#define ZU_ZOZOV_GROUP_H

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/export.h"
#include "zu_zozov/grpData.h"

namespace qvt {
namespace ht {

class CGroupInstrument;
class CGrpRule;
namespace detail {
class CGrpProgram;
}

class ZU_ZOZOV_EXPORT CGroup {
  public:
    // Empty texts, no compiled expression.
    CGroup();
    CGroup(const CGroup& other);
    CGroup& operator=(const CGroup& other);
    // Deletes the compiled expression.
    ~CGroup();

    std::string getCode() const { return m_code; }
    std::string getName() const { return m_name; }
    std::string getExpression() const { return m_expression; }
    void setCode(const std::string& code) { m_code = code; }
    void setName(const std::string& name) { m_name = name; }
    // Does not touch the compiled expression: a new text takes effect with
    // the next successful buildExp.
    void setExpression(const std::string& expression) { m_expression = expression; }

    // code + "-" + name.
    std::string toString() const;

    // Compiles the expression text.  True on success.  An empty text gives
    // false without a log record (an expression compiled earlier stays in
    // use).  A text that does not compile logs an "ERROR" record with the
    // error code, column and text, deletes the expression object and gives
    // false.  Compiling again reuses the expression object.
    bool buildExp();

    // Whether inst belongs to the group: the compiled expression evaluated
    // with inst's attributes (strict binding, see CGrpData).  A bool result is
    // returned as is, a numeric one is true when not zero, anything else is
    // false.  Without a compiled expression: an "ERROR" record and false.  A
    // variable the instrument lacks: a "DEBUG" record, evaluation goes on.
    // An evaluation error: false without a record.
    //
    // The expression runs as an evaluation plan (zu_zozov/grpPlan.h) where
    // the plan can answer exactly as the expression object would, and through
    // the expression object (isInGroupGeneric) everywhere else.
    bool isInGroup(const CGroupInstrument& inst) const;
    // isInGroup always through the expression object: bind the variable
    // store, evaluate the parse tree, read the result.  The reference the
    // evaluation plans are checked against.
    bool isInGroupGeneric(const CGroupInstrument& inst) const;

    // Inserts the variable names of the compiled expression into names
    // (nothing without a compiled expression).  Never removes anything.
    void getExpAttr(std::set<std::string>& names) const;

  private:
    friend class CGrpRule;

    void copyExpressionFrom(const CGroup& other);
    void setPlan();

    std::string m_code;
    std::string m_name;
    std::string m_expression;
    CGrpExpr* m_exp;
    // The variables of m_exp's parse tree, collected once when it compiles
    // (they cannot change before the next compile).
    CGrpBindPlan m_plan;
    // The last evaluation failed and left its reason in m_exp's error text.
    mutable bool m_calcFailed;
    // m_exp lowered to an evaluation plan over m_plan's variables; null when
    // it cannot be (every instrument then goes the generic way).
    std::shared_ptr<const detail::CGrpProgram> m_program;
    // Changes whenever m_exp may change (buildExp, assignment), so that a
    // rule's plan can tell that its program of this group is out of date.
    unsigned m_version;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GROUP_H
