// Fuzz target: rule-definition XML as hosts hand it in.
//
// Parses the input with CDomXMLCore::input, builds a CXDefTree from the
// document and collects its rule codes; then builds the same tree again, which
// gives the old nodes back to the pool and reuses them.  Any crash, leak,
// sanitizer report or escaping exception is a finding; malformed XML and
// unsupported trees are answers.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "log/logout.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/xDefTree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        zAZir4::setSink([](const char*, const char*, const char*, const char*, int) {});
        return true;
    }();
    static_cast<void>(quiet);

    const std::string text(reinterpret_cast<const char*>(data), size);
    vODodi::XML::CDomXMLCore doc;
    if (!doc.input(text)) return 0;

    qvt::ht::CXDefTree tree;
    std::set<std::string> codes;
    for (int round = 0; round < 2; ++round) {
        static_cast<void>(tree.build(doc));
        tree.getRuleCodes(codes);
        static_cast<void>(tree.getTreeType());
    }
    static_cast<void>(tree.getErrorInfo());
    return 0;
}
