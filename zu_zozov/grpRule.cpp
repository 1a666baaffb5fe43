#include "zu_zozov/grpRule.h"

#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "log/logSite.h"
#include "xml/domXMLCore.h"
#include "xml/xmlString.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/groupInstrumentDetail.h"
#include "zu_zozov/grpPlan.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/ownedMap.h"
#include "zu_zozov/propDic.h"

namespace qvt {
namespace ht {

namespace {

const char LOGGER[] = "CGrpRule";
const char TAG_GROUP[] = "Group";
const char ATTR_CODE[] = "Code";
const char ATTR_NAME[] = "Name";
const char ATTR_EXP[] = "Exp";
const char ATTR_PROPERTY[] = "Property";

// The text after the last "." of path; all of path when it has none.
std::string lastSegment(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

// The text before the first "." of path; all of path when it has none.
std::string firstSegment(const std::string& path) { return path.substr(0, path.find('.')); }

// text as a string literal of the expression language: in double quotes, with
// a double quote or a backslash inside escaped by a backslash, so that any
// value code compiles to a comparison with exactly that code.
std::string stringLiteral(const std::string& text) {
    std::string literal = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') literal += '\\';
        literal += c;
    }
    literal += '"';
    return literal;
}

}  // namespace

CGrpRule::CGrpRule() : m_type(GROUP_LIST) {}

CGrpRule::CGrpRule(const std::string& xml) : m_xml(xml), m_type(GROUP_LIST) {}

CGrpRule::CGrpRule(const CGrpRule& other)
    : m_xml(other.m_xml),
      m_code(other.m_code),
      m_name(other.m_name),
      m_type(other.m_type),
      m_property(other.m_property),
      m_usedProps(other.m_usedProps),
      m_classCodes(other.m_classCodes),
      m_tableName(other.m_tableName),
      m_provider(other.m_provider) {
    copyGroupsFrom(other);
}

CGrpRule& CGrpRule::operator=(const CGrpRule& other) {
    if (this != &other) {
        CGrpRule copy(other);
        std::swap(m_xml, copy.m_xml);
        std::swap(m_code, copy.m_code);
        std::swap(m_name, copy.m_name);
        std::swap(m_type, copy.m_type);
        std::swap(m_property, copy.m_property);
        std::swap(m_groups, copy.m_groups);
        std::swap(m_held, copy.m_held);
        std::swap(m_usedProps, copy.m_usedProps);
        std::swap(m_classCodes, copy.m_classCodes);
        std::swap(m_tableName, copy.m_tableName);
        std::swap(m_provider, copy.m_provider);
        std::swap(m_plan, copy.m_plan);
    }
    return *this;
}

CGrpRule::~CGrpRule() { clear(); }

// Copies other's groups (each with its own compiled expression, see CGroup).
// Should a copy throw, the groups copied so far are deleted.
void CGrpRule::copyGroupsFrom(const CGrpRule& other) {
    try {
        for (const auto& entry : other.m_groups) {
            std::unique_ptr<CGroup> group(entry.second == nullptr ? nullptr
                                                                  : new CGroup(*entry.second));
            m_groups.emplace_hint(m_groups.end(), entry.first, group.get());
            if (group != nullptr) m_held.insert(group.release());
        }
    } catch (...) {
        clear();
        throw;
    }
}

bool CGrpRule::clear() {
    m_plan.reset();
    detail::clearOwned(m_groups, m_held);
    return true;
}

void CGrpRule::setGroupDataProvider(const boost::shared_ptr<IHTGroupData>& provider) {
    m_provider = provider;
}

bool CGrpRule::init() {
    if (!init(m_xml)) return false;
    m_xml.clear();
    return true;
}

void CGrpRule::storeGroup(CGroup* group, const std::string& code) {
    m_plan.reset();
    detail::replaceOwned(m_groups, m_held, code, group);
}

void CGrpRule::addGroup(CGroup* group) {
    if (group == nullptr) return;
    // The host may hand back a group the rule already holds after changing
    // its code (getGroup gives it out): it moves to its new code.
    m_plan.reset();
    detail::storeOwned(m_groups, m_held, group->getCode(), group);
}

CGroup* CGrpRule::getGroup(const std::string& code) {
    const auto found = m_groups.find(code);
    return found == m_groups.end() ? nullptr : found->second;
}

bool CGrpRule::init(const std::string& xml) {
    vODodi::XML::CDomXMLCore doc;
    if (!doc.input(xml)) return false;
    vODodi::XML::CDomXMLCoreWalker walker =
        doc.root(xercesc::DOMNodeFilter::SHOW_ALL, nullptr, false);
    xercesc::DOMNode* root = walker.getCur();
    if (root == nullptr) return false;

    if (doc.childTag(root, TAG_GROUP) != nullptr) {
        m_type = GROUP_LIST;
        std::vector<xercesc::DOMNode*> nodes;
        doc.childTags(nodes, root, TAG_GROUP);
        for (xercesc::DOMNode* node : nodes) {
            const xercesc::DOMElement* element = static_cast<xercesc::DOMElement*>(node);
            std::unique_ptr<CGroup> group(new CGroup());
            group->setCode(vODodi::XML::getAttr(element, ATTR_CODE));
            group->setName(vODodi::XML::getAttr(element, ATTR_NAME));
            group->setExpression(vODodi::XML::getAttr(element, ATTR_EXP));
            const std::string code = group->getCode();
            storeGroup(group.release(), code);
        }
        return true;
    }

    m_type = GROUP_PROPERTY;
    const xercesc::DOMElement* rootElement = static_cast<xercesc::DOMElement*>(root);
    if (!vODodi::XML::hasAttr(rootElement, ATTR_PROPERTY)) {
        m_type = GROUP_LIST;
        return true;
    }
    m_property = vODodi::XML::getAttr(rootElement, ATTR_PROPERTY);
    const CPropDic* dic = m_provider->getPropDic(lastSegment(m_property));
    if (dic == nullptr) return true;
    for (const auto& value : dic->m_valueNames) {
        std::unique_ptr<CGroup> group(new CGroup());
        group->setCode(value.first);
        group->setName(value.second);
        group->setExpression(m_property + "==" + stringLiteral(value.first));
        storeGroup(group.release(), value.first);
    }
    return true;
}

bool CGrpRule::buildExps() {
    m_plan.reset();
    if (m_type == GROUP_PROPERTY) {
        m_usedProps.insert(m_property);
        return true;
    }
    for (auto& entry : m_groups) {
        CGroup* group = entry.second;
        if (group == nullptr) continue;
        if (!group->buildExp()) {
            ZU_ZOZOV_LOG(zAZir4::LEVEL_DEBUG, LOGGER, "分组规则建立表达式错误:" << m_code);
            return false;
        }
        group->getExpAttr(m_usedProps);
    }
    return true;
}

// The plan holds each group's program over the union of the groups'
// variables, in the order of m_groups.
void CGrpRule::buildPlan() {
    std::shared_ptr<detail::CRulePlan> plan(new detail::CRulePlan());
    std::set<std::string> names;
    for (const auto& entry : m_groups) {
        const CGroup* group = entry.second;
        if (group == nullptr || group->m_program == nullptr) continue;
        names.insert(group->m_plan.getVarbNames().begin(), group->m_plan.getVarbNames().end());
    }
    m_planEpoch = detail::groupEpoch();
    plan->slotNames.assign(names.begin(), names.end());
    for (const auto& entry : m_groups) {
        const CGroup* group = entry.second;
        detail::CRulePlan::CEntry planned{group, 0, nullptr};
        if (group != nullptr) {
            planned.version = group->m_version;
            // Only groups whose own program exists: the others cannot be
            // lowered either.
            if (group->m_program != nullptr) {
                planned.program = detail::CGrpProgram::lower(*group->m_exp, plan->slotNames);
            }
            if (planned.program != nullptr) {
                for (const detail::CPlanFunction& f : planned.program->functions()) {
                    bool known = false;
                    for (const detail::CPlanFunction& g : plan->functions)
                        known |= g.name == f.name;
                    if (!known) plan->functions.push_back(f);
                }
            }
        }
        plan->entries.push_back(planned);
    }
    plan->index();
    m_plan = plan;
}

bool CGrpRule::evalGroup(std::string& groupCode, const CGroupInstrument& inst) {
    return evalGroups(groupCode, inst, false);
}

bool CGrpRule::evalGroupGeneric(std::string& groupCode, const CGroupInstrument& inst) {
    return evalGroups(groupCode, inst, true);
}

bool CGrpRule::evalGroups(std::string& groupCode, const CGroupInstrument& inst, bool generic) {
    // groupCode is written once, with the answer: every way out below
    // writes it (xother when no group takes the instrument or on failure).
    try {
        if (m_type == GROUP_PROPERTY) {
            groupCode = inst.getAttributeAsString(m_property);
            return true;
        }
        if (generic) {
            for (const auto& entry : m_groups) {
                if (entry.second != nullptr && entry.second->isInGroupGeneric(inst)) {
                    groupCode = entry.second->getCode();
                    return true;
                }
            }
            groupCode = detail::xother();
            return true;
        }
        if (m_plan != nullptr && m_planEpoch != detail::groupEpoch()) {
            // Some group somewhere was recompiled: is it one of ours?
            bool changed = false;
            for (const detail::CRulePlan::CEntry& entry : m_plan->entries) {
                const CGroup* group = static_cast<const CGroup*>(entry.group);
                changed |= group != nullptr && group->m_version != entry.version;
            }
            if (changed) m_plan.reset();
            m_planEpoch = detail::groupEpoch();
        }
        if (m_plan == nullptr) buildPlan();
        // The plan stays alive through `keep` once a generic evaluation could
        // drop it (a host callback recompiling a group); until then the rule
        // holds it, and no reference count is touched per instrument.
        const detail::CRulePlan* plan = m_plan.get();
        std::shared_ptr<const detail::CRulePlan> keep;
        detail::CPlanSlots slots;
        slots.resolve(inst, plan->slotNames, detail::BIND_STRICT);
        const bool intact = detail::functionsIntact(plan->functions);
        // The groups worth trying, when the lead index can tell.
        const std::vector<std::uint32_t>* list = nullptr;
        if (plan->leadSlot >= 0 && intact && slots.allUsable()) {
            list = plan->candidatesFor(slots.values());
        }
        // Once a host callback has recompiled a group (the epoch moved), the
        // rest of the groups go the generic way, each of them.
        bool stale = false;
        std::size_t next = 0;
        for (std::size_t k = 0; k < plan->entries.size(); ++k) {
            if (list != nullptr && !stale) {
                if (next == list->size()) break;
                k = (*list)[next++];
            }
            const detail::CRulePlan::CEntry& entry = plan->entries[k];
            const CGroup* group = static_cast<const CGroup*>(entry.group);
            if (group == nullptr) continue;
            bool decided = false;
            bool in = false;
            detail::CPlanValue value;
            if (!stale && entry.program != nullptr &&
                (intact || entry.program->functions().empty()) &&
                // A group the index chose passes its lead test.
                entry.program->run(slots.values(), value, slots.allUsable(),
                                   list != nullptr && entry.led)) {
                in = detail::groupTruth(value);
                decided = true;
            }
            if (!decided) {
                if (keep == nullptr) keep = m_plan;
                in = group->isInGroupGeneric(inst);
                if (!stale && m_planEpoch != detail::groupEpoch()) {
                    stale = true;
                    m_plan.reset();
                }
            }
            if (in) {
                groupCode = group->m_code;
                return true;
            }
        }
        groupCode = detail::xother();
        return true;
    } catch (const std::exception& e) {
        groupCode = detail::xother();
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, LOGGER,
                     "分组规则(" << m_code << ") 计算分组错误:" << e.what());
    } catch (...) {
        groupCode = detail::xother();
        ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, LOGGER,
                     "分组规则(" << m_code << ") 计算分组错误,未知原因!");
    }
    return false;
}

