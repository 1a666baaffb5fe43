#include <gtest/gtest.h>

#include <boost/assert.hpp>
#include <boost/shared_ptr.hpp>
#include <stdexcept>
#include <string>

namespace {

std::string whatOf(void (*action)()) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    } catch (...) {
        return "<other exception>";
    }
    return "<no exception>";
}

TEST(AssertHandler, EmptySharedPtrDereferenceThrowsRuntimeError) {
    // Host code inlines boost::shared_ptr; its assertion reaches the library's handler.
    const std::string text = whatOf([] {
        boost::shared_ptr<int> empty;
        static_cast<void>(*empty);
    });
    const std::string tail = ": Boost assertion failed: px != 0";
    ASSERT_GT(text.size(), tail.size()) << text;
    EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;
    EXPECT_NE(std::string::npos, text.find("operator*")) << "the function signature first";
}

TEST(AssertHandler, TextLeavesOutUnknownFunctionAndLocation) {
    EXPECT_EQ("Boost assertion failed: x > 0",
              whatOf([] { boost::assertion_failed("x > 0", "(unknown)", "f.cpp", 12); }));
    EXPECT_EQ("void f(): Boost assertion failed: x > 0 (x must be positive)", whatOf([] {
                  boost::assertion_failed_msg("x > 0", "x must be positive", "void f()", "f.cpp",
                                              12);
              }));
    // An empty explanation adds nothing.
    const std::string viaMacro = whatOf([] { BOOST_ASSERT_MSG(1 + 1 == 3, ""); });
    const std::string expected = ": Boost assertion failed: 1 + 1 == 3";
    ASSERT_GT(viaMacro.size(), expected.size()) << viaMacro;
    EXPECT_EQ(expected, viaMacro.substr(viaMacro.size() - expected.size())) << viaMacro;
}

}  // namespace
