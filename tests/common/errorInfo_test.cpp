#include "common/errorInfo.h"

#include <gtest/gtest.h>

#include <string>

using qvtlib::common::CErrorInfo;

namespace {

class Reporter : public CErrorInfo {
  public:
    void fail(const std::string& m) { addError(m); }
    void head(const std::string& h) { errorStream() << h; }
};

}  // namespace

TEST(ErrorInfo, AccumulatesUntilCleared) {
    Reporter r;
    EXPECT_EQ("", r.getErrorInfo());
    r.head("ctx:");
    r.fail("first");
    r.fail("second");
    EXPECT_EQ("ctx:first\nsecond\n", r.getErrorInfo());
    EXPECT_EQ("ctx:first\nsecond\n", r.getErrorInfo());  // reading does not clear
    r.clearErrorInfo();
    EXPECT_EQ("", r.getErrorInfo());
    r.fail("x");  // writing after a clear starts at the beginning
    EXPECT_EQ("x\n", r.getErrorInfo());

    Reporter copy(r);
    copy.fail("y");
    EXPECT_EQ("x\ny\n", copy.getErrorInfo());
    EXPECT_EQ("x\n", r.getErrorInfo());
    r = copy;
    r.fail("z");
    EXPECT_EQ("x\ny\nz\n", r.getErrorInfo());
}

TEST(ErrorInfo, AppendsTextThroughAConstReference) {
    Reporter r;
    r.fail("first");
    const CErrorInfo& view = r;
    view.appendErrorText("a;");
    view.appendErrorText("b;");
    EXPECT_EQ("first\na;b;", r.getErrorInfo());
    r.clearErrorInfo();
    view.appendErrorText("c;");
    EXPECT_EQ("c;", r.getErrorInfo());
}
