#include "zu_zozov/grpData.h"

#include <map>
#include <typeinfo>

#include "expr/anyAssign.h"
#include "expr/function.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/groupInstrumentDetail.h"
#include "zu_zozov/grpDataDetail.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpExprDetail.h"

namespace qvt {
namespace ht {

namespace {

// Set once the group functions are in the registry (cleared again when the
// registration throws, so the next CGrpData retries).
bool g_functionsRegistered = false;

// The three fixed fields bound by the strict binding, in ascending name order.
enum FixedField { FIXED_A_TYPE, FIXED_I_CODE, FIXED_M_TYPE, FIXED_COUNT };

const std::string& fixedName(int field) {
    switch (field) {
        case FIXED_A_TYPE:
            return CGroupInstrument::attr::A_TYPE;
        case FIXED_I_CODE:
            return CGroupInstrument::attr::I_CODE;
        default:
            return CGroupInstrument::attr::M_TYPE;
    }
}

void assignFixed(boost::any& slot, const CGroupInstrument& inst, int field) {
    switch (field) {
        case FIXED_A_TYPE:
            qvtlib::expr::detail::assignTyped<std::string>(slot, inst.aTypeRef());
            break;
        case FIXED_I_CODE:
            qvtlib::expr::detail::assignTyped<std::string>(slot, inst.iCodeRef());
            break;
        default:
            qvtlib::expr::detail::assignTyped<std::string>(slot, inst.mTypeRef());
            break;
    }
}

// Refills a map in ascending key order, keeping the nodes of keys that stay:
// entries whose keys are passed over are erased, new keys are inserted at the
// cursor.  finish() erases whatever is left after the last key.
class CStoreFiller {
  public:
    explicit CStoreFiller(std::map<std::string, boost::any>& values)
        : m_values(values), m_cursor(values.begin()) {}

    // The slot of key.  REQUIRES: keys ascending across calls.
    boost::any& slot(const std::string& key) {
        // The usual case: the store already holds key at the cursor.
        if (m_cursor != m_values.end() && m_cursor->first == key) {
            return (m_cursor++)->second;
        }
        while (m_cursor != m_values.end() && m_cursor->first < key) {
            m_cursor = m_values.erase(m_cursor);
        }
        if (m_cursor != m_values.end() && m_cursor->first == key) {
            return (m_cursor++)->second;
        }
        return m_values.emplace_hint(m_cursor, key, boost::any())->second;
    }

    void finish() { m_values.erase(m_cursor, m_values.end()); }

  private:
    std::map<std::string, boost::any>& m_values;
    std::map<std::string, boost::any>::iterator m_cursor;
};

std::string missingAttributeMessage(const std::string& name) {
    return "金融工具中缺少表达式涉及的属性(" + name + ");";
}

}  // namespace

namespace detail {

std::set<std::string> collectVarbNames(const CGrpExpr& expr) {
    std::set<std::string> names;
    const auto* parser = expr.getParser();
    if (parser != nullptr && parser->getRoot() != nullptr) {
        parser->getVarbNames(names, parser->getRoot());
    }
    return names;
}

}  // namespace detail

CGrpBindPlan::CGrpBindPlan() : CGrpBindPlan(std::set<std::string>()) {}

CGrpBindPlan::CGrpBindPlan(const std::set<std::string>& varbNames)
    : m_varbNames(varbNames.begin(), varbNames.end()) {
    // Merge the fixed names with the variable names, both ascending.
    int fixed = FIXED_A_TYPE;
    std::set<std::string>::const_iterator name = varbNames.begin();
    while (fixed != FIXED_COUNT || name != varbNames.end()) {
        if (name == varbNames.end() || (fixed != FIXED_COUNT && fixedName(fixed) < *name)) {
            m_keys.push_back(CKey{fixedName(fixed), fixed, false});
            ++fixed;
        } else if (fixed != FIXED_COUNT && fixedName(fixed) == *name) {
            m_keys.push_back(CKey{*name, fixed, true});
            ++fixed;
            ++name;
        } else {
            m_keys.push_back(CKey{*name, -1, true});
            ++name;
        }
    }
}

CGrpData::CGrpData() {
    detail::runOnceRetrying(g_functionsRegistered, detail::registerGroupFunctions);
}

CGrpData::CGrpData(const CGrpData& /*other*/) : qvtlib::expr::basic_data() {}

CGrpData& CGrpData::operator=(const CGrpData& /*other*/) { return *this; }

CGrpData::~CGrpData() {}

bool CGrpData::prepare(const void* data) {
    const CGroupInstrument* inst = static_cast<const CGroupInstrument*>(data);
    m_values = inst->getAttrs();
    return true;
}

bool CGrpData::prepare(const CGroupInstrument& inst, const CGrpExpr& expr) {
    return prepare(inst, expr, CGrpBindPlan(detail::collectVarbNames(expr)));
}

bool CGrpData::prepare(const CGroupInstrument& inst, const CGrpExpr& expr,
                       const CGrpBindPlan& plan) {
    detail::CAttrCursor attrs(inst.getAttrs());
    CStoreFiller filler(m_values);
    bool result = true;
    for (const CGrpBindPlan::CKey& key : plan.m_keys) {
        if (key.isVarb) {
            // A named attribute wins over a fixed field of the same name.
            if (const boost::any* found = attrs.findNext(key.name)) {
                qvtlib::expr::detail::assignValue(filler.slot(key.name), *found);
                continue;
            }
        }
        if (key.fixedField >= 0) {
            assignFixed(filler.slot(key.name), inst, key.fixedField);
        } else {
            result = false;
            expr.appendErrorText(missingAttributeMessage(key.name));
        }
    }
    filler.finish();
    return result;
}

}  // namespace ht
}  // namespace qvt
