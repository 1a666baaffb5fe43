#include "xml/domXMLCore.h"

#include <sstream>
#include <utility>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace vODodi {
namespace XML {

using xercesc::DOMNode;

namespace {

// Entity expansions allowed while parsing one document: plenty for rule
// files, far too few for an exponential entity bomb.
const XMLSize_t ENTITY_EXPANSION_LIMIT = 10000;

xercesc::DOMImplementation* domImplementation() {
    initXerces();
    static const XMLCh LS[] = {xercesc::chLatin_L, xercesc::chLatin_S, xercesc::chNull};
    return xercesc::DOMImplementationRegistry::getDOMImplementation(LS);
}

xercesc::DOMDocument* newDocument() { return domImplementation()->createDocument(); }

// Counts parse errors instead of printing them or throwing.
class CCountingErrorHandler : public xercesc::ErrorHandler {
  public:
    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException&) override { ++m_errors; }
    void fatalError(const xercesc::SAXParseException&) override { ++m_errors; }
    void resetErrors() override { m_errors = 0; }
    int getErrors() const { return m_errors; }

  private:
    int m_errors = 0;
};

// Records serialisation errors; writing stops at the first one.
class CSerializeErrorHandler : public xercesc::DOMErrorHandler {
  public:
    bool handleError(const xercesc::DOMError& error) override {
        if (error.getSeverity() == xercesc::DOMError::DOM_SEVERITY_WARNING) return true;
        m_failed = true;
        return false;
    }
    bool hasFailed() const { return m_failed; }

  private:
    bool m_failed = false;
};

template <class T>
struct CReleaser {
    void operator()(T* object) const { object->release(); }
};
template <class T>
using Released = std::unique_ptr<T, CReleaser<T>>;

xercesc::DOMDocument* documentOf(DOMNode* node) {
    if (node->getNodeType() == DOMNode::DOCUMENT_NODE)
        return static_cast<xercesc::DOMDocument*>(node);
    return node->getOwnerDocument();
}

// The number of nodes on the longest path from the document down to a leaf
// (the document node not counted), walked along the links without recursion.
int nestingDepth(const DOMNode* doc) {
    int depth = 0;
    int deepest = 0;
    const DOMNode* node = doc->getFirstChild();
    if (node != nullptr) depth = 1;
    while (node != nullptr) {
        if (depth > deepest) deepest = depth;
        if (node->getFirstChild() != nullptr) {
            node = node->getFirstChild();
            ++depth;
            continue;
        }
        while (node != nullptr && node->getNextSibling() == nullptr) {
            node = node->getParentNode();
            --depth;
            if (node == doc) node = nullptr;
        }
        if (node != nullptr) node = node->getNextSibling();
    }
    return deepest;
}

enum GbkForm { NOT_GBK, GBK, GB18030 };

// Whether the document was read as GBK (or one of its subsets), as GB18030
// (its superset with four-byte sequences), or as something else.
GbkForm gbkForm(const XMLCh* encoding) {
    if (encoding == nullptr) return NOT_GBK;
    std::string name;
    for (const XMLCh* c = encoding; *c != 0; ++c) {
        if (*c > 0x7F) return NOT_GBK;
        char ch = static_cast<char>(*c);
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        if (ch == '_') ch = '-';
        name += ch;
    }
    if (name == "GB18030") return GB18030;
    static const char* const family[] = {"GBK",   "GB2312",      "CP936",          "MS936",
                                         "X-GBK", "WINDOWS-936", "EUC-CN",         "CSGB2312",
                                         "CN-GB", "GB-2312-80",  "CSISO58GB231280"};
    for (const char* known : family) {
        if (name == known) return GBK;
    }
    return NOT_GBK;
}

// Whether every byte of text belongs to a GBK character: one byte up to 0x80,
// or a lead byte 0x81..0xFE with a trail byte 0x40..0xFE other than 0x7F
// (with `fourByte`, also GB18030's lead, digit, lead, digit sequences).
bool isWellFormedGbk(const std::string& text, bool fourByte) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    while (p != end) {
        const unsigned char b = *p;
        if (b <= 0x80) {
            ++p;
            continue;
        }
        if (b == 0xFF || end - p < 2) return false;
        const unsigned char t = p[1];
        if (t >= 0x40 && t <= 0xFE && t != 0x7F) {
            p += 2;
            continue;
        }
        if (!fourByte || end - p < 4 || t < 0x30 || t > 0x39 || p[2] < 0x81 || p[2] > 0xFE ||
            p[3] < 0x30 || p[3] > 0x39) {
            return false;
        }
        p += 4;
    }
    return true;
}

bool isElementNamed(const DOMNode* node, const XMLCh* tag) {
    return node->getNodeType() == DOMNode::ELEMENT_NODE &&
           xercesc::XMLString::equals(node->getNodeName(), tag);
}

}  // namespace

// ---------------------------------------------------------------- filter

CDomXMLCoreFilter::CDomXMLCoreFilter(unsigned short nodeType, bool accept)
    : m_nodeType(nodeType), m_flag(accept) {}

CDomXMLCoreFilter::~CDomXMLCoreFilter() = default;

