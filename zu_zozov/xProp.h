// One property (attribute) of an instrument class in the attribute dictionary,
// with the rules that derive where the property's values are stored.
//
// The host fills CXProp objects from its own configuration and reads the
// derived table and column names when it loads property values (typically
// while implementing IHTGroupData).  A property either has a table of its own
// (value column, key column) or is stored one row per value in one of the two
// shared property tables, TABLE_ROWPROP_FT and TABLE_ROWPROP_PROP, whose
// column names are fixed.
//
// CXProp is a plain value: copyable, owns only its strings.  The type pointer
// returned by getType() points to one of the class-wide PTYPE_* constants and
// never has to be freed.  Const operations may be called from several threads
// at once; changing a property while another thread reads it is not safe.
#ifndef ZU_ZOZOV_XPROP_H
#define ZU_ZOZOV_XPROP_H

#include <string>
#include <utility>

#include "common/export.h"

namespace qvt {
namespace ht {

class ZU_ZOZOV_EXPORT CXProp {
  public:
    // Type codes.  setType() makes getType() return one of these pointers, so
    // that types may be compared by pointer.
    static const char* const PTYPE_S;      // "S"
    static const char* const PTYPE_F;      // "F"
    static const char* const PTYPE_I;      // "I"
    static const char* const PTYPE_D;      // "D"
    static const char* const PTYPE_CLASS;  // "Class"

    // Storage modes: one row per value in a shared table, or a column.
    static const std::string STORE_MODE_ROW;  // "R"
    static const std::string STORE_MODE_COL;  // "C"

    // The shared row table of instrument properties and its columns.
    static const std::string TABLE_ROWPROP_FT;         // "TINST_PROP_DATA"
    static const std::string COL_PROPCODE_ROWPROP_FT;  // "I_PROP_CODE"
    static const std::string COL_PROPVAL_ROWPROP_FT;   // "I_PROP_VALUE"

    // The shared row table of attribute-object properties and its columns.
    static const std::string TABLE_ROWPROP_PROP;         // "TATTROBJ_PROP_DATA"
    static const std::string COL_CLASCODE_ROWPROP_PROP;  // "AO_CLAS_CODE"
    static const std::string COL_CLASVAL_ROWPROP_PROP;   // "AO_VALUE"
    static const std::string COL_PROPCODE_ROWPROP_PROP;  // "AO_PROP_CODE"
    static const std::string COL_PROPVAL_ROWPROP_PROP;   // "AO_PROP_VALUE"

    // All strings empty, no type, both flags false.
    CXProp();
    CXProp(const CXProp& other);
    CXProp& operator=(const CXProp& other);
    ~CXProp();

    std::string getCode() const { return m_code; }
    void setCode(const std::string& code) { m_code = code; }
    std::string getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }
    std::string getTable() const { return m_table; }
    void setTable(const std::string& table) { m_table = table; }
    std::string getDatecol() const { return m_datecol; }
    void setDatecol(const std::string& col) { m_datecol = col; }
    std::string getStoremode() const { return m_storemode; }
    // Any text is stored unchecked; only STORE_MODE_ROW has a meaning.
    void setStoremode(std::string mode) { m_storemode = std::move(mode); }
    void setVcolumn(const std::string& col) { m_vcolumn = col; }
    void setKeycol(const std::string& col) { m_keycol = col; }
    void setClasCodeCol(const std::string& col) { m_clasCodeCol = col; }

    // One of the PTYPE_* pointers, or a null pointer while no type was set.
    const char* getType() const { return m_type; }
    // Recognises "S", "I", "D", "F" and "Class" (exact, case-sensitive) and
    // sets the matching PTYPE_* pointer; any other text leaves the type as it
    // was.
    void setType(const std::string& type);

    void directSQL(bool on) { m_directSQL = on; }
    bool isDirectSQL() const { return m_directSQL; }
    void propFlag(bool on) { m_propFlag = on; }
    bool isPropFlag() const { return m_propFlag; }

    // Value column: the shared table's value column when the property is
    // stored in one of them, else the column set by setVcolumn.
    std::string getVcolumn() const;
    // Name column: the shared table's property-code column when the property
    // is stored in one of them, else the empty string.
    std::string getNcolumn() const;
    // Key column: "AO_VALUE" for TABLE_ROWPROP_PROP, else the column set by
    // setKeycol (TABLE_ROWPROP_FT included).
    std::string getKeycol() const;
    // Class-code column, only for row storage: "AO_CLAS_CODE" for
    // TABLE_ROWPROP_PROP, else the column set by setClasCodeCol.  Empty when
    // the store mode is not STORE_MODE_ROW.
    std::string getClasCodeCol() const;

    // Store mode is exactly "R".
    bool isRowStoremode() const { return m_storemode == STORE_MODE_ROW; }
    bool hasDatecol() const { return !m_datecol.empty(); }
    // The date column is exactly "BEG_DATE".
    bool isBegDateProperty() const;
    // The name column field is set (only copying carries it over).
    bool hasNcolumn() const { return !m_ncolumn.empty(); }

  private:
    std::string m_code;
    std::string m_name;
    const char* m_type;
    std::string m_table;
    std::string m_vcolumn;
    std::string m_ncolumn;
    std::string m_datecol;
    std::string m_keycol;
    std::string m_clasCodeCol;
    std::string m_storemode;
    bool m_directSQL;
    bool m_propFlag;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_XPROP_H
