#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "../support/testutil.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/thread.h"
#include "base/trace.h"

namespace {

const std::string kRule = "------------------------------------------------\n";

class Traces : public ::testing::Test {
protected:
    void SetUp() override {
        fxCloseTraces();
        clock_.SetMs(2500);
        old_ = fxSetClockSource(&clock_);
    }
    void TearDown() override {
        fxCloseTraces();
        fxSetClockSource(old_);
    }
    std::string Prefix() const {
        char buf[32];
        snprintf(buf, sizeof buf, "%08x: [2.500] ", fxGetCurrentThreadId());
        return buf;
    }
    std::string Banner(const std::string& path) const {
        return kRule + " fxOpenTraces (filename:" + path + ")\n" + kRule + "\n";
    }
    const std::string kEnd = "\n" + kRule + " end of traces\n" + kRule + "\n";

    fxtest::TempDir dir_;
    FXVirtualClock clock_;
    FXClockSource* old_ = nullptr;
};

TEST_F(Traces, LinesCarryThreadIdAndTime) {
    std::string path = dir_.File("a.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    EXPECT_TRUE(fxTracesOpened());
    trc("a %d\n", 5);
    err("a %d\n", 5);
    trc("begun ");
    trc1("x\n");
    fxCloseTraces();
    EXPECT_FALSE(fxTracesOpened());
    std::string expect = Banner(path) + Prefix() + "a 5\n" + "#ERROR: " + Prefix() + "a 5\n" + Prefix() +
                         "begun x\n" + kEnd;
    EXPECT_EQ(fxtest::ReadFile(path), expect);
}

TEST_F(Traces, ThreadIdIsTheCallersInLowerCaseHex) {
    std::string path = dir_.File("t.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    uint32_t other = 0;
    std::thread th([&] {
        other = fxGetCurrentThreadId();
        trc("from the other thread\n");
    });
    th.join();
    fxCloseTraces();
    char want[64];
    snprintf(want, sizeof want, "%08x: [2.500] from the other thread\n", other);
    std::string log = fxtest::ReadFile(path);
    EXPECT_NE(other, fxGetCurrentThreadId());
    EXPECT_NE(log.find(want), std::string::npos) << log;
}

TEST_F(Traces, TimeIsPrintedInSinglePrecision) {
    std::string path = dir_.File("p.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    clock_.SetMs(16777217123ull);  // beyond what a float holds to the millisecond
    trc("late\n");
    fxCloseTraces();
    // In single precision 16777217.123 s is 16777218 s.
    EXPECT_NE(fxtest::ReadFile(path).find("[16777218.000] late"), std::string::npos);
}

TEST_F(Traces, NothingIsWrittenWhileClosed) {
    std::string path = dir_.File("c.log");
    trc("before\n");
    err("before\n");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    fxCloseTraces();
    trc("after\n");
    fxCloseTraces();  // the closing banner is written once
    EXPECT_EQ(fxtest::ReadFile(path), Banner(path) + kEnd);
}

TEST_F(Traces, ASecondOpenLeavesItsNoticeInTheFirstLog) {
    std::string first = dir_.File("first.log"), second = dir_.File("second.log");
    ASSERT_TRUE(fxOpenTraces(first.c_str()));
    EXPECT_FALSE(fxOpenTraces(second.c_str()));
    fxCloseTraces();
    std::string notice = kRule + "fxOpenTraces - attempt to open another traces\n" +
                         "               (filename:" + second + ")\n" + kRule + "\n";
    EXPECT_EQ(fxtest::ReadFile(first), Banner(first) + notice + kEnd);
    EXPECT_FALSE(fxPathExists(second.c_str()));
    // Reopening after a close works.
    EXPECT_TRUE(fxOpenTraces(second.c_str()));
}

TEST_F(Traces, AnUncreatableLogLeavesTracesClosed) {
    EXPECT_FALSE(fxOpenTraces(dir_.File("no/such/folder.log").c_str()));
    EXPECT_FALSE(fxTracesOpened());
    trc("silent\n");
}

TEST_F(Traces, OverlongMessagesAreCut) {
    std::string path = dir_.File("long.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    std::string big(6000, 'm');
    trc1("%s", big.c_str());
    fxCloseTraces();
    std::string log = fxtest::ReadFile(path);
    EXPECT_EQ(log, Banner(path) + std::string(4096, 'm') + kEnd);
}

TEST_F(Traces, ErrmsgLogsAndAnswersOk) {
    std::string path = dir_.File("m.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    testing::internal::CaptureStderr();
    int r = errmsg("bad %s\n", "thing");
    std::string shown = testing::internal::GetCapturedStderr();
    fxCloseTraces();
    EXPECT_EQ(r, 1);
    EXPECT_EQ(shown, "Error: bad thing\n");
    EXPECT_NE(fxtest::ReadFile(path).find("#ERROR: " + Prefix() + "bad thing\n"), std::string::npos);

    testing::internal::CaptureStderr();
    errmsg("closed %d", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: closed 1\n");
}

TEST_F(Traces, LinesOfManyThreadsNeverMix) {
    std::string path = dir_.File("mt.log");
    ASSERT_TRUE(fxOpenTraces(path.c_str()));
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([t] {
            for (int i = 0; i < 200; ++i) trc("thread %d line %d end\n", t, i);
        });
    // Closing while others write must neither crash nor tear a line.
    ts.emplace_back([] { fxCloseTraces(); });
    for (auto& th : ts) th.join();
    std::string log = fxtest::ReadFile(path);
    size_t pos = 0, lines = 0;
    while ((pos = log.find("thread ", pos)) != std::string::npos) {
        size_t eol = log.find('\n', pos);
        ASSERT_NE(eol, std::string::npos);
        EXPECT_EQ(log.compare(eol - 4, 4, " end"), 0);
        pos = eol;
        ++lines;
    }
    EXPECT_LE(lines, 800u);
}

}  // namespace
