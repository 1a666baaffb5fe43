#include "log/logout.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "log/logSite.h"
#include "support/logCapture.h"

namespace {

TEST(LogSink, DefaultSinkWritesOneLinePerRecordToStderr) {
    testing::internal::CaptureStderr();
    zAZir4::logout("ERROR", "CGroup", "bad thing", "group.cpp", 42);
    zAZir4::logout("ENTER_EXIT", "ENTER_EXIT", "dll attach: zu_zozov!", nullptr, -1);
    zAZir4::logout("DEBUG", "CGrpRule", "", "", 0);
    EXPECT_EQ(
        "ERROR CGroup bad thing (group.cpp:42)\n"
        "ENTER_EXIT ENTER_EXIT dll attach: zu_zozov! (-:-1)\n"
        "DEBUG CGrpRule  (:0)\n",
        testing::internal::GetCapturedStderr());
}

TEST(LogSink, SetSinkReturnsThePreviousSinkAndEmptyRestoresTheDefault) {
    int calls[2] = {0, 0};
    auto counter = [&calls](int k) {
        return [&calls, k](const char*, const char*, const char*, const char*, int) { ++calls[k]; };
    };
    EXPECT_FALSE(zAZir4::setSink(counter(0))) << "the default sink is reported as an empty Sink";
    zAZir4::Sink previous = zAZir4::setSink(counter(1));
    zAZir4::logout("WARN", "L", "m", "f", 2);
    previous("WARN", "L", "m", "f", 3);  // the returned sink is the first one
    EXPECT_EQ(1, calls[0]);
    EXPECT_EQ(1, calls[1]);
    EXPECT_TRUE(zAZir4::setSink({}));
    testing::internal::CaptureStderr();
    zAZir4::logout("WARN", "L", "back to stderr", "f", 4);
    EXPECT_EQ("WARN L back to stderr (f:4)\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(1, calls[1]);
}

TEST(LogSink, ThrowingHostSinkDoesNotReachTheLibrary) {
    int calls = 0;
    zAZir4::setSink([&](const char*, const char*, const char*, const char*, int) {
        ++calls;
        throw std::runtime_error("sink failed");
    });
    EXPECT_NO_THROW(zAZir4::logout("ERROR", "L", "m", "f", 1));
    // The same through a logging site of the library.
    EXPECT_NO_THROW(ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR, "L", "m"));
    zAZir4::setSink([&](const char*, const char*, const char*, const char*, int) {
        ++calls;
        throw 7;  // not even a std::exception
    });
    EXPECT_NO_THROW(zAZir4::logout("ERROR", "L", "m", "f", 1));
    zAZir4::setSink({});
    EXPECT_EQ(3, calls);
}

TEST(LogSink, LoggingSiteHandsOverTheFiveFields) {
    testsupport::LogCapture log;
    const std::string name = "P_CODE1";
    const int line = __LINE__ + 1;
    ZU_ZOZOV_LOG(zAZir4::LEVEL_ERROR,
                 "C"
                     << "Group" << 1,
                 "attr " << name << ':' << 2.5);
    ZU_ZOZOV_LOG(zAZir4::LEVEL_DEBUG, "CGrpRule", "");
    ASSERT_EQ(2u, log.records().size());
    const testsupport::LogRecord& r = log.records()[0];
    // The base name of the source file, without its directory.
    testsupport::expectRecord(r, "ERROR", "CGroup1", "attr P_CODE1:2.5", "logout_test.cpp");
    EXPECT_EQ(line, r.line);
    const testsupport::LogRecord& empty = log.records()[1];
    EXPECT_EQ("DEBUG", empty.level);
    EXPECT_FALSE(empty.nullText) << "an empty message is an empty string, never null";
    EXPECT_EQ("", empty.message);
}

}  // namespace
