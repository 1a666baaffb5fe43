// The record of one instrument or holding that the library classifies.
//
// A CGroupInstrument has four fixed string fields (instrument code, a-type
// code, m-type code, account code) and an open set of named attributes whose
// values are expression values (boost::any).  The host builds one per
// instrument and hands it by const reference to a group, a group rule or a
// classification tree.  It prints itself as a one-line text (toString), as a
// comma-separated key (toKey) and as an XML element (toXML).
//
// The fixed fields are not named attributes: looking up "I_CODE" among the
// named attributes finds nothing unless the host added an attribute of that
// name.
//
// Ownership: a plain value.  Copies share nothing (each attribute value is
// cloned).
//
// Thread-safety: toKey() and toXML() are const but add the P-codes the record
// lacks (as empty values) to its named attributes, so even const use of one
// record from two threads at once needs outside synchronisation.  Distinct
// records are independent.
#ifndef ZU_ZOZOV_ZU_ZOZOV_GROUPINSTRUMENT_H
#define ZU_ZOZOV_ZU_ZOZOV_GROUPINSTRUMENT_H

#include <boost/any.hpp>
#include <map>
#include <string>
#include <xercesc/dom/DOMElement.hpp>

#include "common/export.h"
#include "xml/domXMLCore.h"

namespace qvt {
namespace ht {

class ZU_ZOZOV_EXPORT CGroupInstrument {
  public:
    // The library's attribute names; each constant's text equals its name.
    // I_CODE, A_TYPE, M_TYPE name the expression variables bound from the fixed
    // fields; ACCT_CODE is written in keys and XML; P_CODE1..8 are the eight
    // P-codes among the named attributes; G_CODE1..40 are for the host (the
    // library never reads them).  They are initialised when the library is
    // loaded; other static initialisers of the library must not read them.
    class ZU_ZOZOV_EXPORT attr {
      public:
        static const std::string I_CODE;
        static const std::string A_TYPE;
        static const std::string M_TYPE;
        static const std::string ACCT_CODE;
        static const std::string P_CODE1;
        static const std::string P_CODE2;
        static const std::string P_CODE3;
        static const std::string P_CODE4;
        static const std::string P_CODE5;
        static const std::string P_CODE6;
        static const std::string P_CODE7;
        static const std::string P_CODE8;
        static const std::string G_CODE1;
        static const std::string G_CODE2;
        static const std::string G_CODE3;
        static const std::string G_CODE4;
        static const std::string G_CODE5;
        static const std::string G_CODE6;
        static const std::string G_CODE7;
        static const std::string G_CODE8;
        static const std::string G_CODE9;
        static const std::string G_CODE10;
        static const std::string G_CODE11;
        static const std::string G_CODE12;
        static const std::string G_CODE13;
        static const std::string G_CODE14;
        static const std::string G_CODE15;
        static const std::string G_CODE16;
        static const std::string G_CODE17;
        static const std::string G_CODE18;
        static const std::string G_CODE19;
        static const std::string G_CODE20;
        static const std::string G_CODE21;
        static const std::string G_CODE22;
        static const std::string G_CODE23;
        static const std::string G_CODE24;
        static const std::string G_CODE25;
        static const std::string G_CODE26;
        static const std::string G_CODE27;
        static const std::string G_CODE28;
        static const std::string G_CODE29;
        static const std::string G_CODE30;
        static const std::string G_CODE31;
        static const std::string G_CODE32;
        static const std::string G_CODE33;
        static const std::string G_CODE34;
        static const std::string G_CODE35;
        static const std::string G_CODE36;
        static const std::string G_CODE37;
        static const std::string G_CODE38;
        static const std::string G_CODE39;
        static const std::string G_CODE40;
    };

    // The map of named attributes, ordered byte-wise by name.
    using Attrs = std::map<std::string, boost::any>;

    // All fields empty, no named attributes.
    CGroupInstrument();
    // Sets the four fixed fields and stores the eight P-codes as std::string
    // values under P_CODE1..P_CODE8 (all eight, empty ones included).
    CGroupInstrument(const std::string& iCode, const std::string& aType, const std::string& mType,
                     const std::string& acctCode, const std::string& pCode1,
                     const std::string& pCode2, const std::string& pCode3,
                     const std::string& pCode4, const std::string& pCode5,
                     const std::string& pCode6, const std::string& pCode7,
                     const std::string& pCode8);
    CGroupInstrument(const CGroupInstrument& other);
    CGroupInstrument(CGroupInstrument&& other) noexcept;
    CGroupInstrument& operator=(const CGroupInstrument& other);
    CGroupInstrument& operator=(CGroupInstrument&& other) noexcept;
    virtual ~CGroupInstrument();

    std::string iCode() const { return m_iCode; }
    std::string aType() const { return m_aType; }
    std::string mType() const { return m_mType; }
    std::string acctCode() const { return m_acctCode; }
    // The same fixed fields without a copy, for the evaluation paths.
    const std::string& iCodeRef() const { return m_iCode; }
    const std::string& aTypeRef() const { return m_aType; }
    const std::string& mTypeRef() const { return m_mType; }
    void setiCode(const std::string& code) { m_iCode = code; }
    void setaType(const std::string& code) { m_aType = code; }
    void setmType(const std::string& code) { m_mType = code; }
    void setAcctCode(const std::string& code) { m_acctCode = code; }

    // Stores a copy of value under name, replacing an earlier value.
    void addAttr(const std::string& name, const boost::any& value);
    // Copies every named attribute of other into this record (replacing values
    // of equal names); the fixed fields are not touched.
    void addAttr(const CGroupInstrument& other);

    // The named attributes, for reading.
    const Attrs& getAttrs() const { return m_attrs; }
    // The value of a named attribute, or null when the record lacks it.  Never
    // inserts.
    const boost::any* findAttr(const std::string& name) const;

    // The named attribute formatted by attrToString; "xother" when the record
    // holds no attribute of that name.
    std::string getAttributeAsString(const std::string& name) const;

    // "(iCode,aType,mType," then "name:value," for every named attribute in
    // name order, then ")".  The account code is not printed.
    std::string toString() const;
    // The static toKey of the four fixed fields and the P-codes 1..8 (formatted
    // by attrToString).  Adds missing P-codes as empty values.
    std::string toKey() const;
    // The twelve texts joined by "," (eleven separators, no escaping).
    static std::string toKey(const std::string& iCode, const std::string& aType,
                             const std::string& mType, const std::string& acctCode,
                             const std::string& pCode1, const std::string& pCode2,
                             const std::string& pCode3, const std::string& pCode4,
                             const std::string& pCode5, const std::string& pCode6,
                             const std::string& pCode7, const std::string& pCode8);

    // A new "Instrument" element of doc with the attributes I_CODE, A_TYPE,
    // M_TYPE, ACCT_CODE and P_CODE1..8 (set in that order, empty ones included);
    // owned by doc and not linked.  Null when the element cannot be made.  Adds
    // missing P-codes as empty values.
    xercesc::DOMElement* toXML(vODodi::XML::CDomXMLCore& doc) const;

  protected:
    // The text of a value: a std::string as is; double, int and float as a
    // default std::stringstream writes them (six significant digits); empty for
    // an empty value and for any other type (bool included).
    std::string attrToString(const boost::any& value) const;

  private:
    // The P-code's value, added empty when missing.
    const boost::any& pCode(const std::string& name) const;

    mutable Attrs m_attrs;
    std::string m_iCode;
    std::string m_aType;
    std::string m_mType;
    std::string m_acctCode;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_ZU_ZOZOV_GROUPINSTRUMENT_H
