#include "zu_zozov/acctRule.h"

#include <memory>
#include <utility>

#include "zu_zozov/ownedMap.h"

namespace qvt {
namespace ht {

CAccount::CAccount() = default;
CAccount::CAccount(const CAccount& other) = default;
CAccount& CAccount::operator=(const CAccount& other) = default;
CAccount::~CAccount() = default;

CAcctRule::CAcctRule(const std::string& /*text*/) : m_type(ACCT_TYPE_NONE) {}

CAcctRule::CAcctRule(const CAcctRule& other)
    : m_code(other.m_code), m_name(other.m_name), m_type(other.m_type) {
    try {
        for (const auto& entry : other.m_accounts) {
            // Make the copy before touching the map so that a failed
            // insertion cannot leak it.
            std::unique_ptr<CAccount> copy(new CAccount(*entry.second));
            m_accounts[entry.first] = copy.get();
            m_held.insert(copy.release());
        }
    } catch (...) {
        clear();
        throw;
    }
}

CAcctRule& CAcctRule::operator=(const CAcctRule& other) {
    if (this != &other) {
        // Copy first: if copying throws, this rule stays as it was.
        CAcctRule copy(other);
        std::swap(m_code, copy.m_code);
        std::swap(m_name, copy.m_name);
        std::swap(m_type, copy.m_type);
        std::swap(m_accounts, copy.m_accounts);
        std::swap(m_held, copy.m_held);
        // copy now holds this rule's former accounts and deletes them.
    }
    return *this;
}

CAcctRule::~CAcctRule() { clear(); }

bool CAcctRule::init(const std::string& /*text*/) { return true; }

void CAcctRule::addAccount(CAccount* account) {
    if (account == nullptr) return;
    detail::storeOwned(m_accounts, m_held, account->getCode(), account);
}

CAccount* CAcctRule::getAccount(const std::string& code) const {
    AcctMap::const_iterator it = m_accounts.find(code);
    return it == m_accounts.end() ? nullptr : it->second;
}

bool CAcctRule::clear() {
    detail::clearOwned(m_accounts, m_held);
    return true;
}

}  // namespace ht
}  // namespace qvt
