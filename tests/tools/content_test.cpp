// The demo-content builder, run as a program: every picture the show reads
// at start-up is in its package, decodes through the canvas at its planned
// size, carries transparency where the show draws it over other things, and
// the package comes out the same byte for byte on every run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "../support/testutil.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"

namespace {

using fxtest::Has;
using fxtest::ToolRun;

ToolRun RunBuilder(const std::string& args) { return fxtest::RunTool(VELMIRA_CONTENT_PATH, args); }

bool Exists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

int CountEntries(const std::string& dir) {
    std::string cmd = "ls -A '" + dir + "' | wc -l";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    int n = -1;
    if (fscanf(p, "%d", &n) != 1) n = -1;
    pclose(p);
    return n;
}

// What each entry is planned to be.
enum Use { kPhoto, kBubble, kCaption, kOverlay, kBanner, kError, kBillboard, kPreview };

struct Plan {
    int id;
    int type;
    int w, h;
    Use use;
};

const Plan kPlans[] = {
    {31, FX_PCK_TYPE_JPG, 400, 300, kPhoto},     {32, FX_PCK_TYPE_PNG, 512, 288, kBubble},
    {33, FX_PCK_TYPE_JPG, 400, 300, kPhoto},     {34, FX_PCK_TYPE_PNG, 512, 288, kBubble},
    {35, FX_PCK_TYPE_JPG, 400, 300, kPhoto},     {36, FX_PCK_TYPE_PNG, 512, 288, kBubble},
    {37, FX_PCK_TYPE_PNG, 512, 288, kBubble},    {38, FX_PCK_TYPE_PNG, 1024, 768, kOverlay},
    {39, FX_PCK_TYPE_PNG, 288, 240, kBanner},    {40, FX_PCK_TYPE_PNG, 520, 132, kError},
    {41, FX_PCK_TYPE_PNG, 512, 288, kBubble},    {42, FX_PCK_TYPE_PNG, 512, 288, kBubble},
    {43, FX_PCK_TYPE_PNG, 768, 72, kCaption},    {44, FX_PCK_TYPE_PNG, 768, 72, kCaption},
    {45, FX_PCK_TYPE_PNG, 768, 72, kCaption},    {46, FX_PCK_TYPE_PNG, 768, 72, kCaption},
    {47, FX_PCK_TYPE_PNG, 768, 72, kCaption},    {48, FX_PCK_TYPE_PNG, 256, 512, kBillboard},
    {49, FX_PCK_TYPE_PNG, 256, 512, kBillboard}, {50, FX_PCK_TYPE_PNG, 256, 512, kBillboard},
    {51, FX_PCK_TYPE_PNG, 256, 512, kBillboard}, {52, FX_PCK_TYPE_PNG, 256, 512, kBillboard},
    {53, FX_PCK_TYPE_PNG, 256, 512, kBillboard}, {54, FX_PCK_TYPE_PNG, 288, 240, kBanner},
    {55, FX_PCK_TYPE_PNG, 512, 288, kBubble},    {56, FX_PCK_TYPE_JPG, 304, 224, kPreview},
};

uint32_t Pixel(FXCanvas& c, int x, int y) { return c.pixmap.Row(y)[x]; }
int Alpha(FXCanvas& c, int x, int y) { return static_cast<int>(Pixel(c, x, y) >> 24); }
// Luminance 0..255 of a pixel's colour.
int Luma(FXCanvas& c, int x, int y) {
    uint32_t p = Pixel(c, x, y);
    return static_cast<int>((299 * (p & 0xFF) + 587 * ((p >> 8) & 0xFF) + 114 * ((p >> 16) & 0xFF)) / 1000);
}

// Pixels of the rectangle whose alpha lies in [lo, hi].
int CountAlpha(FXCanvas& c, int x0, int y0, int x1, int y1, int lo, int hi) {
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            int a = Alpha(c, x, y);
            if (a >= lo && a <= hi) n++;
        }
    return n;
}

