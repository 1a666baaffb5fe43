#include "zu_zozov/acctRule.h"

#include <gtest/gtest.h>

#include <string>

using qvt::ht::CAccount;
using qvt::ht::CAcctRule;

namespace {

CAccount* account(const std::string& code, const std::string& expression) {
    CAccount* a = new CAccount;
    a->setCode(code);
    a->setName("name " + code);
    a->setExpression(expression);
    return a;
}

}  // namespace

// Run under the sanitizer build: a replaced account that leaked or a shared
// account deleted twice shows up there.
TEST(CAcctRule, OwnershipOfAccounts) {
    CAcctRule rule;
    rule.addAccount(nullptr);
    rule.addAccount(account("B", "x > 1"));
    rule.addAccount(account("A", "x > 2"));
    CAccount* second = account("B", "x > 3");
    rule.addAccount(second);  // the first B is deleted
    rule.addAccount(second);  // same object: kept, not deleted
    ASSERT_EQ(2u, rule.getAccts().size());
    EXPECT_EQ(second, rule.getAccount("B"));
    // An account whose code changed after it was added moves to its new code.
    second->setCode("C");
    rule.addAccount(second);
    EXPECT_EQ(nullptr, rule.getAccount("B"));
    EXPECT_EQ(second, rule.getAccount("C"));
    EXPECT_EQ(2u, rule.getAccts().size());
}
