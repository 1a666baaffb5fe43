// Per-instrument cost of the group functions that run inside the library:
// inColl (string and number items) and substr.
#include <benchmark/benchmark.h>

#include <boost/any.hpp>
#include <string>

#include "zu_zozov/grpExpr.h"

namespace {

const char kList[] =
    "600000, 600004, 600006, 600007, 600008, 600009, 600010, 600011, 600015, 600016,"
    "600018, 600019, 600020, 600021, 600022, 600023, 600025, 600026, 600027, 600028";

void runCall(benchmark::State& state, const qvtlib::expr::basic_function& f, const boost::any& a,
             const boost::any& b, const boost::any* c) {
    for (auto _ : state) {
        f.addParamValue(a);
        f.addParamValue(b);
        if (c != nullptr) f.addParamValue(*c);
        boost::any r = f.calcFunc(nullptr);
        benchmark::DoNotOptimize(r);
        f.clear();
    }
}

void BM_inColl_stringLastItem(benchmark::State& state) {
    const qvt::ht::CGrpFunc_inColl f;
    runCall(state, f, boost::any(std::string("600028")), boost::any(std::string(kList)), nullptr);
}
BENCHMARK(BM_inColl_stringLastItem);

void BM_inColl_numberNoMatch(benchmark::State& state) {
    const qvt::ht::CGrpFunc_inColl f;
    runCall(state, f, boost::any(1.0), boost::any(std::string(kList)), nullptr);
}
BENCHMARK(BM_inColl_numberNoMatch);

void BM_substr_prefix(benchmark::State& state) {
    const qvt::ht::CGrpFunc_substr f;
    const boost::any length(3.0);
    runCall(state, f, boost::any(std::string("600028.SH")), boost::any(0.0), &length);
}
BENCHMARK(BM_substr_prefix);

}  // namespace
