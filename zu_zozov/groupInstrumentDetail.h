// Internals of the instrument record (groupInstrument.cpp).  Not installed:
// hosts must not rely on it.
#ifndef ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H
#define ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H

#include <boost/any.hpp>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <typeinfo>

namespace qvt {
namespace ht {
namespace detail {

// "xother": the group code when no group holds, the node code of a tree's
// catch-all node, and the text of an attribute the record does not hold.
inline const std::string& xother() {
    static const std::string text("xother");
    return text;
}

// The byte-wise order of two names (that of std::string::compare), inline
// and a word at a time: attribute names are short and often share a long
// prefix (P_CODE1, P_CODE2, ...), which a byte loop walks with a branch per
// byte.
inline int compareNames(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const char* x = a.data();
    const char* y = b.data();
    // Most names that differ do so in their first byte: that answer comes
    // first (without it, reading evalGroup's records took a third longer).
    if (n > 0 && x[0] != y[0]) {
        return static_cast<unsigned char>(x[0]) < static_cast<unsigned char>(y[0]) ? -1 : 1;
    }
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Words read byte-swapped compare as their bytes do.  The last word may
    // overlap the one before it: those bytes are equal in both names.
    const auto word = [](const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        return __builtin_bswap64(w);
    };
    const auto half = [](const char* p) {
        std::uint32_t w;
        std::memcpy(&w, p, sizeof w);
        return static_cast<std::uint64_t>(__builtin_bswap32(w));
    };
    if (n >= 8) {
        for (std::size_t i = 0;; i += 8) {
            const std::size_t at = i + 8 <= n ? i : n - 8;
            const std::uint64_t wx = word(x + at);
            const std::uint64_t wy = word(y + at);
            if (wx != wy) return wx < wy ? -1 : 1;
            if (at + 8 >= n) break;
        }
    } else if (n >= 4) {
        // The first four bytes, then the last four (overlapping them).
        const std::uint64_t wx = half(x) << 32 | half(x + n - 4);
        const std::uint64_t wy = half(y) << 32 | half(y + n - 4);
        if (wx != wy) return wx < wy ? -1 : 1;
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            if (x[i] != y[i]) {
                return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[i]) ? -1 : 1;
            }
        }
    }
#else
    for (std::size_t i = 0; i < n; ++i) {
        if (x[i] != y[i]) {
            return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[i]) ? -1 : 1;
        }
    }
#endif
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Finds several attributes of one record.  The cursor walks the (sorted)
// attribute map forward from where the last look-up ended, so names read in
// ascending order cost about one step each, and a walk reads neighbouring
// nodes rather than descending from the root for every name: in a large
// book, where every record is cold, that is several cache misses fewer per
// name.  A name that is not beyond the last entry passed starts again from
// the first attribute; a walk that takes more than a few steps ends in a
// tree search, so records with many attributes stay logarithmic.
//
// The map must not change while the cursor is in use.
class CAttrCursor {
  public:
    typedef std::map<std::string, boost::any> Attrs;

    explicit CAttrCursor(const Attrs& attrs)
        : m_attrs(&attrs), m_cursor(attrs.begin()), m_floor(nullptr) {}

    // The value of name, or null.
    const boost::any* find(const std::string& name) {
        if (m_floor != nullptr && compareNames(*m_floor, name) >= 0) {
            m_cursor = m_attrs->begin();
            m_floor = nullptr;
        }
        return findNext(name);
    }

    // find, when name is beyond every name looked up before (the caller
    // knows its names ascend).
    const boost::any* findNext(const std::string& name) {
        const int MAX_STEPS = 4;
        for (int steps = 0; m_cursor != m_attrs->end(); ++steps) {
            const int order = compareNames(m_cursor->first, name);
            if (order > 0) return nullptr;
            if (order < 0 && steps == MAX_STEPS) {
                m_cursor = m_attrs->lower_bound(name);
                if (m_cursor == m_attrs->end() || m_cursor->first != name) {
                    // Every entry before the cursor is below name.
                    m_floor = m_cursor == m_attrs->begin() ? nullptr : &std::prev(m_cursor)->first;
                    return nullptr;
                }
            } else if (order < 0) {
                m_floor = &m_cursor->first;
                ++m_cursor;
                continue;
            }
            m_floor = &m_cursor->first;
            return &(m_cursor++)->second;
        }
        return nullptr;
    }

  private:
    const Attrs* m_attrs;
    Attrs::const_iterator m_cursor;
    // The name of the entry before the cursor (null at the first one): every
    // entry before the cursor is at most this name.
    const std::string* m_floor;
};

// A value as the tree's walks compare it with node codes: its text when it
// holds a std::string, its number when it holds a double, else neither.
struct CTextOrNumber {
    const std::string* text = nullptr;
    const double* num = nullptr;
};
inline CTextOrNumber textOrNumber(const boost::any* value) {
    CTextOrNumber out;
    if (value == nullptr || value->empty()) return out;
    // The two types by the address of their name first: type_info's ==
    // compares the names' texts whenever the addresses differ, as they do
    // for every type but the one held.
    const std::type_info& type = value->type();
    const char* name = type.name();
    if (name == typeid(std::string).name()) {
        out.text = boost::unsafe_any_cast<std::string>(value);
    } else if (name == typeid(double).name()) {
        out.num = boost::unsafe_any_cast<double>(value);
    } else if (type == typeid(std::string)) {
        out.text = boost::unsafe_any_cast<std::string>(value);
    } else if (type == typeid(double)) {
        out.num = boost::unsafe_any_cast<double>(value);
    }
    return out;
}

// Writes the record of a failed attribute read of getAttributeAsString.
void logAttributeReadFailure(const std::string& name, const char* what);

}  // namespace detail
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_GROUPINSTRUMENTDETAIL_H
