// XML documents for the library: a document (CDomXMLCore) over a Xerces-C DOM,
// a cursor over its elements (CDomXMLCoreWalker) and an element filter for the
// cursor (CDomXMLCoreFilter).
//
// The library reads group rules and rule-definition trees from XML text and
// writes classification trees and instruments as XML elements through these
// classes; a host uses them to hand XML in (input) and take it out (output).
//
// Strings cross the interface as GBK byte strings.  Text given to input is read
// in the encoding its XML declaration names (GBK and UTF-8 among others); text
// without an encoding declaration is read as UTF-8 (or as its byte-order mark
// says).  output writes GBK with an XML declaration that says so, and its text
// reads back through input unchanged.
//
// Parsing is silent: malformed text makes input return false and prints
// nothing.  External entities and DTDs are never fetched, and entity expansion
// is bounded.
//
// Ownership: a document owns its DOM and every node in it, including elements
// made by createElement that are not linked yet.  The DOMNode pointers handed
// out stay valid until the document is reset, replaced by input, or destroyed.
// A walker does not own the nodes it visits; it must not outlive its document.
//
// Thread-safety: none.  Different documents may be used from different threads
// at once; one document and its walkers only from one thread at a time.
#ifndef ZU_ZOZOV_XML_DOMXMLCORE_H
#define ZU_ZOZOV_XML_DOMXMLCORE_H

#include <memory>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMNodeFilter.hpp>

#include "common/export.h"
#include "xml/xmlString.h"

namespace vODodi {
namespace XML {

// Accepts nodes of one node type (flag true) or every node but that type
// (flag false); a walker skips the nodes its filter does not accept.  The
// library uses node type 1 (element) with flag true.
class ZU_ZOZOV_EXPORT CDomXMLCoreFilter : public xercesc::DOMNodeFilter {
  public:
    explicit CDomXMLCoreFilter(unsigned short nodeType = xercesc::DOMNode::ELEMENT_NODE,
                               bool accept = true);
    ~CDomXMLCoreFilter() override;

    FilterAction acceptNode(const xercesc::DOMNode* node) const override;

    unsigned short getNodeType() const { return m_nodeType; }
    bool getFlag() const { return m_flag; }

  private:
    unsigned short m_nodeType;
    bool m_flag;
};

// A cursor over the elements of a document.  It stands on one node (or
// nowhere) and moves between element nodes only: text, comments and other
// node kinds are never visited, and the node-kind mask and filter given to
// CDomXMLCore::root narrow the visited elements further.
//
// The moving operations return the new current node, or null when there is
// none to move to; in that case the cursor stays where it was.  Copies are
// independent cursors sharing the filter.
class ZU_ZOZOV_EXPORT CDomXMLCoreWalker {
  public:
    // A cursor standing on start, seeing the kinds of node in whatToShow
    // (DOMNodeFilter::SHOW_* bits) that filter accepts (every one when filter is
    // null).
    explicit CDomXMLCoreWalker(xercesc::DOMNode* start = nullptr,
                               unsigned long whatToShow = xercesc::DOMNodeFilter::SHOW_ALL,
                               std::shared_ptr<xercesc::DOMNodeFilter> filter = nullptr);
    CDomXMLCoreWalker(const CDomXMLCoreWalker& other);
    CDomXMLCoreWalker& operator=(const CDomXMLCoreWalker& other);
    virtual ~CDomXMLCoreWalker();

    // The current node; null when the cursor stands nowhere.
    xercesc::DOMNode* getCur() const { return m_cur; }
    // Puts the cursor on node (any node of the document, or null).
    void setCur(xercesc::DOMNode* node) { m_cur = node; }

    // The current node's tag name (GBK); empty when there is no current node.
    std::string getName() const;
    // True, with the value (GBK) in value, when the current node is an element
    // carrying the attribute name; false, value untouched, otherwise.
    bool getAttr(std::string& value, const std::string& name) const;

    // Moves to the first / last visible child element of the current node.
    xercesc::DOMNode* firstChild();
    xercesc::DOMNode* lastChild();
    // Moves to the next / previous visible sibling element.
    xercesc::DOMNode* nextSibling();
    xercesc::DOMNode* preSibling();
    // Moves to the parent node.
    xercesc::DOMNode* parentNode();