// The package under test: the one the test run prepared (named by
// VELMIRA_CONTENT_PACKAGE), or else one built here.
class ContentPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new fxtest::TempDir;
        const char* given = getenv("VELMIRA_CONTENT_PACKAGE");
        if (given && *given && Exists(given)) {
            path_ = new std::string(given);
            run_ = new ToolRun{0, "prepared package"};
        } else {
            path_ = new std::string(dir_->File("out/xxdata.dat"));
            run_ = new ToolRun(RunBuilder("'" + dir_->File("out") + "'"));
        }
        pck_ = new FXPackage;
        pck_->Load(path_->c_str());
        devil_ = fxLoadDevil();
    }
    static void TearDownTestSuite() {
        delete pck_;
        delete run_;
        delete path_;
        delete dir_;
        fxUnloadDevil();
        pck_ = nullptr;
        run_ = nullptr;
        path_ = nullptr;
        dir_ = nullptr;
    }

    // The entry decoded as the show decodes it.
    static std::unique_ptr<FXCanvas> Load(int id) {
        std::unique_ptr<FXCanvas> c(new FXCanvas);
        if (!c->CreateFromPictCN(pck_, id)) c.reset();
        return c;
    }

    static fxtest::TempDir* dir_;
    static std::string* path_;
    static ToolRun* run_;
    static FXPackage* pck_;
    static bool devil_;
};

fxtest::TempDir* ContentPackage::dir_ = nullptr;
std::string* ContentPackage::path_ = nullptr;
ToolRun* ContentPackage::run_ = nullptr;
FXPackage* ContentPackage::pck_ = nullptr;
bool ContentPackage::devil_ = false;

TEST_F(ContentPackage, HoldsExactlyThePlannedEntriesWithPictureTypes) {
    ASSERT_EQ(run_->status, 0) << run_->out;
    EXPECT_EQ(pck_->GetRecordCount(), static_cast<int>(sizeof kPlans / sizeof kPlans[0]));
    for (const Plan& p : kPlans) {
        SCOPED_TRACE(p.id);
        ASSERT_NE(pck_->GetDataPtr(p.id), nullptr);
        EXPECT_EQ(pck_->GetDataType(p.id), p.type);
    }
    EXPECT_EQ(pck_->GetDataPtr(30), nullptr);
    EXPECT_EQ(pck_->GetDataPtr(57), nullptr);
}

TEST_F(ContentPackage, EveryEntryDecodesAtItsPlannedSize) {
    ASSERT_TRUE(devil_);
    for (const Plan& p : kPlans) {
        SCOPED_TRACE(p.id);
        std::unique_ptr<FXCanvas> c = Load(p.id);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->GetWidth(), p.w);
        EXPECT_EQ(c->GetHeight(), p.h);
        bool needsAlpha = p.type == FX_PCK_TYPE_PNG;
        EXPECT_EQ(c->opaque, !needsAlpha);
    }
}

TEST_F(ContentPackage, PhotosAndPreviewAreOpaqueAndNotFlat) {
    ASSERT_TRUE(devil_);
    for (const Plan& p : kPlans) {
        if (p.use != kPhoto && p.use != kPreview) continue;
        SCOPED_TRACE(p.id);
        std::unique_ptr<FXCanvas> c = Load(p.id);
        ASSERT_TRUE(c);
        EXPECT_EQ(CountAlpha(*c, 0, 0, p.w, p.h, 255, 255), p.w * p.h);
        int lo = 255, hi = 0;
        for (int y = 0; y < p.h; y += 3)
            for (int x = 0; x < p.w; x += 3) {
                lo = std::min(lo, Luma(*c, x, y));
                hi = std::max(hi, Luma(*c, x, y));
            }
        EXPECT_GT(hi - lo, 120) << "a picture needs light and shade";
    }
}

TEST_F(ContentPackage, FrameOverlayIsClearInTheMiddleAndSolidAtTheEdge) {
    ASSERT_TRUE(devil_);
    std::unique_ptr<FXCanvas> c = Load(38);
    ASSERT_TRUE(c);
    // The middle of the screen, where the show plays, is untouched.
    EXPECT_EQ(CountAlpha(*c, 256, 192, 768, 576, 0, 0), 512 * 384);
    // The border band is fully covered on every side.
    for (int i = 0; i < 1024; i += 7) {
        EXPECT_EQ(Alpha(*c, i, 3), 255);
        EXPECT_EQ(Alpha(*c, i, 764), 255);
    }
    for (int i = 0; i < 768; i += 7) {
        EXPECT_EQ(Alpha(*c, 3, i), 255);
        EXPECT_EQ(Alpha(*c, 1020, i), 255);
    }
    // The name sits in the lower edge: light pixels there.
    int light = 0;
    for (int y = 730; y < 752; y++)
        for (int x = 440; x < 584; x++)
            if (Luma(*c, x, y) > 120) light++;
    EXPECT_GT(light, 40);
}

