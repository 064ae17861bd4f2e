// The run-time binding: its failure paths and messages with missing and
// incomplete libraries, and the transparency rule on file names.
#include <string>
#include <vector>

#include "imgtest.h"

using imgtest::Count;
using imgtest::TraceCapture;

namespace {

class Devil : public imgtest::DevilTest {
protected:
    void TearDown() override {
        // Leave the process as the other tests expect it: the real libraries.
        fxSetDevilLibraryNames(nullptr, nullptr);
        fxLoadDevil();
    }
};

TEST_F(Devil, MissingOrIncompleteLibrariesFailCleanlyWithTheirMessages) {
    struct Case {
        const char *what, *il, *ilu;
        std::vector<std::string> said, unsaid;  // said: in this order, each once
    } cases[] = {
        {"missing devil", "libIL-not-installed.so.1", nullptr,
         {"failed to load devil.dll\n", "failed to load devil libraries\n"}, {"ilu.dll", "loading ok"}},
        {"missing ilu (devil unloaded again)", nullptr, "libILU-not-installed.so.1",
         {"failed to load ilu.dll\n", "failed to load devil libraries\n"}, {"devil.dll", "loading ok"}},
        {"devil lacking an entry point", FX_PARTIAL_IL_PATH, nullptr, {"failed to load devil libraries\n"},
         {"devil.dll", "ilu.dll", "loading ok"}},
    };
    std::string pic = F("pic.png");  // a real picture, which cannot load while DevIL is missing
    ASSERT_TRUE(imgtest::MakeQuadrants(pic, 8, 8));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fxUnloadDevil();
        fxSetDevilLibraryNames(c.il, c.ilu);
        TraceCapture cap(dir_);
        EXPECT_FALSE(fxLoadDevil());
        // Nothing of the binding is left set, the entry points found before the failure neither.
        EXPECT_FALSE(fxDevilLoaded() || ilDLL || iluDLL || pilInit || pilLoadL || pilGetData || piluScale || pilTexImage);
        FXCanvas pc;
        EXPECT_FALSE(pc.CreateFromPict(pic.c_str()) || pc.CreateFromPict(pic.c_str()));
        std::string log = cap.Stop();
        size_t last = 0;
        std::vector<std::string> said = c.said;
        said.push_back("devil libraries not loaded");
        for (const std::string& m : said) {
            EXPECT_EQ(Count(log, m), 1) << m << log;
            EXPECT_GE(log.find(m), last) << m << log;
            last = log.find(m);
        }
        for (const std::string& m : c.unsaid) EXPECT_FALSE(fxtest::Has(log, m)) << m << log;
    }
}

TEST(TransFilename, FourLettersInAnyCaseAnywhere) {
    // Inside a folder name, with an overlapping start, in any case.
    for (const char* yes : {"tran.png", "pics/BUBBLE_TRANSP.JPG", "ulTrAnslucent.bmp", "Strand/pic.jpg", "C:\\Tran\\a.png",
                            "ttran"})
        EXPECT_TRUE(localDetectTransFilename(yes)) << yes;
    for (const char* no : {"train.png", "tra n.png", "tra", "photo.jpg", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(localDetectTransFilename(no)) << (no ? no : "null");
}

}  // namespace
