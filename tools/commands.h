// The subcommands of zu_zozov.  Each returns the process's exit status (see
// toolError.h) or throws CToolError.
#ifndef ZU_ZOZOV_TOOLS_COMMANDS_H
#define ZU_ZOZOV_TOOLS_COMMANDS_H

#include <string>
#include <vector>

namespace qvt {
namespace ht {
namespace tool {

struct CCheckOptions {
    std::string columns;             // a book whose header gives the column types
    std::string db;                  // runs the SQL of inSql and reads pools when given
    std::vector<std::string> files;  // rule and definition files, or directories of them
};

struct CClassifyOptions {
    std::string rules;
    std::string db;
    std::string rejects;
    std::string out = "-";
    std::string book;
};

struct CTreeOptions {
    std::string rules;
    std::string def;
    std::string db;
    std::string rejects;
    std::string out;
    std::string xml;
    std::string html;
    std::string book;
};

int runCheck(const CCheckOptions& options);
int runClassify(const CClassifyOptions& options);
int runTree(const CTreeOptions& options);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_COMMANDS_H