xercesc::DOMNodeFilter::FilterAction CDomXMLCoreFilter::acceptNode(const DOMNode* node) const {
    if (node == nullptr) return FILTER_REJECT;
    const bool sameType = node->getNodeType() == m_nodeType;
    return sameType == m_flag ? FILTER_ACCEPT : FILTER_REJECT;
}

// ---------------------------------------------------------------- walker

CDomXMLCoreWalker::CDomXMLCoreWalker(DOMNode* start, unsigned long whatToShow,
                                     std::shared_ptr<xercesc::DOMNodeFilter> filter)
    : m_cur(start), m_whatToShow(whatToShow), m_filter(std::move(filter)) {}

CDomXMLCoreWalker::CDomXMLCoreWalker(const CDomXMLCoreWalker& other) = default;
CDomXMLCoreWalker& CDomXMLCoreWalker::operator=(const CDomXMLCoreWalker& other) = default;
CDomXMLCoreWalker::~CDomXMLCoreWalker() = default;

bool CDomXMLCoreWalker::isVisible(const DOMNode* node) const {
    if (node->getNodeType() != DOMNode::ELEMENT_NODE) return false;
    if ((m_whatToShow & xercesc::DOMNodeFilter::SHOW_ELEMENT) == 0) return false;
    return !m_filter || m_filter->acceptNode(node) == xercesc::DOMNodeFilter::FILTER_ACCEPT;
}

std::string CDomXMLCoreWalker::getName() const {
    return m_cur != nullptr ? fromXMLCh(m_cur->getNodeName()) : std::string();
}

bool CDomXMLCoreWalker::getAttr(std::string& value, const std::string& name) const {
    if (m_cur == nullptr || m_cur->getNodeType() != DOMNode::ELEMENT_NODE) return false;
    const auto* element = static_cast<const xercesc::DOMElement*>(m_cur);
    const xercesc::DOMAttr* attr = element->getAttributeNode(CToXMLCh(name).get());
    if (attr == nullptr) return false;
    value = fromXMLCh(attr->getValue());
    return true;
}

DOMNode* CDomXMLCoreWalker::moveToVisible(DOMNode* node, DOMNode* (DOMNode::*step)() const) {
    for (; node != nullptr; node = (node->*step)()) {
        if (isVisible(node)) return m_cur = node;
    }
    return nullptr;
}

DOMNode* CDomXMLCoreWalker::firstChild() {
    if (m_cur == nullptr) return nullptr;
    return moveToVisible(m_cur->getFirstChild(), &DOMNode::getNextSibling);
}

DOMNode* CDomXMLCoreWalker::lastChild() {
    if (m_cur == nullptr) return nullptr;
    return moveToVisible(m_cur->getLastChild(), &DOMNode::getPreviousSibling);
}

DOMNode* CDomXMLCoreWalker::nextSibling() {
    if (m_cur == nullptr) return nullptr;
    return moveToVisible(m_cur->getNextSibling(), &DOMNode::getNextSibling);
}

DOMNode* CDomXMLCoreWalker::preSibling() {
    if (m_cur == nullptr) return nullptr;
    return moveToVisible(m_cur->getPreviousSibling(), &DOMNode::getPreviousSibling);
}

DOMNode* CDomXMLCoreWalker::parentNode() {
    if (m_cur == nullptr) return nullptr;
    DOMNode* parent = m_cur->getParentNode();
    if (parent == nullptr) return nullptr;
    return m_cur = parent;
}

DOMNode* CDomXMLCoreWalker::appendChild(DOMNode* node) {
    if (m_cur == nullptr || node == nullptr || documentOf(m_cur) != node->getOwnerDocument()) {
        return nullptr;
    }
    try {
        return m_cur->appendChild(node);
    } catch (const xercesc::DOMException&) {
        return nullptr;
    }
}

DOMNode* CDomXMLCoreWalker::appendSibling(DOMNode* node) {
    if (m_cur == nullptr || node == nullptr || node == m_cur) return nullptr;
    DOMNode* parent = m_cur->getParentNode();
    if (parent == nullptr || documentOf(m_cur) != node->getOwnerDocument()) return nullptr;
    try {
        return parent->insertBefore(node, m_cur->getNextSibling());
    } catch (const xercesc::DOMException&) {
        return nullptr;
    }
}

// ---------------------------------------------------------------- document

const int CDomXMLCore::MAX_OUTPUT_DEPTH;

CDomXMLCore::CDomXMLCore() : m_doc(newDocument()) {}

CDomXMLCore::~CDomXMLCore() { m_doc->release(); }

