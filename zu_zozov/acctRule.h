// Account rules: a named set of accounts, each account with a code, a name
// and a grouping expression.  A classification tree can use an account rule as
// one of its levels, one node per account, in ascending account-code order.
//
// The host builds account rules in memory and hands them to trees through
// IHTGroupData::getAcctRule; the rule stays the host's.  There is no text form:
// init() and the text constructor accept anything and do nothing.
//
// Ownership: a CAcctRule owns the CAccount objects added to it and deletes them
// when it is destroyed or when an account is replaced under the same code.
// Copying a rule copies its accounts (each copy owns its own).  A rule must not
// be changed while another thread reads it.
#ifndef ZU_ZOZOV_ACCTRULE_H
#define ZU_ZOZOV_ACCTRULE_H

#include <map>
#include <string>
#include <unordered_set>

#include "common/export.h"

namespace qvt {
namespace ht {

class ZU_ZOZOV_EXPORT CAccount {
  public:
    CAccount();
    CAccount(const CAccount& other);
    CAccount& operator=(const CAccount& other);
    ~CAccount();

    // Account code, the key in the rule's account map.
    std::string getCode() const { return m_code; }
    void setCode(const std::string& code) { m_code = code; }
    std::string getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }
    // The grouping expression text, evaluated by the tree.
    std::string getExpression() const { return m_expression; }
    void setExpression(const std::string& expression) { m_expression = expression; }

  private:
    std::string m_code;
    std::string m_name;
    std::string m_expression;
};

class ZU_ZOZOV_EXPORT CAcctRule {
  public:
    // The kind of the rule: stored and returned only.  The underlying type is
    // fixed, so a host may store any int value of its own.
    enum AcctType : int { ACCT_TYPE_NONE = 0 };

    typedef std::map<std::string, CAccount*> AcctMap;

    // An empty rule: empty code and name, type 0, no accounts.  The text is
    // not used.
    explicit CAcctRule(const std::string& text = std::string());
    // Deep copy: the new rule owns copies of other's accounts.
    CAcctRule(const CAcctRule& other);
    // Deletes this rule's own accounts and takes copies of other's.
    CAcctRule& operator=(const CAcctRule& other);
    // Deletes every account of the rule.
    virtual ~CAcctRule();

    // Accepts any text, changes nothing and returns true.
    bool init(const std::string& text);

    std::string getCode() const { return m_code; }
    void setCode(const std::string& code) { m_code = code; }
    std::string getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }
    AcctType getType() const { return m_type; }
    void setType(const AcctType& type) { m_type = type; }
    // Always the empty string.
    std::string getTableName() const { return std::string(); }

    // The accounts keyed by code; the pointers stay owned by the rule.
    const AcctMap& getAccts() const { return m_accounts; }

    // Stores account under account->getCode() and takes ownership of it.  An
    // account already held under that code is deleted (unless it is the same
    // object).  The same object held under another code (its code was changed
    // after it was added) is moved to its new code.  A null pointer is ignored.
    void addAccount(CAccount* account);

    // The account held under code (still owned by the rule), or null.
    CAccount* getAccount(const std::string& code) const;

  private:
    // Deletes every owned account and empties the map; returns true.
    bool clear();

    std::string m_code;
    std::string m_name;
    AcctType m_type;
    AcctMap m_accounts;
    // The accounts m_accounts holds, each once (see ownedMap.h).
    std::unordered_set<const CAccount*> m_held;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_ACCTRULE_H
