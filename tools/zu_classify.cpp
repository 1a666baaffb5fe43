// zu_classify: classifies a book of holdings with group rules and, optionally,
// sorts it into a classification tree.
//
//   zu_classify --rules DIR --book FILE.csv [--tree DEF.xml] [--export OUT.xml]
//               [--summary] [--quiet]
//
// DIR holds one group rule per file (*.xml); the file name without ".xml" is the
// rule's code. The book is a UTF-8 CSV file whose first line names the columns:
// I_CODE, A_TYPE, M_TYPE, ACCT_CODE and P_CODE1 ... P_CODE8 fill the record's
// fixed fields and P-codes, every other column becomes a named attribute (a
// double when the whole field is a number, else a string). Fields are separated
// by commas and are not quoted.
//
// Every holding is classified by every rule; the group code is stored on the
// holding as an attribute named after the rule, which is what the nodes of a
// classification tree match on. With --tree the tree is expanded from the
// definition (its GroupRule elements name rule codes of DIR), the holdings are
// sorted into it, and each holding's group path is printed; --export writes the
// tree with its holdings as XML.
//
// Output is UTF-8; the library's own texts are GBK and are converted here.
#include <dirent.h>
#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "zu_zozov/zu_zozov.h"

using qvt::ht::CAcctRule;
using qvt::ht::CGroupInstrument;
using qvt::ht::CGrpRule;
using qvt::ht::CPropDic;

namespace {

// ---------------------------------------------------------------- encodings

std::string convert(const std::string& in, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return in;  // not convertible: show the bytes as they are
    out.resize(out.size() - dstLeft);
    return out;
}

std::string toUtf8(const std::string& gbk) { return convert(gbk, "GBK", "UTF-8"); }
std::string toGbk(const std::string& utf8) { return convert(utf8, "UTF-8", "GBK"); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---------------------------------------------------------------- providers

// Answers the library's questions from the rules loaded from disk.
class CFileGroupData : public qvt::ht::IHTGroupData {
  public:
    std::map<std::string, std::unique_ptr<CGrpRule>> rules;

    CPropDic* getPropDic(const std::string&) override { return nullptr; }
    const std::vector<std::string>* getParentPropValues(const std::string&, const std::string&,
                                                        const std::string&) override {
        return nullptr;
    }
    std::string getRootClassCode() override { return ""; }
    CGrpRule* getGrpRule(const std::string& code) override {
        auto it = rules.find(code);
        return it == rules.end() ? nullptr : it->second.get();
    }
    CAcctRule* getAcctRule(const std::string&) override { return nullptr; }
};

// The command line has no database or instrument pools behind it.
class CNoSqlHelper : public qvt::ht::IHTGroupHelper {
  public:
    boost::any inSqlCalcFunc(const boost::any&, const boost::any&) override {
        throw std::runtime_error("inSql needs a database; zu_classify has none");
    }
    boost::any inPoolCalcFunc(const qvtlib::expr::basic_data*, const boost::any&) override {
        return boost::any(0.0);
    }
};

// ---------------------------------------------------------------- the book

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) {
        size_t b = field.find_first_not_of(" \t\r");
        size_t e = field.find_last_not_of(" \t\r");
        fields.push_back(b == std::string::npos ? std::string() : field.substr(b, e - b + 1));
    }
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

bool parseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

struct Holding {
    std::string key;
    CGroupInstrument inst;
};

std::vector<Holding> readBook(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string line;
    if (!std::getline(in, line)) throw std::runtime_error(path + ": empty book");
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // UTF-8 byte-order mark
    const std::vector<std::string> columns = splitCsv(line);
    std::vector<Holding> book;
    size_t lineNo = 1;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const std::vector<std::string> fields = splitCsv(toGbk(line));
        if (fields.size() != columns.size()) {
            std::ostringstream msg;
            msg << path << ":" << lineNo << ": " << fields.size() << " fields, header has "
                << columns.size();
            throw std::runtime_error(msg.str());
        }
        Holding h;
        std::ostringstream key;
        key << std::setw(8) << std::setfill('0') << book.size() + 1;
        h.key = key.str();
        for (size_t i = 0; i < columns.size(); ++i) {
            const std::string& name = columns[i];
            const std::string& value = fields[i];
            double number = 0.0;
            if (name == CGroupInstrument::attr::I_CODE) {
                h.inst.setiCode(value);
            } else if (name == CGroupInstrument::attr::A_TYPE) {
                h.inst.setaType(value);
            } else if (name == CGroupInstrument::attr::M_TYPE) {
                h.inst.setmType(value);
            } else if (name == CGroupInstrument::attr::ACCT_CODE) {
                h.inst.setAcctCode(value);
            } else if (name.compare(0, 6, "P_CODE") == 0 || !parseNumber(value, number)) {
                h.inst.addAttr(name, boost::any(value));
            } else {
                h.inst.addAttr(name, boost::any(number));
            }
        }
        book.push_back(std::move(h));
    }
    return book;
}

