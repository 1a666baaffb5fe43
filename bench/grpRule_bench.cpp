// evalGroup of a realistic 50-group rule over generated instruments, and the
// same rule written as plain C++ as the lower bound.
//
// The rule is one table (kRule below) turned both into group-rule XML and
// into a hand-written evaluation, so both classify identically (checked
// before timing).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpData.h"
#include "zu_zozov/grpDataDetail.h"
#include "zu_zozov/grpRule.h"

namespace {

using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;

// One group: A_TYPE == aType and, by kind, one further condition.
enum Kind {
    MARKET,      // && M_TYPE == arg1
    SUB_TYPES,   // && P_CODE1 == arg1 && P_CODE2 == arg2
    COLLECTION,  // && inColl(P_CODE3, arg1) == 1
    PREFIX,      // && substr(I_CODE, 0, 2) == arg1
};

struct GroupDef {
    std::string code;
    std::string aType;
    Kind kind;
    std::string arg1;
    std::string arg2;
};

const char* const A_TYPES[] = {"STK", "BOND", "FUND", "REPO", "FUT", "OPT", "CASH", "WRNT"};
const char* const M_TYPES[] = {"XSHG", "XSHE", "XIBM", "CFFEX", "OTC"};
const char* const P1[] = {"GOV", "CORP", "MTN", "CP", "CB", "PFB"};
const char* const P2[] = {"AAA", "AA+", "AA", "A"};
const char* const P3[] = {"R1", "R2", "R3", "R4", "R5", "R6"};

std::vector<GroupDef> makeRule() {
    std::vector<GroupDef> rule;
    for (int i = 0; i < 50; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%02d", i);
        GroupDef g;
        g.code = code;
        g.aType = A_TYPES[i % 8];
        g.kind = static_cast<Kind>(i % 4);
        switch (g.kind) {
            case MARKET:
                g.arg1 = M_TYPES[i % 5];
                break;
            case SUB_TYPES:
                g.arg1 = P1[i % 6];
                g.arg2 = P2[i % 4];
                break;
            case COLLECTION:
                g.arg1 = std::string(P3[i % 6]) + "," + P3[(i + 1) % 6];
                break;
            case PREFIX: {
                char prefix[8];
                std::snprintf(prefix, sizeof prefix, "%02d", (i * 7) % 100);
                g.arg1 = prefix;
                break;
            }
        }
        rule.push_back(g);
    }
    return rule;
}

std::string expressionOf(const GroupDef& g) {
    std::string exp = "A_TYPE == \"" + g.aType + "\" && ";
    switch (g.kind) {
        case MARKET:
            return exp + "M_TYPE == \"" + g.arg1 + "\"";
        case SUB_TYPES:
            return exp + "P_CODE1 == \"" + g.arg1 + "\" && P_CODE2 == \"" + g.arg2 + "\"";
        case COLLECTION:
            return exp + "inColl(P_CODE3, \"" + g.arg1 + "\") == 1";
        case PREFIX:
            return exp + "substr(I_CODE, 0, 2) == \"" + g.arg1 + "\"";
    }
    return exp;
}

std::string xmlOf(const std::vector<GroupDef>& rule) {
    std::string xml = "<GroupRule>";
    for (const GroupDef& g : rule) {
        std::string exp;
        for (char c : expressionOf(g)) {
            if (c == '&') {
                exp += "&amp;";
            } else if (c == '"') {
                exp += "&quot;";
            } else {
                exp += c;
            }
        }
        xml += "<Group Code=\"" + g.code + "\" Name=\"g" + g.code + "\" Exp=\"" + exp + "\"/>";
    }
    return xml + "</GroupRule>";
}

std::vector<CGroupInstrument> makeInstruments(std::size_t count) {
    std::mt19937 rnd(2024);
    std::vector<CGroupInstrument> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "%06u", static_cast<unsigned>(rnd() % 1000000));
        out.emplace_back(code, A_TYPES[rnd() % 8], M_TYPES[rnd() % 5], "ACC", P1[rnd() % 6],
                         P2[rnd() % 4], P3[rnd() % 6], "", "", "", "", "");
    }
    return out;
}

