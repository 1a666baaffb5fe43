#include "tools/exprCheck.h"

#include <map>
#include <set>
#include <typeinfo>

#include "tools/encoding.h"
#include "tools/sqliteProviders.h"
#include "zu_zozov/zu_zozov.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

using qvtlib::expr::basic_node;

// Calls f on every node of the tree under root, parents before children,
// without recursion (an expression may nest deeply).
template <class F>
void forEachNode(const basic_node* root, F f) {
    const basic_node* n = root;
    while (n) {
        f(n);
        if (n->getChild()) {
            n = n->getChild();
            continue;
        }
        while (n != root && !n->getNextSibling()) n = n->getParent();
        if (n == root) break;
        n = n->getNextSibling();
    }
}

template <class K>
const K* keyOf(const basic_node* n) {
    return dynamic_cast<const K*>(&n->getKey());
}

std::size_t countChars(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

class CReporter {
  public:
    CReporter(const std::string& expr, const CExprPlace& place, CDiagnostics& diag)
        : m_expr(expr), m_place(place), m_diag(diag), m_shown(gbkToUtf8(expr)) {}

    // A problem at byte `at` of the expression (GBK offset).
    void at(std::size_t at, const std::string& message, bool isError = true) {
        if (at > m_expr.size()) at = m_expr.size();
        const std::string prefix = gbkToUtf8(m_expr.substr(0, at));
        std::size_t offset = m_place.elementOffset;
        if (m_place.attr) offset = m_place.source->valueOffset(*m_place.attr, countChars(prefix));
        int line = 0, column = 0;
        m_place.source->position(offset, line, column);
        m_diag.report(isError, m_place.source->getPath(), line, column,
                      m_place.owner + ": " + message, m_shown.empty() ? " " : m_shown,
                      prefix.size());
    }
    void atNode(const basic_node* n, const std::string& message, bool isError = true) {
        at(static_cast<std::size_t>(n->getBegin().column - 1), message, isError);
    }

  private:
    const std::string& m_expr;
    const CExprPlace& m_place;
    CDiagnostics& m_diag;
    std::string m_shown;
};

bool isFixedString(const std::string& name) {
    typedef CGroupInstrument::attr A;
    if (name == A::I_CODE || name == A::A_TYPE || name == A::M_TYPE || name == A::ACCT_CODE) {
        return true;
    }
    return name.size() == 7 && name.compare(0, 6, "P_CODE") == 0 && name[6] >= '1' &&
           name[6] <= '8';
}

boost::any sampleOf(ColumnType type) {
    switch (type) {
        case TYPE_STRING:
            return boost::any(std::string());
        case TYPE_BOOL:
            return boost::any(false);
        default:
            return boost::any(0.0);
    }
}

const char* typeName(const boost::any& sample) {
    if (sample.empty()) return "no value";
    if (sample.type() == typeid(std::string)) return "a string";
    if (sample.type() == typeid(bool)) return "a bool";
    return "a number";
}

// " (left: a string, right: a number)" for the operator at column, so the
// author sees why the types do not fit; empty when that cannot be told.
std::string operandTypes(const basic_node* root, int column, const CGrpData& data) {
    std::string text;
    forEachNode(root, [&](const basic_node* n) {
        if (!text.empty() || !n->isOper() || n->getBegin().column != column || !n->getChild()) {
            return;
        }
        const basic_node* left = n->getChild();
        const basic_node* right = left->getNextSibling();
        try {
            text =
                std::string(" (") + (right ? "left: " : "operand: ") + typeName(left->check(&data));
            if (right) text += std::string(", right: ") + typeName(right->check(&data));
            text += ")";
        } catch (const qvtlib::expr::basic_except&) {
            text.clear();
        }
    });
    return text;
}

// The static type check, with types for the variables as said at the top of
// the header.  True when it passes.
bool typeCheck(const CGrpExpr& e, const CExprCheckOptions& options, CReporter& report) {
    const basic_node* root = e.getParser()->getRoot();
    CGrpData data;
    std::set<std::string> guessed;  // variables whose type is a guess
    bool ok = true;
    forEachNode(root, [&](const basic_node* n) {
        const qvtlib::expr::CVarb* v = keyOf<qvtlib::expr::CVarb>(n);
        if (!v || data.getValues().count(v->getName())) return;
        const std::string& name = v->getName();
        ColumnType type = TYPE_AUTO;
        if (isFixedString(name)) {
            type = TYPE_STRING;
        } else if (options.columns) {
            auto found = options.columns->find(name);
            if (found == options.columns->end()) {
                report.atNode(n, "'" + gbkToUtf8(name) + "' is not a column of " +
                                     options.columnsFile + ": every holding would lack it");
                ok = false;
            } else {
                type = found->second;
            }
        }
        if (type == TYPE_AUTO) guessed.insert(name);
        data.getValues()[name] = sampleOf(type);
    });
    for (;;) {
        try {
            root->check(&data);
            return ok;
        } catch (const qvtlib::expr::basic_except& ex) {
            // Try the guessed variables beside the failing node as strings.
            bool retry = false;
            forEachNode(root, [&](const basic_node* n) {
                if (n->getBegin().column != ex.getBegin().column || n->isVarb()) return;
                for (const basic_node* c = n->getChild(); c; c = c->getNextSibling()) {
                    const qvtlib::expr::CVarb* v = keyOf<qvtlib::expr::CVarb>(c);
                    if (v && guessed.erase(v->getName())) {
                        data.getValues()[v->getName()] = boost::any(std::string());
                        retry = true;
                    }
                }
            });
            if (retry) continue;
            report.at(static_cast<std::size_t>(ex.getBegin().column - 1),
                      gbkToUtf8(ex.what()) + operandTypes(root, ex.getBegin().column, data));
            return false;
        }
    }
}

// Runs the SQL of every inSql and loads the pool of every inPool once.
bool checkProviders(const CGrpExpr& e, CSqlHelper& helper, CReporter& report) {
    bool ok = true;
    forEachNode(e.getParser()->getRoot(), [&](const basic_node* n) {
        const qvtlib::expr::CFunc* f = keyOf<qvtlib::expr::CFunc>(n);
        if (!f || !n->getChild()) return;
        const basic_node* arg1 = n->getChild();
        const basic_node* arg2 = arg1->getNextSibling();
        try {
            if (f->getName() == "inSql" && arg2 && arg2->isStr()) {
                const std::string& sql = keyOf<qvtlib::expr::CStr>(arg2)->getValue();
                try {
                    helper.sqlValues(sql);
                } catch (const CSqlError& err) {
                    report.atNode(arg2, std::string("inSql: the SQL fails: ") + err.what() +
                                            "; SQL: " + gbkToUtf8(sql));
                    ok = false;
                }
            } else if (f->getName() == "inPool" && arg1->isNum()) {
                const double id = keyOf<qvtlib::expr::CNum>(arg1)->getValue();
                if (helper.poolMembers(static_cast<long long>(id)).empty()) {
                    report.atNode(arg1,
                                  "inPool: pool " + std::to_string(static_cast<long long>(id)) +
                                      " has no members in table pool_member",
                                  false);
                }
            }
        } catch (const CSqlError& err) {
            report.atNode(n, std::string("inPool: ") + err.what());
            ok = false;
        }
    });
    return ok;
}

}  // namespace

bool checkExpression(const std::string& expr, const CExprPlace& place,
                     const CExprCheckOptions& options, CDiagnostics& diag) {
    CReporter report(expr, place, diag);
    if (expr.empty()) {
        report.at(0, "the group has no expression (attribute Exp)");
        return false;
    }
    CGrpExpr e;
    if (!e.compile(expr)) {
        std::string message = e.getErrorText();
        const std::string head = qvtlib::expr::detail::compileErrorHead(expr);
        if (message.compare(0, head.size(), head) == 0) message.erase(0, head.size());
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
            message.pop_back();
        }
        report.at(static_cast<std::size_t>(e.getErrorPos().beginColumn), gbkToUtf8(message));
        return false;
    }
    bool ok = typeCheck(e, options, report);
    if (options.helper && !checkProviders(e, *options.helper, report)) ok = false;
    return ok;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
