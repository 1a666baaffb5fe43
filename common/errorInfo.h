// CErrorInfo: accumulated error text of an object (expression object,
// definition and classification trees).
//
// A derived class writes each failure message followed by a line end; the
// text accumulates until it is cleared.  The text is the object's own; not
// thread-safe.
#ifndef ZU_ZOZOV_COMMON_ERRORINFO_H
#define ZU_ZOZOV_COMMON_ERRORINFO_H

#include <sstream>
#include <string>

#include "zu_zozov/export.h"

namespace qvtlib {
namespace common {

class ZU_ZOZOV_EXPORT CErrorInfo {
public:
    CErrorInfo();
    virtual ~CErrorInfo();
    CErrorInfo(const CErrorInfo& other);
    CErrorInfo& operator=(const CErrorInfo& other);

    // The text accumulated since the last clear.
    std::string getErrorInfo() const;
    // Sets the text to the empty string.
    void clearErrorInfo();

protected:
    // Appends `message` and a line end.
    void addError(const std::string& message);
    // The stream itself, for writing text without a line end.
    std::ostream& errorStream() { return m_errStream; }

private:
    std::stringstream m_errStream;
};

}  // namespace common
}  // namespace qvtlib

#endif  // ZU_ZOZOV_COMMON_ERRORINFO_H