std::map<std::string, CGroup*> CGrpRule::getGroups(const std::string& ruleCode,
                                                   const std::string& groupCode) {
    if (m_type == GROUP_LIST) return m_groups;
    CGrpRule* other = m_provider->getGrpRule(ruleCode);
    if (other == nullptr || other->getType() != GROUP_PROPERTY) return m_groups;

    const std::string& mine = m_property;
    const std::string theirs = other->getProperty();
    if (!(theirs.size() > mine.size() + 2 && theirs.compare(0, mine.size(), mine) == 0 &&
          theirs[mine.size()] == '.')) {
        return m_groups;
    }

    // The property path from this rule's property down to the other's.
    std::vector<std::string> segments(1, lastSegment(mine));
    std::string::size_type start = mine.size() + 1;
    for (;;) {
        const std::string::size_type dot = theirs.find('.', start);
        if (dot == std::string::npos) {
            segments.push_back(theirs.substr(start));
            break;
        }
        segments.push_back(theirs.substr(start, dot - start));
        start = dot + 1;
    }

    // Walk up from the other rule's value to values of this rule's property.
    std::vector<std::string> values(1, groupCode);
    const std::size_t n = segments.size();
    for (std::size_t k = 0; k + 1 < n; ++k) {
        std::vector<std::string> parents;
        for (const std::string& value : values) {
            const std::vector<std::string>* found =
                m_provider->getParentPropValues(segments[n - 1 - k], segments[n - 2 - k], value);
            if (found != nullptr) parents.insert(parents.end(), found->begin(), found->end());
        }
        values.swap(parents);
    }

    std::map<std::string, CGroup*> result;
    for (const std::string& value : values) result.emplace(value, getGroup(value));
    return result;
}

bool CGrpRule::isForFIClass(const std::string& classCode) {
    if (!m_usedProps.empty() && m_classCodes.empty()) {
        for (const std::string& prop : m_usedProps) m_classCodes.insert(firstSegment(prop));
    }
    if (!m_groups.empty() && m_classCodes.empty()) return true;
    const std::string rootClass = m_provider->getRootClassCode();
    if (m_classCodes.count(rootClass) != 0) return true;
    return m_classCodes.count(classCode) != 0;
}

std::string CGrpRule::toString() const {
    std::string text = "(code:" + m_code + "; ";
    for (const auto& entry : m_groups) {
        if (entry.second != nullptr) {
            text += entry.second->getCode();
            text += ':';
            text += entry.second->getExpression();
        } else {
            text += entry.first;
            text += ':';
        }
        text += ',';
    }
    text += ')';
    return text;
}

}  // namespace ht
}  // namespace qvt
