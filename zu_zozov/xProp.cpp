#include "zu_zozov/xProp.h"

namespace qvt {
namespace ht {

const char* const CXProp::PTYPE_S = "S";
const char* const CXProp::PTYPE_F = "F";
const char* const CXProp::PTYPE_I = "I";
const char* const CXProp::PTYPE_D = "D";
const char* const CXProp::PTYPE_CLASS = "Class";

const std::string CXProp::STORE_MODE_ROW = "R";
const std::string CXProp::STORE_MODE_COL = "C";

const std::string CXProp::TABLE_ROWPROP_FT = "TINST_PROP_DATA";
const std::string CXProp::COL_PROPCODE_ROWPROP_FT = "I_PROP_CODE";
const std::string CXProp::COL_PROPVAL_ROWPROP_FT = "I_PROP_VALUE";

const std::string CXProp::TABLE_ROWPROP_PROP = "TATTROBJ_PROP_DATA";
const std::string CXProp::COL_CLASCODE_ROWPROP_PROP = "AO_CLAS_CODE";
const std::string CXProp::COL_CLASVAL_ROWPROP_PROP = "AO_VALUE";
const std::string CXProp::COL_PROPCODE_ROWPROP_PROP = "AO_PROP_CODE";
const std::string CXProp::COL_PROPVAL_ROWPROP_PROP = "AO_PROP_VALUE";

CXProp::CXProp() : m_type(nullptr), m_directSQL(false), m_propFlag(false) {}

CXProp::CXProp(const CXProp& other) = default;

CXProp& CXProp::operator=(const CXProp& other) = default;

CXProp::~CXProp() = default;

void CXProp::setType(const std::string& type) {
    // The order of the tests is the recognised order of the type codes.
    static const char* const kTypes[] = {PTYPE_S, PTYPE_I, PTYPE_D, PTYPE_F, PTYPE_CLASS};
    for (const char* candidate : kTypes) {
        if (type == candidate) {
            m_type = candidate;
            return;
        }
    }
}

std::string CXProp::getVcolumn() const {
    if (m_table == TABLE_ROWPROP_FT) return COL_PROPVAL_ROWPROP_FT;
    if (m_table == TABLE_ROWPROP_PROP) return COL_PROPVAL_ROWPROP_PROP;
    return m_vcolumn;
}

std::string CXProp::getNcolumn() const {
    if (m_table == TABLE_ROWPROP_FT) return COL_PROPCODE_ROWPROP_FT;
    if (m_table == TABLE_ROWPROP_PROP) return COL_PROPCODE_ROWPROP_PROP;
    return std::string();
}

std::string CXProp::getKeycol() const {
    if (m_table == TABLE_ROWPROP_PROP) return COL_CLASVAL_ROWPROP_PROP;
    return m_keycol;
}

std::string CXProp::getClasCodeCol() const {
    if (m_storemode != STORE_MODE_ROW) return std::string();
    if (m_table == TABLE_ROWPROP_PROP) return COL_CLASCODE_ROWPROP_PROP;
    return m_clasCodeCol;
}

bool CXProp::isBegDateProperty() const { return m_datecol == "BEG_DATE"; }

}  // namespace ht
}  // namespace qvt
