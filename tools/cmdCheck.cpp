// zu_zozov check: compiles and checks rule files and definition trees.
#include <sys/stat.h>

#include <iostream>
#include <memory>

#include "tools/book.h"
#include "tools/commands.h"
#include "tools/session.h"
#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {

int runCheck(const CCheckOptions& options) {
    CSession session(options.db);
    std::unique_ptr<CColumnTypes> columns;
    if (!options.columns.empty()) columns.reset(new CColumnTypes(readColumnTypes(options.columns)));
    CExprCheckOptions check;
    check.columns = columns.get();
    check.columnsFile = options.columns;
    // Without a database the SQL of inSql cannot be tried; that is no fault
    // of the rule.
    check.helper = options.db.empty() ? nullptr : session.helper();
    CRuleSet rules(session.data(), check, session.diag());
    for (const std::string& path : options.files) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            rules.addDir(path);
        } else {
            rules.addFile(path);
        }
    }
    rules.checkDefinitionCodes();
    const int errors = session.diag().getErrors();
    const int warnings = session.diag().getWarnings();
    if (errors > 0 || warnings > 0) {
        std::cerr << errors << " error(s), " << warnings << " warning(s)\n";
    }
    return errors > 0 ? EXIT_PROBLEM : EXIT_OK;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
