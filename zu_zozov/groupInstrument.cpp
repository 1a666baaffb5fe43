#include "zu_zozov/groupInstrument.h"

#include <sstream>
#include <typeinfo>
#include <utility>

#include "log/logSite.h"
#include "zu_zozov/groupInstrumentDetail.h"

namespace qvt {
namespace ht {

const std::string CGroupInstrument::attr::I_CODE("I_CODE");
const std::string CGroupInstrument::attr::A_TYPE("A_TYPE");
const std::string CGroupInstrument::attr::M_TYPE("M_TYPE");
const std::string CGroupInstrument::attr::ACCT_CODE("ACCT_CODE");
const std::string CGroupInstrument::attr::P_CODE1("P_CODE1");
const std::string CGroupInstrument::attr::P_CODE2("P_CODE2");
const std::string CGroupInstrument::attr::P_CODE3("P_CODE3");
const std::string CGroupInstrument::attr::P_CODE4("P_CODE4");
const std::string CGroupInstrument::attr::P_CODE5("P_CODE5");
const std::string CGroupInstrument::attr::P_CODE6("P_CODE6");
const std::string CGroupInstrument::attr::P_CODE7("P_CODE7");
const std::string CGroupInstrument::attr::P_CODE8("P_CODE8");
const std::string CGroupInstrument::attr::G_CODE1("G_CODE1");
const std::string CGroupInstrument::attr::G_CODE2("G_CODE2");
const std::string CGroupInstrument::attr::G_CODE3("G_CODE3");
const std::string CGroupInstrument::attr::G_CODE4("G_CODE4");
const std::string CGroupInstrument::attr::G_CODE5("G_CODE5");
const std::string CGroupInstrument::attr::G_CODE6("G_CODE6");
const std::string CGroupInstrument::attr::G_CODE7("G_CODE7");
const std::string CGroupInstrument::attr::G_CODE8("G_CODE8");
const std::string CGroupInstrument::attr::G_CODE9("G_CODE9");
const std::string CGroupInstrument::attr::G_CODE10("G_CODE10");
const std::string CGroupInstrument::attr::G_CODE11("G_CODE11");
const std::string CGroupInstrument::attr::G_CODE12("G_CODE12");
const std::string CGroupInstrument::attr::G_CODE13("G_CODE13");
const std::string CGroupInstrument::attr::G_CODE14("G_CODE14");
const std::string CGroupInstrument::attr::G_CODE15("G_CODE15");
const std::string CGroupInstrument::attr::G_CODE16("G_CODE16");
const std::string CGroupInstrument::attr::G_CODE17("G_CODE17");
const std::string CGroupInstrument::attr::G_CODE18("G_CODE18");
const std::string CGroupInstrument::attr::G_CODE19("G_CODE19");
const std::string CGroupInstrument::attr::G_CODE20("G_CODE20");
const std::string CGroupInstrument::attr::G_CODE21("G_CODE21");
const std::string CGroupInstrument::attr::G_CODE22("G_CODE22");
const std::string CGroupInstrument::attr::G_CODE23("G_CODE23");
const std::string CGroupInstrument::attr::G_CODE24("G_CODE24");
const std::string CGroupInstrument::attr::G_CODE25("G_CODE25");
const std::string CGroupInstrument::attr::G_CODE26("G_CODE26");
const std::string CGroupInstrument::attr::G_CODE27("G_CODE27");
const std::string CGroupInstrument::attr::G_CODE28("G_CODE28");
const std::string CGroupInstrument::attr::G_CODE29("G_CODE29");
const std::string CGroupInstrument::attr::G_CODE30("G_CODE30");
const std::string CGroupInstrument::attr::G_CODE31("G_CODE31");
const std::string CGroupInstrument::attr::G_CODE32("G_CODE32");
const std::string CGroupInstrument::attr::G_CODE33("G_CODE33");
const std::string CGroupInstrument::attr::G_CODE34("G_CODE34");
const std::string CGroupInstrument::attr::G_CODE35("G_CODE35");
const std::string CGroupInstrument::attr::G_CODE36("G_CODE36");
const std::string CGroupInstrument::attr::G_CODE37("G_CODE37");
const std::string CGroupInstrument::attr::G_CODE38("G_CODE38");
const std::string CGroupInstrument::attr::G_CODE39("G_CODE39");
const std::string CGroupInstrument::attr::G_CODE40("G_CODE40");

namespace {

const char LOGGER[] = "CGroupInstrument";

template <class T>
std::string streamed(const boost::any& value) {
    std::stringstream out;
    out << boost::any_cast<T>(value);
    return out.str();
}

}  // namespace

namespace detail {

void logAttributeReadFailure(const std::string& name, const char* what) {
    ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, LOGGER,
                 "属性" << name << ":" << (what != nullptr ? what : ""));
}

}  // namespace detail

CGroupInstrument::CGroupInstrument() = default;

CGroupInstrument::CGroupInstrument(const std::string& iCode, const std::string& aType,
                                   const std::string& mType, const std::string& acctCode,
                                   const std::string& pCode1, const std::string& pCode2,
                                   const std::string& pCode3, const std::string& pCode4,
                                   const std::string& pCode5, const std::string& pCode6,
                                   const std::string& pCode7, const std::string& pCode8)
    : m_iCode(iCode), m_aType(aType), m_mType(mType), m_acctCode(acctCode) {
    // The names ascend, so each entry goes to the end of the map: no searches,
    // no temporary values.
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE1, pCode1);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE2, pCode2);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE3, pCode3);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE4, pCode4);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE5, pCode5);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE6, pCode6);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE7, pCode7);
    m_attrs.emplace_hint(m_attrs.end(), attr::P_CODE8, pCode8);
}

