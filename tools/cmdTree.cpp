// zu_zozov tree: sorts a book into a classification tree.
#include <iomanip>
#include <iostream>
#include <set>
#include <sstream>

#include "tools/commands.h"
#include "tools/encoding.h"
#include "tools/htmlReport.h"
#include "tools/session.h"
#include "tools/toolError.h"
#include "tools/treeReport.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

// Account rules that the definition names and only the database supplies,
// made into rules that classify holdings like the rule files do.
std::vector<std::unique_ptr<CGrpRule>> accountRulesFromDb(
    CRuleSet& rules, CRuleFile& def, CToolGroupData& data,
    const boost::shared_ptr<CToolGroupData>& shared) {
    std::vector<std::unique_ptr<CGrpRule>> out;
    for (const CXmlElement& el : def.source->getElements()) {
        const CXmlAttr* a = el.attr("Code");
        if (el.tag != "AcctRule" || !a) continue;
        const std::string code = toGbkLoose(expandEntities(a->raw));
        if (rules.findRule(code)) continue;
        bool seen = false;
        for (const auto& r : out) seen = seen || r->getCode() == code;
        CAcctRule* acct = data.getAcctRule(code);
        if (seen || !acct) continue;
        std::unique_ptr<CGrpRule> rule(new CGrpRule);
        rule->setCode(code);
        rule->setGroupDataProvider(shared);
        for (const auto& entry : acct->getAccts()) {
            if (!entry.second) continue;
            CGroup* g = new CGroup;
            g->setCode(entry.second->getCode());
            g->setName(entry.second->getName());
            g->setExpression(entry.second->getExpression());
            rule->addGroup(g);
        }
        if (!rule->buildExps()) {
            throw CToolError(EXIT_PROBLEM, "account rule " + gbkToUtf8(code) +
                                               " of the database: an expression does not compile");
        }
        out.push_back(std::move(rule));
    }
    return out;
}

// The page of --html: the tree with its counts and sums.
bool writePage(std::ostream& out, const std::vector<CTreeReportNode>& nodes,
               const std::vector<std::string>& numericColumns, const CRuleFile& def,
               const CTreeOptions& options, std::uint64_t read) {
    CHtmlHead head;
    head.title = gbkToUtf8(def.name.empty() ? def.code : def.name);
    head.facts.emplace_back("book", options.book);
    head.facts.emplace_back("rules", options.rules);
    head.facts.emplace_back("definition", options.def);
    head.facts.emplace_back("holdings read", std::to_string(read));
    head.columns = numericColumns;
    std::vector<CHtmlNode> page;
    for (const CTreeReportNode& n : nodes) {
        CHtmlNode p;
        p.depth = n.depth;
        p.code = n.nodeCode;
        p.name = n.name;
        p.count = n.count;
        p.sums = n.sums;
        page.push_back(p);
    }
    return writeHtmlReport(out, head, page);
}

}  // namespace

