// Conversions between the library's GBK byte strings and the DOM's UTF-16
// strings (XMLCh), and attribute access on DOM elements in GBK terms.
//
// Every string that crosses into the library is GBK, whatever the process
// locale is: these conversions use an explicit GBK transcoder, never the
// locale-dependent local code page.  ASCII text takes a fast path that needs no
// transcoder.  Bytes that are not valid GBK and characters that GBK cannot
// represent are replaced (by U+FFFD and '?' respectively); the conversions
// never throw Xerces exceptions.
//
// Each function initialises Xerces-C on first use (see initXerces).
//
// Thread-safety: all functions may be called from several threads at once;
// the DOM nodes passed in must not be changed concurrently.
#ifndef ZU_ZOZOV_XML_XMLSTRING_H
#define ZU_ZOZOV_XML_XMLSTRING_H

#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/util/XercesDefs.hpp>

#include "common/export.h"

namespace vODodi {
namespace XML {

// Initialises Xerces-C once per process (later calls do nothing) with a panic
// handler that throws instead of printing and exiting.  Safe to call from
// several threads.  The library never terminates Xerces, so hosts may use
// Xerces themselves with their own Initialize/Terminate pairs.
ZU_ZOZOV_EXPORT void initXerces();

// A GBK byte string converted to a NUL-terminated UTF-16 string, owned by the
// object:
//   element->setAttribute(CToXMLCh("Code").get(), CToXMLCh(code).get());
class ZU_ZOZOV_EXPORT CToXMLCh {
  public:
    explicit CToXMLCh(const std::string& gbk);
    // The converted text; valid while this object lives.  Never null.
    const XMLCh* get() const { return m_text.data(); }

  private:
    std::vector<XMLCh> m_text;
};

// The UTF-16 text as GBK bytes; an empty string for null or empty text.
ZU_ZOZOV_EXPORT std::string fromXMLCh(const XMLCh* text);

// The attribute's value as GBK; empty when the element lacks it or is null.
ZU_ZOZOV_EXPORT std::string getAttr(const xercesc::DOMElement* element, const std::string& name);

// True when the (non-null) element carries the attribute.
ZU_ZOZOV_EXPORT bool hasAttr(const xercesc::DOMElement* element, const std::string& name);

// Sets the attribute, name and value given in GBK.  False when the element is
// null or the DOM refuses (an invalid attribute name, say); never throws.
ZU_ZOZOV_EXPORT bool setAttr(xercesc::DOMElement* element, const std::string& name,
                             const std::string& value);

}  // namespace XML
}  // namespace vODodi

#endif  // ZU_ZOZOV_XML_XMLSTRING_H