// ---------------------------------------------------------------- options

struct Options {
    std::string rulesDir, book, tree, exportPath;
    bool summaryOnly = false;
    bool quiet = false;
};

void usage(std::ostream& out) {
    out << "usage: zu_classify --rules DIR --book FILE.csv [--tree DEF.xml] [--export OUT.xml]\n"
           "                   [--summary] [--quiet]\n"
           "  --rules DIR     group rules, one per *.xml file; the file name is the rule code\n"
           "  --book FILE     holdings as CSV (UTF-8, header line, comma-separated)\n"
           "  --tree DEF.xml  a rule-definition tree; holdings are sorted into it\n"
           "  --export FILE   write the classification tree with its holdings as XML\n"
           "  --summary       print only the counts per group, not one line per holding\n"
           "  --quiet         no progress messages on standard error\n";
}

Options parseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
            into = argv[++i];
        };
        if (a == "--rules")
            value(o.rulesDir);
        else if (a == "--book")
            value(o.book);
        else if (a == "--tree")
            value(o.tree);
        else if (a == "--export")
            value(o.exportPath);
        else if (a == "--summary")
            o.summaryOnly = true;
        else if (a == "--quiet")
            o.quiet = true;
        else if (a == "-h" || a == "--help") {
            usage(std::cout);
            std::exit(0);
        } else
            throw std::runtime_error("unknown argument " + a);
    }
    if (o.rulesDir.empty() || o.book.empty())
        throw std::runtime_error("--rules and --book are required");
    if (!o.exportPath.empty() && o.tree.empty()) throw std::runtime_error("--export needs --tree");
    return o;
}

std::vector<std::string> listRuleFiles(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) throw std::runtime_error("cannot open rules directory " + dir);
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// Collects the library's log records so that problems in rules or data are
// reported once, in UTF-8, instead of once per holding.
struct LogSummary {
    std::map<std::string, size_t> counts;
    void add(const char* level, const char* message) {
        ++counts[std::string(level) + ": " + toUtf8(message ? message : "")];
    }
};

