#include "support/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace testsupport {
namespace {

std::string convert(const std::string& in, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::vector<char> out(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        throw std::runtime_error(std::string("iconv failed converting ") + from + " to " + to);
    }
    return std::string(out.data(), out.size() - dstLeft);
}

}  // namespace

std::string gbk(const std::string& utf8Text) { return convert(utf8Text, "UTF-8", "GBK"); }

std::string utf8(const std::string& gbkText) { return convert(gbkText, "GBK", "UTF-8"); }

}  // namespace testsupport
