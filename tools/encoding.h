// Text encodings at the tool's edge: the outside world (CSV books, terminals,
// rule files) speaks UTF-8, the library speaks GBK.  Every conversion between
// the two goes through this unit, on glibc's iconv.
//
// Conversions keep one iconv descriptor per direction and thread; they are
// cheap for ASCII text, which is passed through without iconv.
#ifndef ZU_ZOZOV_TOOLS_ENCODING_H
#define ZU_ZOZOV_TOOLS_ENCODING_H

#include <cstddef>
#include <string>

namespace qvt {
namespace ht {
namespace tool {

// True when every byte of text is below 0x80 (the text is the same in UTF-8
// and GBK).
bool isAscii(const std::string& text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, no
// code point above U+10FFFF).  Otherwise false, with the byte offset of the
// first bad byte in *badAt when it is given.
bool isValidUtf8(const std::string& text, std::size_t* badAt = nullptr);

// UTF-8 to GBK.  False when text is not valid UTF-8 or holds a character that
// GBK cannot hold; *reason (when given) then says which and where, in UTF-8,
// e.g. "invalid UTF-8 at byte 4" or "character '€' (U+20AC) has no GBK form".
bool utf8ToGbk(const std::string& text, std::string& out, std::string* reason = nullptr);

// GBK to UTF-8, for messages and output.  Bytes that are not GBK come out as
// U+FFFD, so the result is always valid UTF-8.
std::string gbkToUtf8(const std::string& text);

// UTF-8 to GBK for names the tool makes up itself (file names, option values);
// characters GBK lacks become '?'.
std::string toGbkLoose(const std::string& text);

// The number of terminal columns the UTF-8 text takes: two for wide (East
// Asian) characters, zero for combining marks, one otherwise.
std::size_t displayWidth(const std::string& utf8);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_ENCODING_H
