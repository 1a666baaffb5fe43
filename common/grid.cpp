#include "common/grid.h"

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

std::ostream& tuple::write(std::ostream& os) {
    if (m_owner == nullptr || !m_owner->isEnabled()) return os;
    const table<tuple>::columns_type& columns = m_owner->getColumns();
    const int level = m_owner->getLevel();
    for (table<tuple>::columns_type::const_iterator col = columns.begin(); col != columns.end();
         ++col) {
        if (col != columns.begin()) {
            os << '\n';
            for (int i = 0; i < level; ++i) os << '\t';
        }
        const std::string& name = (*col)->getName();
        for (std::string::const_iterator c = name.begin(); c != name.end(); ++c)
            os << (*c == '\t' ? '/' : *c);
        os << '\t';
        cells_type::iterator cell = m_cells.find(name);
        if (cell != m_cells.end() && cell->second) cell->second->write(os);
    }
    return os;
}

}  // namespace common
}  // namespace qvtlib