CGroupInstrument::CGroupInstrument(const CGroupInstrument& other) = default;
CGroupInstrument::CGroupInstrument(CGroupInstrument&& other) noexcept = default;
CGroupInstrument& CGroupInstrument::operator=(const CGroupInstrument& other) = default;
CGroupInstrument& CGroupInstrument::operator=(CGroupInstrument&& other) noexcept = default;
CGroupInstrument::~CGroupInstrument() = default;

void CGroupInstrument::addAttr(const std::string& name, const boost::any& value) {
    m_attrs[name] = value;
}

void CGroupInstrument::addAttr(const CGroupInstrument& other) {
    if (&other == this) return;
    for (const auto& entry : other.m_attrs) m_attrs[entry.first] = entry.second;
}

const boost::any* CGroupInstrument::findAttr(const std::string& name) const {
    const auto found = m_attrs.find(name);
    return found != m_attrs.end() ? &found->second : nullptr;
}

std::string CGroupInstrument::getAttributeAsString(const std::string& name) const {
    const auto found = m_attrs.find(name);
    if (found == m_attrs.end()) return detail::xother();
    try {
        return attrToString(found->second);
    } catch (const boost::bad_any_cast& e) {
        detail::logAttributeReadFailure(name, e.what());
        return detail::xother();
    }
}

std::string CGroupInstrument::attrToString(const boost::any& value) const {
    if (value.empty()) return std::string();
    const std::type_info& type = value.type();
    if (type == typeid(std::string)) return boost::any_cast<const std::string&>(value);
    if (type == typeid(double)) return streamed<double>(value);
    if (type == typeid(int)) return streamed<int>(value);
    if (type == typeid(float)) return streamed<float>(value);
    return std::string();
}

std::string CGroupInstrument::toString() const {
    std::string text = "(";
    text += m_iCode;
    text += ',';
    text += m_aType;
    text += ',';
    text += m_mType;
    text += ',';
    for (const auto& entry : m_attrs) {
        text += entry.first;
        text += ':';
        text += attrToString(entry.second);
        text += ',';
    }
    text += ')';
    return text;
}

const boost::any& CGroupInstrument::pCode(const std::string& name) const { return m_attrs[name]; }

std::string CGroupInstrument::toKey() const {
    return toKey(m_iCode, m_aType, m_mType, m_acctCode, attrToString(pCode(attr::P_CODE1)),
                 attrToString(pCode(attr::P_CODE2)), attrToString(pCode(attr::P_CODE3)),
                 attrToString(pCode(attr::P_CODE4)), attrToString(pCode(attr::P_CODE5)),
                 attrToString(pCode(attr::P_CODE6)), attrToString(pCode(attr::P_CODE7)),
                 attrToString(pCode(attr::P_CODE8)));
}

std::string CGroupInstrument::toKey(const std::string& iCode, const std::string& aType,
                                    const std::string& mType, const std::string& acctCode,
                                    const std::string& pCode1, const std::string& pCode2,
                                    const std::string& pCode3, const std::string& pCode4,
                                    const std::string& pCode5, const std::string& pCode6,
                                    const std::string& pCode7, const std::string& pCode8) {
    const std::string* parts[] = {&iCode,  &aType,  &mType,  &acctCode, &pCode1, &pCode2,
                                  &pCode3, &pCode4, &pCode5, &pCode6,   &pCode7, &pCode8};
    std::size_t size = 11;
    for (const std::string* part : parts) size += part->size();
    std::string key;
    key.reserve(size);
    key += *parts[0];
    for (std::size_t i = 1; i < sizeof parts / sizeof parts[0]; ++i) {
        key += ',';
        key += *parts[i];
    }
    return key;
}

xercesc::DOMElement* CGroupInstrument::toXML(vODodi::XML::CDomXMLCore& doc) const {
    xercesc::DOMElement* element = doc.createElement("Instrument");
    if (element == nullptr) return nullptr;
    const std::string* pCodes[] = {&attr::P_CODE1, &attr::P_CODE2, &attr::P_CODE3, &attr::P_CODE4,
                                   &attr::P_CODE5, &attr::P_CODE6, &attr::P_CODE7, &attr::P_CODE8};
    bool written = vODodi::XML::setAttr(element, attr::I_CODE, m_iCode) &&
                   vODodi::XML::setAttr(element, attr::A_TYPE, m_aType) &&
                   vODodi::XML::setAttr(element, attr::M_TYPE, m_mType) &&
                   vODodi::XML::setAttr(element, attr::ACCT_CODE, m_acctCode);
    try {
        for (const std::string* name : pCodes) {
            if (!written) break;
            written = vODodi::XML::setAttr(element, *name, attrToString(pCode(*name)));
        }
    } catch (const boost::bad_any_cast&) {
        written = false;
    }
    if (!written) {
        element->release();
        return nullptr;
    }
    return element;
}

}  // namespace ht
}  // namespace qvt
