// Expression language: compile and evaluation costs of a typical group
// expression against a filled variable store.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "expr/baseExpr.h"
#include "expr/function.h"

namespace {

using namespace qvtlib::expr;

// A store filled the way a group fills it for one instrument.
class BenchData : public basic_data {
  public:
    bool prepare(const void*) override {
        m_values["I_CODE"] = std::string("600000");
        m_values["A_TYPE"] = std::string("S");
        m_values["M_TYPE"] = std::string("XSHG");
        for (int i = 1; i <= 8; ++i) {
            m_values["P_CODE" + std::to_string(i)] = std::string(i == 1 ? "A" : "Z");
        }
        m_values["PRICE"] = 10.5;
        return true;
    }
};

typedef CBaseExpr<BenchData, CBaseResolver> Expr;

const char* const GROUP_EXPR = "I_CODE == \"600000\" && P_CODE1 == \"A\" || A_TYPE != \"S\"";
const char* const FUNC_EXPR = "left(I_CODE, 2) == \"60\" && A_TYPE == \"S\"";

// left(s, n): the first n bytes of s.
class CLeft : public CBaseFunc<CLeft> {
  public:
    CLeft() {
        if (!isInited()) {
            setFuncName("left");
            setReturnType(boost::any(std::string()));
            setParamNum(2);
            addParamType(boost::any(std::string()));
            addParamType(boost::any(0.0));
            setInited(true);
        }
    }
    bool checkParamType(unsigned i, boost::any& t) const override {
        return getParamType(i).type() == t.type();
    }
    std::string getDeclareInfo() const override { return "string left(string s, double n)"; }
    boost::any calcFunc(const basic_data*) const override {
        const std::vector<boost::any>& p = getParamValues();
        const std::string* s = p.size() == 2 ? boost::any_cast<std::string>(&p[0]) : nullptr;
        const double* n = p.size() == 2 ? boost::any_cast<double>(&p[1]) : nullptr;
        if (!s || !n) return boost::any();
        return s->substr(0, static_cast<std::size_t>(*n));
    }
};

void registerLeft() {
    static CLeft left;
    getFuncMap()[left.funcName()] = &left;
}

void BM_Compile(benchmark::State& state) {
    Expr e;
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.compile(GROUP_EXPR));
    }
}
BENCHMARK(BM_Compile);

// The node interface: the result is copied out as a boost::any.
void BM_TreeCalc(benchmark::State& state) {
    Expr e;
    e.compile(GROUP_EXPR);
    e.getData().prepare(nullptr);
    const basic_node* root = e.getParser()->getRoot();
    for (auto _ : state) {
        benchmark::DoNotOptimize(root->calc(&e.getData()));
    }
}
BENCHMARK(BM_TreeCalc);

void BM_ExprCalc(benchmark::State& state) {
    Expr e;
    e.compile(GROUP_EXPR);
    e.getData().prepare(nullptr);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.calc());
    }
    if (!boost::any_cast<bool>(e.getResult())) state.SkipWithError("wrong result");
}
BENCHMARK(BM_ExprCalc);

void BM_ExprCalcWithFunction(benchmark::State& state) {
    registerLeft();
    Expr e;
    e.compile(FUNC_EXPR);
    e.getData().prepare(nullptr);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.calc());
    }
    if (!boost::any_cast<bool>(e.getResult())) state.SkipWithError("wrong result");
}
BENCHMARK(BM_ExprCalcWithFunction);

// A long list of alternatives, walked with a loop.
void BM_ExprCalcAlternatives(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 100; ++i) {
        if (i) text += " || ";
        text += "I_CODE == \"6000" + std::to_string(10 + i) + "\"";
    }
    Expr e;
    e.compile(text);
    e.getData().prepare(nullptr);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.calc());
    }
}
BENCHMARK(BM_ExprCalcAlternatives);

}  // namespace
