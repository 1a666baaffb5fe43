#include "common/errorInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Reporter : public qvtlib::common::CErrorInfo {
  public:
    void fail(const std::string& m) { addError(m); }
};

TEST(ErrorInfo, AccumulatesUntilClearedAndCopiesApart) {
    Reporter r;
    r.fail("first");
    static_cast<const Reporter&>(r).appendErrorText("a;");
    EXPECT_EQ("first\na;", r.getErrorInfo());
    EXPECT_EQ("first\na;", r.getErrorInfo());  // reading does not clear
    r.clearErrorInfo();
    r.fail("x");  // writing after a clear starts at the beginning
    EXPECT_EQ("x\n", r.getErrorInfo());
    Reporter copy(r);
    copy.fail("y");
    EXPECT_EQ("x\n", r.getErrorInfo());
    r = copy;
    r.fail("z");
    EXPECT_EQ("x\ny\nz\n", r.getErrorInfo());
}

}  // namespace
