// A tour of the expression language: compile group expressions, evaluate
// them against instruments, call a function of our own, and read errors.
// The library speaks GBK; this program decodes its messages to UTF-8.
#include <iconv.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "zu_zozov/zu_zozov.h"

using namespace qvtlib::expr;

namespace {

// GBK bytes to UTF-8 text.
std::string utf8(const std::string& gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
    std::string out(gbk.size() * 3 + 1, '\0');
    char* src = const_cast<char*>(gbk.data());
    size_t srcLeft = gbk.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return gbk;
    out.resize(out.size() - dstLeft);
    return out;
}

struct Instrument {
    std::string code;
    std::string pCode1;
    std::string aType;
    double price;
};

// The variable store: one instrument's attributes by name.
class InstrumentData : public basic_data {
  public:
    bool prepare(const void* source) override {
        const Instrument* inst = static_cast<const Instrument*>(source);
        if (!inst) return false;
        m_values["I_CODE"] = inst->code;
        m_values["P_CODE1"] = inst->pCode1;
        m_values["A_TYPE"] = inst->aType;
        m_values["PRICE"] = inst->price;
        return true;
    }
};

typedef CBaseExpr<InstrumentData, CBaseResolver> Expr;

// len(s): the length of a string, in bytes.
class CLen : public CBaseFunc<CLen> {
  public:
    CLen() {
        if (!isInited()) {
            setFuncName("len");
            setReturnType(boost::any(0.0));
            setParamNum(1);
            addParamType(boost::any(std::string()));
            addParamName("s");
            setInited(true);
        }
    }
    bool checkParamType(unsigned i, boost::any& t) const override {
        return i == 0 && t.type() == typeid(std::string);
    }
    std::string getDeclareInfo() const override { return "double len(string s)"; }
    boost::any calcFunc(const basic_data*) const override {
        const std::vector<boost::any>& p = getParamValues();
        const std::string* s = p.size() == 1 ? boost::any_cast<std::string>(&p[0]) : nullptr;
        if (!s) return boost::any();
        return static_cast<double>(s->size());
    }
};

std::string show(const boost::any& v) {
    if (v.empty()) return "(no value)";
    if (const bool* b = boost::any_cast<bool>(&v)) return *b ? "true" : "false";
    if (const double* d = boost::any_cast<double>(&v)) {
        std::ostringstream out;
        out << *d;
        return out.str();
    }
    if (const std::string* s = boost::any_cast<std::string>(&v)) return "\"" + utf8(*s) + "\"";
    return "(other)";
}

void evaluate(const std::string& text, const std::vector<Instrument>& instruments) {
    Expr e;
    std::cout << text << "\n";
    if (!e.compile(text)) {
        std::cout << "  " << utf8(e.getErrorText());
        return;
    }
    for (const Instrument& inst : instruments) {
        e.getData().prepare(&inst);
        std::cout << "  " << inst.code << "/" << inst.pCode1 << "/" << inst.aType << " -> ";
        if (e.calc()) {
            std::cout << show(e.getResult()) << "\n";
        } else {
            std::cout << "failed: " << utf8(e.getErrorText());
        }
    }
}

}  // namespace

int main() {
    std::cout << "zu_zozov " << qvt::ht::version() << " expression demo\n\n";
    static CLen len;
    getFuncMap()[len.funcName()] = &len;

    const std::vector<Instrument> instruments = {
        {"600000", "A", "S", 7.5},
        {"600036", "B", "S", 35.2},
        {"510050", "A", "F", 2.7},
    };
    evaluate("I_CODE == \"600000\" && P_CODE1 == \"A\" || A_TYPE != \"S\"", instruments);
    evaluate("PRICE * 1000 >= 7500", instruments);
    evaluate("len(I_CODE) + PRICE", instruments);
    evaluate("missing(I_CODE)", {instruments[0]});

    // A compile error: the position is the byte offset of the failing lexeme.
    const std::string bad = "I_CODE = \"600000\"";
    Expr e;
    std::cout << "\n" << bad << "\n";
    if (!e.compile(bad)) {
        const int column = e.getErrorPos().beginColumn;
        std::cout << std::string(column, ' ') << "^ error " << e.getErrorCode() << " at column "
                  << column << ": " << utf8(e.getErrorText());
    }
    return 0;
}
