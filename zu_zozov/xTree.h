// Classification trees: a tree of group and account nodes expanded from a
// rule-definition tree, which sorts holdings into its nodes, answers an
// instrument's group code and group path, and writes itself as XML.
//
// Building: the host reads a CXDefTree from XML, creates a CXTree with its data
// provider and calls buildByRuleDefs with the definition root.  Every group
// rule named in the definition becomes one level of nodes (one per group the
// provider's rule gives), every account rule one level (one per account).
// Optionally the host compiles the nodes' expressions (createRuleExprs); then
// it asks grpCode / grpPath per instrument, or sorts a whole map of holdings
// with appendHolds, and exports the tree with toXML.
//
// Ownership: the tree owns its nodes (they come from its pool) and each node
// owns its compiled expression.  Holdings are never copied: the nodes point
// into the map the caller passed to appendHolds, which must stay alive and
// unchanged while the holdings are read (getHolds, toXML) or until the next
// appendHolds.  appendHolds first empties the holdings of every node, so after
// it the tree shows the new book alone and no node points into an earlier map
// (which the caller may therefore free).  The data provider is shared; the
// rules and accounts it hands out stay the host's and are not kept beyond the
// build.
//
// Limits: expanding nested rules multiplies the groups of every level, so a
// short definition can ask for billions of nodes.  A tree makes at most
// getNodeLimit() nodes in one build (DEFAULT_NODE_LIMIT unless the host sets
// another); beyond it, or when memory runs out, the build fails and leaves
// the tree empty.  No walk over a tree recurses over its depth: trees of any
// depth are built, sorted, asked and exported on a small (1 MiB) stack.
//
// Errors: the tree throws nothing of its own; a missing data provider (see
// buildByRuleDefs) and exceptions of the host's providers reach the caller
// (the tree is then left empty).
// It logs only one warning ("WARN", logger "CXTree"); its messages accumulate in its
// CErrorInfo text, each followed by a line end, and are never cleared by the
// tree itself.
//
// Thread-safety: none.  isMatch, grpCode and grpPath are const but write into
// the nodes' compiled expressions (variable store, result) and grpCode and
// grpPath into the nodes' indexes of their children, so one tree must not be
// used from two threads at once.
#ifndef ZU_ZOZOV_XTREE_H
#define ZU_ZOZOV_XTREE_H

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/errorInfo.h"
#include "common/export.h"
#include "common/tree.h"
#include "expr/value.h"
#include "xml/domXMLCore.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpData.h"
#include "zu_zozov/xDefTree.h"

namespace qvt {
namespace ht {

class IHTGroupData;
class CXTree;
namespace detail {
struct CGroupPlan;
}

// One node of a classification tree: the root ("XTree"), a group or account
// node ("XNode"), or a catch-all node (node code "xother") made while sorting
// holdings.
//
// Copying copies the six texts and the holdings, never the links.  A copy
// never shares the source's compiled expression: when the source holds an
// expression object (createRuleExpr has run), the copy compiles its own from
// the same text, so the copy matches exactly the instruments the source
// matches.  clone() makes a fresh node without holdings or expression.
class ZU_ZOZOV_EXPORT CXTreeNode : public qvtlib::common::CNode<CXTreeNode> {
  public:
    typedef CGrpExpr RuleExpr;
    typedef std::map<std::string, const CGroupInstrument*> HoldMap;

    CXTreeNode();
    // tag, rule code, node code, name, expression; the type stays empty.
    CXTreeNode(const std::string& tag, const std::string& ruleCode, const std::string& nodeCode,
               const std::string& name, const std::string& expr);
    CXTreeNode(const CXTreeNode& other);
    CXTreeNode& operator=(const CXTreeNode& other);
    // Runs clear(): the compiled expression is deleted.
    virtual ~CXTreeNode();

