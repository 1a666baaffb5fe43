#include "support/logCapture.h"

#include <gtest/gtest.h>

#include "support/gbk.h"

namespace testsupport {

LogCapture::LogCapture() {
    m_previous = zAZir4::setSink([this](const char* level, const char* logger, const char* message,
                                        const char* file, int line) {
        LogRecord record;
        record.nullText = level == nullptr || logger == nullptr || message == nullptr;
        record.level = level != nullptr ? level : "";
        record.logger = logger != nullptr ? logger : "";
        record.message = message != nullptr ? message : "";
        record.hasFile = file != nullptr;
        record.file = file != nullptr ? file : "";
        record.line = line;
        m_records.push_back(record);
    });
}

LogCapture::~LogCapture() { zAZir4::setSink(m_previous); }

void expectRecord(const LogRecord& record, const std::string& level, const std::string& logger,
                  const std::string& message, const std::string& fileStem) {
    EXPECT_EQ(level, record.level);
    EXPECT_EQ(logger, record.logger);
    EXPECT_EQ(message, record.message) << utf8(record.message);
    EXPECT_EQ(0u, record.file.rfind(fileStem, 0)) << record.file;
    EXPECT_GT(record.line, 0);
}

}  // namespace testsupport