int run(const Options& o) {
    LogSummary logs;
    zAZir4::Sink previous = zAZir4::setSink(
        [&logs](const char* level, const char*, const char* message, const char*, int) {
            if (std::string(level) != "ENTER_EXIT") logs.add(level, message);
        });

    auto data = boost::shared_ptr<CFileGroupData>(new CFileGroupData);
    qvt::ht::CGrpExprHelper::setHelperProvider(
        boost::shared_ptr<qvt::ht::IHTGroupHelper>(new CNoSqlHelper));

    std::vector<CGrpRule*> order;
    for (const std::string& file : listRuleFiles(o.rulesDir)) {
        const std::string path = o.rulesDir + "/" + file;
        const std::string xml = readFile(path);
        // The rule's code and name come from its root element; the file name
        // stands in for a missing Code.
        vODodi::XML::CDomXMLCore doc;
        if (!doc.input(xml)) throw std::runtime_error(path + ": not well-formed XML");
        vODodi::XML::CDomXMLCoreWalker root = doc.root();
        std::string code = file.substr(0, file.size() - 4), name;
        root.getAttr(code, "Code");
        if (!root.getAttr(name, "Name")) name = code;
        if (data->rules.count(code))
            throw std::runtime_error(path + ": a second rule " + toUtf8(code));

        std::unique_ptr<CGrpRule> rule(new CGrpRule);
        rule->setCode(code);
        rule->setName(name);
        rule->setGroupDataProvider(data);
        if (!rule->init(xml)) throw std::runtime_error(path + ": not a readable group rule");
        if (!rule->buildExps()) {
            throw std::runtime_error(path + ": a group expression does not compile");
        }
        order.push_back(rule.get());
        data->rules[code] = std::move(rule);
    }
    if (order.empty()) throw std::runtime_error("no *.xml rules in " + o.rulesDir);

    std::vector<Holding> book = readBook(o.book);
    std::vector<std::string> codes;
    for (CGrpRule* rule : order) codes.push_back(rule->getCode());
    std::vector<std::map<std::string, size_t>> counts(order.size());  // per rule: group -> holdings
    std::string group;
    for (size_t i = 0; i < book.size(); ++i) {
        for (size_t r = 0; r < order.size(); ++r) {
            order[r]->evalGroup(group, book[i].inst);
            book[i].inst.addAttr(codes[r], boost::any(group));
            ++counts[r][group];
        }
        if (!o.quiet && (i + 1) % 100000 == 0) {
            std::cerr << "classified " << i + 1 << " of " << book.size() << " holdings\n";
        }
    }

    std::unique_ptr<qvt::ht::CXTree> tree;
    std::map<std::string, CGroupInstrument> holds;
    if (!o.tree.empty()) {
        vODodi::XML::CDomXMLCore defDoc;
        if (!defDoc.input(readFile(o.tree)))
            throw std::runtime_error(o.tree + ": not well-formed XML");
        qvt::ht::CXDefTree defs;
        if (!defs.build(defDoc)) {
            throw std::runtime_error(o.tree + ": " + toUtf8(defs.getErrorInfo()));
        }
        tree.reset(new qvt::ht::CXTree(data));
        if (!tree->buildByRuleDefs(defs.getRoot())) {
            throw std::runtime_error(o.tree + ": " + toUtf8(tree->getErrorInfo()));
        }
        for (const Holding& h : book) holds[h.key] = h.inst;
        tree->appendHolds(holds, false);
    }

    if (!o.summaryOnly) {
        std::cout << "I_CODE\tACCT_CODE";
        for (CGrpRule* rule : order) std::cout << '\t' << toUtf8(rule->getCode());
        if (tree) std::cout << "\tPATH";
        std::cout << '\n';
        for (const Holding& h : book) {
            std::cout << toUtf8(h.inst.iCode()) << '\t' << toUtf8(h.inst.acctCode());
            for (CGrpRule* rule : order) {
                std::cout << '\t' << toUtf8(h.inst.getAttributeAsString(rule->getCode()));
            }
            if (tree) std::cout << '\t' << toUtf8(tree->grpPath(h.inst));
            std::cout << '\n';
        }
        std::cout << '\n';
    }

    std::cout << book.size() << " holdings\n";
    for (size_t r = 0; r < order.size(); ++r) {
        CGrpRule* rule = order[r];
        std::cout << "rule " << toUtf8(codes[r]) << " (" << toUtf8(rule->getName()) << "):\n";
        for (const auto& entry : counts[r]) {
            std::string name;
            if (qvt::ht::CGroup* g = rule->getGroup(entry.first)) name = toUtf8(g->getName());
            std::cout << "  " << std::left << std::setw(10) << toUtf8(entry.first) << std::right
                      << std::setw(8) << entry.second << "  " << name << '\n';
        }
    }

    if (!o.exportPath.empty()) {
        vODodi::XML::CDomXMLCore out;
        std::string xml;
        if (!tree->toXML(out, true)) {
            throw std::runtime_error("cannot export the tree: " + toUtf8(tree->getErrorInfo()));
        }
        if (!out.output(xml)) {
            throw std::runtime_error("cannot export the tree: " + toUtf8(out.getError()));
        }
        std::ofstream file(o.exportPath, std::ios::binary);
        file << xml;
        if (!file) throw std::runtime_error("cannot write " + o.exportPath);
        std::cout << "tree written to " << o.exportPath << '\n';
    }

    zAZir4::setSink(previous);
    if (!logs.counts.empty()) {
        std::cerr << "library messages:\n";
        for (const auto& entry : logs.counts) {
            std::cerr << "  " << entry.first << " (x" << entry.second << ")\n";
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parseArgs(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "zu_classify: " << e.what() << '\n';
        if (argc == 1) usage(std::cerr);
        return 2;
    }
}
