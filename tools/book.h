// A book of holdings read from CSV, one holding at a time.
//
// The header names the columns.  I_CODE, A_TYPE, M_TYPE and ACCT_CODE fill
// the record's fixed fields, P_CODE1 ... P_CODE8 its P-codes (strings); every
// other column is a named attribute.  A column may carry a type after a
// colon, `MKT_VALUE:double` (also `:int`, `:string`, `:bool`):
//   double, int   the field must be a number (int: a whole number); the
//                 attribute holds a double, the language's number type;
//   string        the attribute holds the text as it is, digits or not;
//   bool          true/false (also 1/0, yes/no);
//   no type       a number when the whole field is a number, else a string.
// An empty field of a typed number or bool column gives the attribute no
// value, so every comparison with it is false.
//
// Fields arrive as UTF-8 and reach the library as GBK; a field that is not
// valid UTF-8 or that GBK cannot hold rejects the holding, as does a row with
// the wrong number of fields or a typed field that does not parse.
//
// Memory holds one row.  Not thread-safe.
#ifndef ZU_ZOZOV_TOOLS_BOOK_H
#define ZU_ZOZOV_TOOLS_BOOK_H

#include <cstdint>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/csvReader.h"
#include "zu_zozov/zu_zozov.h"

namespace qvt {
namespace ht {
namespace tool {

enum ColumnType { TYPE_AUTO, TYPE_STRING, TYPE_DOUBLE, TYPE_INT, TYPE_BOOL };

struct CBookColumn {
    std::string name;     // UTF-8, without the type
    std::string nameGbk;  // the attribute name the library sees
    ColumnType type = TYPE_AUTO;
    int fixed = 0;  // 1 I_CODE, 2 A_TYPE, 3 M_TYPE, 4 ACCT_CODE, 5 a P-code, 0 none
};

// Column name (GBK) to type, as a header declares them.
typedef std::map<std::string, ColumnType> CColumnTypes;

// One row as read, besides the instrument it fills.
struct CBookRow {
    CCsvRecord record;            // line, raw text, fields (UTF-8)
    std::string reason;           // why the row is rejected; empty when it is not
    std::vector<double> numbers;  // per column: the value when the field is a number
    std::vector<char> isNumber;   // per column: whether numbers[i] holds one
};

class CBook {
  public:
    // Reads the header from in (which must outlive the book).  displayName
    // names the file in messages.  CToolError (status 2) for a header with a
    // duplicate column, an empty name, a type on a fixed field or without
    // I_CODE.  A stream without any line is an empty book with no columns.
    CBook(std::istream& in, const std::string& displayName);

    const std::vector<CBookColumn>& getColumns() const { return m_columns; }

    // Restricts the named attributes a holding gets to the names in used
    // (GBK), the attributes that the rules read; the other fields are still
    // checked (encoding, type) but cost no attribute.  Without a call every
    // column becomes an attribute.  withNumbers: read the numbers of untyped
    // columns that are not used too (for sums).
    void setUsedAttributes(const std::set<std::string>& used, bool withNumbers);
    CColumnTypes getColumnTypes() const;

    // The next row: false at the end.  When row.reason is empty, inst holds
    // the holding (its attributes of the previous row replaced); otherwise
    // the row is to be rejected and inst is undefined.
    bool next(CGroupInstrument& inst, CBookRow& row);

    std::uint64_t bytesRead() const { return m_reader.bytesRead(); }

  private:
    void fill(CGroupInstrument& inst, CBookRow& row);

    std::string m_name;
    CCsvReader m_reader;
    std::vector<CBookColumn> m_columns;
    std::vector<char> m_used;  // per column: becomes a named attribute
    bool m_withNumbers;
    std::string m_gbk;  // conversion buffer
};

// The column types the header of the CSV file at path declares (for check).
// CToolError (status 2) when it cannot be read.
CColumnTypes readColumnTypes(const std::string& path);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_BOOK_H
