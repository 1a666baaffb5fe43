#include "tools/ruleSet.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/encoding.h"
#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string stemOf(const std::string& path) {
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (endsWith(base, ".xml")) base.resize(base.size() - 4);
    return base;
}

std::vector<const CXmlElement*> rootChildren(const CXmlSource& src) {
    std::vector<const CXmlElement*> out;
    for (const CXmlElement& el : src.getElements()) {
        if (el.depth == 1) out.push_back(&el);
    }
    return out;
}

// The value of an attribute of el, expanded and in GBK; empty when absent.
std::string attrGbk(const CXmlElement& el, const std::string& name) {
    const CXmlAttr* a = el.attr(name);
    return a ? toGbkLoose(expandEntities(a->raw)) : std::string();
}

// Reports at a text offset, showing the line it stands on.
void reportAtOffset(CDiagnostics& diag, const CXmlSource& src, std::size_t offset, bool isError,
                    const std::string& message) {
    int line = 0, column = 0;
    src.position(offset, line, column);
    const std::string& t = src.getText();
    const std::string::size_type begin = t.rfind('\n', offset == 0 ? 0 : offset - 1);
    const std::size_t lineStart = (begin == std::string::npos || offset == 0) ? 0 : begin + 1;
    std::string::size_type lineEnd = t.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = t.size();
    std::string text = t.substr(lineStart, lineEnd - lineStart);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    diag.report(isError, src.getPath(), line, column, message, text, offset - lineStart);
}

}  // namespace

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CToolError(EXIT_USAGE, path + ": cannot read");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw CToolError(EXIT_USAGE, path + ": cannot read");
    return text.str();
}

CRuleSet::CRuleSet(const boost::shared_ptr<CToolGroupData>& data, const CExprCheckOptions& options,
                   CDiagnostics& diag)
    : m_data(data), m_options(options), m_diag(diag) {}

void CRuleSet::addDir(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) throw CToolError(EXIT_USAGE, dir + ": cannot read the directory");
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() > 4 && name[0] != '.' && endsWith(name, ".xml")) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) addFile(dir + "/" + name);
}

void CRuleSet::addFile(const std::string& path) {
    const std::string bytes = readWholeFile(path);
    m_files.emplace_back(new CRuleFile);
    CRuleFile& f = *m_files.back();
    f.source.reset(new CXmlSource(path, bytes));
    vODodi::XML::CDomXMLCore doc;
    if (!doc.input(bytes) || doc.empty()) {
        m_diag.fileError(path, "not well-formed XML");
        return;
    }
    vODodi::XML::CDomXMLCoreWalker root = doc.root();
    const std::string tag = root.getName();
    root.getAttr(f.code, "Code");
    root.getAttr(f.name, "Name");

    const std::vector<const CXmlElement*> children = rootChildren(*f.source);
    bool hasGroupExp = false, hasAccount = false;
    for (const CXmlElement* el : children) {
        if (el->tag == "Group" && el->attr("Exp")) hasGroupExp = true;
        if (el->tag == "Account") hasAccount = true;
    }
    std::string property;
    const bool hasProperty = root.getAttr(property, "Property");
    if (tag == "GroupTree" || tag == "AcctTree" || tag == "PortTree") {
        f.kind = CRuleFile::DEFINITION;
    } else if (tag == "AcctRule" && hasAccount) {
        f.kind = CRuleFile::ACCT_RULE;
    } else if ((tag == "GroupRule" || tag == "AcctRule") && !hasProperty && !hasGroupExp &&
               !children.empty()) {
        f.kind = CRuleFile::DEFINITION;
    } else {
        f.kind = CRuleFile::GROUP_RULE;
    }
    if (f.kind == CRuleFile::DEFINITION) {
        readDefinition(f, doc);
        return;
    }
    if (f.code.empty()) f.code = toGbkLoose(stemOf(path));
    f.codeUtf8 = gbkToUtf8(f.code);
    if (CRuleFile* other = findRule(f.code)) {
        const std::size_t at =
            f.source->getElements().empty() ? 0 : f.source->getElements()[0].offset;
        reportAtOffset(
            m_diag, *f.source, at, true,
            "rule code " + f.codeUtf8 + " is defined in " + other->source->getPath() + " already");
        return;
    }
    if (f.kind == CRuleFile::ACCT_RULE) {
        readAcctRule(f, doc);
    } else {
        readGroupRule(f, bytes);
    }
}

