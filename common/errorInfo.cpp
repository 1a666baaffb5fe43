#include "common/errorInfo.h"

namespace qvtlib {
namespace common {

CErrorInfo::CErrorInfo() : m_errStream(std::ios::in | std::ios::out) {}
CErrorInfo::~CErrorInfo() = default;

CErrorInfo::CErrorInfo(const CErrorInfo& other) : m_errStream(std::ios::in | std::ios::out) {
    m_errStream << other.getErrorInfo();
}

CErrorInfo& CErrorInfo::operator=(const CErrorInfo& other) {
    if (this != &other) {
        const std::string text = other.getErrorInfo();
        clearErrorInfo();
        m_errStream << text;
    }
    return *this;
}

std::string CErrorInfo::getErrorInfo() const { return m_errStream.str(); }

void CErrorInfo::clearErrorInfo() {
    m_errStream.str(std::string());
    m_errStream.clear();
}

void CErrorInfo::appendErrorText(const std::string& text) const { m_errStream << text; }

void CErrorInfo::addError(const std::string& message) { m_errStream << message << '\n'; }

}  // namespace common
}  // namespace qvtlib
