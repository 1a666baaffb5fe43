#include "zu_zozov/xClass.h"

namespace qvt {
namespace ht {

CXClass::CXClass() = default;

CXClass::CXClass(const CXClass& other) = default;

CXClass& CXClass::operator=(const CXClass& other) = default;

CXClass::~CXClass() = default;

void CXClass::addProperty(boost::shared_ptr<CXProp> prop) {
    if (!prop) return;
    m_properties[prop->getCode()] = prop;
}

void CXClass::addProperties(boost::shared_ptr<CXClass> other) {
    if (!other) return;
    // insert() keeps an entry that is already there.
    for (const auto& entry : other->m_properties) {
        m_properties.insert(entry);
    }
}

boost::shared_ptr<CXProp> CXClass::getProperty(const std::string& code) const {
    PropMap::const_iterator it = m_properties.find(code);
    return it == m_properties.end() ? boost::shared_ptr<CXProp>() : it->second;
}

}  // namespace ht
}  // namespace qvt