bool CRuleSet::checkGroup(CRuleFile& f, const CXmlElement* el, const std::string& code,
                          const std::string& expr) {
    CExprPlace place;
    place.source = f.source.get();
    place.attr = el ? el->attr("Exp") : nullptr;
    place.elementOffset = el ? el->offset : 0;
    place.owner = "rule " + f.codeUtf8 + ", " +
                  (f.kind == CRuleFile::ACCT_RULE ? "account " : "group ") + gbkToUtf8(code);
    return checkExpression(expr, place, m_options, m_diag);
}

void CRuleSet::readGroupRule(CRuleFile& f, const std::string& bytes) {
    f.rule.reset(new CGrpRule);
    f.rule->setCode(f.code);
    f.rule->setName(f.name);
    f.rule->setGroupDataProvider(m_data);
    if (!f.rule->init(bytes)) {
        m_diag.fileError(f.source->getPath(), "not a group rule");
        return;
    }
    const CXmlElement* rootEl =
        f.source->getElements().empty() ? nullptr : &f.source->getElements()[0];
    const std::size_t rootAt = rootEl ? rootEl->offset : 0;
    if (f.rule->getType() == CGrpRule::GROUP_PROPERTY) {
        if (f.rule->getGroups().empty()) {
            reportAtOffset(m_diag, *f.source, rootAt, false,
                           "rule " + f.codeUtf8 + ": no values of property " +
                               gbkToUtf8(f.rule->getProperty()) +
                               " are known (table prop_value of --db)");
        }
        f.rule->buildExps();
        f.ok = true;
        m_data->addGrpRule(f.code, f.rule.get());
        return;
    }
    // The Group elements by code; a later one with an equal code replaces an
    // earlier one, as the rule itself reads them.
    std::map<std::string, const CXmlElement*> byCode;
    for (const CXmlElement* el : rootChildren(*f.source)) {
        if (el->tag != "Group") continue;
        const std::string code = attrGbk(*el, "Code");
        auto seen = byCode.find(code);
        if (seen != byCode.end()) {
            int line = 0, column = 0;
            f.source->position(el->offset, line, column);
            reportAtOffset(m_diag, *f.source, seen->second->offset, false,
                           "rule " + f.codeUtf8 + ": group " + gbkToUtf8(code) +
                               " is defined again on line " + std::to_string(line) +
                               ", which replaces this one");
        }
        byCode[code] = el;
    }
    bool ok = true;
    for (const auto& entry : f.rule->getGroups()) {
        auto el = byCode.find(entry.first);
        if (!checkGroup(f, el == byCode.end() ? rootEl : el->second, entry.first,
                        entry.second->getExpression())) {
            ok = false;
        }
    }
    if (f.rule->getGroups().empty()) {
        reportAtOffset(m_diag, *f.source, rootAt, false,
                       "rule " + f.codeUtf8 + " has no groups: every holding falls into xother");
    }
    if (!ok) return;
    if (!f.rule->buildExps()) {
        m_diag.fileError(f.source->getPath(), "rule " + f.codeUtf8 + ": a group does not compile");
        return;
    }
    f.ok = true;
    m_data->addGrpRule(f.code, f.rule.get());
}

