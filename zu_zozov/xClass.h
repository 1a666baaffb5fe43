// One instrument class of the attribute dictionary with its properties.
//
// The host fills CXClass objects; the library itself never reads them.
// Properties are shared through boost::shared_ptr: the same CXProp may belong
// to several classes, and copying a class copies the pointers, not the
// properties.  Const operations may run on several threads at once; changing a
// class while another thread reads it is not safe.
#ifndef ZU_ZOZOV_XCLASS_H
#define ZU_ZOZOV_XCLASS_H

#include <boost/shared_ptr.hpp>
#include <map>
#include <string>

#include "common/export.h"
#include "zu_zozov/xProp.h"

namespace qvt {
namespace ht {

class ZU_ZOZOV_EXPORT CXClass {
  public:
    typedef std::map<std::string, boost::shared_ptr<CXProp> > PropMap;

    CXClass();
    CXClass(const CXClass& other);
    CXClass& operator=(const CXClass& other);
    virtual ~CXClass();

    std::string getCode() const { return m_code; }
    void setCode(const std::string& code) { m_code = code; }
    std::string getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }
    // Table of the class's own column-stored properties.
    std::string getTableName() const { return m_tableName; }
    void setTableName(const std::string& name) { m_tableName = name; }

    // The properties keyed by property code.
    const PropMap& getProperties() const { return m_properties; }

    // Holds prop under prop->getCode(), replacing a property of the same code.
    // An empty pointer is ignored.
    void addProperty(boost::shared_ptr<CXProp> prop);

    // Adds every property of other whose code this class does not hold yet:
    // the class's own properties win.  An empty pointer is ignored.
    void addProperties(boost::shared_ptr<CXClass> other);

    // The property held under code, or an empty pointer.
    boost::shared_ptr<CXProp> getProperty(const std::string& code) const;

  private:
    std::string m_code;
    std::string m_name;
    PropMap m_properties;
    std::string m_tableName;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_XCLASS_H
