// grpCode and grpPath find a level's matching node through an index of its
// siblings' codes that the parent keeps between calls; every change to the
// children (a linking operation, a code) must be seen by the next call.
#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "expr/value.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/xTree.h"

namespace {

using qvt::ht::CGroupInstrument;
using qvt::ht::CXTree;
using qvt::ht::CXTreeNode;

// Whether n takes inst, from the texts alone (the nodes here have no
// expressions): no rule code, a catch-all node, or the attribute named like
// the rule code carrying the node code, as a text or as a number.
bool takes(const CXTreeNode* n, const CGroupInstrument& inst) {
    if (n->getRuleCode().empty() || n->getNodeCode() == "xother") return true;
    const boost::any* value = inst.findAttr(n->getRuleCode());
    if (value == nullptr) return false;
    if (const std::string* text = boost::any_cast<std::string>(value)) {
        return *text == n->getNodeCode();
    }
    const double* number = boost::any_cast<double>(value);
    return number != nullptr &&
           qvtlib::expr::doubleEqual(*number, std::atof(n->getNodeCode().c_str()));
}

// The code of the deepest node with a code along the first matching branch,
// read literally: at each level the first child that takes the instrument.
std::string literalCode(const CXTree& tree, const CGroupInstrument& inst) {
    std::string code;
    for (CXTreeNode* chain = tree.getRoot(); chain != nullptr;) {
        CXTreeNode* n = chain;
        while (n != nullptr && !takes(n, inst)) n = n->getNextSibling();
        if (n == nullptr) break;
        if (!n->getNodeCode().empty()) code = n->getNodeCode();
        chain = n->getChild();
    }
    return code;
}

TEST(XTreePath, TheSiblingIndexFollowsEveryChangeOfTheChildren) {
    CXTree tree{boost::shared_ptr<qvt::ht::IHTGroupData>()};
    CXTreeNode* root = tree.createNode();
    tree.setRoot(root);
    // Codes of every length the index packs into words (up to 16 bytes) and
    // beyond, differing in one byte or in their length only.
    const std::vector<std::string> codes = {"A",
                                            "B",
                                            "",
                                            "AB",
                                            "AC",
                                            "ABC",
                                            "ABD",
                                            "AXC",
                                            "ABCDE",
                                            "ABCDF",
                                            "ABCDEFGH",
                                            "ABCDEFGI",
                                            "ABCDEFGHI",
                                            "ABCDEFGHJ",
                                            "ABCDEFGHIJKL",
                                            "ABCDEFGHXJKL",
                                            "ABCDEFGHIJKLMNOP",
                                            "ABCDEFGHIJKLMNOQ",
                                            "ABCDEFGHIJKLMNOPQ",
                                            "ABCDEFGHIJKLMNOPR"};
    std::mt19937 rnd(7);
    const auto pick = [&rnd](std::size_t n) { return static_cast<std::size_t>(rnd() % n); };
    const auto code = [&]() {
        return pick(12) == 0 ? std::string("xother") : codes[pick(codes.size())];
    };
    // Each node has one child that takes every instrument and names the
    // node, so grpCode tells which sibling was taken.
    int made = 0;
    const auto make = [&](const char* rule) {
        CXTreeNode* n = tree.createNode();
        n->setRuleCode(rule);
        n->setNodeCode(code());
        CXTreeNode* tag = tree.createNode();
        tag->setNodeCode("n" + std::to_string(made++));
        n->appendChild(tag);
        return n;
    };
    for (int i = 0; i < 12; ++i) root->appendChild(make("R"));

    std::vector<CGroupInstrument> insts(codes.size() + 2);
    for (std::size_t i = 0; i < codes.size(); ++i) insts[i].addAttr("R", codes[i]);
    // Compared as a number; no attribute at all in the last one.
    insts[codes.size()].addAttr("R", 1.0);

    for (int step = 0; step < 400; ++step) {
        std::vector<CXTreeNode*> kids;
        for (CXTreeNode* c = root->getChild(); c != nullptr; c = c->getNextSibling()) {
            kids.push_back(c);
        }
        CXTreeNode* k = kids.empty() ? nullptr : kids[pick(kids.size())];
        switch (k == nullptr ? 0 : pick(7)) {
            case 0:
                root->appendChild(make("R"));
                break;
            case 1:
                k->insertPreSibling(make(pick(8) == 0 ? "Q" : "R"));
                break;
            case 2:
                k->insertNextSibling(make("R"));
                break;
            case 3:
                k->setNodeCode(code());
                break;
            case 4:
                k->setRuleCode(pick(6) == 0 ? "Q" : "R");
                break;
            case 5:
                if (kids.size() > 6) tree.destroyNode(k);
                break;
            default: {
                CXTreeNode* out = k->replace(make("R"));
                tree.destroyNode(out);
                break;
            }
        }
        for (std::size_t i = 0; i < insts.size(); ++i) {
            ASSERT_EQ(tree.grpCode(insts[i]), literalCode(tree, insts[i]))
                << "step " << step << ", instrument " << i;
        }
    }
}

}  // namespace
