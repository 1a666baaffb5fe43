// Compiling and statically checking one group expression the way a rule
// author needs it: every problem becomes a diagnostic at its place in the
// rule file (see diagnostics.h).
//
// The static check runs the library's type check (getRoot()->check) with a
// sample value for every variable: a string for the fixed fields, the
// P-codes and columns typed :string; a number for :double and :int; a bool
// for :bool.  A variable whose type is not declared (no --columns, or an
// untyped column) is tried as a number first and as a string when the
// operator it stands beside refuses a number, so only a real mismatch is
// reported.  With a helper, the SQL texts of inSql and the pools of inPool
// are run once here, so that a failing query is reported with its rule and
// group before any holding is read (and its result is cached for the run).
#ifndef ZU_ZOZOV_TOOLS_EXPRCHECK_H
#define ZU_ZOZOV_TOOLS_EXPRCHECK_H

#include <cstddef>
#include <string>

#include "tools/book.h"
#include "tools/diagnostics.h"

namespace qvt {
namespace ht {
namespace tool {

class CSqlHelper;

// Where an expression stands and what it belongs to.
struct CExprPlace {
    const CXmlSource* source = nullptr;
    const CXmlAttr* attr = nullptr;  // the Exp attribute; null when not found
    std::size_t elementOffset = 0;   // where its element begins
    std::string owner;               // "rule R, group G" (UTF-8)
};

struct CExprCheckOptions {
    const CColumnTypes* columns = nullptr;  // the book's declared columns, or null
    std::string columnsFile;                // names the book in messages
    CSqlHelper* helper = nullptr;           // runs SQL and pools when set
};

// Compiles and checks expr (GBK).  True when it compiles and passes the
// checks; every problem is reported to diag.
bool checkExpression(const std::string& expr, const CExprPlace& place,
                     const CExprCheckOptions& options, CDiagnostics& diag);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_EXPRCHECK_H
