// Whole output files or none.
//
// COutputFile writes into a temporary file beside the target and renames it
// over the target only in commit(), so a reader never sees half a file, and a
// failed or interrupted run leaves any earlier file of that name as it was.
// The path "-" writes to standard output directly (there is nothing to keep
// whole there).
//
// installInterruptHandlers() makes SIGINT, SIGTERM, SIGHUP and SIGPIPE remove every
// temporary file still open before the process dies of the signal.
//
// Not thread-safe: one thread writes all outputs.
#ifndef ZU_ZOZOV_TOOLS_OUTPUTFILE_H
#define ZU_ZOZOV_TOOLS_OUTPUTFILE_H

#include <fstream>
#include <memory>
#include <ostream>
#include <string>

namespace qvt {
namespace ht {
namespace tool {

class COutputFile {
  public:
    // Opens the temporary file at once, so that an output that cannot be
    // written is reported before any work is done (CToolError, status 2).
    explicit COutputFile(const std::string& path);
    // Removes the temporary file unless commit() has run.
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    std::ostream& stream() { return *m_out; }
    const std::string& path() const { return m_path; }

    // Flushes and closes the temporary file and renames it to the target
    // (CToolError, status 1, when that fails; the temporary is then removed).
    void commit();

  private:
    std::string m_path;
    std::string m_temp;
    std::unique_ptr<std::ofstream> m_file;
    std::ostream* m_out;
    int m_slot;
    bool m_committed;
};

void installInterruptHandlers();

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_OUTPUTFILE_H
