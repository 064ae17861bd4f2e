// The run-time binding: loading, its messages, the failure paths with real
// and incomplete libraries, and the transparency rule on file names.
#include <string>
#include <vector>

#include "imgtest.h"
#include "image/canvas.h"
#include "image/devil.h"

using imgtest::Count;
using imgtest::TraceCapture;

namespace {

class Devil : public ::testing::Test {
protected:
    void TearDown() override {
        // Leave the process as the other tests expect it: the real libraries.
        fxSetDevilLibraryNames(nullptr, nullptr);
        fxLoadDevil();
    }
    bool AllEntryPointsNull() const {
        return !pilInit && !pilShutDown && !pilEnable && !pilDisable && !pilSetInteger && !pilGenImages &&
               !pilDeleteImages && !pilBindImage && !pilGetInteger && !pilLoadL && !pilLoadImage && !pilSaveImage &&
               !pilCloneCurImage && !pilConvertImage && !pilCopyPixels && !pilSetPixels && !pilGetData &&
               !piluScale && !piluImageParameter && !pilTexImage;
    }
    bool AllEntryPointsSet() const {
        return pilInit && pilShutDown && pilEnable && pilDisable && pilSetInteger && pilGenImages &&
               pilDeleteImages && pilBindImage && pilGetInteger && pilLoadL && pilLoadImage && pilSaveImage &&
               pilCloneCurImage && pilConvertImage && pilCopyPixels && pilSetPixels && pilGetData && piluScale &&
               piluImageParameter && pilTexImage;
    }
    fxtest::TempDir dir_;
};

TEST_F(Devil, LoadsTheSystemLibrariesOnceAndUnloadsThem) {
    fxUnloadDevil();
    TraceCapture cap(dir_);
    ASSERT_TRUE(fxLoadDevil());
    EXPECT_TRUE(fxDevilLoaded());
    EXPECT_NE(ilDLL, nullptr);
    EXPECT_NE(iluDLL, nullptr);
    EXPECT_TRUE(AllEntryPointsSet());
    // DevIL answers once initialised: a fresh image name is not 0.
    FXILuint id = 0;
    pilGenImages(1, &id);
    EXPECT_NE(id, 0u);
    pilDeleteImages(1, &id);
    void* il = ilDLL;
    ASSERT_TRUE(fxLoadDevil());  // loading twice keeps one binding
    EXPECT_EQ(ilDLL, il);
    fxUnloadDevil();
    EXPECT_FALSE(fxDevilLoaded());
    EXPECT_EQ(ilDLL, nullptr);
    EXPECT_EQ(iluDLL, nullptr);
    EXPECT_TRUE(AllEntryPointsNull());
    fxUnloadDevil();  // harmless when nothing is loaded
    std::string log = cap.Stop();
    size_t a = log.find("loading devil\n"), b = log.find("loading ok\n"), c = log.find("unload devil\n");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    ASSERT_NE(c, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(log.find("#ERROR"), std::string::npos) << log;
}

TEST_F(Devil, MissingOrIncompleteLibrariesFailCleanlyWithTheirMessages) {
    struct Case {
        const char* what;
        const char* il;
        const char* ilu;
        std::vector<std::string> said;  // in this order, each once
        std::vector<std::string> unsaid;
    } cases[] = {
        {"missing devil", "libIL-not-installed.so.1", nullptr,
         {"failed to load devil.dll\n", "failed to load devil libraries\n"}, {"ilu.dll", "loading ok"}},
        {"missing ilu (devil unloaded again)", nullptr, "libILU-not-installed.so.1",
         {"failed to load ilu.dll\n", "failed to load devil libraries\n"}, {"devil.dll", "loading ok"}},
        {"devil lacking an entry point", FX_PARTIAL_IL_PATH, nullptr, {"failed to load devil libraries\n"},
         {"devil.dll", "ilu.dll", "loading ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fxUnloadDevil();
        fxSetDevilLibraryNames(c.il, c.ilu);
        TraceCapture cap(dir_);
        EXPECT_FALSE(fxLoadDevil());
        EXPECT_FALSE(fxDevilLoaded());
        EXPECT_EQ(ilDLL, nullptr);
        EXPECT_EQ(iluDLL, nullptr);
        EXPECT_TRUE(AllEntryPointsNull());
        std::string log = cap.Stop();
        size_t last = 0;
        for (const std::string& m : c.said) {
            EXPECT_EQ(Count(log, m), 1) << m << log;
            EXPECT_GE(log.find(m), last) << m << log;
            last = log.find(m);
        }
        for (const std::string& m : c.unsaid) EXPECT_EQ(log.find(m), std::string::npos) << m << log;
    }
}

TEST_F(Devil, PictureOperationsFailWhileUnloadedAndSaySoOnce) {
    // A real picture, made while DevIL is there.
    std::string pic = dir_.File("pic.png");
    ASSERT_TRUE(imgtest::MakeQuadrants(pic, 8, 8));
    std::string bytes = fxtest::ReadFile(pic);
    fxUnloadDevil();
    fxSetDevilLibraryNames("libIL-not-installed.so.1", nullptr);
    TraceCapture cap(dir_);
    ASSERT_FALSE(fxLoadDevil());
    FXCanvas c;
    EXPECT_FALSE(c.CreateFromPict(pic.c_str()));
    EXPECT_FALSE(c.CreateFromPictResize(pic.c_str(), 0.5f, 0.5f));
    EXPECT_FALSE(imgtest::LoadBuf(&c, FX_IL_PNG, bytes));
    EXPECT_EQ(c.pixmap.pixels, nullptr);
    ASSERT_TRUE(c.pixmap.Realloc(4, 4));
    c.pixmap.Clear(-1);
    EXPECT_FALSE(c.LoadMask(pic.c_str()));
    std::string out = dir_.File("out.png");
    EXPECT_FALSE(c.SaveToPict(out.c_str()));
    EXPECT_FALSE(c.SaveToPict2(out.c_str(), 0, 0, 2, 2));
    EXPECT_FALSE(c.SaveToMask(out.c_str()));
    FXCanvas::SetJpegQuality(50);
    EXPECT_EQ(fxtest::ReadFile(out), "");
    std::string log = cap.Stop();
    EXPECT_EQ(Count(log, "devil libraries not loaded"), 1) << log;

    // Loaded again, the same operations work.
    fxSetDevilLibraryNames(nullptr, nullptr);
    ASSERT_TRUE(fxLoadDevil());
    EXPECT_TRUE(c.CreateFromPict(pic.c_str()));
    EXPECT_TRUE(c.SaveToPict(out.c_str()));
    EXPECT_NE(fxtest::ReadFile(out), "");
}

TEST(TransFilename, FourLettersInAnyCaseAnywhere) {
    // Inside a folder name, with an overlapping start, in any case.
    for (const char* yes : {"tran.png", "pics/BUBBLE_TRANSP.JPG", "ulTrAnslucent.bmp", "Strand/pic.jpg", "C:\\Tran\\a.png",
                            "ttran"})
        EXPECT_TRUE(localDetectTransFilename(yes)) << yes;
    for (const char* no : {"train.png", "tra n.png", "tra", "photo.jpg", ""}) EXPECT_FALSE(localDetectTransFilename(no)) << no;
    EXPECT_FALSE(localDetectTransFilename(nullptr));
}

}  // namespace
