// Test helpers for the library's GBK text: the tests are written in UTF-8,
// the library speaks GBK.
#ifndef ZU_ZOZOV_TESTS_SUPPORT_GBK_H
#define ZU_ZOZOV_TESTS_SUPPORT_GBK_H

#include <string>

namespace testsupport {

// Converts UTF-8 text to GBK bytes (throws std::runtime_error when it cannot).
std::string gbk(const std::string& utf8);

// Converts GBK bytes to UTF-8 text (throws std::runtime_error when it cannot).
std::string utf8(const std::string& gbkText);

}  // namespace testsupport

#endif
