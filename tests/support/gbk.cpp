#include "support/gbk.h"

#include <stdexcept>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace testsupport {
namespace {

#if defined(_WIN32)

// Windows has no iconv: code page 936 (GBK) and UTF-8 through UTF-16.
const UINT CP_GBK = 936;

std::wstring toWide(const std::string& in, UINT codePage) {
    if (in.empty()) return std::wstring();
    const int n =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), nullptr, 0);
    if (n <= 0) throw std::runtime_error("MultiByteToWideChar failed");
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), &out[0], n);
    return out;
}

std::string fromWide(const std::wstring& in, UINT codePage) {
    if (in.empty()) return std::string();
    // UTF-8 reports bad input by failing; other code pages by the flag.
    BOOL lossy = FALSE;
    BOOL* lossyFlag = codePage == CP_UTF8 ? nullptr : &lossy;
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(codePage, flags, in.data(), int(in.size()), nullptr, 0,
                                      nullptr, lossyFlag);
    if (n <= 0 || lossy) throw std::runtime_error("WideCharToMultiByte failed");
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(codePage, flags, in.data(), int(in.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string convert(const std::string& in, UINT from, UINT to) {
    return fromWide(toWide(in, from), to);
}

const UINT FROM_UTF8 = CP_UTF8, TO_UTF8 = CP_UTF8, FROM_GBK = CP_GBK, TO_GBK = CP_GBK;

#else

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

const char* const FROM_UTF8 = "UTF-8";
const char* const TO_UTF8 = "UTF-8";
const char* const FROM_GBK = "GBK";
const char* const TO_GBK = "GBK";

#endif

}  // namespace

std::string gbk(const std::string& utf8Text) { return convert(utf8Text, FROM_UTF8, TO_GBK); }

std::string utf8(const std::string& gbkText) { return convert(gbkText, FROM_GBK, TO_UTF8); }

}  // namespace testsupport
