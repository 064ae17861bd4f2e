#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
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
const std::string kEnd = "\n" + kRule + " end of traces\n" + kRule + "\n";

class Traces : public ::testing::Test {
protected:
    void SetUp() override {
        fxCloseTraces();
        clock_.SetMs(2500);
        old_ = fxSetClockSource(&clock_);
        ASSERT_TRUE(fxOpenTraces(path_.c_str()));
    }
    void TearDown() override {
        fxCloseTraces();
        fxSetClockSource(old_);
    }
    static std::string Prefix(uint32_t thread = fxGetCurrentThreadId(), const char* time = "2.500") {
        char buf[48];
        snprintf(buf, sizeof buf, "%08x: [%s] ", thread, time);
        return buf;
    }
    // The log as the engine wrote it; on Windows its text mode ends every
    // line with a carriage return, checked here and taken away.
    std::string Log() const {
        std::string s = fxtest::ReadFile(path_);
#ifdef _WIN32
        std::string lf;
        for (size_t i = 0; i < s.size(); i++) {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
                lf += '\n';
                i++;
                continue;
            }
            EXPECT_NE(s[i], '\n') << "a line end without its carriage return at " << i;
            lf += s[i];
        }
        s = lf;
#endif
        return s;
    }
    std::string Closed() {
        fxCloseTraces();
        return Log();
    }
    std::string Banner(const std::string& p) const { return kRule + " fxOpenTraces (filename:" + p + ")\n" + kRule + "\n"; }

    fxtest::TempDir dir_;
    std::string path_ = dir_.File("a.log");
    FXVirtualClock clock_;
    FXClockSource* old_ = nullptr;
};

TEST_F(Traces, LinesCarryThreadIdAndSinglePrecisionTime) {
    EXPECT_TRUE(fxTracesOpened());
    trc("a %d\n", 5);
    err("a %d\n", 5);
    trc("begun ");
    trc1("x\n");
    uint32_t other = 0;
    std::thread th([&] {
        other = fxGetCurrentThreadId();
        trc("other\n");
    });
    th.join();
    EXPECT_NE(other, fxGetCurrentThreadId());
    clock_.SetMs(16777217123ull);  // in single precision 16777217.123 s is 16777218 s
    trc("late\n");
    trc1("%s", std::string(6000, 'm').c_str());  // long messages are cut
    std::string log = Closed();
    EXPECT_FALSE(fxTracesOpened());
    EXPECT_EQ(log, Banner(path_) + Prefix() + "a 5\n#ERROR: " + Prefix() + "a 5\n" + Prefix() + "begun x\n" + Prefix(other) +
                       "other\n" + Prefix(fxGetCurrentThreadId(), "16777218.000") + "late\n" + std::string(4096, 'm') + kEnd);
    trc("after\n");
    err("after\n");
    fxCloseTraces();
    EXPECT_EQ(Log(), log);  // nothing is written while closed, the end banner once
}

TEST_F(Traces, ASecondOpenLeavesItsNoticeInTheFirstLog) {
    std::string second = dir_.File("second.log");
    EXPECT_FALSE(fxOpenTraces(second.c_str()));
    std::string notice = kRule + "fxOpenTraces - attempt to open another traces\n" + "               (filename:" +
                         second + ")\n" + kRule + "\n";
    EXPECT_EQ(Closed(), Banner(path_) + notice + kEnd);
    EXPECT_FALSE(fxPathExists(second.c_str()));
    EXPECT_TRUE(fxOpenTraces(second.c_str()));  // reopening after a close works
    fxCloseTraces();
    EXPECT_FALSE(fxOpenTraces(dir_.File("no/such/folder.log").c_str()));
    EXPECT_FALSE(fxTracesOpened());
}

TEST_F(Traces, ErrmsgLogsAndAnswersOk) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(errmsg("bad %s\n", "thing"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: bad thing\n");
    EXPECT_TRUE(fxtest::Has(Closed(), "#ERROR: " + Prefix() + "bad thing\n"));
    testing::internal::CaptureStderr();
    errmsg("closed %d", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: closed 1\n");
}

TEST_F(Traces, LinesOfManyThreadsNeverMix) {
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([t] {
            for (int i = 0; i < 200; ++i) trc("thread %d line %d end\n", t, i);
        });
    // Closing while others write must neither crash nor tear a line.
    ts.emplace_back([] { fxCloseTraces(); });
    for (auto& th : ts) th.join();
    std::istringstream log(Log());
    for (std::string line; std::getline(log, line);)  // one whole message per line
        EXPECT_TRUE(line.find("thread ") == std::string::npos ||
                    (line.find("thread ") == line.rfind("thread ") && line.rfind(" end") + 4 == line.size())) << line;
}

}  // namespace
