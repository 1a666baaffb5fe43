// Costs of the instrument record's key and XML forms, and of the GBK
// conversions that tree export pays per attribute.
#include <benchmark/benchmark.h>

#include <string>

#include "xml/domXMLCore.h"
#include "xml/xmlString.h"
#include "zu_zozov/groupInstrument.h"

namespace {

qvt::ht::CGroupInstrument sample() {
    qvt::ht::CGroupInstrument inst("600000", "S", "SH", "ACC1", "p1", "p2", "p3", "p4", "p5", "p6",
                                   "p7", "p8");
    inst.addAttr("P_CODE2", 1234.5);
    return inst;
}

void BM_InstrumentToKey(benchmark::State& state) {
    const qvt::ht::CGroupInstrument inst = sample();
    for (auto _ : state) benchmark::DoNotOptimize(inst.toKey());
}
BENCHMARK(BM_InstrumentToKey);

void BM_InstrumentGetAttributeAsString(benchmark::State& state) {
    const qvt::ht::CGroupInstrument inst = sample();
    const std::string name = "P_CODE5";
    for (auto _ : state) benchmark::DoNotOptimize(inst.getAttributeAsString(name));
}
BENCHMARK(BM_InstrumentGetAttributeAsString);

void BM_InstrumentToXML(benchmark::State& state) {
    const qvt::ht::CGroupInstrument inst = sample();
    vODodi::XML::CDomXMLCore doc;
    for (auto _ : state) {
        xercesc::DOMElement* element = inst.toXML(doc);
        benchmark::DoNotOptimize(element);
        element->release();
    }
}
BENCHMARK(BM_InstrumentToXML);

void BM_GbkToXMLCh(benchmark::State& state) {
    // "证券投资基金" in GBK.
    const std::string text = state.range(0) != 0
                                 ? std::string("\xD6\xA4\xC8\xAF\xCD\xB6\xD7\xCA\xBB\xF9\xBD\xF0")
                                 : std::string("GroupRuleCode");
    for (auto _ : state) {
        vODodi::XML::CToXMLCh converted(text);
        benchmark::DoNotOptimize(vODodi::XML::fromXMLCh(converted.get()));
    }
}
BENCHMARK(BM_GbkToXMLCh)->Arg(0)->Arg(1);

}  // namespace
