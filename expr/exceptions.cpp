#include "expr/exceptions.h"

#include <sstream>

namespace qvtlib {
namespace expr {

namespace {

std::string positionText(const SourcePos& pos, const std::string& message) {
    std::ostringstream out;
    out << pos.line << ':' << pos.column << ": " << message;
    return out.str();
}

}  // namespace

ScanException::ScanException(const SourcePos& pos, const std::string& message)
    : m_pos(pos), m_message(message) {}
ScanException::~ScanException() = default;
std::string ScanException::toString() const { return positionText(m_pos, m_message); }
const char* ScanException::getMessage() const { return m_message.c_str(); }
const SourcePos* ScanException::getPosition() const { return &m_pos; }

ParseException::ParseException(const SourcePos& pos, const std::string& message)
    : m_pos(pos), m_message(message) {}
ParseException::~ParseException() = default;
std::string ParseException::toString() const { return positionText(m_pos, m_message); }
const char* ParseException::getMessage() const { return m_message.c_str(); }
const SourcePos* ParseException::getPosition() const { return &m_pos; }

basic_except::basic_except(const std::string& message, const SourcePos& begin, const SourcePos& end)
    : m_code(2), m_begin(begin), m_end(end), m_message(message) {}
basic_except::~basic_except() = default;
const char* basic_except::what() const noexcept { return m_message.c_str(); }

}  // namespace expr
}  // namespace qvtlib
