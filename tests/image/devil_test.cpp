// The run-time binding: loading, its messages, the failure paths with real
// and incomplete libraries, and the transparency rule on file names.
#include <string>

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

TEST_F(Devil, LoadsTheSystemLibrariesAndUnloadsThem) {
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
    fxUnloadDevil();
    EXPECT_FALSE(fxDevilLoaded());
    EXPECT_EQ(ilDLL, nullptr);
    EXPECT_EQ(iluDLL, nullptr);
    EXPECT_TRUE(AllEntryPointsNull());
    std::string log = cap.Stop();
    size_t a = log.find("loading devil\n"), b = log.find("loading ok\n"), c = log.find("unload devil\n");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    ASSERT_NE(c, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(log.find("#ERROR"), std::string::npos) << log;
}

TEST_F(Devil, MissingDevilFailsWithTwoMessages) {
    fxUnloadDevil();
    fxSetDevilLibraryNames("libIL-not-installed.so.1", nullptr);
    TraceCapture cap(dir_);
    EXPECT_FALSE(fxLoadDevil());
    EXPECT_FALSE(fxDevilLoaded());
    EXPECT_EQ(ilDLL, nullptr);
    EXPECT_EQ(iluDLL, nullptr);
    EXPECT_TRUE(AllEntryPointsNull());
    std::string log = cap.Stop();
    size_t a = log.find("failed to load devil.dll\n"), b = log.find("failed to load devil libraries\n");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_EQ(log.find("ilu.dll"), std::string::npos);
    EXPECT_EQ(log.find("loading ok"), std::string::npos);
}

TEST_F(Devil, MissingIluUnloadsDevilAgain) {
    fxUnloadDevil();
    fxSetDevilLibraryNames(nullptr, "libILU-not-installed.so.1");
    TraceCapture cap(dir_);
    EXPECT_FALSE(fxLoadDevil());
    EXPECT_EQ(ilDLL, nullptr);
    EXPECT_EQ(iluDLL, nullptr);
    EXPECT_TRUE(AllEntryPointsNull());
    std::string log = cap.Stop();
    size_t a = log.find("failed to load ilu.dll\n"), b = log.find("failed to load devil libraries\n");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_EQ(log.find("devil.dll"), std::string::npos);
}

TEST_F(Devil, LibraryLackingAnEntryPointFailsWithOneMessage) {
    fxUnloadDevil();
    fxSetDevilLibraryNames(FX_PARTIAL_IL_PATH, nullptr);
    TraceCapture cap(dir_);
    EXPECT_FALSE(fxLoadDevil());
    EXPECT_EQ(ilDLL, nullptr);
    EXPECT_EQ(iluDLL, nullptr);
    EXPECT_TRUE(AllEntryPointsNull());
    std::string log = cap.Stop();
    EXPECT_EQ(Count(log, "failed to load devil libraries\n"), 1) << log;
    EXPECT_EQ(log.find("devil.dll"), std::string::npos) << log;
    EXPECT_EQ(log.find("ilu.dll"), std::string::npos) << log;
    EXPECT_EQ(log.find("loading ok"), std::string::npos) << log;
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
    EXPECT_FALSE(c.CreateFromBufType(FX_IL_PNG, reinterpret_cast<unsigned char*>(&bytes[0]),
                                     static_cast<unsigned>(bytes.size())));
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

TEST_F(Devil, LoadingTwiceKeepsOneBinding) {
    ASSERT_TRUE(fxLoadDevil());
    void* il = ilDLL;
    ASSERT_TRUE(fxLoadDevil());
    EXPECT_EQ(ilDLL, il);
    fxUnloadDevil();
    fxUnloadDevil();  // harmless when nothing is loaded
    EXPECT_EQ(ilDLL, nullptr);
}

TEST(TransFilename, FourLettersInAnyCaseAnywhere) {
    EXPECT_TRUE(localDetectTransFilename("tran.png"));
    EXPECT_TRUE(localDetectTransFilename("pics/BUBBLE_TRANSP.JPG"));
    EXPECT_TRUE(localDetectTransFilename("ulTrAnslucent.bmp"));
    EXPECT_TRUE(localDetectTransFilename("Strand/pic.jpg"));   // inside a folder name
    EXPECT_TRUE(localDetectTransFilename("C:\\Tran\\a.png"));
    EXPECT_TRUE(localDetectTransFilename("ttran"));            // overlapping start
    EXPECT_FALSE(localDetectTransFilename("train.png"));
    EXPECT_FALSE(localDetectTransFilename("tra n.png"));
    EXPECT_FALSE(localDetectTransFilename("tra"));
    EXPECT_FALSE(localDetectTransFilename("photo.jpg"));
    EXPECT_FALSE(localDetectTransFilename(""));
    EXPECT_FALSE(localDetectTransFilename(nullptr));
}

}  // namespace