bool CDomXMLCore::input(const std::string& xml) {
    try {
        xercesc::XercesDOMParser parser;
        parser.setValidationScheme(xercesc::XercesDOMParser::Val_Never);
        parser.setDoNamespaces(false);
        parser.setDoSchema(false);
        parser.setLoadExternalDTD(false);
        parser.setDisableDefaultEntityResolution(true);
        parser.setCreateEntityReferenceNodes(false);
        xercesc::SecurityManager limits;
        limits.setEntityExpansionLimit(ENTITY_EXPANSION_LIMIT);
        parser.setSecurityManager(&limits);
        CCountingErrorHandler errors;
        parser.setErrorHandler(&errors);

        static const char SYSTEM_ID[] = "zu_zozov-input";
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                          SYSTEM_ID, false);
        parser.parse(source);
        if (errors.getErrors() > 0 || parser.getErrorCount() > 0) return false;
        xercesc::DOMDocument* parsed = parser.adoptDocument();
        if (parsed == nullptr) return false;
        if (parsed->getDocumentElement() == nullptr) {
            parsed->release();
            return false;
        }
        // The GBK decoder puts a replacement character where a byte sequence
        // is not GBK: two different codes could come out as one.  Such text
        // is refused instead of being read changed.
        const GbkForm form = gbkForm(parsed->getInputEncoding());
        if (form != NOT_GBK && !isWellFormedGbk(xml, form == GB18030)) {
            parsed->release();
            return false;
        }
        m_doc->release();
        m_doc = parsed;
        return true;
    } catch (...) {
        // XMLException, DOMException, OutOfMemoryException, a panic: not parsed.
        return false;
    }
}

bool CDomXMLCore::output(std::string& xml) const {
    m_error.clear();
    if (empty()) {
        m_error = "文档没有根元素，无法输出。";
        return false;
    }
    if (nestingDepth(m_doc) > MAX_OUTPUT_DEPTH) {
        std::ostringstream text;
        text << "文档嵌套超过" << MAX_OUTPUT_DEPTH << "层，无法输出。";
        m_error = text.str();
        return false;
    }
    try {
        xercesc::DOMImplementation* implementation = domImplementation();
        Released<xercesc::DOMLSSerializer> serializer(implementation->createLSSerializer());
        Released<xercesc::DOMLSOutput> target(implementation->createLSOutput());
        CSerializeErrorHandler errors;
        xercesc::DOMConfiguration* config = serializer->getDomConfig();
        config->setParameter(xercesc::XMLUni::fgDOMErrorHandler, &errors);
        config->setParameter(xercesc::XMLUni::fgDOMXMLDeclaration, true);
        static const XMLCh GBK[] = {xercesc::chLatin_G, xercesc::chLatin_B, xercesc::chLatin_K,
                                    xercesc::chNull};
        target->setEncoding(GBK);
        xercesc::MemBufFormatTarget buffer;
        target->setByteStream(&buffer);
        if (!serializer->write(m_doc, target.get()) || errors.hasFailed()) {
            m_error = "文档无法序列化。";
            return false;
        }
        xml.assign(reinterpret_cast<const char*>(buffer.getRawBuffer()), buffer.getLen());
        return true;
    } catch (...) {
        m_error = "文档无法序列化。";
        return false;
    }
}

bool CDomXMLCore::empty() const { return m_doc->getDocumentElement() == nullptr; }

bool CDomXMLCore::reset() {
    xercesc::DOMDocument* fresh = newDocument();
    m_doc->release();
    m_doc = fresh;
    return true;
}

CDomXMLCoreWalker CDomXMLCore::root(unsigned long whatToShow, xercesc::DOMNodeFilter* filter,
                                    bool /*expandEntityReferences*/) const {
    std::shared_ptr<xercesc::DOMNodeFilter> owned(filter);
    return CDomXMLCoreWalker(m_doc->getDocumentElement(), whatToShow, std::move(owned));
}

DOMNode* CDomXMLCore::childTag(const DOMNode* parent, const std::string& tag) const {
    if (parent == nullptr) return nullptr;
    const CToXMLCh name(tag);
    for (DOMNode* node = parent->getFirstChild(); node != nullptr; node = node->getNextSibling()) {
        if (isElementNamed(node, name.get())) return node;
    }
    return nullptr;
}

void CDomXMLCore::childTags(std::vector<DOMNode*>& out, const DOMNode* parent,
                            const std::string& tag) const {
    out.clear();
    if (parent == nullptr) return;
    const CToXMLCh name(tag);
    for (DOMNode* node = parent->getFirstChild(); node != nullptr; node = node->getNextSibling()) {
        if (isElementNamed(node, name.get())) out.push_back(node);
    }
}

xercesc::DOMElement* CDomXMLCore::createElement(const std::string& tag) {
    try {
        return m_doc->createElement(CToXMLCh(tag).get());
    } catch (const xercesc::DOMException&) {
        return nullptr;
    }
}

bool CDomXMLCore::setRoot(DOMNode* node) {
    if (node == nullptr || node->getNodeType() != DOMNode::ELEMENT_NODE ||
        node->getOwnerDocument() != m_doc) {
        return false;
    }
    try {
        xercesc::DOMElement* old = m_doc->getDocumentElement();
        if (old == node) return true;
        // The old root stays owned by the document (unlinked), so pointers into it
        // that callers still hold do not dangle.
        if (old != nullptr) {
            m_doc->replaceChild(node, old);
        } else {
            m_doc->appendChild(node);
        }
        return m_doc->getDocumentElement() == node;
    } catch (const xercesc::DOMException&) {
        return false;
    }
}

}  // namespace XML
}  // namespace vODodi
