#include "tools/sqliteProviders.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>

#include "tools/encoding.h"
#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A prepared statement that finalizes itself.
class CStatement {
  public:
    CStatement(sqlite3* db, const std::string& sql) : m_stmt(nullptr) {
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
            SQLITE_OK) {
            throw CSqlError(sqlite3_errmsg(db));
        }
        if (!m_stmt) throw CSqlError("the SQL text holds no statement");
    }
    ~CStatement() { sqlite3_finalize(m_stmt); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;
    sqlite3_stmt* get() { return m_stmt; }

  private:
    sqlite3_stmt* m_stmt;
};

// Steps stmt to its next row; false when done, CSqlError on failure.
bool step(sqlite3* db, sqlite3_stmt* stmt) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw CSqlError(sqlite3_errmsg(db));
}

std::string columnText(sqlite3_stmt* stmt, int col) {
    const unsigned char* text = sqlite3_column_text(stmt, col);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))
                : std::string();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CToolError(EXIT_USAGE, path + ": cannot read");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// ---------------------------------------------------------------- CSqliteDb

CSqliteDb::CSqliteDb(const std::string& path) : m_path(path), m_db(nullptr) {
    const bool script = endsWith(path, ".sql");
    int rc;
    if (script) {
        const std::string sql = readAll(path);
        rc = sqlite3_open(":memory:", &m_db);
        char* error = nullptr;
        if (rc == SQLITE_OK &&
            sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string why = error ? error : "unknown error";
            sqlite3_free(error);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw CToolError(EXIT_USAGE, path + ": the script fails: " + why);
        }
    } else {
        rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK) {
            // Opening is lazy; make SQLite read the header now.
            char* error = nullptr;
            rc = sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error);
            sqlite3_free(error);
        }
    }
    if (rc != SQLITE_OK) {
        const std::string why = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw CToolError(EXIT_USAGE, path + ": not a readable SQLite database: " + why);
    }
}

CSqliteDb::~CSqliteDb() { sqlite3_close(m_db); }

bool CSqliteDb::hasTable(const std::string& name) {
    return !query("SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = ?1",
                  {name})
                .empty();
}

