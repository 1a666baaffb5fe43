// The library's log records during a run of the tool: counted, and printed
// once at the end in UTF-8 ("library messages:" with one line per distinct
// record and its count), instead of once per holding.  The load and unload
// records ("ENTER_EXIT") are printed only when verbose.
//
// The load record is written while the library is being loaded, before
// main(); on ELF platforms the tool installs a sink ahead of that (from
// .preinit_array) that keeps the record until the verbosity is known.
//
// One process-wide instance; not thread-safe (the tool runs one thread).
#ifndef ZU_ZOZOV_TOOLS_LOGSUMMARY_H
#define ZU_ZOZOV_TOOLS_LOGSUMMARY_H

#include <ostream>

namespace qvt {
namespace ht {
namespace tool {

// Starts collecting; prints the load record now when verbose.
void startLogSummary(bool verbose);
// Prints the collected records (nothing when there are none) and keeps only
// the unload record's printing (when verbose) for the rest of the process.
void printLogSummary(std::ostream& out);
// The number of ERROR and WARN records collected.
long logProblemCount();

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_LOGSUMMARY_H
