// The host providers of the command-line tool, on SQLite.
//
// CSqliteDb opens `--db FILE`: a SQLite database (read only), or a `.sql`
// script that is run into a fresh in-memory database.  Text in the database
// is UTF-8; the providers hand it to the library as GBK.
//
// CSqlHelper answers inSql and inPool:
//   inSql(value, sql)  runs the SQL text once, keeps the first column of its
//                      rows and answers whether value is among them: numbers
//                      (INTEGER, REAL) compare with numbers, text with strings,
//                      byte for byte; a number never equals a string.
//   inPool(id)         whether the holding's I_CODE is a member of pool id in
//                      the table pool_member(pool_id, i_code), read once per pool.
//
// CToolGroupData answers the questions of rules and trees: rules by code from
// the loaded rule files, and from the database
//   prop_value(prop_code, value_code, value_name)   property value lists
//   prop_parent(child_prop, parent_prop, child_value, parent_value)
//   account(rule_code, code, name, expression)       account rules
//   setting(name, value), name 'root_class_code'     the all-classes code
// A table that is missing answers "nothing known".
//
// Every answer is cached for the life of the object; the pointers handed to
// the library stay valid as long.  Not thread-safe.
#ifndef ZU_ZOZOV_TOOLS_SQLITEPROVIDERS_H
#define ZU_ZOZOV_TOOLS_SQLITEPROVIDERS_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "zu_zozov/zu_zozov.h"

struct sqlite3;

namespace qvt {
namespace ht {
namespace tool {

// A failed SQL statement; what() is UTF-8: SQLite's message.
class CSqlError : public std::runtime_error {
  public:
    explicit CSqlError(const std::string& message) : std::runtime_error(message) {}
};

class CSqliteDb {
  public:
    // CToolError (status 2) when the file cannot be opened or the script fails.
    explicit CSqliteDb(const std::string& path);
    ~CSqliteDb();
    CSqliteDb(const CSqliteDb&) = delete;
    CSqliteDb& operator=(const CSqliteDb&) = delete;

    const std::string& getPath() const { return m_path; }
    bool hasTable(const std::string& name);
    // The rows of a query (UTF-8 SQL, text parameters bound in order), each
    // row its columns as text; NULL reads as empty.  CSqlError on failure.
    std::vector<std::vector<std::string>> query(const std::string& sql,
                                                const std::vector<std::string>& params);
    sqlite3* handle() { return m_db; }

  private:
    std::string m_path;
    sqlite3* m_db;
};

// The values of the first column of a query's rows.
struct CValueSet {
    std::set<double> numbers;
    std::unordered_set<std::string> strings;  // GBK
};

class CSqlHelper : public IHTGroupHelper {
  public:
    // db may be null: then every inSql and inPool fails with a message saying
    // that a database is needed.
    explicit CSqlHelper(CSqliteDb* db) : m_db(db) {}

    // The cached result of sql (GBK), running it on first use (CSqlError).
    const CValueSet& sqlValues(const std::string& sql);
    // The members of pool id (GBK codes), read on first use (CSqlError).
    const std::unordered_set<std::string>& poolMembers(long long id);

    boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) override;
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data* data,
                              const boost::any& poolId) override;

  private:
    CSqliteDb* m_db;
    std::map<std::string, CValueSet> m_sql;
    std::map<long long, std::unordered_set<std::string>> m_pools;
};

class CToolGroupData : public IHTGroupData {
  public:
    explicit CToolGroupData(CSqliteDb* db) : m_db(db) {}

    // Rules loaded from files; not owned.
    void addGrpRule(const std::string& code, CGrpRule* rule) { m_rules[code] = rule; }
    void addAcctRule(const std::string& code, CAcctRule* rule) { m_acctRules[code] = rule; }

    CPropDic* getPropDic(const std::string& propCode) override;
    const std::vector<std::string>* getParentPropValues(const std::string& childProp,
                                                        const std::string& parentProp,
                                                        const std::string& childValue) override;
    std::string getRootClassCode() override;
    CGrpRule* getGrpRule(const std::string& ruleCode) override;
    CAcctRule* getAcctRule(const std::string& ruleCode) override;

  private:
    CSqliteDb* m_db;
    std::map<std::string, CGrpRule*> m_rules;
    std::map<std::string, CAcctRule*> m_acctRules;
    std::map<std::string, std::unique_ptr<CPropDic>> m_propDics;
    std::map<std::string, std::unique_ptr<std::vector<std::string>>> m_parents;
    std::map<std::string, std::unique_ptr<CAcctRule>> m_dbAcctRules;
    std::unique_ptr<std::string> m_rootClass;
};

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_SQLITEPROVIDERS_H