int runTree(const CTreeOptions& options) {
    CSession session(options.db);
    std::unique_ptr<CRuleSet> ruleSet = session.loadRules(options.rules, nullptr, std::string());
    ruleSet->addFile(options.def);
    const std::vector<CRuleFile*> defs = ruleSet->getDefinitions();
    if (defs.empty()) {
        if (session.diag().getErrors() == 0) {
            session.diag().fileError(options.def,
                                     "not a definition tree (GroupTree, AcctTree, "
                                     "PortTree, GroupRule or AcctRule root)");
        }
        throw CToolError(EXIT_PROBLEM, "no usable definition tree; no holding was read");
    }
    CRuleFile& def = *defs.back();
    if (!ruleSet->checkDefinitionCodes()) {
        throw CToolError(EXIT_PROBLEM, "the definition names unknown rules; no holding was read");
    }

    // Every holding carries its group under every rule as an attribute named
    // after the rule: that is what the tree's nodes match on.
    std::vector<CGrpRule*> classifiers;
    for (CRuleFile* r : ruleSet->getRules()) classifiers.push_back(r->rule.get());
    std::vector<std::unique_ptr<CGrpRule>> dbRules =
        accountRulesFromDb(*ruleSet, def, *session.data(), session.data());
    for (const auto& r : dbRules) classifiers.push_back(r.get());
    std::vector<std::string> codes;
    for (CGrpRule* r : classifiers) codes.push_back(r->getCode());

    CXTree tree(session.data());
    if (!tree.buildByRuleDefs(def.def->getRoot()) || !tree.getRoot()) {
        throw CToolError(EXIT_PROBLEM, options.def + ": the tree cannot be built: " +
                                           gbkToUtf8(tree.getErrorInfo()));
    }

    CBookRun run(options.book, options.rejects);
    std::unique_ptr<COutputFile> paths, xml, html;
    if (!options.out.empty()) paths.reset(new COutputFile(options.out));
    if (!options.xml.empty()) xml.reset(new COutputFile(options.xml));
    if (!options.html.empty()) html.reset(new COutputFile(options.html));
    std::unique_ptr<CCsvWriter> csv;
    if (paths) {
        csv.reset(new CCsvWriter(paths->stream()));
        csv->field("I_CODE").field("ACCT_CODE").field("CODE").field("PATH");
        csv->endRecord();
    }

    int iCodeAt = -1, acctAt = -1;
    const std::vector<CBookColumn>& columns = run.book().getColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].fixed == 1) iCodeAt = static_cast<int>(i);
        if (columns[i].fixed == 4) acctAt = static_cast<int>(i);
    }
    if (!xml) {
        // The tree matches on the rule attributes the loop sets; the book's
        // columns matter only as far as the rules read them.
        std::set<std::string> used;
        for (CGrpRule* r : classifiers)
            used.insert(r->getUsedProps().begin(), r->getUsedProps().end());
        run.book().setUsedAttributes(used, true);
    }
    static const std::string none;
    CTreeStats stats(columns);
    std::map<std::string, CGroupInstrument> holds;  // only for --xml
    CCodeCache codeText;
    CGroupInstrument inst;
    CBookRow row;
    std::string group;
    while (run.next(inst, row)) {
        for (std::size_t r = 0; r < classifiers.size(); ++r) {
            classifiers[r]->evalGroup(group, inst);
            inst.addAttr(codes[r], boost::any(group));
        }
        const std::string path = tree.grpPath(inst);
        stats.add(path, row);
        if (csv) {
            std::string code = tree.grpCode(inst);
            if (code.empty() && !path.empty()) code = "xother";
            csv->field(iCodeAt >= 0 ? row.record.fields[iCodeAt] : none);
            csv->field(acctAt >= 0 ? row.record.fields[acctAt] : none);
            csv->field(codeText.utf8(code)).field(gbkToUtf8(path));
            csv->endRecord();
        }
        if (xml) {
            std::ostringstream key;
            key << std::setw(12) << std::setfill('0') << row.record.line;
            holds[key.str()] = inst;
        }
    }

    const std::vector<CTreeReportNode> nodes = stats.report(tree, gbkToUtf8(def.code));
    printTree(options.out == "-" ? std::cerr : std::cout, nodes);
    if (xml) {
        tree.appendHolds(holds, false);
        vODodi::XML::CDomXMLCore doc;
        std::string text;
        if (!tree.toXML(doc, true) || !doc.output(text)) {
            throw CToolError(EXIT_PROBLEM, options.xml + ": the tree cannot be written as XML: " +
                                               gbkToUtf8(tree.getErrorInfo()));
        }
        xml->stream() << text;
    }
    if (html &&
        !writePage(html->stream(), nodes, stats.getNumericColumns(), def, options, run.getRead())) {
        throw CToolError(EXIT_PROBLEM, options.html + ": cannot write");
    }
    if (paths) paths->commit();
    if (xml) xml->commit();
    if (html) html->commit();
    run.finish(std::cerr);
    return EXIT_OK;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
