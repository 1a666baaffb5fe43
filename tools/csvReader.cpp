#include "tools/csvReader.h"

#include <csv.h>

#include <stdexcept>
#include <utility>

namespace qvt {
namespace ht {
namespace tool {
namespace {

// Spaces and tabs belong to the field (RFC 4180); libcsv would trim them.
int noSpace(unsigned char) { return 0; }

bool isBlankLine(const std::string& line) {
    return line.empty() || line == "\n" || line == "\r\n" || line == "\r";
}

void dropLineEnd(std::string& raw) {
    while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.pop_back();
}

}  // namespace

CCsvReader::CCsvReader(std::istream& in)
    : m_in(in),
      m_parser(new csv_parser),
      m_fieldCount(0),
      m_inRecord(false),
      m_atStart(true),
      m_eof(false),
      m_lineNo(0),
      m_bytes(0) {
    if (csv_init(m_parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        delete m_parser;
        throw std::runtime_error("cannot set up the CSV parser");
    }
    csv_set_space_func(m_parser, noSpace);
}

CCsvReader::~CCsvReader() {
    csv_free(m_parser);
    delete m_parser;
}

void CCsvReader::resetParser() {
    csv_free(m_parser);
    csv_init(m_parser, CSV_STRICT | CSV_STRICT_FINI);
    csv_set_space_func(m_parser, noSpace);
    m_fieldCount = 0;
    m_inRecord = false;
}

void CCsvReader::onField(void* text, std::size_t len, void* self) {
    CCsvReader& r = *static_cast<CCsvReader*>(self);
    std::vector<std::string>& fields = r.m_current.fields;
    const char* begin = text ? static_cast<const char*>(text) : "";
    if (r.m_fieldCount < fields.size()) {
        fields[r.m_fieldCount].assign(begin, len);
    } else {
        fields.emplace_back(begin, len);
    }
    ++r.m_fieldCount;
}

void CCsvReader::onRecordEnd(int, void* self) {
    CCsvReader& r = *static_cast<CCsvReader*>(self);
    r.finishRecord(std::string());
}

void CCsvReader::finishRecord(const std::string& error) {
    m_current.fields.resize(error.empty() ? m_fieldCount : 0);
    m_current.error = error;
    dropLineEnd(m_current.raw);
    m_ready.emplace_back();
    std::swap(m_ready.back(), m_current);
    if (!m_free.empty()) {
        // Reuse the buffers of a record handed out before.
        std::swap(m_current, m_free.back());
        m_free.pop_back();
    }
    m_current.line = m_lineNo;
    m_current.raw.clear();
    m_fieldCount = 0;
    m_inRecord = false;
}

bool CCsvReader::readLine(std::string& line) {
    if (!std::getline(m_in, line)) return false;
    if (!m_in.eof()) line += '\n';
    m_bytes += line.size();
    return true;
}

bool CCsvReader::next(CCsvRecord& record) {
    while (m_ready.empty()) {
        if (m_eof) return false;
        if (!readLine(m_line)) {
            m_eof = true;
            if (m_in.bad()) {
                if (m_inRecord) finishRecord("read error");
                continue;
            }
            if (csv_fini(m_parser, onField, onRecordEnd, this) != 0) {
                finishRecord("a quoted field is not closed before the end of the file");
            } else if (m_inRecord) {
                finishRecord(std::string());
            }
            resetParser();
            continue;
        }
        ++m_lineNo;
        if (m_atStart) {
            m_atStart = false;
            if (m_line.compare(0, 3, "\xEF\xBB\xBF") == 0) m_line.erase(0, 3);
        }
        if (!m_inRecord) {
            if (isBlankLine(m_line)) continue;
            m_current.line = m_lineNo;
            m_current.raw.clear();
        }
        m_inRecord = true;
        m_current.raw += m_line;
        const std::size_t used =
            csv_parse(m_parser, m_line.data(), m_line.size(), onField, onRecordEnd, this);
        if (used < m_line.size()) {
            const int error = csv_error(m_parser);
            finishRecord(error == CSV_EPARSE
                             ? "a quote stands inside a field or after a quoted field"
                             : csv_strerror(error));
            resetParser();
        } else if (m_inRecord && m_current.raw.size() > kMaxRecordBytes) {
            finishRecord("a record longer than 1 MiB (a quote that is never closed?)");
            resetParser();
        }
    }
    std::swap(record, m_ready.front());
    m_free.push_back(std::move(m_ready.front()));
    m_ready.pop_front();
    return true;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