TEST_F(ContentPackage, BannersArePlaquesWithClearCorners) {
    ASSERT_TRUE(devil_);
    for (int id : {39, 54}) {
        SCOPED_TRACE(id);
        std::unique_ptr<FXCanvas> c = Load(id);
        ASSERT_TRUE(c);
        int w = c->GetWidth(), h = c->GetHeight();
        EXPECT_EQ(Alpha(*c, 0, 0), 0);
        EXPECT_EQ(Alpha(*c, w - 1, 0), 0);
        EXPECT_EQ(Alpha(*c, 0, h - 1), 0);
        EXPECT_EQ(Alpha(*c, w - 1, h - 1), 0);
        // The side margins hold no more than a faint shadow, so the two
        // plaques, whose pictures overlap a little on screen, never touch.
        EXPECT_EQ(CountAlpha(*c, 0, 0, 24, h, 40, 255), 0);
        EXPECT_EQ(CountAlpha(*c, w - 24, 0, w, h, 40, 255), 0);
        EXPECT_EQ(CountAlpha(*c, 0, 0, 8, h, 0, 0), 8 * h);
        EXPECT_EQ(Alpha(*c, w / 2, h / 2), 255);
        // Text: bright pixels on the dark plaque.
        int bright = 0;
        for (int y = 20; y < h - 20; y++)
            for (int x = 30; x < w - 30; x++)
                if (Alpha(*c, x, y) == 255 && Luma(*c, x, y) > 180) bright++;
        EXPECT_GT(bright, 300);
    }
}

TEST_F(ContentPackage, BubblesLeaveRoomAboveForTheirCaption) {
    ASSERT_TRUE(devil_);
    for (int id : {32, 34, 36, 37, 41, 42, 55}) {
        SCOPED_TRACE(id);
        std::unique_ptr<FXCanvas> c = Load(id);
        ASSERT_TRUE(c);
        // The caption ends its rise over the top sixth of the bubble: clear
        // there but for the faintest edge of the shadow.
        EXPECT_EQ(CountAlpha(*c, 0, 0, 512, 40, 0, 0), 512 * 40);
        EXPECT_EQ(CountAlpha(*c, 0, 0, 512, 288 / 6, 8, 255), 0);
        EXPECT_GE(Alpha(*c, 256, 150), 240);
        int dark = 0;
        for (int y = 100; y < 200; y++)
            for (int x = 60; x < 460; x++)
                if (Alpha(*c, x, y) >= 240 && Luma(*c, x, y) < 90) dark++;
        EXPECT_GT(dark, 500) << "the bubble's words";
    }
}

TEST_F(ContentPackage, CaptionsAreTextOnClear) {
    ASSERT_TRUE(devil_);
    for (int id = 43; id <= 47; id++) {
        SCOPED_TRACE(id);
        std::unique_ptr<FXCanvas> c = Load(id);
        ASSERT_TRUE(c);
        EXPECT_EQ(Alpha(*c, 0, 0), 0);
        EXPECT_EQ(Alpha(*c, 767, 71), 0);
        int solid = CountAlpha(*c, 0, 0, 768, 72, 230, 255);
        int clear = CountAlpha(*c, 0, 0, 768, 72, 0, 0);
        EXPECT_GT(solid, 400);
        EXPECT_GT(clear, 768 * 72 / 3);
    }
}

TEST_F(ContentPackage, BillboardsFadeIntoTheirSurroundings) {
    ASSERT_TRUE(devil_);
    for (int id = 48; id <= 53; id++) {
        SCOPED_TRACE(id);
        std::unique_ptr<FXCanvas> c = Load(id);
        ASSERT_TRUE(c);
        EXPECT_EQ(Alpha(*c, 0, 0), 0);
        EXPECT_EQ(Alpha(*c, 255, 0), 0);
        EXPECT_EQ(Alpha(*c, 0, 511), 0);
        EXPECT_EQ(Alpha(*c, 255, 511), 0);
        EXPECT_GT(CountAlpha(*c, 0, 0, 256, 512, 128, 255), 256 * 512 / 40);
    }
}

TEST_F(ContentPackage, ErrorPictureIsALegibleCard) {
    ASSERT_TRUE(devil_);
    std::unique_ptr<FXCanvas> c = Load(40);
    ASSERT_TRUE(c);
    EXPECT_EQ(Alpha(*c, 0, 0), 0);
    EXPECT_EQ(Alpha(*c, 260, 66), 255);
    // Light letters on a dark card, across the text column.
    int bright = 0, dark = 0;
    for (int y = 20; y < 112; y++)
        for (int x = 92; x < 500; x++) {
            if (Alpha(*c, x, y) != 255) continue;
            int l = Luma(*c, x, y);
            if (l > 170) bright++;
            if (l < 60) dark++;
        }
    EXPECT_GT(bright, 1500);
    EXPECT_GT(dark, 15000);
}

