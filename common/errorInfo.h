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

#include "common/export.h"

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
    // Appends text as it is (no line end).  Allowed on a const object: the
    // error text is a report channel beside the object's value; an
    // expression's data binding reports the variables it cannot bind
    // through it while the expression is const.
    void appendErrorText(const std::string& text) const;

  protected:
    // Appends `message` and a line end.
    void addError(const std::string& message);
    // The stream itself, for writing text without a line end.
    std::ostream& errorStream() { return m_errStream; }

  private:
    mutable std::stringstream m_errStream;
};

}  // namespace common
}  // namespace qvtlib

#endif  // ZU_ZOZOV_COMMON_ERRORINFO_H
