#include "tools/treeReport.h"

#include <utility>

#include "tools/encoding.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

std::string childKey(const std::string& parent, const std::string& rule, const std::string& code) {
    return (parent.empty() ? std::string() : parent + "/") + rule + "." + code;
}

}  // namespace

CTreeStats::CTreeStats(const std::vector<CBookColumn>& columns) : m_columns(columns) {
    for (const CBookColumn& col : columns) {
        m_numeric.push_back(!col.fixed && col.type != TYPE_STRING && col.type != TYPE_BOOL);
    }
}

void CTreeStats::addTo(const std::string& key, const CBookRow& row) {
    Totals& t = m_totals[key];
    ++t.count;
    t.sums.resize(m_columns.size(), 0.0);
    for (std::size_t i = 0; i < m_columns.size() && i < row.isNumber.size(); ++i) {
        if (row.isNumber[i]) t.sums[i] += row.numbers[i];
    }
}

void CTreeStats::add(const std::string& path, const CBookRow& row) {
    for (std::size_t i = 0; i < m_columns.size() && i < row.isNumber.size(); ++i) {
        if (m_numeric[i] && !row.isNumber[i] && !row.record.fields[i].empty()) m_numeric[i] = 0;
    }
    addTo(std::string(), row);
    for (std::size_t at = path.find('/'); !path.empty(); at = path.find('/', at + 1)) {
        addTo(path.substr(0, at), row);
        if (at == std::string::npos) break;
    }
}

std::vector<std::string> CTreeStats::getNumericColumns() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_numeric[i]) names.push_back(m_columns[i].name);
    }
    return names;
}

std::vector<CTreeReportNode> CTreeStats::report(const CXTree& tree,
                                                const std::string& rootCode) const {
    struct Item {
        const CXTreeNode* node;  // null for a catch-all node made here
        int depth;
        std::string key;
        std::string rule;  // of a catch-all node
    };
    std::vector<CTreeReportNode> out;
    std::vector<Item> stack;
    if (tree.getRoot()) stack.push_back(Item{tree.getRoot(), 0, std::string(), std::string()});
    while (!stack.empty()) {
        Item item = std::move(stack.back());
        stack.pop_back();
        CTreeReportNode node;
        node.depth = item.depth;
        if (item.node) {
            node.ruleCode = gbkToUtf8(item.node->getRuleCode());
            node.nodeCode = item.depth == 0 ? rootCode : gbkToUtf8(item.node->getNodeCode());
            node.name = gbkToUtf8(item.node->getName());
        } else {
            node.ruleCode = gbkToUtf8(item.rule);
            node.nodeCode = "xother";
        }
        auto found = m_totals.find(item.key);
        if (found != m_totals.end()) node.count = found->second.count;
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            if (!m_numeric[i]) continue;
            node.sums.push_back(found != m_totals.end() && i < found->second.sums.size()
                                    ? found->second.sums[i]
                                    : 0.0);
        }
        out.push_back(node);
        if (!item.node) continue;
        // Children in order, then a catch-all node where holdings reached one.
        std::vector<Item> children;
        bool hasOther = false;
        for (const CXTreeNode* c = item.node->getChild(); c; c = c->getNextSibling()) {
            hasOther = hasOther || c->getNodeCode() == "xother";
            children.push_back(Item{c, item.depth + 1,
                                    childKey(item.key, c->getRuleCode(), c->getNodeCode()),
                                    std::string()});
        }
        if (!children.empty() && !hasOther) {
            const std::string& rule = item.node->getChild()->getRuleCode();
            const std::string key = childKey(item.key, rule, "xother");
            if (m_totals.count(key)) children.push_back(Item{nullptr, item.depth + 1, key, rule});
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
    }
    return out;
}

void printTree(std::ostream& out, const std::vector<CTreeReportNode>& nodes) {
    for (const CTreeReportNode& n : nodes) {
        out << std::string(static_cast<std::size_t>(n.depth) * 2, ' ') << n.nodeCode;
        if (!n.name.empty()) out << ' ' << n.name;
        out << "  " << n.count << '\n';
    }
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
