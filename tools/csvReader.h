// Streaming CSV input (RFC 4180) on libcsv: quoted fields with commas, quotes
// and line breaks, CRLF or LF line ends, a UTF-8 byte-order mark.
//
// The reader hands out one record at a time together with the number of the
// physical line it starts on and its raw text, so that a caller can report a
// bad record and write it to a rejects file exactly as it was read.  Memory
// holds one record, whatever the size of the input; a record longer than
// kMaxRecordBytes (an unclosed quote, usually) is cut off and reported as bad.
//
// Blank lines are skipped.  Fields are not trimmed: spaces belong to the field.
//
// Not thread-safe; one reader per stream.
#ifndef ZU_ZOZOV_TOOLS_CSVREADER_H
#define ZU_ZOZOV_TOOLS_CSVREADER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <istream>
#include <string>
#include <vector>

struct csv_parser;

namespace qvt {
namespace ht {
namespace tool {

struct CCsvRecord {
    std::vector<std::string> fields;
    std::uint64_t line = 0;  // physical line the record starts on, from 1
    std::string raw;         // the record's bytes, without its final line end
    std::string error;       // why the record could not be read; empty when it could
};

class CCsvReader {
  public:
    static const std::size_t kMaxRecordBytes = 1 << 20;

    // Reads from in, which must outlive the reader.
    explicit CCsvReader(std::istream& in);
    ~CCsvReader();
    CCsvReader(const CCsvReader&) = delete;
    CCsvReader& operator=(const CCsvReader&) = delete;

    // The next record, or false at the end of the input.  A record that could
    // not be read is returned too, with its error set; reading goes on after it.
    bool next(CCsvRecord& record);

    // Bytes consumed so far (for progress reports).
    std::uint64_t bytesRead() const { return m_bytes; }

  private:
    static void onField(void* text, std::size_t len, void* self);
    static void onRecordEnd(int terminator, void* self);
    void resetParser();
    void finishRecord(const std::string& error);
    bool readLine(std::string& line);

    std::istream& m_in;
    csv_parser* m_parser;
    std::deque<CCsvRecord> m_ready;
    std::vector<CCsvRecord> m_free;  // records whose buffers can be reused
    CCsvRecord m_current;            // the record being parsed
    std::size_t m_fieldCount;        // fields of m_current filled so far
    bool m_inRecord;                 // bytes of m_current have been seen
    bool m_atStart;                  // nothing read yet (for the byte-order mark)
    bool m_eof;
    std::uint64_t m_lineNo;
    std::uint64_t m_bytes;
    std::string m_line;
};

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_CSVREADER_H
