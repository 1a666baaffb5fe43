// Compiler-style messages about rule and definition files, in UTF-8:
//
//   FILE:LINE:COL: error: MESSAGE
//     EXPRESSION
//           ^
//
// LINE and COL are those of the failing character in the file (COL counts
// terminal columns, so a Chinese character counts two); the caret stands
// under it in the expression, whose width is measured the same way.
//
// CXmlSource finds, in the text of an XML file, where elements and attribute
// values begin, because the DOM the library reads keeps no positions.  It
// understands comments, processing instructions, CDATA, DOCTYPE and the
// predefined and numeric entities, which is all a rule file uses.
//
// Not thread-safe.
#ifndef ZU_ZOZOV_TOOLS_DIAGNOSTICS_H
#define ZU_ZOZOV_TOOLS_DIAGNOSTICS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace qvt {
namespace ht {
namespace tool {

struct CXmlAttr {
    std::string name;
    std::string raw;         // the value as written, entities not expanded
    std::size_t offset = 0;  // where the value begins in the text
};

struct CXmlElement {
    std::string tag;
    std::size_t offset = 0;  // where '<' stands
    int depth = 0;           // 0 for the root element
    std::vector<CXmlAttr> attrs;
    const CXmlAttr* attr(const std::string& name) const;
};

class CXmlSource {
  public:
    // path names the file in messages; bytes are its contents, converted to
    // UTF-8 when the XML declaration names a Chinese code page.
    CXmlSource(const std::string& path, const std::string& bytes);

    const std::string& getPath() const { return m_path; }
    const std::string& getText() const { return m_text; }
    // Every start tag, in document order.
    const std::vector<CXmlElement>& getElements() const { return m_elements; }

    // Line (from 1) and display column (from 1) of a text offset.
    void position(std::size_t offset, int& line, int& column) const;
    // The text offset of the character that `chars` characters of the
    // attribute's expanded value come before (an entity is one character).
    std::size_t valueOffset(const CXmlAttr& attr, std::size_t chars) const;

  private:
    std::string m_path;
    std::string m_text;
    std::vector<CXmlElement> m_elements;
};

// The attribute value with its entities expanded (UTF-8).
std::string expandEntities(const std::string& raw);

class CDiagnostics {
  public:
    explicit CDiagnostics(std::ostream& out) : m_out(out), m_errors(0), m_warnings(0) {}

    // A message at a place of a file.  When source is not empty it is shown
    // on the next line with a caret under its byte caretAt (UTF-8 offset).
    void report(bool isError, const std::string& file, int line, int column,
                const std::string& message, const std::string& source = std::string(),
                std::size_t caretAt = 0);
    // A message about a whole file.
    void fileError(const std::string& file, const std::string& message);

    int getErrors() const { return m_errors; }
    int getWarnings() const { return m_warnings; }

  private:
    std::ostream& m_out;
    int m_errors;
    int m_warnings;
};

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_DIAGNOSTICS_H
