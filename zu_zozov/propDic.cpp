#include "zu_zozov/propDic.h"

namespace qvt {
namespace ht {

CPropDic::CPropDic() = default;
CPropDic::CPropDic(const CPropDic& other) = default;
CPropDic& CPropDic::operator=(const CPropDic& other) = default;
CPropDic::~CPropDic() = default;

std::vector<std::string> CAttrPropClassObjMap::add(const std::string& key) { return m_cache[key]; }

void CAttrPropClassObjMap::add(const std::string& key, const std::string& value) {
    m_cache[key].push_back(value);
}

const std::vector<std::string>* CAttrPropClassObjMap::get(const std::string& key) const {
    Cache::const_iterator it = m_cache.find(key);
    return it == m_cache.end() ? nullptr : &it->second;
}

CAttrPropClassMap::CAttrPropClassMap() = default;
CAttrPropClassMap::CAttrPropClassMap(const CAttrPropClassMap& other) = default;
CAttrPropClassMap& CAttrPropClassMap::operator=(const CAttrPropClassMap& other) = default;
CAttrPropClassMap::~CAttrPropClassMap() = default;

CAttrPropClassObjMap& CAttrPropClassMap::add(const std::string& key) { return m_cache[key]; }

const CAttrPropClassObjMap* CAttrPropClassMap::get(const std::string& key) const {
    Cache::const_iterator it = m_cache.find(key);
    return it == m_cache.end() ? nullptr : &it->second;
}

CInstrumentPool::CInstrumentPool() : m_id(0) {}
CInstrumentPool::CInstrumentPool(const CInstrumentPool& other) = default;
CInstrumentPool& CInstrumentPool::operator=(const CInstrumentPool& other) = default;
CInstrumentPool::~CInstrumentPool() = default;

}  // namespace ht
}  // namespace qvt
