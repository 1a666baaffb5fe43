// Classification trees: sorting holdings into a three-level tree and asking
// each holding's group path.
//
// The tree: rule ASSET (10 groups) above REGION (20 groups, each with the
// expression "W > 0") above SECTOR (30 groups), 6,211 nodes in all.  Each
// holding names its groups through the named attributes ASSET, REGION and
// SECTOR; one in 97 has an asset class the rule does not know, one in 41 a
// negative W (so it misses every region).  BM_PlainPaths is the lower bound: a
// hand-written function that computes the same paths from the same
// attributes and buckets the holdings by path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/fakeData.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/xDefTree.h"
#include "zu_zozov/xTree.h"

namespace {

using qvt::ht::CGroupInstrument;

const int HOLDINGS = 100000;

std::string code(char prefix, int i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%c%02d", prefix, i);
    return buf;
}

// The three rules of the benchmark tree, served by the shared fake provider.
boost::shared_ptr<testsupport::FakeData> makeData() {
    boost::shared_ptr<testsupport::FakeData> data(new testsupport::FakeData());
    data->recordCalls = false;
    const auto addRule = [&data](const std::string& ruleCode, char prefix, int n,
                                 const std::string& expr) {
        qvt::ht::CGrpRule& rule = data->ownRule(ruleCode);
        for (int i = 0; i < n; ++i) {
            qvt::ht::CGroup* g = new qvt::ht::CGroup();
            g->setCode(code(prefix, i));
            g->setName(code(prefix, i));
            g->setExpression(expr);
            rule.addGroup(g);
        }
    };
    addRule("ASSET", 'A', 10, "");
    addRule("REGION", 'R', 20, "W > 0");
    addRule("SECTOR", 'S', 30, "");
    return data;
}

const char* const DEFINITION =
    "<GroupTree Code='BENCH' Name='bench'>"
    "<GroupRule Code='ASSET'><GroupRule Code='REGION'><GroupRule Code='SECTOR'/>"
    "</GroupRule></GroupRule></GroupTree>";

std::map<std::string, CGroupInstrument> makeHoldings() {
    std::map<std::string, CGroupInstrument> holds;
    unsigned state = 12345;
    for (int i = 0; i < HOLDINGS; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned r = state >> 8;
        char key[16];
        std::snprintf(key, sizeof key, "h%06d", i);
        CGroupInstrument& inst = holds[key];
        inst.setiCode(key);
        inst.addAttr("ASSET", code('A', i % 97 == 0 ? 50 : static_cast<int>(r % 10)));
        inst.addAttr("REGION", code('R', static_cast<int>((r / 10) % 20)));
        inst.addAttr("SECTOR", code('S', static_cast<int>((r / 200) % 30)));
        inst.addAttr("W", i % 41 == 0 ? -1.0 : 1.0);
        inst.addAttr("P_CODE1", std::string("CN"));
        inst.addAttr("P_CODE2", std::string("STOCK"));
    }
    return holds;
}

struct Bench {
    Bench() : data(makeData()), holds(makeHoldings()) {
        vODodi::XML::CDomXMLCore doc;
        doc.input(DEFINITION);
        def.build(doc);
    }
    // A fresh tree (no catch-all nodes yet) with compiled expressions.
    void rebuild(qvt::ht::CXTree& tree) {
        tree.buildByRuleDefs(def.getRoot());
        tree.createRuleExprs();
    }
    boost::shared_ptr<testsupport::FakeData> data;
    qvt::ht::CXDefTree def;
    std::map<std::string, CGroupInstrument> holds;
};

Bench& bench() {
    static Bench b;
    return b;
}

void BM_XTreeAppendHolds(benchmark::State& state) {
    Bench& b = bench();
    qvt::ht::CXTree tree(b.data);
    for (auto _ : state) {
        state.PauseTiming();
        b.rebuild(tree);
        state.ResumeTiming();
        benchmark::DoNotOptimize(tree.appendHolds(b.holds, false));
    }
    state.SetItemsProcessed(state.iterations() * HOLDINGS);
}
BENCHMARK(BM_XTreeAppendHolds)->Unit(benchmark::kMillisecond);

void BM_XTreeGrpPath(benchmark::State& state) {
    Bench& b = bench();
    qvt::ht::CXTree tree(b.data);
    b.rebuild(tree);
    for (auto _ : state) {
        std::size_t total = 0;
        for (std::map<std::string, CGroupInstrument>::const_iterator it = b.holds.begin();
             it != b.holds.end(); ++it) {
            total += tree.grpPath(it->second).size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * HOLDINGS);
}
BENCHMARK(BM_XTreeGrpPath)->Unit(benchmark::kMillisecond);

// The task as a host runs it: sort the holdings, then ask each one's path.
void BM_XTreeSortAndPaths(benchmark::State& state) {
    Bench& b = bench();
    qvt::ht::CXTree tree(b.data);
    for (auto _ : state) {
        state.PauseTiming();
        b.rebuild(tree);
        state.ResumeTiming();
        tree.appendHolds(b.holds, false);
        std::size_t total = 0;
        for (std::map<std::string, CGroupInstrument>::const_iterator it = b.holds.begin();
             it != b.holds.end(); ++it) {
            total += tree.grpPath(it->second).size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * HOLDINGS);
}
BENCHMARK(BM_XTreeSortAndPaths)->Unit(benchmark::kMillisecond);

// Lower bound: the same paths by hand, the holdings bucketed by path.
const std::string* stringAttr(const CGroupInstrument& inst, const std::string& name) {
    const boost::any* v = inst.findAttr(name);
    return v == nullptr ? nullptr : boost::any_cast<std::string>(v);
}

std::string plainPath(const CGroupInstrument& inst, const std::set<std::string>& assets,
                      const std::set<std::string>& regions, const std::set<std::string>& sectors) {
    static const std::string ASSET = "ASSET", REGION = "REGION", SECTOR = "SECTOR", W = "W";
    const std::string* a = stringAttr(inst, ASSET);
    if (a == nullptr || assets.count(*a) == 0) return "ASSET.xother";
    std::string path = "ASSET." + *a;
    const std::string* r = stringAttr(inst, REGION);
    const boost::any* w = inst.findAttr(W);
    const double* wd = w == nullptr ? nullptr : boost::any_cast<double>(w);
    if (r == nullptr || regions.count(*r) == 0 || wd == nullptr || !(*wd > 0)) {
        return path + "/REGION.xother";
    }
    path += "/REGION." + *r;
    const std::string* s = stringAttr(inst, SECTOR);
    if (s == nullptr || sectors.count(*s) == 0) return path + "/SECTOR.xother";
    return path + "/SECTOR." + *s;
}

void BM_PlainPaths(benchmark::State& state) {
    Bench& b = bench();
    std::set<std::string> assets, regions, sectors;
    for (int i = 0; i < 10; ++i) assets.insert(code('A', i));
    for (int i = 0; i < 20; ++i) regions.insert(code('R', i));
    for (int i = 0; i < 30; ++i) sectors.insert(code('S', i));
    for (auto _ : state) {
        std::unordered_map<std::string, std::vector<const std::string*> > buckets;
        for (std::map<std::string, CGroupInstrument>::const_iterator it = b.holds.begin();
             it != b.holds.end(); ++it) {
            buckets[plainPath(it->second, assets, regions, sectors)].push_back(&it->first);
        }
        benchmark::DoNotOptimize(buckets.size());
    }
    state.SetItemsProcessed(state.iterations() * HOLDINGS);
}
BENCHMARK(BM_PlainPaths)->Unit(benchmark::kMillisecond);

}  // namespace
