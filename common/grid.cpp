#include "common/grid.h"

#include <vector>

namespace qvtlib {
namespace common {

basic_grid::~basic_grid() {}

std::ostream& basic_grid::write(std::ostream& os) { return os; }

grid::grid() {}

grid::grid(const std::string& value) : m_value(value) {}

grid::~grid() {}

std::ostream& grid::write(std::ostream& os) { return os << m_value; }

header::header(const std::string& name) : m_name(name), m_width(0) {}

tuple::tuple(table<tuple>* owner) : m_owner(owner) {}

tuple::~tuple() {}

table<tuple>& tuple::subTable(const std::string& name) {
    if (m_owner == nullptr || !m_owner->isEnabled()) return *m_owner;
    std::map<std::string, table<tuple>*>::iterator it = m_tables.find(name);
    if (it != m_tables.end()) return *it->second;
    boost::shared_ptr<table<tuple> > nested(new table<tuple>(true, m_owner->getLevel() + 1));
    m_owner->column(name);
    m_cells[name] = nested;
    m_tables[name] = nested.get();
    return *nested;
}

void tuple::setValue(const std::string& name, const std::string& value) {
    if (m_owner == nullptr || !m_owner->isEnabled()) return;
    m_owner->column(name);
    m_tables.erase(name);
    m_cells[name] = boost::shared_ptr<basic_grid>(new grid(value));
}

std::ostream& tuple::write(std::ostream& os) { return detail::writeRow(*this, os); }

namespace detail {

class CGridWalk {
  public:
    // One table or one row being written.
    struct CFrame {
        table<tuple>* t;                         // the table, or null for a row
        tuple* r;                                // the row, when t is null
        table<tuple>::rows_type::iterator next;  // the table's next row
        std::size_t column;                      // the row's next column
    };

    static CFrame tableFrame(table<tuple>& t) {
        CFrame f = {&t, nullptr, t.m_rows.begin(), 0};
        return f;
    }
    static CFrame rowFrame(tuple& r) {
        CFrame f = {nullptr, &r, table<tuple>::rows_type::iterator(), 0};
        return f;
    }

    // Writes what the frames stand for, the innermost first, each nested table
    // where its cell is: the output of recursive writes, with a heap stack.
    static void run(std::vector<CFrame>& stack, std::ostream& os) {
        while (!stack.empty()) {
            CFrame& f = stack.back();
            if (f.t != nullptr) {
                table<tuple>& t = *f.t;
                if (!t.m_enabled) {
                    stack.pop_back();
                    continue;
                }
                if (f.next == t.m_rows.end()) {
                    // Writing consumes the rows.
                    os.flush();
                    releaseRows(t.m_rows);
                    stack.pop_back();
                    continue;
                }
                if (f.next != t.m_rows.begin()) {
                    os << "\n\n";
                    for (int i = 0; i < t.m_level; ++i) os << '\t';
                }
                tuple& row = *f.next->second;
                ++f.next;
                stack.push_back(rowFrame(row));  // f is not used after this
                continue;
            }
            tuple& r = *f.r;
            const table<tuple>* owner = r.m_owner;
            if (owner == nullptr || !owner->m_enabled || f.column == owner->m_columns.size()) {
                stack.pop_back();
                continue;
            }
            const std::size_t col = f.column++;
            if (col != 0) {
                os << '\n';
                for (int i = 0; i < owner->m_level; ++i) os << '\t';
            }
            const std::string& name = owner->m_columns[col]->getName();
            for (std::string::const_iterator c = name.begin(); c != name.end(); ++c)
                os << (*c == '\t' ? '/' : *c);
            os << '\t';
            tuple::cells_type::iterator cell = r.m_cells.find(name);
            if (cell == r.m_cells.end() || !cell->second) continue;
            std::map<std::string, table<tuple>*>::iterator nested = r.m_tables.find(name);
            if (nested != r.m_tables.end() && nested->second == cell->second.get()) {
                stack.push_back(tableFrame(*nested->second));  // f is not used after this
            } else {
                cell->second->write(os);
            }
        }
    }

    static void releaseRows(table<tuple>::rows_type& rows) {
        if (rows.empty()) return;
        std::vector<boost::shared_ptr<tuple> > doomed;
        for (table<tuple>::rows_type::iterator it = rows.begin(); it != rows.end(); ++it)
            doomed.push_back(it->second);
        rows.clear();
        while (!doomed.empty()) {
            boost::shared_ptr<tuple> row = doomed.back();
            doomed.pop_back();
            if (row.use_count() != 1) continue;  // someone else keeps it alive
            // The row dies now; so do the nested tables only it holds.  Their rows
            // are taken out first, so each destructor meets an empty table.
            for (std::map<std::string, table<tuple>*>::iterator it = row->m_tables.begin();
                 it != row->m_tables.end(); ++it) {
                tuple::cells_type::iterator cell = row->m_cells.find(it->first);
                if (cell == row->m_cells.end() || cell->second.get() != it->second) continue;
                if (cell->second.use_count() != 1) continue;
                table<tuple>::rows_type& nested = it->second->m_rows;
                for (table<tuple>::rows_type::iterator n = nested.begin(); n != nested.end(); ++n)
                    doomed.push_back(n->second);
                nested.clear();
            }
        }
    }
};

std::ostream& writeTable(table<tuple>& t, std::ostream& os) {
    std::vector<CGridWalk::CFrame> stack(1, CGridWalk::tableFrame(t));
    CGridWalk::run(stack, os);
    return os;
}

std::ostream& writeRow(tuple& r, std::ostream& os) {
    std::vector<CGridWalk::CFrame> stack(1, CGridWalk::rowFrame(r));
    CGridWalk::run(stack, os);
    return os;
}

void releaseRows(std::map<std::string, boost::shared_ptr<tuple> >& rows) {
    CGridWalk::releaseRows(rows);
}

}  // namespace detail

}  // namespace common
}  // namespace qvtlib
