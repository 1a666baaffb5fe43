#include "tools/book.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>

#include "tools/encoding.h"
#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

typedef CGroupInstrument::attr A;

bool parseType(const std::string& word, ColumnType& type) {
    std::string w;
    for (char c : word) w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (w == "double")
        type = TYPE_DOUBLE;
    else if (w == "int")
        type = TYPE_INT;
    else if (w == "string")
        type = TYPE_STRING;
    else if (w == "bool")
        type = TYPE_BOOL;
    else
        return false;
    return true;
}

// The whole field as a number (strtod syntax, no surrounding blanks).
bool parseNumber(const std::string& text, double& out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(out);
}

bool parseBool(const std::string& text, bool& out) {
    std::string w;
    for (char c : text) w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (w == "true" || w == "1" || w == "yes")
        out = true;
    else if (w == "false" || w == "0" || w == "no")
        out = false;
    else
        return false;
    return true;
}

int fixedField(const std::string& name) {
    if (name == A::I_CODE) return 1;
    if (name == A::A_TYPE) return 2;
    if (name == A::M_TYPE) return 3;
    if (name == A::ACCT_CODE) return 4;
    if (name.size() == 7 && name.compare(0, 6, "P_CODE") == 0 && name[6] >= '1' && name[6] <= '8') {
        return 5;
    }
    return 0;
}

}  // namespace

CBook::CBook(std::istream& in, const std::string& displayName) : m_name(displayName), m_reader(in) {
    CCsvRecord header;
    if (!m_reader.next(header)) return;  // an empty book
    const std::string at = displayName + ":" + std::to_string(header.line) + ": ";
    if (!header.error.empty()) throw CToolError(EXIT_USAGE, at + "header: " + header.error);
    std::set<std::string> seen;
    for (const std::string& field : header.fields) {
        CBookColumn col;
        col.name = field;
        const std::string::size_type colon = field.rfind(':');
        if (colon != std::string::npos && parseType(field.substr(colon + 1), col.type)) {
            col.name = field.substr(0, colon);
        }
        if (col.name.empty()) throw CToolError(EXIT_USAGE, at + "a column without a name");
        std::string reason;
        if (!utf8ToGbk(col.name, col.nameGbk, &reason)) {
            throw CToolError(EXIT_USAGE, at + "column name: " + reason);
        }
        col.fixed = fixedField(col.name);
        if (col.fixed && col.type != TYPE_AUTO && col.type != TYPE_STRING) {
            throw CToolError(EXIT_USAGE, at + "column " + col.name + " is always a string");
        }
        if (!seen.insert(col.name).second) {
            throw CToolError(EXIT_USAGE, at + "duplicate column " + col.name);
        }
        m_columns.push_back(col);
    }
    if (!seen.count(A::I_CODE)) throw CToolError(EXIT_USAGE, at + "no column I_CODE");
    m_used.assign(m_columns.size(), 1);
}

void CBook::setUsedAttributes(const std::set<std::string>& used, bool withNumbers) {
    m_withNumbers = withNumbers;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const CBookColumn& col = m_columns[i];
        m_used[i] = (col.fixed >= 1 && col.fixed <= 3) || used.count(col.nameGbk) != 0;
    }
}

CColumnTypes CBook::getColumnTypes() const {
    CColumnTypes types;
    for (const CBookColumn& col : m_columns) {
        types[col.nameGbk] = col.fixed ? TYPE_STRING : col.type;
    }
    return types;
}

bool CBook::next(CGroupInstrument& inst, CBookRow& row) {
    if (!m_reader.next(row.record)) return false;
    row.reason = row.record.error;
    if (row.reason.empty() && row.record.fields.size() != m_columns.size()) {
        row.reason = std::to_string(row.record.fields.size()) + " fields, the header has " +
                     std::to_string(m_columns.size());
    }
    if (row.reason.empty()) fill(inst, row);
    return true;
}

void CBook::fill(CGroupInstrument& inst, CBookRow& row) {
    row.numbers.assign(m_columns.size(), 0.0);
    row.isNumber.assign(m_columns.size(), 0);
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const CBookColumn& col = m_columns[i];
        const std::string& text = row.record.fields[i];
        std::string reason;
        if (!m_used[i] &&
            (col.fixed || col.type == TYPE_STRING || (col.type == TYPE_AUTO && !m_withNumbers))) {
            // Not an attribute the rules read: only make sure it is good text.
            if (!isAscii(text) && !utf8ToGbk(text, m_gbk, &reason)) {
                row.reason = "column " + col.name + ": " + reason;
                return;
            }
            if (col.fixed == 4) inst.setAcctCode(isAscii(text) ? text : m_gbk);
            continue;
        }
        if (!utf8ToGbk(text, m_gbk, &reason)) {
            row.reason = "column " + col.name + ": " + reason;
            return;
        }
        double number = 0.0;
        switch (col.fixed) {
            case 1:
                inst.setiCode(m_gbk);
                continue;
            case 2:
                inst.setaType(m_gbk);
                continue;
            case 3:
                inst.setmType(m_gbk);
                continue;
            case 4:
                // Expressions read ACCT_CODE like any attribute; the fixed
                // field alone is not bound to a variable.
                inst.setAcctCode(m_gbk);
                inst.addAttr(col.nameGbk, boost::any(m_gbk));
                continue;
            case 5:
                inst.addAttr(col.nameGbk, boost::any(m_gbk));
                continue;
            default:
                break;
        }
        switch (col.type) {
            case TYPE_STRING:
                if (m_used[i]) inst.addAttr(col.nameGbk, boost::any(m_gbk));
                break;
            case TYPE_AUTO:
                if (parseNumber(text, number)) {
                    if (m_used[i]) inst.addAttr(col.nameGbk, boost::any(number));
                    row.numbers[i] = number;
                    row.isNumber[i] = 1;
                } else {
                    if (m_used[i]) inst.addAttr(col.nameGbk, boost::any(m_gbk));
                }
                break;
            case TYPE_DOUBLE:
            case TYPE_INT:
                if (text.empty()) {
                    if (m_used[i]) inst.addAttr(col.nameGbk, boost::any());
                } else if (!parseNumber(text, number) ||
                           (col.type == TYPE_INT && number != std::floor(number))) {
                    row.reason = "column " + col.name + ": '" + text + "' is not " +
                                 (col.type == TYPE_INT ? "a whole number" : "a number");
                    return;
                } else {
                    if (m_used[i]) inst.addAttr(col.nameGbk, boost::any(number));
                    row.numbers[i] = number;
                    row.isNumber[i] = 1;
                }
                break;
            case TYPE_BOOL: {
                bool flag = false;
                if (text.empty()) {
                    if (m_used[i]) inst.addAttr(col.nameGbk, boost::any());
                } else if (!parseBool(text, flag)) {
                    row.reason = "column " + col.name + ": '" + text + "' is not true or false";
                    return;
                } else {
                    if (m_used[i]) inst.addAttr(col.nameGbk, boost::any(flag));
                }
                break;
            }
        }
    }
}

CColumnTypes readColumnTypes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CToolError(EXIT_USAGE, path + ": cannot read");
    return CBook(in, path).getColumnTypes();
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
