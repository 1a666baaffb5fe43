#include "tools/diagnostics.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "tools/encoding.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

bool isNameChar(char c) {
    return !std::isspace(static_cast<unsigned char>(c)) && c != '=' && c != '>' && c != '/' &&
           c != '<' && c != '"' && c != '\'';
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The encoding named by the XML declaration, lower case; empty when none.
std::string declaredEncoding(const std::string& text) {
    if (text.compare(0, 5, "<?xml") != 0) return std::string();
    const std::string::size_type end = text.find("?>");
    const std::string decl = text.substr(0, end);
    const std::string::size_type at = decl.find("encoding");
    if (at == std::string::npos) return std::string();
    const std::string::size_type q = decl.find_first_of("\"'", at);
    if (q == std::string::npos) return std::string();
    const std::string::size_type q2 = decl.find(decl[q], q + 1);
    if (q2 == std::string::npos) return std::string();
    return lower(decl.substr(q + 1, q2 - q - 1));
}

// Length in bytes of the UTF-8 character starting with byte c.
std::size_t charLength(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The entity at raw[i] ('&'): its length in raw, its expansion in *out.
std::size_t entityAt(const std::string& raw, std::size_t i, std::string* out) {
    const std::string::size_type semi = raw.find(';', i);
    if (semi == std::string::npos || semi - i > 12) {
        if (out) *out += '&';
        return 1;
    }
    const std::string name = raw.substr(i + 1, semi - i - 1);
    std::string text;
    if (name == "lt")
        text = "<";
    else if (name == "gt")
        text = ">";
    else if (name == "amp")
        text = "&";
    else if (name == "quot")
        text = "\"";
    else if (name == "apos")
        text = "'";
    else if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        appendUtf8(text, static_cast<std::uint32_t>(
                             std::strtoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10)));
    } else {
        if (out) *out += '&';
        return 1;
    }
    if (out) *out += text;
    return semi - i + 1;
}

}  // namespace

const CXmlAttr* CXmlElement::attr(const std::string& name) const {
    for (const CXmlAttr& a : attrs) {
        if (a.name == name) return &a;
    }
    return nullptr;
}

std::string expandEntities(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            i += entityAt(raw, i, &out);
        } else if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            out += ' ';
            i += 2;
        } else if (raw[i] == '\t' || raw[i] == '\n' || raw[i] == '\r') {
            out += ' ';
            ++i;
        } else {
            out += raw[i++];
        }
    }
    return out;
}

CXmlSource::CXmlSource(const std::string& path, const std::string& bytes) : m_path(path) {
    m_text = bytes;
    if (m_text.compare(0, 3, "\xEF\xBB\xBF") == 0) m_text.erase(0, 3);
    const std::string enc = declaredEncoding(m_text);
    if (enc == "gbk" || enc == "gb2312" || enc == "gb18030" || enc == "cp936") {
        m_text = gbkToUtf8(m_text);
    }
    const std::string& t = m_text;
    int depth = 0;
    std::size_t i = 0;
    const auto skipPast = [&](const char* end) {
        const std::string::size_type at = t.find(end, i);
        i = at == std::string::npos ? t.size() : at + std::char_traits<char>::length(end);
    };
    while (i < t.size()) {
        if (t[i] != '<') {
            ++i;
            continue;
        }
        if (t.compare(i, 4, "<!--") == 0) {
            skipPast("-->");
        } else if (t.compare(i, 9, "<![CDATA[") == 0) {
            skipPast("]]>");
        } else if (t.compare(i, 2, "<?") == 0) {
            skipPast("?>");
        } else if (t.compare(i, 2, "<!") == 0) {
            int open = 0;
            for (; i < t.size(); ++i) {
                if (t[i] == '[') ++open;
                if (t[i] == ']') --open;
                if (t[i] == '>' && open <= 0) break;
            }
            ++i;
        } else if (t.compare(i, 2, "</") == 0) {
            --depth;
            skipPast(">");
        } else {
            CXmlElement el;
            el.offset = i;
            el.depth = depth;
            ++i;
            while (i < t.size() && isNameChar(t[i])) el.tag += t[i++];
            bool selfClosing = false;
            while (i < t.size()) {
                while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
                if (i >= t.size()) break;
                if (t[i] == '>') {
                    ++i;
                    break;
                }
                if (t[i] == '/') {
                    selfClosing = true;
                    ++i;
                    continue;
                }
                CXmlAttr a;
                while (i < t.size() && isNameChar(t[i])) a.name += t[i++];
                while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
                if (i < t.size() && t[i] == '=') ++i;
                while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
                if (i < t.size() && (t[i] == '"' || t[i] == '\'')) {
                    const char q = t[i++];
                    a.offset = i;
                    const std::string::size_type end = t.find(q, i);
                    const std::size_t stop = end == std::string::npos ? t.size() : end;
                    a.raw = t.substr(i, stop - i);
                    i = stop + 1;
                } else if (a.name.empty()) {
                    ++i;  // not XML; step over the byte
                    continue;
                }
                el.attrs.push_back(a);
            }
            m_elements.push_back(el);
            if (!selfClosing) ++depth;
        }
    }
}

void CXmlSource::position(std::size_t offset, int& line, int& column) const {
    if (offset > m_text.size()) offset = m_text.size();
    line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (m_text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    column = static_cast<int>(displayWidth(m_text.substr(lineStart, offset - lineStart))) + 1;
}

std::size_t CXmlSource::valueOffset(const CXmlAttr& attr, std::size_t chars) const {
    const std::string& raw = attr.raw;
    std::size_t i = 0;
    for (std::size_t n = 0; n < chars && i < raw.size(); ++n) {
        if (raw[i] == '&') {
            i += entityAt(raw, i, nullptr);
        } else if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            i += 2;
        } else {
            i += charLength(static_cast<unsigned char>(raw[i]));
        }
    }
    return attr.offset + i;
}

void CDiagnostics::report(bool isError, const std::string& file, int line, int column,
                          const std::string& message, const std::string& source,
                          std::size_t caretAt) {
    (isError ? m_errors : m_warnings)++;
    m_out << file << ':' << line << ':' << column << ": " << (isError ? "error" : "warning") << ": "
          << message << '\n';
    if (source.empty()) return;
    m_out << "    " << source << '\n'
          << "    " << std::string(displayWidth(source.substr(0, caretAt)), ' ') << "^\n";
}

void CDiagnostics::fileError(const std::string& file, const std::string& message) {
    ++m_errors;
    m_out << file << ": error: " << message << '\n';
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
