#include "zu_zozov/group.h"

#include <cfloat>
#include <cmath>
#include <new>
#include <utility>

#include "expr/value.h"
#include "log/logSite.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpPlan.h"

namespace qvt {
namespace ht {

namespace {
const char LOGGER[] = "CGroup";
}  // namespace

CGroup::CGroup() : m_exp(nullptr), m_calcFailed(false), m_version(0) {}

CGroup::CGroup(const CGroup& other)
    : m_code(other.m_code),
      m_name(other.m_name),
      m_expression(other.m_expression),
      m_exp(nullptr),
      m_calcFailed(false),
      m_version(0) {
    copyExpressionFrom(other);
}

CGroup& CGroup::operator=(const CGroup& other) {
    if (this != &other) {
        CGroup copy(other);
        std::swap(m_code, copy.m_code);
        std::swap(m_name, copy.m_name);
        std::swap(m_expression, copy.m_expression);
        std::swap(m_exp, copy.m_exp);
        std::swap(m_plan, copy.m_plan);
        std::swap(m_calcFailed, copy.m_calcFailed);
        std::swap(m_program, copy.m_program);
        ++m_version;
        detail::bumpGroupEpoch();
    }
    return *this;
}

CGroup::~CGroup() { delete m_exp; }

// Gives this group an expression object of its own in the state of other's:
// none, uncompiled, or compiled from the same text.  other's compiled text
// compiled once, so it compiles again; should it not, this group is left
// without an expression, which it reports when evaluated.
void CGroup::copyExpressionFrom(const CGroup& other) {
    if (other.m_exp == nullptr) return;
    m_exp = new CGrpExpr();
    if (other.m_exp->isCompiled()) {
        if (m_exp->compile(other.m_exp->getExpression()) && m_exp->isCompiled()) {
            m_plan = other.m_plan;
            m_program = other.m_program;  // immutable, so shared
        } else {
            delete m_exp;
            m_exp = nullptr;
        }
    }
}

void CGroup::setPlan() {
    m_plan = CGrpBindPlan(detail::collectVarbNames(*m_exp));
    m_program = detail::CGrpProgram::lower(*m_exp, m_plan.getVarbNames());
}

std::string CGroup::toString() const { return m_code + "-" + m_name; }

bool CGroup::buildExp() {
    ++m_version;
    detail::bumpGroupEpoch();
    if (m_exp == nullptr) m_exp = new (std::nothrow) CGrpExpr();
    if (m_exp == nullptr) {
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, LOGGER,
                     "创建分组CGroup对象[" << toString() << "]的表达式(" << m_expression
                                           << ")时内存申请失败！");
        return false;
    }
    if (m_expression.empty()) return false;

    if (m_exp->compile(m_expression)) {
        setPlan();
        m_calcFailed = false;
        return true;
    }
    const std::string errorText = m_exp->getErrorText();
    ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, LOGGER,
                 "初始化分组CGroup对象[" << toString() << "]的表达式(" << m_expression
                                         << ")时出错（将删除该表达式）：" << m_exp->getErrorCode()
                                         << "," << m_exp->getErrorPos().beginColumn << ","
                                         << errorText);
    delete m_exp;
    m_exp = nullptr;
    m_plan = CGrpBindPlan();
    m_program.reset();
    return false;
}

bool CGroup::isInGroup(const CGroupInstrument& inst) const {
    if (m_program != nullptr && detail::functionsIntact(m_program->functions())) {
        detail::CPlanSlots slots;
        slots.resolve(inst, m_plan.getVarbNames(), detail::BIND_STRICT);
        detail::CPlanValue value;
        if (m_program->run(slots.values(), value)) return detail::groupTruth(value);
    }
    return isInGroupGeneric(inst);
}

bool CGroup::isInGroupGeneric(const CGroupInstrument& inst) const {
    if (m_exp == nullptr) {
        ZU_ZOZOV_LOG(
            zAZir4::LEVEL_ERROR, LOGGER,
            "表达式未设置或语法有误，设置失败，无法计算！:" << m_code << "," << m_expression);
        return false;
    }
    // A message left by the previous instrument's failed evaluation is
    // dropped, so the record below names only this instrument's missing
    // attributes (and the text does not grow with every instrument that fails
    // to evaluate).
    if (m_calcFailed) {
        m_exp->clearErrorInfo();
        m_calcFailed = false;
    }
    if (!m_exp->getData().prepare(inst, *m_exp, m_plan)) {
        const std::string errorText = m_exp->getErrorText();
        ZU_ZOZOV_LOG(zAZir4::LEVEL_DEBUG, LOGGER,
                     "分组CGroup对象[" << toString() << "]持仓[" << inst.toString()
                                       << "]准备表达式变量失败：" << errorText << "！"
                                       << "将忽略该失败继续计算。");
    }
    if (!m_exp->isCompiled() || m_exp->getParser() == nullptr ||
        m_exp->getParser()->getRoot() == nullptr) {
        return false;
    }
    if (!m_exp->calc()) {
        m_calcFailed = true;
        return false;
    }

    try {
        const boost::any& result = m_exp->result();
        if (result.type() == typeid(bool)) return boost::any_cast<bool>(result);
        if (qvtlib::expr::isNumeric(result)) {
            return !(std::fabs(qvtlib::expr::toDouble(result)) < qvtlib::expr::DOUBLE_TOLERANCE);
        }
        return false;
    } catch (const boost::bad_any_cast& e) {
        ZU_ZOZOV_LOG(
            zAZir4::LEVEL_DEBUG, LOGGER,
            "分组CGroup对象[" << toString() << "]表达式(" << m_expression << ")有误：" << e.what());
        return false;
    }
}

void CGroup::getExpAttr(std::set<std::string>& names) const {
    if (m_exp == nullptr) return;
    names.insert(m_plan.getVarbNames().begin(), m_plan.getVarbNames().end());
}

}  // namespace ht
}  // namespace qvt
