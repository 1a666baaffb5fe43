#include "tools/csvWriter.h"

namespace qvt {
namespace ht {
namespace tool {

CCsvWriter& CCsvWriter::field(const std::string& text) {
    if (!m_first) m_out.put(',');
    m_first = false;
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) {
        m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return *this;
    }
    m_out.put('"');
    for (char c : text) {
        if (c == '"') m_out.put('"');
        m_out.put(c);
    }
    m_out.put('"');
    return *this;
}

void CCsvWriter::endRecord() {
    m_out.put('\n');
    m_first = true;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
