// The rules and definition trees the tool works with, read from files.
//
// Each file is one of:
//   - a group rule (root element with Group children, or with a Property
//     attribute): its code is the root's Code, the file name without ".xml"
//     when it has none;
//   - an account rule: root element AcctRule with Account children, each with
//     Code, Name and Exp (the library has no file form for account rules, so
//     the tool defines this one, the same shape as a group rule);
//   - a definition tree: root GroupTree, AcctTree or PortTree, or a GroupRule
//     or AcctRule root whose children are definitions, not groups.
// Every expression is compiled and checked when the file is read (see
// exprCheck.h); problems go to the diagnostics, and a rule with a problem is
// not used.
//
// Rules are registered with the group-data provider, so trees find them by
// code.  Not thread-safe.
#ifndef ZU_ZOZOV_TOOLS_RULESET_H
#define ZU_ZOZOV_TOOLS_RULESET_H

#include <boost/shared_ptr.hpp>
#include <memory>
#include <string>
#include <vector>

#include "tools/diagnostics.h"
#include "tools/exprCheck.h"
#include "tools/sqliteProviders.h"
#include "zu_zozov/zu_zozov.h"

namespace qvt {
namespace ht {
namespace tool {

struct CRuleFile {
    enum Kind { GROUP_RULE, ACCT_RULE, DEFINITION };
    Kind kind = GROUP_RULE;
    std::unique_ptr<CXmlSource> source;
    std::string code;  // GBK
    std::string codeUtf8;
    std::string name;                 // GBK
    bool ok = false;                  // read and checked without an error
    std::unique_ptr<CGrpRule> rule;   // evaluates the rule (for an account rule too)
    std::unique_ptr<CAcctRule> acct;  // the account rule, for trees
    std::unique_ptr<CXDefTree> def;   // the definition tree
};

class CRuleSet {
  public:
    CRuleSet(const boost::shared_ptr<CToolGroupData>& data, const CExprCheckOptions& options,
             CDiagnostics& diag);

    // Reads one file (CToolError, status 2, when it cannot be read).
    void addFile(const std::string& path);
    // Reads every *.xml file of dir, in name order (CToolError, status 2,
    // when dir cannot be read).
    void addDir(const std::string& dir);

    // The rules (group and account) read without an error, in byte-wise
    // order of their codes (UTF-8).
    std::vector<CRuleFile*> getRules() const;
    std::vector<CRuleFile*> getDefinitions() const;
    // A rule read without an error, by code (GBK); null when none.
    CRuleFile* findRule(const std::string& code) const;

    // Reports every rule code of the definitions that no rule supplies (nor,
    // for account rules, the database).  True when there is none.
    bool checkDefinitionCodes();

  private:
    void readGroupRule(CRuleFile& f, const std::string& bytes);
    void readAcctRule(CRuleFile& f, vODodi::XML::CDomXMLCore& doc);
    void readDefinition(CRuleFile& f, vODodi::XML::CDomXMLCore& doc);
    bool checkGroup(CRuleFile& f, const CXmlElement* el, const std::string& code,
                    const std::string& expr);

    boost::shared_ptr<CToolGroupData> m_data;
    CExprCheckOptions m_options;
    CDiagnostics& m_diag;
    std::vector<std::unique_ptr<CRuleFile>> m_files;
};

// Reads a whole file (CToolError, status 2, when it cannot be read).
std::string readWholeFile(const std::string& path);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_RULESET_H
