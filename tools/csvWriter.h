// CSV output (RFC 4180): fields separated by commas, one record per line.
// Records end with LF, the line end of the Unix tools this output is piped
// into (RFC 4180 readers accept it).
// A field is quoted when it holds a comma, a double quote, CR or LF, or
// starts or ends with a space; a double quote inside a quoted field is doubled.
//
// The writer buffers through the stream it is given and does not own it.
#ifndef ZU_ZOZOV_TOOLS_CSVWRITER_H
#define ZU_ZOZOV_TOOLS_CSVWRITER_H

#include <ostream>
#include <string>

namespace qvt {
namespace ht {
namespace tool {

class CCsvWriter {
  public:
    explicit CCsvWriter(std::ostream& out) : m_out(out), m_first(true) {}

    // Appends one field to the current record.
    CCsvWriter& field(const std::string& text);
    // Ends the current record.
    void endRecord();

  private:
    std::ostream& m_out;
    bool m_first;
};

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_CSVWRITER_H
