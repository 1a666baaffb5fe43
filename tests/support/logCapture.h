// Test helper: captures the library's log records, in the order received,
// from construction to destruction (captures nest).  The library's messages
// are GBK bytes (compare with testsupport::gbk).
#ifndef ZU_ZOZOV_TESTS_SUPPORT_LOGCAPTURE_H
#define ZU_ZOZOV_TESTS_SUPPORT_LOGCAPTURE_H

#include <string>
#include <vector>

#include "log/logout.h"

namespace testsupport {

struct LogRecord {
    std::string level;
    std::string logger;
    std::string message;
    std::string file;  // empty when the file was null (see hasFile)
    int line = 0;
    bool hasFile = false;   // false when the sink received a null file
    bool nullText = false;  // true when level, logger or message was null
};

class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    const std::vector<LogRecord>& records() const { return m_records; }
    void clear() { m_records.clear(); }

  private:
    std::vector<LogRecord> m_records;
    zAZir4::Sink m_previous;
};

// Checks one record of a logging site: its level, logger and message (GBK,
// shown decoded when it differs), a source file whose name starts with
// fileStem, and a real line number.
void expectRecord(const LogRecord& record, const std::string& level, const std::string& logger,
                  const std::string& message, const std::string& fileStem);

}  // namespace testsupport

#endif
