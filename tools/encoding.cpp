#include "tools/encoding.h"

#include <iconv.h>
#include <locale.h>
#include <wchar.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace qvt {
namespace ht {
namespace tool {
namespace {

// Decodes the code point at text[i]; returns its length in bytes, 0 when the
// bytes there are not well-formed UTF-8.
std::size_t decodeUtf8(const std::string& text, std::size_t i, std::uint32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t len;
    std::uint32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// One iconv descriptor per direction and thread, opened on first use.
class CConverter {
  public:
    CConverter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~CConverter() { iconv_close(m_cd); }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    // Converts in; false at the first sequence that cannot be converted, with
    // its offset in *failedAt.  With skipBad, such a byte is replaced by
    // `replacement` and conversion goes on.
    bool run(const std::string& in, std::string& out, std::size_t* failedAt, bool skipBad,
             const std::string& replacement) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 2 + 8);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t used = 0;
        while (srcLeft > 0) {
            char* dst = &out[used];
            std::size_t dstLeft = out.size() - used;
            const std::size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            if (!skipBad) {
                if (failedAt) *failedAt = in.size() - srcLeft;
                out.resize(used);
                return false;
            }
            if (out.size() - used < 8) out.resize(out.size() * 2 + 8);
            out.replace(used, replacement.size(), replacement);
            used += replacement.size();
            ++src;
            --srcLeft;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(used);
        return true;
    }

  private:
    iconv_t m_cd;
};

CConverter& toGbkConverter() {
    thread_local CConverter converter("GBK", "UTF-8");
    return converter;
}

CConverter& toUtf8Converter() {
    thread_local CConverter converter("UTF-8", "GBK");
    return converter;
}

}  // namespace

bool isAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

bool isValidUtf8(const std::string& text, std::size_t* badAt) {
    std::uint32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = decodeUtf8(text, i, cp);
        if (len == 0) {
            if (badAt) *badAt = i;
            return false;
        }
        i += len;
    }
    return true;
}

bool utf8ToGbk(const std::string& text, std::string& out, std::string* reason) {
    if (isAscii(text)) {
        out = text;
        return true;
    }
    std::size_t bad = 0;
    if (!isValidUtf8(text, &bad)) {
        if (reason) *reason = "invalid UTF-8 at byte " + std::to_string(bad + 1);
        return false;
    }
    if (toGbkConverter().run(text, out, &bad, false, std::string())) return true;
    if (reason) {
        std::uint32_t cp = 0;
        const std::size_t len = decodeUtf8(text, bad, cp);
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(cp));
        *reason = "character '" + text.substr(bad, len) + "' (" + hex + ") has no GBK form";
    }
    return false;
}

std::string gbkToUtf8(const std::string& text) {
    if (isAscii(text)) return text;
    std::string out;
    toUtf8Converter().run(text, out, nullptr, true, "\xEF\xBF\xBD");
    return out;
}

std::string toGbkLoose(const std::string& text) {
    if (isAscii(text)) return text;
    std::string out;
    if (!isValidUtf8(text)) return text;
    toGbkConverter().run(text, out, nullptr, true, "?");
    return out;
}

std::size_t displayWidth(const std::string& utf8) {
    // wcwidth answers in the terms of the thread's LC_CTYPE; ask C.UTF-8,
    // whatever locale the process runs in.
    static locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    locale_t previous = static_cast<locale_t>(0);
    if (utf8Locale) previous = uselocale(utf8Locale);
    std::size_t width = 0;
    std::uint32_t cp = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = decodeUtf8(utf8, i, cp);
        if (len == 0) {
            len = 1;
            cp = 0xFFFD;
        }
        const int w = utf8Locale ? wcwidth(static_cast<wchar_t>(cp)) : 1;
        width += w < 0 ? 1 : static_cast<std::size_t>(w);
        i += len;
    }
    if (utf8Locale) uselocale(previous);
    return width;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