    // Nulls the links, empties every text but the type, drops the holdings
    // and deletes the compiled expression.
    virtual void clear();
    // A new unlinked node made with plain new from tag, codes, name and
    // expression: no type, no holdings, no compiled expression.  The caller
    // owns it.
    virtual CXTreeNode* clone() const;

    // Whether the instrument belongs to this node: always for the root (empty
    // rule code) and for a catch-all node; otherwise the instrument's named
    // attribute called like the rule code must hold the node code (a string
    // byte for byte, a double numerically), and a compiled expression, if the
    // node has one, must give a positive number or true.  The expression
    // runs as an evaluation plan (zu_zozov/grpPlan.h) where the plan can
    // answer exactly as the expression object would; its variable store and
    // result are then left as they were.
    virtual bool isMatch(const CGroupInstrument& inst) const;
    // isMatch with the expression always evaluated by the expression object
    // (all named attributes bound, the parse tree walked): the reference the
    // evaluation plans are checked against.
    bool isMatchGeneric(const CGroupInstrument& inst) const;

    using qvtlib::common::CNode<CXTreeNode>::dumpKey;

    // The node's texts joined by "-": type, tag, rule code, node code, name,
    // expression.
    std::string toString() const;
    // Writes toString() to standard output, without a line end.
    virtual void dumpKey() const;
    // The first child whose node code is `code`; null when there is none.
    virtual CXTreeNode* findChildByNodeCode(const std::string& code);

    // Replaces this node's holdings by the entries of `holds` that are not yet
    // taken (non-null) and match this node, and marks them taken by nulling
    // their pointers in `holds`.  True when the node now holds something.
    virtual bool appendHolds(HoldMap& holds);
    const HoldMap& getHolds() const { return m_holds; }
    // Empties this node's holdings (its children keep theirs).
    void clearHolds() { m_holds.clear(); }

    // The node's element (tag "XNode" or "XTree" with its attributes, and with
    // `withHolds` the holdings' instrument elements), created in `doc` and not
    // linked; null when it cannot be made.
    virtual xercesc::DOMNode* toXML(vODodi::XML::CDomXMLCore& doc, bool withHolds);

    // Compiles the expression text into a new expression object, replacing
    // any earlier one.  True for an empty text (the node then matches on its
    // codes alone) and for a text that compiles; false otherwise, and the
    // node keeps the uncompiled object, which isMatch ignores.
    bool createRuleExpr();
    // The node's expression object: null until createRuleExpr made one.
    const RuleExpr* getRuleExpr() const { return m_ruleExpr; }

    const std::string& getType() const { return m_type; }
    const std::string& getTag() const { return m_tag; }
    const std::string& getRuleCode() const { return m_ruleCode; }
    const std::string& getNodeCode() const { return m_nodeCode; }
    const std::string& getName() const { return m_name; }
    const std::string& getExpr() const { return m_expr; }
    void setType(const std::string& v) { m_type = v; }
    void setTag(const std::string& v) { m_tag = v; }
    void setRuleCode(const std::string& v);
    void setNodeCode(const std::string& v);
    void setName(const std::string& v) { m_name = v; }
    // Changes the text only; createRuleExpr compiles it.
    void setExpr(const std::string& v) { m_expr = v; }

  private:
    friend class CXTree;

