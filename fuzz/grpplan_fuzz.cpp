// Fuzz target: the evaluation plans against the generic path.
//
// The input is a few group expressions, one per line, then a line "--", then
// one attribute per line as NAME=KIND:VALUE, KIND being s (string), d
// (double, strtod of VALUE), i (int), b (bool), f (float), l (long), e (empty
// value) or v (a type the engine does not know).  Lines whose NAME is
// I_CODE/A_TYPE/M_TYPE with KIND x set the fixed fields instead.  The rule
// of those groups and a tree node with the first expression are asked for the
// instrument through their fast path and, on copies, through the generic
// path; the first difference in answer, escaping exception or log records
// aborts.
#include <boost/any.hpp>
#include <boost/make_shared.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "log/logout.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/xTree.h"

namespace {

using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;
using qvt::ht::CXTreeNode;

class CFuzzHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any& value, const boost::any& sql) override {
        const std::string& query = boost::any_cast<const std::string&>(sql);
        if (query == "throw") throw std::runtime_error("sql failed");
        if (query == "other") throw 42;
        return boost::any(boost::any_cast<std::string>(&value) != nullptr);
    }
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data*, const boost::any& id) override {
        const double pool = boost::any_cast<double>(id);
        if (pool == 2) throw std::runtime_error("pool failed");
        if (pool == 4) throw 7;
        return boost::any(pool == 1 ? 1 : 0);
    }
};

// The records written since observe() last cleared them.  Never destroyed:
// the library still logs while the process exits.
std::string& records() {
    static std::string* text = new std::string;
    return *text;
}

struct CSetup {
    CSetup() {
        zAZir4::setSink([](const char* level, const char* logger, const char* message,
                           const char* file, int line) {
            records() += std::string(level ? level : "") + "|" + (logger ? logger : "") + "|" +
                         (message ? message : "") + "|" + (file ? file : "") + ":" +
                         std::to_string(line) + "\n";
        });
        qvt::ht::CGrpExprHelper::setHelperProvider(boost::make_shared<CFuzzHelper>());
    }
};

boost::any valueOf(char kind, const std::string& text) {
    switch (kind) {
        case 's':
            return text;
        case 'd':
            return std::strtod(text.c_str(), nullptr);
        case 'i':
            return std::atoi(text.c_str());
        case 'b':
            return !text.empty() && text[0] == '1';
        case 'f':
            return static_cast<float>(std::strtod(text.c_str(), nullptr));
        case 'l':
            return std::atol(text.c_str());
        case 'v':
            return std::vector<int>(1, 1);
        default:
            return boost::any();
    }
}

// The answer of call (or the exception escaping it) and the records it wrote.
template <class Call>
std::string observe(Call call) {
    records().clear();
    std::string answer;
    try {
        answer = call();
    } catch (const std::exception& e) {
        answer = std::string("exception ") + e.what();
    } catch (...) {
        answer = "unknown exception";
    }
    return answer + "\n" + records();
}

void same(const std::string& fast, const std::string& generic) {
    if (fast != generic) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSetup* setup = new CSetup;  // lives for the whole process
    static_cast<void>(setup);

    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    lines.push_back(line);

    CGrpRule fast;
    fast.setCode("fuzz");
    std::size_t i = 0;
    std::string firstExpression;
    for (int g = 0; i < lines.size() && lines[i] != "--" && g < 8; ++i, ++g) {
        qvt::ht::CGroup* group = new qvt::ht::CGroup();
        group->setCode(std::string(1, static_cast<char>('A' + g)));
        group->setExpression(lines[i]);
        if (g == 0) firstExpression = lines[i];
        fast.addGroup(group);
    }
    CGroupInstrument inst;
    for (++i; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const std::string::size_type eq = l.find('=');
        if (eq == std::string::npos || eq + 2 >= l.size() + 1 || l.size() < eq + 3) continue;
        const std::string name = l.substr(0, eq);
        const char kind = l[eq + 1];
        const std::string text = l.substr(eq + 3);
        if (kind == 'x' && name == "I_CODE") {
            inst.setiCode(text);
        } else if (kind == 'x' && name == "A_TYPE") {
            inst.setaType(text);
        } else if (kind == 'x' && name == "M_TYPE") {
            inst.setmType(text);
        } else {
            inst.addAttr(name, valueOf(kind, text));
        }
    }

    records().clear();
    static_cast<void>(fast.buildExps());
    CGrpRule generic(fast);

    same(observe([&] {
             std::string code;
             const bool ok = fast.evalGroup(code, inst);
             return code + (ok ? "+" : "-");
         }),
         observe([&] {
             std::string code;
             const bool ok = generic.evalGroupGeneric(code, inst);
             return code + (ok ? "+" : "-");
         }));
    auto g = generic.getGroups().begin();
    for (const auto& f : fast.getGroups()) {
        same(observe([&] { return std::string(f.second->isInGroup(inst) ? "1" : "0"); }),
             observe([&] { return std::string(g->second->isInGroupGeneric(inst) ? "1" : "0"); }));
        ++g;
    }

    CXTreeNode fastNode("XNode", "R", "N", "n", firstExpression);
    fastNode.createRuleExpr();
    const CXTreeNode genericNode(fastNode);
    inst.addAttr("R", std::string("N"));
    same(observe([&] { return std::string(fastNode.isMatch(inst) ? "1" : "0"); }),
         observe([&] { return std::string(genericNode.isMatchGeneric(inst) ? "1" : "0"); }));
    return 0;
}
