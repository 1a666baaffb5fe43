// Property value lists, attribute caches and instrument pools: plain data
// objects that the host fills.
//
// - CPropDic: the value list of one property (value code -> value name).
//   IHTGroupData::getPropDic returns one; a group rule of the property kind
//   makes one group per entry of m_valueNames, in ascending code order.
// - CAttrPropClassObjMap: a cache from a key to a list of strings; get()
//   returns exactly what IHTGroupData::getParentPropValues returns, so a host
//   can answer that call from it.
// - CAttrPropClassMap: a cache from a key to one CAttrPropClassObjMap, with
//   the name of the table it was read from.
// - CInstrumentPool: one instrument pool; its ID is the number that group
//   expressions pass to inPool.
//
// All four are values owned by whoever creates them (the host); copying copies
// every field, maps element by element.  The library never keeps a pointer to
// one beyond the call that handed it over.  Const operations may run on
// several threads at once; changes need outside synchronisation.
#ifndef ZU_ZOZOV_PROPDIC_H
#define ZU_ZOZOV_PROPDIC_H

#include <map>
#include <string>
#include <vector>

#include "common/export.h"

namespace qvt {
namespace ht {

class ZU_ZOZOV_EXPORT CPropDic {
  public:
    CPropDic();
    CPropDic(const CPropDic& other);
    CPropDic& operator=(const CPropDic& other);
    virtual ~CPropDic();

    std::string getTableName() const { return m_tableName; }
    void setTableName(const std::string& name) { m_tableName = name; }

    // Property code of the dictionary.
    std::string m_code;
    // A second code-to-text map kept with the dictionary for the host; the
    // library only copies it.
    std::map<std::string, std::string> m_values;
    // Value code -> value name: the map that group rules read.
    std::map<std::string, std::string> m_valueNames;
    // Table the dictionary was read from.
    std::string m_tableName;
};

class ZU_ZOZOV_EXPORT CAttrPropClassObjMap {
  public:
    typedef std::map<std::string, std::vector<std::string> > Cache;

    Cache& getCache() { return m_cache; }

    // Makes sure key has an entry (an empty list when it had none) and returns
    // a copy of its list.
    std::vector<std::string> add(const std::string& key);

    // Appends value to the list of key, creating the list if needed.  Equal
    // values are appended again: lists keep insertion order and duplicates.
    void add(const std::string& key, const std::string& value);

    // The list of key, or null when key has no entry.  An entry made by
    // add(key) and never filled gives an empty list, not null.  The pointer
    // stays valid until the entry is removed or the object destroyed.
    const std::vector<std::string>* get(const std::string& key) const;

  private:
    Cache m_cache;
};

class ZU_ZOZOV_EXPORT CAttrPropClassMap {
  public:
    typedef std::map<std::string, CAttrPropClassObjMap> Cache;

    CAttrPropClassMap();
    CAttrPropClassMap(const CAttrPropClassMap& other);
    CAttrPropClassMap& operator=(const CAttrPropClassMap& other);
    virtual ~CAttrPropClassMap();

    std::string getTableName() const { return m_tableName; }
    void setTableName(const std::string& name) { m_tableName = name; }
    Cache& getCache() { return m_cache; }

    // The entry of key, created empty when it had none; an existing entry is
    // returned with its lists intact.
    CAttrPropClassObjMap& add(const std::string& key);

    // The entry of key, or null.
    const CAttrPropClassObjMap* get(const std::string& key) const;

  private:
    std::string m_tableName;
    Cache m_cache;
};

class ZU_ZOZOV_EXPORT CInstrumentPool {
  public:
    // Empty code and table name, ID 0.
    CInstrumentPool();
    CInstrumentPool(const CInstrumentPool& other);
    CInstrumentPool& operator=(const CInstrumentPool& other);
    virtual ~CInstrumentPool();

    std::string getCode() const { return m_code; }
    void setCode(const std::string& code) { m_code = code; }
    // The pool's number, the argument of inPool in group expressions.
    int getID() const { return m_id; }
    void setID(int id) { m_id = id; }
    std::string getTableName() const { return m_tableName; }
    void setTableName(const std::string& name) { m_tableName = name; }

  private:
    std::string m_code;
    int m_id;
    std::string m_tableName;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_PROPDIC_H