    // A code of at most 16 bytes packed, zero-padded, into two words, with
    // its length: two codes that are both packed are equal exactly when
    // their words and lengths are, which takes no call to compare bytes.
    // Longer codes are compared as strings.
    struct CCodeKey {
        std::uint64_t w0;
        std::uint64_t w1;
        std::size_t size;
        bool packed;
        static CCodeKey of(const std::string& code) {
            CCodeKey key;
            const std::size_t n = code.size();
            key.size = n;
            key.packed = n <= sizeof(std::uint64_t) * 2;
            key.w0 = 0;
            key.w1 = 0;
            if (!key.packed || n == 0) return key;
            const char* p = code.data();
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            // Whole-word reads, overlapping inside the code, shifted into
            // place: no byte buffer written and read back as words, which
            // stalls the load on the stores before it.
            if (n >= 8) {
                key.w0 = load<std::uint64_t>(p);
                if (n > 8) key.w1 = load<std::uint64_t>(p + n - 8) >> (8 * (16 - n));
            } else if (n >= 4) {
                key.w0 = load<std::uint32_t>(p) |
                         static_cast<std::uint64_t>(load<std::uint32_t>(p + n - 4))
                             << (8 * (n - 4));
            } else {
                key.w0 =
                    byte(p[0]) | byte(p[n / 2]) << (8 * (n / 2)) | byte(p[n - 1]) << (8 * (n - 1));
            }
#else
            unsigned char bytes[sizeof(std::uint64_t) * 2] = {};
            std::memcpy(bytes, p, n);
            std::memcpy(&key.w0, bytes, sizeof key.w0);
            std::memcpy(&key.w1, bytes + sizeof key.w0, sizeof key.w1);
#endif
            return key;
        }

      private:
        template <class T>
        static T load(const char* p) {
            T word;
            std::memcpy(&word, p, sizeof word);
            return word;
        }
        static std::uint64_t byte(char c) { return static_cast<unsigned char>(c); }
    };
    static bool sameCode(const CCodeKey& ka, const std::string& a, const CCodeKey& kb,
                         const std::string& b) {
        if (ka.packed && kb.packed) return ka.w0 == kb.w0 && ka.w1 == kb.w1 && ka.size == kb.size;
        return ka.size == kb.size && a == b;
    }

    // The instrument's attributes as a walk down the tree reads them (see
    // xTree.cpp).
    class CAttrLookup;

    // Sets the keys that go with the codes.
    void keyCodes();

    // isMatch with the attribute lookup shared between sibling nodes.
    bool isMatch(const CGroupInstrument& inst, CAttrLookup& lookup) const;
    // Steps of isMatch: the codes, then the expression (generic: always
    // through the expression object).
    bool matchesCodes(CAttrLookup& lookup) const;
    // lookup is the walk's look-up of inst's attributes.
    bool matchesExpr(const CGroupInstrument& inst, bool generic, CAttrLookup& lookup) const;
    // matchesExpr where it can answer without side effects (no expression,
    // or its evaluation plan decides): 1 true, 0 false; -1 when only the
    // expression object can decide.
    int matchesExprQuietly(const CGroupInstrument& inst, CAttrLookup& lookup) const;
    // A node that takes every instrument whatever its codes and expression:
    // the root and catch-all nodes.
    bool matchesAll() const;
    void copyFrom(const CXTreeNode& other);
    void deleteRuleExpr();

    // This node's children indexed by code (see xTree.cpp), made on first
    // use and again whenever the children have changed since.
    class CChildIndex;
    const CChildIndex* childIndex() const;

