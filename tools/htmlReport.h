// The tree report of the command-line tool: one self-contained HTML page
// (inline CSS and script, nothing fetched) that shows a classification tree
// as a table, one row per node with its code, name, number of holdings and
// the sum of each numeric column. Rows below a node fold away with a click;
// buttons open or close every level or hide the nodes without holdings, and
// "#level=N" (or "#all") in the page's address chooses how many levels are
// open when it loads (default 2).
// Without script the page shows every row.
//
// The writer knows nothing of the library's classes: the caller hands it the
// nodes in pre-order (a node, then its subtree), each with its depth, and it
// writes them as they come, holding back only the last row (whether a node
// has children is known when the next node arrives). All text is UTF-8; it is
// escaped for HTML, and bytes that are not valid UTF-8 show as U+FFFD.
//
// Rows carry data-depth, data-path (the codes from depth 1 down to the node,
// joined by "/"; empty for a root at depth 0) and data-count, for scripts
// that read the page.
//
// Not thread-safe; one writer per page.
#ifndef ZU_ZOZOV_TOOLS_HTMLREPORT_H
#define ZU_ZOZOV_TOOLS_HTMLREPORT_H

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace qvt {
namespace ht {
namespace tool {

// One node of the tree.
struct CHtmlNode {
    int depth = 0;             // 0 for the root; a child is one deeper than its parent
    std::string code;          // node code, UTF-8
    std::string name;          // display name, UTF-8
    std::uint64_t count = 0;   // holdings counted at the node
    std::vector<double> sums;  // one per numeric column of the head, in its order
};

// What the page says above the tree.
struct CHtmlHead {
    std::string title;  // page title and heading
    // Label and value lines under the heading (book, rules, holdings read, ...).
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<std::string> columns;  // names of the numeric columns summed per node
};

class CHtmlReport {
  public:
    // Writes the page's head, the heading and the table's header to out,
    // which must outlive the writer.
    CHtmlReport(std::ostream& out, const CHtmlHead& head);
    CHtmlReport(const CHtmlReport&) = delete;
    CHtmlReport& operator=(const CHtmlReport&) = delete;

    // The next node in pre-order. A depth more than one below the previous
    // node's is taken as one below it, a negative depth as 0. The first node
    // is a root (depth 0) or the first of several tops (depth 1; a deeper
    // first node is taken as 1).
    void addNode(const CHtmlNode& node);

    // Writes the last row and the end of the page; nodes added afterwards are
    // ignored. Returns whether every write to the stream succeeded.
    bool finish();

  private:
    void writeRow(bool hasChildren);

    std::ostream& m_out;
    std::size_t m_columns;
    std::vector<std::string> m_path;  // codes of the pending node's ancestors and its own
    CHtmlNode m_pending;
    bool m_hasPending = false;
    bool m_finished = false;
};

// The whole page at once: the head, every node of nodes (pre-order), the end.
bool writeHtmlReport(std::ostream& out, const CHtmlHead& head, const std::vector<CHtmlNode>& nodes);

// Text made safe for HTML content and quoted attribute values: & < > " '
// become character references, invalid UTF-8 and control characters other
// than tab, line feed and carriage return become U+FFFD.
std::string htmlEscape(const std::string& text);

// A number with thousands separators and two decimals ("-1,234,567.80");
// "n/a" for infinities and NaN.
std::string formatAmount(double value);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_HTMLREPORT_H
