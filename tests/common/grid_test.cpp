#include "common/grid.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/tree.h"

namespace {

using qvtlib::common::CNode;
using qvtlib::common::CTree;
using qvtlib::common::table;
using qvtlib::common::tuple;

std::string written(table<tuple>& t) {
    std::ostringstream os;
    t.write(os);
    return os.str();
}

TEST(Grid, EnabledTableWritesColumnsRowsAndNestedTables) {
    table<tuple> t(true);
    tuple& a = t.row("a");
    a.setValue("code", "A1");
    a.setValue("na\tme", "first");  // a tab in a column name is written as '/'
    tuple& b = t.row("b");
    b.setValue("code", "B1");
    table<tuple>& nested = b.subTable("sub");
    EXPECT_EQ(1, nested.getLevel());
    nested.row("x").setValue("v", "1");
    nested.row("y").setValue("v", "2");
    // Rows in key order, blank line between rows (indented by the level),
    // columns after the first on a new line indented by the level.
    EXPECT_EQ(
        "code\tA1\nna/me\tfirst\nsub\t"
        "\n\n"
        "code\tB1\nna/me\t\nsub\tv\t1\n\n\tv\t2",
        written(t));
    // Writing consumed the rows; the columns stay.
    EXPECT_EQ(3u, t.getColumns().size());
    EXPECT_EQ("", written(t));
    // A value stored over a nested table replaces it.
    tuple& c = t.row("c");
    table<tuple>& old = c.subTable("sub");
    old.row("").setValue("v", "x");
    c.setValue("sub", "plain");
    std::ostringstream row;  // a row written alone
    c.write(row);
    EXPECT_EQ("code\t\nna/me\t\nsub\tplain", row.str());
    EXPECT_TRUE(c.subTable("sub").getRows().empty());  // a fresh table
}

TEST(Grid, DisabledTableSwallowsEverything) {
    table<tuple> t(false);
    tuple& r = t.row("a");
    EXPECT_EQ(&r, &t.row("b"));
    EXPECT_EQ("", t.column("c")->getName());
    EXPECT_EQ(&t, &r.subTable("sub"));
    r.setValue("v", "1");
    EXPECT_TRUE(r.getCells().empty());
    EXPECT_EQ("", written(t));
}

struct DNode : CNode<DNode> {
    DNode* clone() const override { return new DNode(*this); }
};

TEST(Grid, TreeDumpNestsOneTablePerLevel) {
    CTree<DNode> tree;
    DNode* root = tree.createNode();
    tree.setRoot(root);
    root->appendChild(tree.createNode());
    root->appendChild(tree.createNode())->appendChild(tree.createNode());
    table<tuple> t(true);
    tree.dump(t.row("r"));
    // tree -> node_attr (root) -> node_attr (both children share the
    // empty-key row) -> node_attr (grandchild): depth, not node count.
    table<tuple>* level = &t.row("r").subTable("tree");
    for (int depth = 1; depth <= 4; ++depth) {
        EXPECT_EQ(1u, level->getRows().size()) << depth;
        EXPECT_EQ(depth, level->getLevel());
        if (depth < 4) level = &level->row("").subTable("node_attr");
    }
    EXPECT_TRUE(level->row("").getCells().empty());
    EXPECT_EQ("tree\tnode_attr\tnode_attr\tnode_attr\t", written(t));
    // A disabled table: the dump leaves nothing.
    table<tuple> off(false);
    tree.dump(off.row(""));
    EXPECT_TRUE(off.row("").getCells().empty());
    EXPECT_EQ("", written(off));
}

}  // namespace
