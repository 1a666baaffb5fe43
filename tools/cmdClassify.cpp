// zu_zozov classify: every holding of a book by every rule, as CSV.
#include <iostream>
#include <set>

#include "tools/commands.h"
#include "tools/session.h"
#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {

int runClassify(const CClassifyOptions& options) {
    CSession session(options.db);
    std::unique_ptr<CRuleSet> ruleSet = session.loadRules(options.rules, nullptr, std::string());
    const std::vector<CRuleFile*> rules = ruleSet->getRules();

    CBookRun run(options.book, options.rejects);
    std::set<std::string> used;
    for (const CRuleFile* r : rules) {
        used.insert(r->rule->getUsedProps().begin(), r->rule->getUsedProps().end());
    }
    run.book().setUsedAttributes(used, false);
    COutputFile out(options.out);
    CCsvWriter csv(out.stream());
    csv.field("I_CODE").field("ACCT_CODE");
    for (const CRuleFile* r : rules) csv.field(r->codeUtf8);
    csv.endRecord();

    // Where the fixed fields stand in a row, to copy their UTF-8 text.
    int iCodeAt = -1, acctAt = -1;
    const std::vector<CBookColumn>& columns = run.book().getColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].fixed == 1) iCodeAt = static_cast<int>(i);
        if (columns[i].fixed == 4) acctAt = static_cast<int>(i);
    }
    static const std::string none;
    std::vector<CCodeCache> codes(rules.size());
    CGroupInstrument inst;
    CBookRow row;
    std::string group;
    while (run.next(inst, row)) {
        csv.field(iCodeAt >= 0 ? row.record.fields[iCodeAt] : none);
        csv.field(acctAt >= 0 ? row.record.fields[acctAt] : none);
        for (std::size_t r = 0; r < rules.size(); ++r) {
            rules[r]->rule->evalGroup(group, inst);
            csv.field(codes[r].utf8(group));
        }
        csv.endRecord();
    }
    out.commit();
    run.finish(std::cerr);
    return EXIT_OK;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
