#include "tools/session.h"

#include <iostream>

#include "tools/encoding.h"
#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {

CSession::CSession(const std::string& db) : m_diag(std::cerr) {
    if (!db.empty()) m_db.reset(new CSqliteDb(db));
    m_helper.reset(new CSqlHelper(m_db.get()));
    m_data.reset(new CToolGroupData(m_db.get()));
    CGrpExprHelper::setHelperProvider(m_helper);
}

CSession::~CSession() { CGrpExprHelper::setHelperProvider(boost::shared_ptr<IHTGroupHelper>()); }

std::unique_ptr<CRuleSet> CSession::loadRules(const std::string& dir, const CColumnTypes* columns,
                                              const std::string& columnsFile) {
    CExprCheckOptions options;
    options.columns = columns;
    options.columnsFile = columnsFile;
    options.helper = m_helper.get();
    std::unique_ptr<CRuleSet> rules(new CRuleSet(m_data, options, m_diag));
    rules->addDir(dir);
    if (m_diag.getErrors() > 0) {
        throw CToolError(EXIT_PROBLEM, std::to_string(m_diag.getErrors()) +
                                           " error(s) in the rules; no holding was read");
    }
    if (rules->getRules().empty()) throw CToolError(EXIT_USAGE, dir + ": no rules (*.xml)");
    return rules;
}

CBookRun::CBookRun(const std::string& bookPath, const std::string& rejectsPath)
    : m_path(bookPath), m_progress(fileSize(bookPath)), m_read(0), m_rejected(0) {
    std::istream* in = &std::cin;
    if (bookPath != "-") {
        m_file.reset(new std::ifstream(bookPath, std::ios::binary));
        if (!*m_file) throw CToolError(EXIT_USAGE, bookPath + ": cannot read");
        in = m_file.get();
    }
    m_book.reset(new CBook(*in, bookPath == "-" ? "<stdin>" : bookPath));
    if (!rejectsPath.empty()) {
        m_rejects.reset(new COutputFile(rejectsPath));
        m_rejectWriter.reset(new CCsvWriter(m_rejects->stream()));
        m_rejectWriter->field("LINE").field("REASON").field("RAW");
        m_rejectWriter->endRecord();
    }
}

bool CBookRun::next(CGroupInstrument& inst, CBookRow& row) {
    while (m_book->next(inst, row)) {
        ++m_read;
        m_progress.tick(m_read, m_book->bytesRead());
        if (row.reason.empty()) return true;
        ++m_rejected;
        if (!m_rejectWriter) {
            m_progress.finish();
            throw CToolError(EXIT_PROBLEM, (m_path == "-" ? std::string("<stdin>") : m_path) + ":" +
                                               std::to_string(row.record.line) +
                                               ": error: " + row.reason +
                                               " (give --rejects FILE to set such rows aside)");
        }
        m_rejectWriter->field(std::to_string(row.record.line)).field(row.reason);
        m_rejectWriter->field(row.record.raw);
        m_rejectWriter->endRecord();
    }
    return false;
}

void CBookRun::finish(std::ostream& err) {
    m_progress.finish();
    if (m_rejects) m_rejects->commit();
    err << m_read << " read, " << m_read - m_rejected << " classified, " << m_rejected
        << " rejected\n";
}

const std::string& CCodeCache::utf8(const std::string& gbk) {
    auto found = m_cache.find(gbk);
    if (found != m_cache.end()) return found->second;
    return m_cache.emplace(gbk, gbkToUtf8(gbk)).first->second;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
