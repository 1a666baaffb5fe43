// The summary of a classification tree after a book went through it: per
// node its code, name, depth, the number of holdings that reached it and the
// sum of every numeric column over them.  It is built while the book streams
// (from each holding's group path), so it needs no holdings in memory.
//
// Catch-all ("xother") nodes, which the library adds only when it sorts a
// whole book in memory, are listed where holdings reached them.
//
// Not thread-safe.
#ifndef ZU_ZOZOV_TOOLS_TREEREPORT_H
#define ZU_ZOZOV_TOOLS_TREEREPORT_H

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tools/book.h"
#include "zu_zozov/zu_zozov.h"

namespace qvt {
namespace ht {
namespace tool {

struct CTreeReportNode {
    int depth = 0;
    std::string ruleCode;  // UTF-8; empty for the root
    std::string nodeCode;  // UTF-8; the tree's code for the root
    std::string name;      // UTF-8
    std::uint64_t count = 0;
    std::vector<double> sums;  // one per numeric column (CTreeStats::getNumericColumns)
};

class CTreeStats {
  public:
    explicit CTreeStats(const std::vector<CBookColumn>& columns);

    // Counts a holding with its group path (as CXTree::grpPath gives it, GBK).
    void add(const std::string& path, const CBookRow& row);

    // The names of the numeric columns: typed numbers, and untyped columns
    // whose every non-empty field was a number.
    std::vector<std::string> getNumericColumns() const;

    // The nodes of tree in pre-order, with their counts and sums.
    std::vector<CTreeReportNode> report(const CXTree& tree, const std::string& rootCode) const;

  private:
    struct Totals {
        std::uint64_t count = 0;
        std::vector<double> sums;
    };
    void addTo(const std::string& key, const CBookRow& row);

    std::vector<CBookColumn> m_columns;
    std::vector<char> m_numeric;             // per column: no non-number seen
    std::map<std::string, Totals> m_totals;  // by path prefix ("" is the root)
};

// One line per node, indented two spaces per level: code, name, count.
void printTree(std::ostream& out, const std::vector<CTreeReportNode>& nodes);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_TREEREPORT_H