// The same rule as plain C++: groups in code order, first that holds wins.
bool holds(const GroupDef& g, const std::string& iCode, const std::string& aType,
           const std::string& mType, const std::string& p1, const std::string& p2,
           const std::string& p3) {
    if (aType != g.aType) return false;
    switch (g.kind) {
        case MARKET:
            return mType == g.arg1;
        case SUB_TYPES:
            return p1 == g.arg1 && p2 == g.arg2;
        case COLLECTION: {
            std::string::size_type start = 0;
            for (;;) {
                const std::string::size_type comma = g.arg1.find(',', start);
                if (g.arg1.compare(start, comma - start, p3) == 0) return true;
                if (comma == std::string::npos) return false;
                start = comma + 1;
            }
        }
        case PREFIX:
            return iCode.compare(0, 2, g.arg1) == 0;
    }
    return false;
}

const std::string XOTHER = "xother";

const std::string& plainEval(const std::vector<GroupDef>& rule, const CGroupInstrument& inst) {
    const std::string iCode = inst.iCode();
    const std::string aType = inst.aType();
    const std::string mType = inst.mType();
    const std::string p1 = inst.getAttributeAsString(CGroupInstrument::attr::P_CODE1);
    const std::string p2 = inst.getAttributeAsString(CGroupInstrument::attr::P_CODE2);
    const std::string p3 = inst.getAttributeAsString(CGroupInstrument::attr::P_CODE3);
    for (const GroupDef& g : rule) {
        if (holds(g, iCode, aType, mType, p1, p2, p3)) return g.code;
    }
    return XOTHER;
}

struct Fixture {
    Fixture() : defs(makeRule()), instruments(makeInstruments(100000)) {
        rule.setCode("BENCH");
        if (!rule.init(xmlOf(defs)) || !rule.buildExps()) {
            throw std::runtime_error("benchmark rule does not compile");
        }
        // Both evaluations must agree before either is timed.
        for (const CGroupInstrument& inst : instruments) {
            std::string code;
            rule.evalGroup(code, inst);
            if (code != plainEval(defs, inst)) {
                throw std::runtime_error("rule and plain evaluation disagree for " +
                                         inst.toString());
            }
        }
    }
    std::vector<GroupDef> defs;
    std::vector<CGroupInstrument> instruments;
    CGrpRule rule;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_EvalGroup50(benchmark::State& state) {
    Fixture& f = fixture();
    std::string code;
    for (auto _ : state) {
        for (const CGroupInstrument& inst : f.instruments) {
            f.rule.evalGroup(code, inst);
            benchmark::DoNotOptimize(code.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * f.instruments.size()));
}
BENCHMARK(BM_EvalGroup50)->Unit(benchmark::kMillisecond);

void BM_PlainCpp50(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (const CGroupInstrument& inst : f.instruments) {
            benchmark::DoNotOptimize(plainEval(f.defs, inst).data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * f.instruments.size()));
}
BENCHMARK(BM_PlainCpp50)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The strict binding alone: one group's expression with three variables
// bound for instrument after instrument.
void BM_StrictBinding(benchmark::State& state) {
    Fixture& f = fixture();
    qvt::ht::CGrpExpr expr;
    expr.compile("A_TYPE == \"BOND\" && P_CODE1 == \"CORP\" && P_CODE2 == \"AAA\"");
    const qvt::ht::CGrpBindPlan plan(qvt::ht::detail::collectVarbNames(expr));
    // A few instruments, bound again and again: the cost of the binding
    // itself, without the cache misses of a large book.
    const std::vector<CGroupInstrument> few(f.instruments.begin(), f.instruments.begin() + 16);
    for (auto _ : state) {
        for (const CGroupInstrument& inst : few) {
            benchmark::DoNotOptimize(expr.getData().prepare(inst, expr, plan));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * few.size()));
}
BENCHMARK(BM_StrictBinding);

}  // namespace