std::vector<std::vector<std::string>> CSqliteDb::query(const std::string& sql,
                                                       const std::vector<std::string>& params) {
    CStatement stmt(m_db, sql);
    for (std::size_t i = 0; i < params.size(); ++i) {
        sqlite3_bind_text(stmt.get(), static_cast<int>(i + 1), params[i].data(),
                          static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
    }
    std::vector<std::vector<std::string>> rows;
    const int columns = sqlite3_column_count(stmt.get());
    while (step(m_db, stmt.get())) {
        rows.emplace_back();
        for (int c = 0; c < columns; ++c) rows.back().push_back(columnText(stmt.get(), c));
    }
    return rows;
}

// ---------------------------------------------------------------- CSqlHelper

const CValueSet& CSqlHelper::sqlValues(const std::string& sql) {
    auto found = m_sql.find(sql);
    if (found != m_sql.end()) return found->second;
    if (!m_db) throw CSqlError("inSql needs a database: give --db");
    CStatement stmt(m_db->handle(), gbkToUtf8(sql));
    if (sqlite3_column_count(stmt.get()) < 1) throw CSqlError("the SQL text returns no column");
    CValueSet values;
    while (step(m_db->handle(), stmt.get())) {
        switch (sqlite3_column_type(stmt.get(), 0)) {
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                values.numbers.insert(sqlite3_column_double(stmt.get(), 0));
                break;
            case SQLITE_NULL:
                break;
            default:
                values.strings.insert(toGbkLoose(columnText(stmt.get(), 0)));
                break;
        }
    }
    return m_sql.emplace(sql, std::move(values)).first->second;
}

const std::unordered_set<std::string>& CSqlHelper::poolMembers(long long id) {
    auto found = m_pools.find(id);
    if (found != m_pools.end()) return found->second;
    if (!m_db) throw CSqlError("inPool needs a database with a table pool_member: give --db");
    CStatement stmt(m_db->handle(), "SELECT i_code FROM pool_member WHERE pool_id = ?1");
    sqlite3_bind_int64(stmt.get(), 1, id);
    std::unordered_set<std::string> members;
    while (step(m_db->handle(), stmt.get())) members.insert(toGbkLoose(columnText(stmt.get(), 0)));
    return m_pools.emplace(id, std::move(members)).first->second;
}

boost::any CSqlHelper::inSqlCalcFunc(const boost::any& value, const boost::any& sql) {
    const std::string& text = boost::any_cast<const std::string&>(sql);
    const CValueSet* values = nullptr;
    try {
        values = &sqlValues(text);
    } catch (const CSqlError& e) {
        // The library logs this text (GBK) and answers 0.
        throw std::runtime_error(toGbkLoose(std::string("inSql: ") + e.what() + ": ") + text);
    }
    if (const std::string* s = boost::any_cast<std::string>(&value)) {
        return values->strings.count(*s) != 0;
    }
    if (qvtlib::expr::isNumeric(value)) {
        return values->numbers.count(qvtlib::expr::toDouble(value)) != 0;
    }
    return false;
}

boost::any CSqlHelper::inPoolCalcFunc(const qvtlib::expr::basic_data* data,
                                      const boost::any& poolId) {
    const double id = boost::any_cast<double>(poolId);
    const boost::any* code = data->lookup(CGroupInstrument::attr::I_CODE);
    const std::string* iCode = code ? boost::any_cast<std::string>(code) : nullptr;
    if (!iCode) return false;
    try {
        return poolMembers(static_cast<long long>(id)).count(*iCode) != 0;
    } catch (const CSqlError& e) {
        throw std::runtime_error(toGbkLoose(std::string("inPool: ") + e.what()));
    }
}

// ---------------------------------------------------------------- CToolGroupData

CPropDic* CToolGroupData::getPropDic(const std::string& propCode) {
    auto found = m_propDics.find(propCode);
    if (found != m_propDics.end()) return found->second.get();
    std::unique_ptr<CPropDic> dic;
    if (m_db && m_db->hasTable("prop_value")) {
        const auto rows = m_db->query(
            "SELECT value_code, value_name FROM prop_value WHERE prop_code = ?1 ORDER BY rowid",
            {gbkToUtf8(propCode)});
        if (!rows.empty()) {
            dic.reset(new CPropDic);
            dic->m_code = propCode;
            dic->setTableName("prop_value");
            for (const auto& row : rows) {
                dic->m_valueNames[toGbkLoose(row[0])] = toGbkLoose(row[1]);
            }
        }
    }
    return (m_propDics[propCode] = std::move(dic)).get();
}

const std::vector<std::string>* CToolGroupData::getParentPropValues(const std::string& childProp,
                                                                    const std::string& parentProp,
                                                                    const std::string& childValue) {
    const std::string key = childProp + '\x1f' + parentProp + '\x1f' + childValue;
    auto found = m_parents.find(key);
    if (found != m_parents.end()) return found->second.get();
    std::unique_ptr<std::vector<std::string>> values;
    if (m_db && m_db->hasTable("prop_parent")) {
        const auto rows = m_db->query(
            "SELECT parent_value FROM prop_parent WHERE child_prop = ?1 AND parent_prop = ?2 "
            "AND child_value = ?3 ORDER BY rowid",
            {gbkToUtf8(childProp), gbkToUtf8(parentProp), gbkToUtf8(childValue)});
        if (!rows.empty()) {
            values.reset(new std::vector<std::string>);
            for (const auto& row : rows) values->push_back(toGbkLoose(row[0]));
        }
    }
    return (m_parents[key] = std::move(values)).get();
}

std::string CToolGroupData::getRootClassCode() {
    if (!m_rootClass) {
        m_rootClass.reset(new std::string);
        if (m_db && m_db->hasTable("setting")) {
            const auto rows =
                m_db->query("SELECT value FROM setting WHERE name = 'root_class_code'", {});
            if (!rows.empty()) *m_rootClass = toGbkLoose(rows[0][0]);
        }
    }
    return *m_rootClass;
}

CGrpRule* CToolGroupData::getGrpRule(const std::string& ruleCode) {
    auto found = m_rules.find(ruleCode);
    return found == m_rules.end() ? nullptr : found->second;
}

CAcctRule* CToolGroupData::getAcctRule(const std::string& ruleCode) {
    auto found = m_acctRules.find(ruleCode);
    if (found != m_acctRules.end()) return found->second;
    auto cached = m_dbAcctRules.find(ruleCode);
    if (cached != m_dbAcctRules.end()) return cached->second.get();
    std::unique_ptr<CAcctRule> rule;
    if (m_db && m_db->hasTable("account")) {
        const auto rows = m_db->query(
            "SELECT code, name, expression FROM account WHERE rule_code = ?1 ORDER BY rowid",
            {gbkToUtf8(ruleCode)});
        if (!rows.empty()) {
            rule.reset(new CAcctRule);
            rule->setCode(ruleCode);
            for (const auto& row : rows) {
                std::unique_ptr<CAccount> account(new CAccount);
                account->setCode(toGbkLoose(row[0]));
                account->setName(toGbkLoose(row[1]));
                account->setExpression(toGbkLoose(row[2]));
                if (!rule->getAccount(account->getCode())) rule->addAccount(account.release());
            }
        }
    }
    return (m_dbAcctRules[ruleCode] = std::move(rule)).get();
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
