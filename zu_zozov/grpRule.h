// A group rule: a named set of groups that together classify instruments.
//
// evalGroup tells, for one CGroupInstrument, the code of the group it falls
// into, "xother" when none.  The groups come from the rule's XML in one of two
// forms:
//
//   <Rule>                                   GROUP_LIST: one Group element per
//     <Group Code="01" Name="..." Exp="..."/>   group, with its own expression
//   </Rule>
//
//   <Rule Property="CLASS.PROP"/>            GROUP_PROPERTY: one group per value
//                                            of the property, from the data
//                                            provider's value list
//
// A root with neither Group children nor a Property attribute gives an empty
// GROUP_LIST rule.  Groups are tried in ascending byte-wise order of their
// codes, so the smallest code wins when several hold.
//
// Typical use: setCode, setGroupDataProvider, init(xml), buildExps, then
// evalGroup per instrument.  Failures are logged with logger "CGrpRule".
//
// Ownership: the rule owns its groups (addGroup hands one over; a group
// replaced under an equal code is deleted at once).  The data provider is
// shared with the host.  Pointers the provider returns stay the host's and are
// not kept beyond the call.  Copying gives the copy groups of its own, compiled
// where the source's were compiled.
//
// Calling a provider-dependent operation without a provider (init of the
// property form, getGroups(rule, group) of a GROUP_PROPERTY rule, isForFIClass
// past its shortcuts) throws std::runtime_error ("... px != 0").
//
// Thread-safety: none.  Evaluation changes the groups' compiled expressions
// and isForFIClass fills a cache; use a rule from one thread at a time.
#ifndef ZU_ZOZOV_GRPRULE_H
#define ZU_ZOZOV_GRPRULE_H

#include <boost/shared_ptr.hpp>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>

#include "common/export.h"

namespace qvt {
namespace ht {

class CGroup;
class CGroupInstrument;
class IHTGroupData;
namespace detail {
struct CRulePlan;
}

class ZU_ZOZOV_EXPORT CGrpRule {
  public:
    enum GroupType : int {
        GROUP_LIST = 0,      // groups listed in Group elements
        GROUP_PROPERTY = 1,  // groups are the values of one property
    };

    // Empty, GROUP_LIST, no provider.
    CGrpRule();
    // Stores xml for init().
    explicit CGrpRule(const std::string& xml);
    CGrpRule(const CGrpRule& other);
    CGrpRule& operator=(const CGrpRule& other);
    // Deletes every group and releases the rule's share of the provider.
    virtual ~CGrpRule();

    std::string getCode() const { return m_code; }
    std::string getName() const { return m_name; }
    std::string getProperty() const { return m_property; }
    std::string getTableName() const { return m_tableName; }
    void setCode(const std::string& code) { m_code = code; }
    void setName(const std::string& name) { m_name = name; }
    void setXml(const std::string& xml) { m_xml = xml; }
    void setTableName(const std::string& name) { m_tableName = name; }
    GroupType getType() const { return m_type; }
    void setType(const GroupType& type) { m_type = type; }

    // The groups, by code (byte-wise order).  The rule keeps ownership.
    const std::map<std::string, CGroup*>& getGroups() { return m_groups; }
    // Variable names used by the rule's expressions (or its property), as
    // collected by buildExps.
    const std::set<std::string>& getUsedProps() const { return m_usedProps; }

    // Installs the data provider (shared with the host).
    void setGroupDataProvider(const boost::shared_ptr<IHTGroupData>& provider);

    // init(xml) with the XML given to the constructor or setXml; on success
    // the stored text is emptied.
    bool init();
    // Reads the rule XML: false when it does not parse or has no root element
    // (nothing logged).  Groups already held stay unless a group of an equal
    // code replaces them.  Compiles nothing (see buildExps).
    bool init(const std::string& xml);

    // Stores group under its code; the rule takes ownership.  A different
    // group held under that code is deleted.  A group the rule already holds
    // under another code (its code was changed since) moves to its new code.
    // A null group is ignored.
    void addGroup(CGroup* group);
    // The group with that code, or null.  The rule keeps ownership.
    CGroup* getGroup(const std::string& code);

    // GROUP_PROPERTY: records the property as the one used property.
    // GROUP_LIST: compiles every group in code order and collects their
    // variable names; stops at the first group that fails (false, "DEBUG"
    // record).
    bool buildExps();

    // Sets groupCode to the instrument's group: GROUP_PROPERTY, the
    // instrument's value of the property attribute ("xother" when it has
    // none); GROUP_LIST, the smallest code whose group holds, "xother" when
    // none does.  An exception on the way is logged ("ERROR"), groupCode is
    // then "xother" and the result false.
    //
    // GROUP_LIST rules answer through an evaluation plan (zu_zozov/grpPlan.h),
    // built on the first evalGroup after the groups changed: each instrument
    // attribute the groups use is read once, and each group runs as a compact
    // program, or through its expression object wherever the program cannot
    // answer exactly as that would.
    bool evalGroup(std::string& groupCode, const CGroupInstrument& inst);
    // evalGroup with every group asked through its expression object
    // (CGroup::isInGroupGeneric): the reference the plan is checked against.
    bool evalGroupGeneric(std::string& groupCode, const CGroupInstrument& inst);

    // The groups of this rule that belong under group groupCode of the rule
    // ruleCode (both grouping by property, the other rule's property path
    // extending this one's), found by walking the provider's parent values
    // up the path.  All groups when the path relation does not hold.  Values
    // without a group of this rule map to null.  The rule keeps ownership.
    std::map<std::string, CGroup*> getGroups(const std::string& ruleCode,
                                             const std::string& groupCode);

    // Whether the rule applies to instruments of class classCode: the classes
    // are the first path segments of the used properties.
    bool isForFIClass(const std::string& classCode);

    // "(code:" + code + "; " + for each group "code:expression," + ")".
    std::string toString() const;

  private:
    bool clear();
    void storeGroup(CGroup* group, const std::string& code);
    void copyGroupsFrom(const CGrpRule& other);
    void buildPlan();
    bool evalGroups(std::string& groupCode, const CGroupInstrument& inst, bool generic);

    std::string m_xml;
    std::string m_code;
    std::string m_name;
    GroupType m_type;
    std::string m_property;
    std::map<std::string, CGroup*> m_groups;
    // The groups m_groups holds, each once (see ownedMap.h).
    std::unordered_set<const CGroup*> m_held;
    std::set<std::string> m_usedProps;
    std::set<std::string> m_classCodes;
    std::string m_tableName;
    boost::shared_ptr<IHTGroupData> m_provider;
    // The evaluation plan of the groups; null until the first evalGroup after
    // the groups changed (init, addGroup, copying, a group recompiled).
    std::shared_ptr<const detail::CRulePlan> m_plan;
    // The group epoch (grpPlan.h) at which every group was last seen as the
    // plan knows it.
    unsigned m_planEpoch = 0;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GRPRULE_H