    // What a walk down the tree reads of every node it passes (the codes, the
    // expression, the children's index) comes first, next to the links, so
    // that a node costs a walk as few cache lines as possible.
    std::string m_ruleCode;
    std::string m_nodeCode;
    RuleExpr* m_ruleExpr;
    // m_ruleExpr lowered to an evaluation plan; null when there is none.
    std::shared_ptr<const detail::CGroupPlan> m_fastExpr;
    // The index of childIndex(); never copied.
    mutable std::unique_ptr<CChildIndex> m_childIndex;
    // Whether the node code is "xother"; kept with the codes by every change
    // of them, as are the keys below.
    bool m_catchAll;
    // The codes packed for comparing (CCodeKey).
    CCodeKey m_ruleKey;
    CCodeKey m_codeKey;
    // m_nodeCode read as a number (atof), kept with the code so that matching
    // a double attribute does not parse the code again for every instrument.
    double m_nodeNum;
    std::string m_type;
    std::string m_tag;
    std::string m_name;
    std::string m_expr;
    HoldMap m_holds;
};

// The classification tree.  See the top of this file for the road of a tree.
class ZU_ZOZOV_EXPORT CXTree : public qvtlib::common::CTree<CXTreeNode>,
                               public qvtlib::common::CErrorInfo {
  public:
    typedef std::map<std::string, const CGroupInstrument*> HoldMap;

    // Nodes one build may make unless the host sets another limit.
    static const std::size_t DEFAULT_NODE_LIMIT = 2000000;

    // An empty tree holding a copy of `data`.  `data` may be empty, but then
    // expanding a GroupRule or AcctRule definition throws (see
    // buildByRuleDefs).
    explicit CXTree(const boost::shared_ptr<IHTGroupData>& data);
    // Drops the data provider, then frees every node.
    virtual ~CXTree();

    // Reading a classification tree from XML is not supported: false, and
    // nothing changes.
    virtual bool build(const vODodi::XML::CDomXMLCore& doc);
    // Writes the tree as the document's content (root element "XTree", one
    // "XNode" element per node; with `withHolds`, each non-root node's
    // holdings as instrument elements before its child nodes).  An empty tree
    // leaves the document untouched and gives true; false when the root
    // element cannot be set (message in the error text).
    virtual bool toXML(vODodi::XML::CDomXMLCore& doc, bool withHolds);
    // Expands the definition tree rooted at `defRoot` into this tree, whose
    // previous nodes go back to the pool first.  A null root changes nothing
    // and gives true.  Rule codes the provider does not know are skipped
    // with a message in the error text and one "WARN" log record, and so is a
    // rule whose nodes cannot be allocated.  False (and a message) when the
    // expansion yields more than one root.  False, with a message naming the
    // limit, and an empty tree when the expansion would make more than
    // getNodeLimit() nodes; likewise when memory runs out on the way.
    // Throws std::runtime_error when the tree has no data provider and a rule
    // has to be asked for; that and any exception of the provider leave the
    // tree empty.
    virtual bool buildByRuleDefs(CXTreeDefNode* const defRoot);
    // Sorts `holds` into the nodes (see CXTreeNode::appendHolds) after
    // emptying the holdings of every node: the tree then holds this book
    // alone.  Holdings that reach a node with children but match none of them
    // go into a new catch-all child.  With `keepInner` false only childless
    // nodes keep holdings.  False on an empty tree, when the root has no
    // children but took holdings, or when a catch-all node cannot be made.
    virtual bool appendHolds(const std::map<std::string, CGroupInstrument>& holds, bool keepInner);
    // The node code of the deepest matching node along the first matching
    // branch (siblings tried in child order); "" on an empty tree or when no
    // first-level node matches.
    virtual std::string grpCode(const CGroupInstrument& inst) const;
    // The path of "rule.node" segments joined by "/" that leads to the
    // instrument's node, ending in "rule.xother" when the instrument matches
    // no node of the next level; "" on an empty tree.
    virtual std::string grpPath(const CGroupInstrument& inst) const;

    // Compiles the expression of every node (CXTreeNode::createRuleExpr);
    // building does not.  True when the tree has a root.
    bool createRuleExprs() { return createRuleExpr(getRoot()); }

    bool right() const { return m_root != nullptr; }

    // The most nodes one build may make (the tree's nodes, catch-all nodes
    // made later by appendHolds not counted).
    std::size_t getNodeLimit() const { return m_nodeLimit; }
    void setNodeLimit(std::size_t limit) { m_nodeLimit = limit; }

  protected:
    // The results of createRuleNodesByDefNode: what one definition node
    // expands to.
    enum ExpandResult : int {
        EXPAND_MISSING = -1,  // nothing: no data for it, or no node could be made
        EXPAND_NONE = 0,      // no definition node
        EXPAND_WRAPPER = 1,   // a transparent wrapper ("Group", "Acct"): its children
        EXPAND_NODES = 2,     // one node per group or account of its rule
        EXPAND_TREE = 3,      // one tree root
    };

    bool fillByRuleDefs(CXTreeNode* node, CXTreeDefNode* const def);
    // One of ExpandResult.
    int createRuleNodesByDefNode(std::vector<CXTreeNode*>& nodes, const CXTreeDefNode* def,
                                 CXTreeNode* const parent);
    bool getXRuleDefChildNode(CXTreeDefNode*& ruleDef, const CXTreeDefNode* def);
    bool getRuleLimits(std::string& ruleCode, std::string& nodeCode, CXTreeNode* const parent,
                       const std::string& defTag);
    // Hands node's leftovers (what none of its children took) to a new
    // catch-all child, which takes them all (fillRest fills its holdings);
    // when none can be made the node keeps its own share (fillShare), unless
    // it keeps it anyway, and the answer is false.
    template <class FillShare, class FillRest>
    bool addCatchAll(CXTreeNode* node, bool keep, FillShare fillShare, FillRest fillRest);
    CXTreeNode* createRuleNode(const std::string& type, const std::string& tag,
                               const std::string& ruleCode, const std::string& nodeCode,
                               const std::string& name, const std::string& expr);
    CXTreeNode* removeRoot();
    // Gives the nodes back to the pool and empties the vector; EXPAND_MISSING.
    int giveBack(std::vector<CXTreeNode*>& nodes);
    bool createRuleExpr(CXTreeNode* node);

    // Sorts into `node`, its following siblings and everything below them,
    // whose holdings it empties first.
    bool appendHolds(CXTreeNode* node, HoldMap& holds, bool keepInner);
    std::string grpCode(CXTreeNode* node, const CGroupInstrument& inst) const;
    std::string grpPath(CXTreeNode* node, const CGroupInstrument& inst) const;
    bool toXML(CXTreeNode* node, vODodi::XML::CDomXMLCoreWalker cursor,
               vODodi::XML::CDomXMLCore& doc, bool withHolds);

  private:
    CXTree(const CXTree&);
    CXTree& operator=(const CXTree&);

    // One holding on its way through the tree: the caller's key and the
    // instrument, null once a node has taken it.
    struct CHold {
        const std::string* key;
        const CGroupInstrument* inst;
    };
    typedef std::vector<CHold> HoldList;

    // The sorting of the protected appendHolds on a list of holdings in key
    // order.
    bool sortChain(CXTreeNode* start, HoldList& holds, bool keepInner);
    // Empties the holdings of start, its following siblings and everything
    // below them.
    static void clearHoldsFrom(CXTreeNode* start);
    // The first node of the chain at `start` that matches inst; null if none.
    static CXTreeNode* firstMatch(CXTreeNode* start, const CGroupInstrument& inst,
                                  CXTreeNode::CAttrLookup& lookup);
    // The first child of parent that matches inst, found through the
    // parent's child index; null if none.
    static CXTreeNode* firstChildMatch(const CXTreeNode* parent, const CGroupInstrument& inst,
                                       CXTreeNode::CAttrLookup& lookup);
    // The sorting of sortChain in one pass over the holdings (see xTree.cpp).
    // False, with nothing changed, when a holding needs a node's expression
    // evaluated by the expression object: sortChain must then do it all, in
    // its order of evaluation.
    class CRouter;
    bool routeChain(CXTreeNode* start, HoldList& holds, bool keepInner, bool& result);

    boost::shared_ptr<IHTGroupData> m_dataProvider;
    std::size_t m_nodeLimit;
    // Why a build has to stop.
    enum StopReason : int { STOP_NONE = 0, STOP_NODE_LIMIT = 1, STOP_NO_MEMORY = 2 };

    // While building: the nodes made so far, and why the build has to stop.
    std::size_t m_made;
    StopReason m_stop;
    bool m_building;
};

}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_XTREE_H
