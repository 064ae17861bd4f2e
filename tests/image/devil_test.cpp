// The run-time binding: loading, its messages, the failure paths with real
// and incomplete libraries, and the transparency rule on file names.
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
    // How many of the binding's entry points are set.
    static int EntryPoints() {
        const void* eps[] = {(void*)pilInit,         (void*)pilShutDown,   (void*)pilEnable,     (void*)pilDisable,
                             (void*)pilSetInteger,   (void*)pilGenImages,  (void*)pilDeleteImages, (void*)pilBindImage,
                             (void*)pilGetInteger,   (void*)pilLoadL,      (void*)pilLoadImage,  (void*)pilSaveImage,
                             (void*)pilCloneCurImage, (void*)pilConvertImage, (void*)pilCopyPixels, (void*)pilSetPixels,
                             (void*)pilGetData,      (void*)piluScale,     (void*)piluImageParameter, (void*)pilTexImage};
        int n = 0;
        for (const void* p : eps) n += p != nullptr;
        return n;
    }
};

TEST_F(Devil, LoadsTheSystemLibrariesOnceAndUnloadsThem) {
    fxUnloadDevil();
    TraceCapture cap(dir_);
    ASSERT_TRUE(fxLoadDevil());
    EXPECT_TRUE(fxDevilLoaded());
    EXPECT_TRUE(ilDLL && iluDLL);
    EXPECT_EQ(EntryPoints(), 20);
    FXILuint id = 0;  // DevIL answers once initialised: a fresh image name is not 0
    pilGenImages(1, &id);
    EXPECT_NE(id, 0u);
    pilDeleteImages(1, &id);
    void* il = ilDLL;
    ASSERT_TRUE(fxLoadDevil());  // loading twice keeps one binding
    EXPECT_EQ(ilDLL, il);
    fxUnloadDevil();
    EXPECT_FALSE(fxDevilLoaded() || ilDLL || iluDLL);
    EXPECT_EQ(EntryPoints(), 0);
    fxUnloadDevil();  // harmless when nothing is loaded
    std::string log = cap.Stop();
    size_t a = log.find("loading devil\n"), b = log.find("loading ok\n"), c = log.find("unload devil\n");
    EXPECT_TRUE(a < b && b < c && c != std::string::npos) << log;
    EXPECT_FALSE(fxtest::Has(log, "#ERROR")) << log;
}

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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fxUnloadDevil();
        fxSetDevilLibraryNames(c.il, c.ilu);
        TraceCapture cap(dir_);
        EXPECT_FALSE(fxLoadDevil());
        EXPECT_FALSE(fxDevilLoaded() || ilDLL || iluDLL);
        EXPECT_EQ(EntryPoints(), 0);
        std::string log = cap.Stop();
        size_t last = 0;
        for (const std::string& m : c.said) {
            EXPECT_EQ(Count(log, m), 1) << m << log;
            EXPECT_GE(log.find(m), last) << m << log;
            last = log.find(m);
        }
        for (const std::string& m : c.unsaid) EXPECT_FALSE(fxtest::Has(log, m)) << m << log;
    }
}

TEST_F(Devil, PictureOperationsFailWhileUnloadedAndSaySoOnce) {
    std::string pic = F("pic.png"), out = F("out.png");  // a real picture, made while DevIL is there
    ASSERT_TRUE(imgtest::MakeQuadrants(pic, 8, 8));
    std::string bytes = fxtest::ReadFile(pic);
    fxUnloadDevil();
    fxSetDevilLibraryNames("libIL-not-installed.so.1", nullptr);
    TraceCapture cap(dir_);
    ASSERT_FALSE(fxLoadDevil());
    FXCanvas c;
    EXPECT_FALSE(c.CreateFromPict(pic.c_str()) || c.CreateFromPictResize(pic.c_str(), 0.5f, 0.5f) ||
                 imgtest::LoadBuf(&c, FX_IL_PNG, bytes));
    EXPECT_EQ(c.pixmap.pixels, nullptr);
    ASSERT_TRUE(c.pixmap.Realloc(4, 4));
    c.pixmap.Clear(-1);
    EXPECT_FALSE(c.LoadMask(pic.c_str()) || c.SaveToPict(out.c_str()) || c.SaveToPict2(out.c_str(), 0, 0, 2, 2) ||
                 c.SaveToMask(out.c_str()));
    FXCanvas::SetJpegQuality(50);
    EXPECT_EQ(fxtest::ReadFile(out), "");
    EXPECT_EQ(Count(cap.Stop(), "devil libraries not loaded"), 1);
    fxSetDevilLibraryNames(nullptr, nullptr);  // loaded again, the same operations work
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
    for (const char* no : {"train.png", "tra n.png", "tra", "photo.jpg", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(localDetectTransFilename(no)) << (no ? no : "null");
}

}  // namespace
