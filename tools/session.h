// What every subcommand shares: the database and the providers on it, the
// diagnostics, the rules, and the loop over a book with its rejects and its
// summary line.
//
// Not thread-safe; one session per process.
#ifndef ZU_ZOZOV_TOOLS_SESSION_H
#define ZU_ZOZOV_TOOLS_SESSION_H

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>

#include "tools/book.h"
#include "tools/csvWriter.h"
#include "tools/diagnostics.h"
#include "tools/outputFile.h"
#include "tools/progress.h"
#include "tools/ruleSet.h"
#include "tools/sqliteProviders.h"

namespace qvt {
namespace ht {
namespace tool {

class CSession {
  public:
    // Opens db ("" for none) and installs the providers on it.
    explicit CSession(const std::string& db);
    ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    CDiagnostics& diag() { return m_diag; }
    const boost::shared_ptr<CToolGroupData>& data() { return m_data; }
    CSqlHelper* helper() { return m_helper.get(); }

    // Reads the rules of dir; CToolError (status 1) after the diagnostics
    // when any has a problem, (status 2) when there is none at all.
    std::unique_ptr<CRuleSet> loadRules(const std::string& dir, const CColumnTypes* columns,
                                        const std::string& columnsFile);

  private:
    CDiagnostics m_diag;
    std::unique_ptr<CSqliteDb> m_db;
    boost::shared_ptr<CSqlHelper> m_helper;
    boost::shared_ptr<CToolGroupData> m_data;
};

// A book read holding by holding: bad rows go to the rejects file, or end the
// run (CToolError, status 1) when there is none.  Counts what it read.
class CBookRun {
  public:
    // bookPath "-" reads standard input; rejectsPath "" keeps no rejects file.
    CBookRun(const std::string& bookPath, const std::string& rejectsPath);

    CBook& book() { return *m_book; }
    // The next good holding, false at the end of the book.
    bool next(CGroupInstrument& inst, CBookRow& row);
    // Commits the rejects file and prints "N read, N classified, N rejected".
    void finish(std::ostream& err);

    std::uint64_t getRead() const { return m_read; }

  private:
    std::string m_path;
    std::unique_ptr<std::ifstream> m_file;
    std::unique_ptr<CBook> m_book;
    std::unique_ptr<COutputFile> m_rejects;
    std::unique_ptr<CCsvWriter> m_rejectWriter;
    CProgress m_progress;
    std::uint64_t m_read;
    std::uint64_t m_rejected;
};

// GBK codes as UTF-8, converted once per distinct code.
class CCodeCache {
  public:
    const std::string& utf8(const std::string& gbk);

  private:
    std::unordered_map<std::string, std::string> m_cache;
};

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_SESSION_H