    // Links node as the last child of the current node and returns it; the
    // cursor does not move (lastChild() or setCur() steps onto it).  Null, with
    // nothing linked, when there is no current node, node is null or belongs to
    // another document, or the DOM refuses the link.
    xercesc::DOMNode* appendChild(xercesc::DOMNode* node);
    // Links node directly after the current node, under the same parent, and
    // returns it; the cursor does not move (nextSibling() steps onto it).  Null,
    // with nothing linked, under the same conditions as appendChild or when the
    // current node has no parent.
    xercesc::DOMNode* appendSibling(xercesc::DOMNode* node);

  private:
    bool isVisible(const xercesc::DOMNode* node) const;
    // Moves to the first visible node among node and those reached from it by
    // repeated step; returns it, or null (the cursor staying put) when none is.
    xercesc::DOMNode* moveToVisible(xercesc::DOMNode* node,
                                    xercesc::DOMNode* (xercesc::DOMNode::*step)() const);

    xercesc::DOMNode* m_cur;
    unsigned long m_whatToShow;
    std::shared_ptr<xercesc::DOMNodeFilter> m_filter;
};

// One XML document.
class ZU_ZOZOV_EXPORT CDomXMLCore {
  public:
    // An empty document (no root element).
    CDomXMLCore();
    virtual ~CDomXMLCore();
    // A document owns its DOM; copying would have to deep-copy it and is not offered.
    CDomXMLCore(const CDomXMLCore&) = delete;
    CDomXMLCore& operator=(const CDomXMLCore&) = delete;

    // Parses xml into this document, replacing what it held, and returns true.
    // On malformed text returns false and leaves the document as it was;
    // nothing is printed.  Text read as GBK must be well-formed GBK: a byte
    // sequence that is not a GBK character fails the input rather than being
    // read as a replacement character.
    bool input(const std::string& xml);
    // Serialises the document into xml: an XML declaration naming GBK, then the
    // document in GBK.  False (xml untouched) when it cannot be written.
    bool output(std::string& xml) const;
    // The deepest nesting output writes: the serialiser behind it recurses
    // once per level (about 130 bytes of stack each), so deeper documents are
    // refused rather than left to overflow a host thread's 1 MiB stack.
    static const int MAX_OUTPUT_DEPTH = 4000;
    // Why the last output failed, GBK; empty after a successful one.
    const std::string& getError() const { return m_error; }

    // True when the document has no root element.
    bool empty() const;
    // Clears the document so that a new root can be set; earlier nodes die.
    // Always true.
    bool reset();

    // A cursor standing on the root element (null current node when there is
    // none) that sees the node kinds in whatToShow accepted by filter.  Takes
    // ownership of filter (which must come from new, or be null): it is deleted
    // with the last copy of the cursor.  expandEntityReferences is accepted for
    // compatibility and ignored (entity references are always expanded).
    CDomXMLCoreWalker root(unsigned long whatToShow = xercesc::DOMNodeFilter::SHOW_ALL,
                           xercesc::DOMNodeFilter* filter = nullptr,
                           bool expandEntityReferences = false) const;

    // The first child element of parent named tag (GBK), or null.
    xercesc::DOMNode* childTag(const xercesc::DOMNode* parent, const std::string& tag) const;
    // Replaces the contents of out with every child element of parent named
    // tag, in document order.
    void childTags(std::vector<xercesc::DOMNode*>& out, const xercesc::DOMNode* parent,
                   const std::string& tag) const;

    // A new element named tag (GBK), owned by this document and not linked;
    // null when tag is not a valid element name.
    xercesc::DOMElement* createElement(const std::string& tag);
    // Makes node, an element of this document, the root element (replacing an
    // earlier root).  False when node is null, not an element, or from another
    // document.
    bool setRoot(xercesc::DOMNode* node);

    // The underlying DOM document, owned by this object.
    xercesc::DOMDocument* getDocument() const { return m_doc; }

  private:
    xercesc::DOMDocument* m_doc;
    mutable std::string m_error;
};

}  // namespace XML
}  // namespace vODodi

#endif  // ZU_ZOZOV_XML_DOMXMLCORE_H
