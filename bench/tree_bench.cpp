// Node tree, pool and rule-definition reader.
#include <benchmark/benchmark.h>

#include <string>

#include "common/tree.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/xDefTree.h"

namespace {

struct BNode : qvtlib::common::CNode<BNode> {
    BNode* clone() const override { return new BNode(*this); }
};

// A root with state.range(0) children, each with one child, taken from the
// pool and given back: the cost of one rebuild of a pooled tree.
void BM_PoolTreeRebuild(benchmark::State& state) {
    qvtlib::common::CTree<BNode> tree;
    const int64_t width = state.range(0);
    for (auto _ : state) {
        BNode* root = tree.createNode();
        tree.setRoot(root);
        BNode* last = root->appendChild(tree.createNode());
        last->appendChild(tree.createNode());
        for (int64_t i = 1; i < width; ++i) {
            last = last->insertNextSibling(tree.createNode());
            last->appendChild(tree.createNode());
        }
        benchmark::DoNotOptimize(tree.size());
        tree.reset();
    }
    state.SetItemsProcessed(state.iterations() * (2 * width + 1));
}
BENCHMARK(BM_PoolTreeRebuild)->Arg(100)->Arg(10000);

// Reading a parsed definition with state.range(0) rule elements of five
// groups each.
void BM_DefTreeBuild(benchmark::State& state) {
    std::string xml = "<GroupTree Code='T' Name='tree'>";
    for (int64_t i = 0; i < state.range(0); ++i) {
        xml += "<GroupRule Code='R" + std::to_string(i) + "' Name='rule'>";
        for (int g = 0; g < 5; ++g) xml += "<Group Code='G" + std::to_string(g) + "'/>";
        xml += "</GroupRule>";
    }
    xml += "</GroupTree>";
    vODodi::XML::CDomXMLCore doc;
    if (!doc.input(xml)) state.SkipWithError("input failed");
    qvt::ht::CXDefTree tree;
    for (auto _ : state) benchmark::DoNotOptimize(tree.build(doc));
    state.SetItemsProcessed(state.iterations() * (state.range(0) * 6 + 1));
}
BENCHMARK(BM_DefTreeBuild)->Arg(10)->Arg(1000);

}  // namespace
