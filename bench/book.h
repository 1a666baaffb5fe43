// A generated book of holdings shaped like a real one, the 50-group rule and
// the three-level tree that classify it, and hand-written C++ versions of both
// as yardsticks.  Shared by the book benchmarks (book_bench.cpp) and any other
// benchmark that wants the same data.
//
// A holding: the instrument code, A_TYPE = the category letter of its ISO
// 10962 CFI code, M_TYPE = its market (MIC), P_CODE1 = the CFI group (the first
// two letters of the CFI code), P_CODE2 = a sector, P_CODE3 = a rating,
// P_CODE4 = a currency on a few holdings, P_CODE5..8 empty, and the named
// attribute MKT_VAL (a double; negative for short positions).  For the tree
// each holding also carries the group codes G_CODE1 (asset class, 10 groups),
// G_CODE2 (country, 20 groups) and G_CODE3 (industry, 30 groups) as named
// string attributes, as a host stores the results of earlier classifications.
//
// Everything here is deterministic: the same size and seed give the same book
// (the generator uses std::mt19937 and its own arithmetic, never the standard
// library's distributions, whose output differs between implementations).
//
// Thread-safety: the functions may be called from any thread; a PlainTree is
// immutable after construction.  The rules served by makeTreeData are the
// library's objects, with the library's rules for threads.
#ifndef ZU_ZOZOV_BENCH_BOOK_H
#define ZU_ZOZOV_BENCH_BOOK_H

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/htGroupData.h"

namespace bookbench {

// One holding as plain data.
struct Holding {
    std::string key;  // the holding key of the tree's holdings map
    std::string iCode;
    std::string aType;
    std::string mType;
    std::string acctCode;
    std::string pCode[8];
    double mktVal;
    std::string gCode[3];  // G_CODE1..3: the groups of the tree's three rules
};

// The number of holdings the book benchmarks use: ZU_ZOZOV_BOOK_SIZE when it
// is set to a positive number (suffixes k and m multiply by 1,000 and
// 1,000,000), else 1,000,000.
std::size_t bookSize();

// count holdings from seed; the same arguments give the same book.
std::vector<Holding> makeBook(std::size_t count, std::uint32_t seed = 20240611u);

// The record the library classifies: the twelve-string constructor, then
// MKT_VAL.  With withTreeCodes also G_CODE1..3.
qvt::ht::CGroupInstrument toInstrument(const Holding& h, bool withTreeCodes);

// ---- The 50-group rule -----------------------------------------------------

const int RULE_GROUPS = 50;
const int XOTHER = -1;  // the group index of "xother"

struct RuleGroup {
    const char* code;  // "G01".."G50": byte-wise order is table order
    const char* name;
    const char* exp;  // the group expression of the library
    const char* sql;  // the same condition in SQL over the table of sqlCreateTable
};

// The rule's groups in code order.
const RuleGroup* ruleGroups();
// The rule as group-rule XML (Group elements with Code, Name and Exp).
std::string ruleXml();
// The group index (0..49) of a group code, XOTHER for "xother", -2 otherwise.
int groupIndex(const char* code, std::size_t len);
inline int groupIndex(const std::string& code) { return groupIndex(code.data(), code.size()); }
// The code of a group index (XOTHER gives "xother").
const std::string& groupCode(int index);

// The rule hand-written in C++: the index of the first group that holds, or
// XOTHER.
int plainGroup(const Holding& h);

// SQL: the table the book is loaded into and the rule as one CASE WHEN over
// it, giving the group code (ELSE 'xother').
const char* sqlCreateTable();  // CREATE TABLE book(...)
const char* sqlInsert();       // INSERT with 13 parameters in column order
std::string sqlCaseQuery();    // SELECT CASE ... END FROM book ORDER BY rowid

// Figures of the book under the rule: groups tried per holding on average
// (the position of the winning group, 50 for "xother") and the share of
// holdings in "xother", from plainGroup.
struct RuleStats {
    double groupsTried;
    double xotherShare;
};
RuleStats ruleStats(const std::vector<Holding>& book);

// ---- The three-level tree -------------------------------------------------

// Rule codes of the three levels; each names the attribute that carries the
// holding's group under that rule.
extern const char* const TREE_RULES[3];
// Groups per level: 10, 20, 30.
extern const int TREE_GROUPS[3];
// The group codes of level (0..2).
const std::vector<std::string>& treeGroupCodes(int level);
// The expression of every level-2 group: long positions only.
extern const char* const TREE_LEVEL2_EXPR;
// The tree definition XML (GroupTree > GroupRule > GroupRule > GroupRule).
const char* treeDefinitionXml();

// The data provider the tree is built with: serves the three group-list rules.
boost::shared_ptr<qvt::ht::IHTGroupData> makeTreeData();

// The tree hand-written in C++: the index of the leaf a holding ends in and
// its group path (the same text as CXTree::grpPath after appendHolds).
class PlainTree {
  public:
    PlainTree();
    // Leaf index of h in [0, leafCount()).
    int leafOf(const Holding& h) const;
    int leafCount() const { return static_cast<int>(m_paths.size()); }
    // The group path of a leaf, e.g. "G_CODE1.EQ/G_CODE2.CN/G_CODE3.IG05".
    const std::string& leafPath(int leaf) const { return m_paths[leaf]; }
    // The path built anew from the holding's codes, as a host would build it.
    std::string pathOf(const Holding& h) const;

  private:
    int lookup(int level, const std::string& code) const;
    std::unordered_map<std::string, int> m_index[3];
    std::vector<std::string> m_paths;
};

}  // namespace bookbench

#endif  // ZU_ZOZOV_BENCH_BOOK_H
