// Tabular dump: nested data written as indented, tab-separated text.
//
// A table<tuple> holds rows (tuple) by key; a row holds named cells; a cell is
// either a plain text value (grid) or a nested table.  Every column a row may
// fill is registered in its table, and the table writes its rows column by
// column, in the order the columns were registered.  A nested table is indented
// one tab deeper than the table that owns it.
//
// A table is made enabled or disabled.  A disabled table swallows everything:
// it keeps at most one row, records no columns, hands itself out as every
// nested table and writes nothing, so dump calls can stay in place at no cost.
//
// Ownership: tables, rows, columns and cells are held by boost::shared_ptr; a
// row belongs to its table, a nested table to the cell that holds it.  Writing
// a table consumes its rows (its columns stay).
//
// Nesting follows the data (a tree's dump nests one table per level), so
// writing and freeing walk the nested tables with a heap stack, never with
// recursion: tables nested 100,000 deep work on a small stack.
//
// Thread-safety: none; a table and everything in it belong to one thread.
#ifndef ZU_ZOZOV_COMMON_GRID_H
#define ZU_ZOZOV_COMMON_GRID_H

#include <boost/shared_ptr.hpp>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "common/export.h"

namespace qvtlib {
namespace common {

// Base of every cell.  write() writes nothing and returns the stream.
class ZU_ZOZOV_EXPORT basic_grid {
  public:
    virtual ~basic_grid();
    virtual std::ostream& write(std::ostream& os);
};

// A cell holding plain text; write() writes the text as it is.
class ZU_ZOZOV_EXPORT grid : public basic_grid {
  public:
    grid();
    explicit grid(const std::string& value);
    ~grid() override;

    std::ostream& write(std::ostream& os) override;

    const std::string& getValue() const { return m_value; }
    void setValue(const std::string& value) { m_value = value; }

  private:
    std::string m_value;
};

// One column of a table: its name and a width (0 when made; informative).
class ZU_ZOZOV_EXPORT header {
  public:
    explicit header(const std::string& name = std::string());

    const std::string& getName() const { return m_name; }
    int getWidth() const { return m_width; }
    void setWidth(int width) { m_width = width; }

  private:
    std::string m_name;
    int m_width;
};

class tuple;
template <class R>
class table;

namespace detail {
// The walks over nested tables below; a friend of table and tuple.
class CGridWalk;
// Writes t as table<tuple>::write does, nested tables included, without
// recursion.
ZU_ZOZOV_EXPORT std::ostream& writeTable(table<tuple>& t, std::ostream& os);
// Writes r as tuple::write does, without recursion.
ZU_ZOZOV_EXPORT std::ostream& writeRow(tuple& r, std::ostream& os);
// Empties rows; the nested tables that die with them are emptied first, from
// the outside in, so that no destructor frees a whole nesting recursively.
ZU_ZOZOV_EXPORT void releaseRows(std::map<std::string, boost::shared_ptr<tuple> >& rows);
}  // namespace detail

// A table of rows R (the library uses table<tuple> only).
template <class R>
class table : public basic_grid {
  public:
    typedef std::vector<boost::shared_ptr<header> > columns_type;
    typedef std::map<std::string, boost::shared_ptr<R> > rows_type;

    // An empty table; level is 0 for a table made by a caller, the owner's
    // level + 1 for a nested table.
    explicit table(bool enabled, int level = 0) : m_enabled(enabled), m_level(level) {}
    ~table() override { detail::releaseRows(m_rows); }

    bool isEnabled() const { return m_enabled; }
    int getLevel() const { return m_level; }
    const columns_type& getColumns() const { return m_columns; }
    const rows_type& getRows() const { return m_rows; }

    // The row with that key, made (owned by this table) when absent.  A disabled
    // table uses the empty key whatever is asked.
    R& row(const std::string& key) {
        const std::string& k = m_enabled ? key : emptyKey();
        typename rows_type::iterator it = m_rows.find(k);
        if (it == m_rows.end()) {
            boost::shared_ptr<R> r(new R(this));
            it = m_rows.insert(typename rows_type::value_type(k, r)).first;
        }
        return *it->second;
    }

    // The column with that name, appended (width 0) when absent.  A disabled
    // table returns a new column with an empty name and records nothing.
    boost::shared_ptr<header> column(const std::string& name) {
        if (!m_enabled) return boost::shared_ptr<header>(new header());
        for (typename columns_type::const_iterator it = m_columns.begin(); it != m_columns.end();
             ++it) {
            if ((*it)->getName() == name) return *it;
        }
        boost::shared_ptr<header> h(new header(name));
        m_columns.push_back(h);
        return h;
    }

    // Writes the rows in key order, separated by a blank line and indented by
    // the level; then flushes the stream and removes every row.  A disabled
    // table writes nothing.
    std::ostream& write(std::ostream& os) override { return detail::writeTable(*this, os); }

  private:
    friend class detail::CGridWalk;

    static const std::string& emptyKey() {
        static const std::string key;
        return key;
    }

    columns_type m_columns;
    rows_type m_rows;
    bool m_enabled;
    int m_level;
};

// A row: named cells of its owning table.
class ZU_ZOZOV_EXPORT tuple {
  public:
    typedef std::map<std::string, boost::shared_ptr<basic_grid> > cells_type;

    explicit tuple(table<tuple>* owner);
    virtual ~tuple();

    table<tuple>* getOwner() const { return m_owner; }
    const cells_type& getCells() const { return m_cells; }

    // The nested table in the cell `name`.  When the owning table is disabled,
    // the owning table itself.  Otherwise the table the cell holds, or a new one
    // (the owner's enabled flag, the owner's level + 1) stored in the cell, the
    // column `name` registered in the owner.
    table<tuple>& subTable(const std::string& name);

    // Stores the text `value` in the cell `name` and registers the column in the
    // owner.  Does nothing when the owning table is disabled.
    void setValue(const std::string& name, const std::string& value);

    // Writes the cells column by column in the owner's column order: each
    // column's name (tabs written as '/'), a tab, and the cell when the row has
    // one; columns after the first start on a new line indented by the owner's
    // level.  Writes nothing when the owning table is disabled.
    virtual std::ostream& write(std::ostream& os);

  private:
    friend class detail::CGridWalk;

    table<tuple>* m_owner;
    cells_type m_cells;
    // The cells that hold a nested table, so they are found without RTTI
    // (tables are instantiated on both sides of the library boundary).
    std::map<std::string, table<tuple>*> m_tables;
};

}  // namespace common
}  // namespace qvtlib

#endif  // ZU_ZOZOV_COMMON_GRID_H