void CRuleSet::readAcctRule(CRuleFile& f, vODodi::XML::CDomXMLCore&) {
    f.acct.reset(new CAcctRule);
    f.acct->setCode(f.code);
    f.acct->setName(f.name);
    f.rule.reset(new CGrpRule);
    f.rule->setCode(f.code);
    f.rule->setName(f.name);
    f.rule->setGroupDataProvider(m_data);
    bool ok = true;
    for (const CXmlElement* el : rootChildren(*f.source)) {
        if (el->tag != "Account") continue;
        const std::string code = attrGbk(*el, "Code");
        const std::string name = attrGbk(*el, "Name");
        const std::string expr = attrGbk(*el, "Exp");
        if (f.acct->getAccount(code)) {
            reportAtOffset(
                m_diag, *f.source, el->offset, true,
                "rule " + f.codeUtf8 + ": account " + gbkToUtf8(code) + " is defined twice");
            ok = false;
            continue;
        }
        if (!checkGroup(f, el, code, expr)) ok = false;
        std::unique_ptr<CAccount> account(new CAccount);
        account->setCode(code);
        account->setName(name);
        account->setExpression(expr);
        f.acct->addAccount(account.release());
        CGroup* group = new CGroup;
        group->setCode(code);
        group->setName(name);
        group->setExpression(expr);
        f.rule->addGroup(group);
    }
    if (!ok) return;
    if (!f.rule->buildExps()) {
        m_diag.fileError(f.source->getPath(),
                         "rule " + f.codeUtf8 + ": an account does not compile");
        return;
    }
    f.ok = true;
    m_data->addAcctRule(f.code, f.acct.get());
}

void CRuleSet::readDefinition(CRuleFile& f, vODodi::XML::CDomXMLCore& doc) {
    f.def.reset(new CXDefTree);
    if (!f.def->build(doc)) {
        m_diag.fileError(f.source->getPath(), gbkToUtf8(f.def->getErrorInfo()));
        return;
    }
    f.codeUtf8 = gbkToUtf8(f.code);
    f.ok = true;
}

std::vector<CRuleFile*> CRuleSet::getRules() const {
    std::vector<CRuleFile*> out;
    for (const auto& f : m_files) {
        if (f->ok && f->kind != CRuleFile::DEFINITION) out.push_back(f.get());
    }
    std::sort(out.begin(), out.end(),
              [](const CRuleFile* a, const CRuleFile* b) { return a->codeUtf8 < b->codeUtf8; });
    return out;
}

std::vector<CRuleFile*> CRuleSet::getDefinitions() const {
    std::vector<CRuleFile*> out;
    for (const auto& f : m_files) {
        if (f->ok && f->kind == CRuleFile::DEFINITION) out.push_back(f.get());
    }
    return out;
}

CRuleFile* CRuleSet::findRule(const std::string& code) const {
    for (const auto& f : m_files) {
        if (f->ok && f->kind != CRuleFile::DEFINITION && f->code == code) return f.get();
    }
    return nullptr;
}

bool CRuleSet::checkDefinitionCodes() {
    bool ok = true;
    for (CRuleFile* f : getDefinitions()) {
        // The elements enclosing the current one, to know a node's rule.
        std::vector<const CXmlElement*> open;
        for (const CXmlElement& el : f->source->getElements()) {
            open.resize(static_cast<std::size_t>(std::max(el.depth, 0)));
            const CXmlElement* parent = open.empty() ? nullptr : open.back();
            open.push_back(&el);
            const CXmlAttr* a = el.attr("Code");
            if (!a) continue;
            const std::string code = toGbkLoose(expandEntities(a->raw));
            const bool group = el.tag == "GroupRule";
            if (!group && el.tag != "AcctRule") {
                // A node that names a group of its rule, to give it its own
                // sub-definition: the group should exist.
                if (!parent || parent->tag != "GroupRule" || !parent->attr("Code")) continue;
                const std::string ruleCode = toGbkLoose(expandEntities(parent->attr("Code")->raw));
                CGrpRule* rule = m_data->getGrpRule(ruleCode);
                if (rule && !rule->getGroups().count(code)) {
                    reportAtOffset(m_diag, *f->source, a->offset, false,
                                   "rule " + gbkToUtf8(ruleCode) + " has no group " +
                                       gbkToUtf8(code) + ": this definition is never used");
                }
                continue;
            }
            const bool known =
                group ? m_data->getGrpRule(code) != nullptr : m_data->getAcctRule(code) != nullptr;
            if (known) continue;
            reportAtOffset(m_diag, *f->source, a->offset, true,
                           std::string(group ? "group" : "account") + " rule " + gbkToUtf8(code) +
                               " is supplied by no rule file" +
                               (group ? "" : " nor by table account of --db"));
            ok = false;
        }
    }
    return ok;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