TEST_F(ContentPackage, ClearPixelsCarryTheColourOfTheirSurroundings) {
    ASSERT_TRUE(devil_);
    // Filtered textures mix a clear pixel's colour into its neighbours: it
    // must never be the black of an empty buffer.
    for (const Plan& p : kPlans) {
        if (p.type != FX_PCK_TYPE_PNG) continue;
        SCOPED_TRACE(p.id);
        std::unique_ptr<FXCanvas> c = Load(p.id);
        ASSERT_TRUE(c);
        int black = 0;
        for (int y = 0; y < p.h; y++)
            for (int x = 0; x < p.w; x++)
                if (Pixel(*c, x, y) == 0) black++;
        EXPECT_EQ(black, 0);
    }
}

TEST_F(ContentPackage, SameBytesOnEveryRunAndScrambledHoldsTheSame) {
    ASSERT_EQ(run_->status, 0) << run_->out;
    ToolRun again = RunBuilder("'" + dir_->File("again") + "'");
    ASSERT_EQ(again.status, 0) << again.out;
    EXPECT_TRUE(Has(again.out, "xxdata.dat"));
    // The pictures lived in a work folder that is gone again.
    EXPECT_EQ(CountEntries(dir_->File("again")), 1);
    std::string a = fxtest::ReadFile(*path_);
    std::string b = fxtest::ReadFile(dir_->File("again/xxdata.dat"));
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == b) << "two runs wrote different packages";

    ToolRun s = RunBuilder("--scramble '" + dir_->File("scrambled") + "'");
    ASSERT_EQ(s.status, 0) << s.out;
    FXPackage sp;
    ASSERT_TRUE(sp.Load(dir_->File("scrambled/xxdata.dat").c_str()));
    EXPECT_TRUE(sp.GetLoadInfo().scrambled);
    for (const Plan& p : kPlans) {
        FXPackageData* x = pck_->GetDataPtr(p.id);
        FXPackageData* y = sp.GetDataPtr(p.id);
        ASSERT_TRUE(x && y);
        ASSERT_EQ(x->size, y->size);
        EXPECT_EQ(0, memcmp(x->start, y->start, static_cast<size_t>(x->size))) << p.id;
    }
}

TEST(ContentBuilder, KeepsThePicturesWhenAsked) {
    fxtest::TempDir dir;
    ToolRun r = RunBuilder("--pictures '" + dir.File("deep/er/out/") + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Exists(dir.File("deep/er/out/xxdata.dat")));
    EXPECT_EQ(CountEntries(dir.File("deep/er/out/pictures")), static_cast<int>(sizeof kPlans / sizeof kPlans[0]));
    EXPECT_TRUE(Exists(dir.File("deep/er/out/pictures/38_frame_overlay.png")));
    EXPECT_TRUE(Exists(dir.File("deep/er/out/pictures/31_gallery_studio.jpg")));
}

TEST(ContentBuilder, HelpListAndUsageErrors) {
    ToolRun h = RunBuilder("--help");
    EXPECT_EQ(h.status, 0);
    EXPECT_TRUE(Has(h.out, "usage: velmira-content"));
    EXPECT_TRUE(Has(h.out, "--pictures"));
    ToolRun l = RunBuilder("--list");
    EXPECT_EQ(l.status, 0);
    EXPECT_TRUE(Has(l.out, " 38 "));
    EXPECT_TRUE(Has(l.out, "frame overlay"));
    ToolRun none = RunBuilder("");
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(Has(none.out, "no output folder"));
    ToolRun bad = RunBuilder("--frobnicate x");
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(Has(bad.out, "--frobnicate"));
    EXPECT_EQ(RunBuilder("a b").status, 2);
}

TEST(ContentBuilder, FailsClearlyWhenTheFolderCannotBeMade) {
    fxtest::TempDir dir;
    fxtest::WriteFile(dir.File("file"), "not a folder");
    ToolRun r = RunBuilder("'" + dir.File("file/sub") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, dir.File("file/sub"))) << r.out;
    EXPECT_FALSE(Exists(dir.File("file/sub")));
}

TEST(ContentBuilder, AFailedRunLeavesAnExistingPackageAlone) {
    fxtest::TempDir dir;
    // A folder in the way of the package file: the rename must fail.
    ASSERT_EQ(mkdir(dir.File("xxdata.dat").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.File("xxdata.dat/keep").c_str(), 0777), 0);
    ToolRun r = RunBuilder("'" + dir.path() + "'");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r.out, "xxdata.dat"));
    EXPECT_TRUE(Exists(dir.File("xxdata.dat/keep")));
    // No work folder is left behind.
    EXPECT_EQ(CountEntries(dir.path()), 1);
}

}  // namespace
