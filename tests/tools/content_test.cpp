// The demo-content builder, run as a program: every picture the show reads
// at start-up is in its package, decodes through the canvas at its planned
// size, carries transparency where the show draws it over other things, and
// the package comes out the same byte for byte on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "../support/testutil.h"
#include "anim/movie.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"

namespace {

using fxtest::Has;
using fxtest::ToolRun;
namespace fs = std::filesystem;

ToolRun RunBuilder(const std::string& args) { return fxtest::RunTool(VELMIRA_CONTENT_PATH, args); }
long Entries(const std::string& dir) { return std::distance(fs::directory_iterator(dir), {}); }

// What each entry is planned to be.
enum Use { kPhoto, kBubble, kCaption, kOverlay, kBanner, kError, kBillboard, kPreview };

struct Plan {
    int id, type, w, h;
    Use use;
};

const int J = FX_PCK_TYPE_JPG, P = FX_PCK_TYPE_PNG;
const Plan kPlans[] = {
    {31, J, 400, 300, kPhoto},     {32, P, 512, 288, kBubble},    {33, J, 400, 300, kPhoto},
    {34, P, 512, 288, kBubble},    {35, J, 400, 300, kPhoto},     {36, P, 512, 288, kBubble},
    {37, P, 512, 288, kBubble},    {38, P, 1024, 768, kOverlay},  {39, P, 288, 240, kBanner},
    {40, P, 520, 132, kError},     {41, P, 512, 288, kBubble},    {42, P, 512, 288, kBubble},
    {43, P, 768, 72, kCaption},    {44, P, 768, 72, kCaption},    {45, P, 768, 72, kCaption},
    {46, P, 768, 72, kCaption},    {47, P, 768, 72, kCaption},    {48, P, 256, 512, kBillboard},
    {49, P, 256, 512, kBillboard}, {50, P, 256, 512, kBillboard}, {51, P, 256, 512, kBillboard},
    {52, P, 256, 512, kBillboard}, {53, P, 256, 512, kBillboard}, {54, P, 288, 240, kBanner},
    {55, P, 512, 288, kBubble},    {56, J, 304, 224, kPreview},
};
const int kCount = sizeof kPlans / sizeof kPlans[0];

// The set movies in the photo sets' order, and where one hands over to the
// next: the frame movie a ends on (it plays forward) is the first frame
// movie b shows, its last stored frame when b plays backward.
const int kMovies[] = {357, 420, 721, 824, 1723, 1121, 1234, 2325, 2044};
struct Join {
    int a, b;
    bool backward;
};
const Join kJoins[] = {{357, 420, true}, {721, 824, true}, {1723, 1121, false}, {1723, 1234, false}, {2325, 2044, true}};

// A decoded entry: alpha, luminance and counts over rectangles.
struct Pic {
    FXCanvas c;
    uint32_t Pixel(int x, int y) { return c.pixmap.Row(y)[x]; }
    int Alpha(int x, int y) { return static_cast<int>(Pixel(x, y) >> 24); }
    int Luma(int x, int y) {
        uint32_t p = Pixel(x, y);
        return static_cast<int>((299 * (p & 0xFF) + 587 * ((p >> 8) & 0xFF) + 114 * ((p >> 16) & 0xFF)) / 1000);
    }
    // Pixels of the rectangle with alpha in [lo, hi] and luminance in [llo, lhi].
    int Count(int x0, int y0, int x1, int y1, int lo, int hi, int llo = 0, int lhi = 255) {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) n += Alpha(x, y) >= lo && Alpha(x, y) <= hi && Luma(x, y) >= llo && Luma(x, y) <= lhi;
        return n;
    }
};

// The package under test: the one the test run prepared (named by
// VELMIRA_CONTENT_PACKAGE), or else one built here.
class ContentPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static fxtest::TempDir dir;
        dir_ = &dir;
        const char* given = getenv("VELMIRA_CONTENT_PACKAGE");
        bool prepared = given && *given && fs::exists(given);
        path_ = prepared ? given : dir.File("out/xxdata.dat");
        run_ = prepared ? ToolRun{0, "prepared package"} : RunBuilder("'" + dir.File("out") + "'");
        pck_.Load(path_.c_str());
        devil_ = fxLoadDevil();
    }
    static void TearDownTestSuite() { fxUnloadDevil(); }
    static inline fxtest::TempDir* dir_ = nullptr;
    static inline std::string path_;
    static inline ToolRun run_;
    static inline FXPackage pck_;
    static inline bool devil_ = false;
};

TEST_F(ContentPackage, HoldsThePlannedEntriesAtTheirSizesAndShapesWithColouredClearPixels) {
    ASSERT_EQ(run_.status, 0) << run_.out;
    EXPECT_TRUE(!pck_.GetDataPtr(30) && !pck_.GetDataPtr(57));
    for (const Plan& p : kPlans) {
        SCOPED_TRACE(p.id);
        EXPECT_EQ(pck_.GetDataType(p.id), p.type);
        Pic pic, *c = &pic;  // decoded as the show decodes it
        ASSERT_TRUE(devil_ && pic.c.CreateFromPictCN(&pck_, p.id));
        int w = p.w, h = p.h;
        EXPECT_EQ(std::make_pair(c->c.GetWidth(), c->c.GetHeight()), std::make_pair(w, h));
        EXPECT_EQ(c->c.opaque, p.type != P);
        // Filtered textures mix a clear pixel's colour into its neighbours:
        // it must never be the black of an empty buffer.
        int black = 0, lo = 255, hi = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                black += c->Pixel(x, y) == 0;
                lo = std::min(lo, c->Luma(x, y));
                hi = std::max(hi, c->Luma(x, y));
            }
        EXPECT_EQ(black, 0);
        if (p.use != kPhoto && p.use != kPreview && p.use != kOverlay) {
            EXPECT_EQ(c->Alpha(0, 0), 0);  // clear corners
        }
        switch (p.use) {
        case kOverlay:  // clear where the show plays, a solid band at the edges, the name in the lower edge
            EXPECT_EQ(c->Count(256, 192, 768, 576, 0, 0), 512 * 384);
            EXPECT_EQ(c->Count(0, 3, 1024, 4, 255, 255) + c->Count(1020, 0, 1021, 768, 255, 255), 1024 + 768);
            EXPECT_GT(c->Count(440, 730, 584, 752, 0, 255, 121), 40);
            break;
        case kBanner:  // side margins of no more than a faint shadow: the two plaques never touch on screen
            EXPECT_EQ(c->Count(0, 0, 24, h, 40, 255) + c->Count(w - 24, 0, w, h, 40, 255), 0);
            EXPECT_GT(c->Count(30, 20, w - 30, h - 20, 255, 255, 181), 300);  // bright text on the plaque
            break;
        case kBubble:  // the caption ends its rise over the top sixth: clear there
            EXPECT_EQ(c->Count(0, 0, 512, 288 / 6, 8, 255), 0);
            EXPECT_GT(c->Count(60, 100, 460, 200, 240, 255, 0, 89), 500) << "the bubble's words";
            break;
        case kCaption:
            EXPECT_GT(c->Count(0, 0, 768, 72, 230, 255), 400);
            EXPECT_GT(c->Count(0, 0, 768, 72, 0, 0), 768 * 72 / 3);
            break;
        case kBillboard:
            EXPECT_GT(c->Count(0, 0, 256, 512, 128, 255), 256 * 512 / 40);
            break;
        case kError:  // light letters on a dark card
            EXPECT_GT(c->Count(92, 20, 500, 112, 255, 255, 171), 1500);
            EXPECT_GT(c->Count(92, 20, 500, 112, 255, 255, 0, 59), 15000);
            break;
        default:  // photos: opaque, with light and shade
            EXPECT_EQ(c->Count(0, 0, w, h, 255, 255), w * h);
            EXPECT_GT(hi - lo, 120);
        }
    }
}

TEST_F(ContentPackage, SetMoviesLoadAsMoviesOfCroppedFramesAndJoinWhereOneHandsOver) {
    ASSERT_EQ(run_.status, 0) << run_.out;
    EXPECT_LT(fs::file_size(path_), 16u << 20);
    SMovie movies[9];
    int records = kCount;
    for (int k = 0; k < 9; k++) {
        SMovie& m = movies[k];
        SCOPED_TRACE(kMovies[k]);
        ASSERT_TRUE(m.LoadCN(&pck_, kMovies[k]) && m.LoadIntoMem());
        int n = m.FrameCount();
        records += 1 + 2 * n;
        // The set moves on when the movie stands on its last frame.
        EXPECT_TRUE(n >= 12 && !m.loop && m.frameDuration > 0.0 && m.frameDuration <= 0.1) << n;
        ASSERT_TRUE(m.maskNames.count == n && m.edges.count == 4 * n && m.edgesOn && m.maskMode);
        for (int i = 0; i < n; i++) {
            const float* e = m.edges.data + 4 * i;
            EXPECT_TRUE(-1.0f <= e[0] && e[0] < e[2] && e[2] <= 1.0f && -1.0f <= e[3] && e[3] < e[1] && e[1] <= 1.0f);
            Pic pic, mask;
            ASSERT_EQ(pck_.GetDataType(atoi(m.frameNames.Get(i))), J);
            ASSERT_TRUE(pic.c.CreateFromPictC(&pck_, m.frameNames.Get(i)) && mask.c.CreateFromPictC(&pck_, m.maskNames.Get(i)));
            int w = pic.c.GetWidth(), h = pic.c.GetHeight();
            EXPECT_TRUE(w == mask.c.GetWidth() && h == mask.c.GetHeight() && w <= m.largestWidth && h <= m.largestHeight);
            // A crop to the figure: solid inside, soft to clear at the corners.
            EXPECT_GT(mask.Count(0, 0, w, h, 0, 255, 250), w * h / 6);
            EXPECT_LT(mask.Luma(0, 0) + mask.Luma(w - 1, 0), 40);
        }
    }
    // And the gallery model's animation, library and picture; the root
    // scene's record, its 7 pictures, the candle's 10 frames and the
    // sparkle's 12 with their masks, and three movie records.
    EXPECT_EQ(pck_.GetRecordCount(), records + 3 + 1 + 7 + 2 * 22 + 3);
    for (const Join& j : kJoins) {
        const SMovie &a = movies[std::find(kMovies, kMovies + 9, j.a) - kMovies],
                     &b = movies[std::find(kMovies, kMovies + 9, j.b) - kMovies];
        int fa = a.FrameCount() - 1, fb = j.backward ? b.FrameCount() - 1 : 0;
        ASSERT_TRUE(fa >= 0 && fb >= 0);
        EXPECT_EQ(0, memcmp(a.edges.data + 4 * fa, b.edges.data + 4 * fb, 4 * sizeof(float))) << j.a << " to " << j.b;
        FXPackageData *x = pck_.GetDataPtr(atoi(a.frameNames.Get(fa))), *y = pck_.GetDataPtr(atoi(b.frameNames.Get(fb)));
        EXPECT_TRUE(x && y && x->size == y->size && !memcmp(x->start, y->start, static_cast<size_t>(x->size)))
            << j.a << " to " << j.b << ": the picture jumps";
    }
}

// The gallery set's bust drawn by the package tool on a private X server,
// prepared and played as the set plays it; pixels named in model units.
TEST_F(ContentPackage, GalleryModelIsLitTexturedAndMovesWhenDrawn) {
    ASSERT_TRUE(devil_);
    std::string out = dir_->File("show");
    ToolRun r = fxtest::RunTool(XVFB_RUN_PATH, std::string(FXPACK_PATH) + " show '" + path_ + "' 2328 --offline '" +
                                                   out + "' --times 0.4,2.6 --size 400x400");
    ASSERT_EQ(r.status, 0) << r.out;
    Pic a, b;
    ASSERT_TRUE(a.c.CreateFromPict((out + "/frame-0000.400s.png").c_str()));
    ASSERT_TRUE(b.c.CreateFromPict((out + "/frame-0002.600s.png").c_str()));
    auto px = [](float x) { return static_cast<int>((x / 1.412f + 1.0f) * 200.0f); };
    auto py = [](float y) { return static_cast<int>((0.92f - y) / 1.92f * 400.0f); };
    auto rgb = [&](Pic& p, float x, float y, int c) { return static_cast<int>(p.Pixel(px(x), py(y)) >> (8 * c) & 255); };
    // Lit: the neck, one colour all round, is darker where it turns away.
    EXPECT_GT(a.Luma(px(0.0f), py(0.3f)), a.Luma(px(0.08f), py(0.3f)) + 30);
    // Textured: plum hair over an ivory face, a rose gold gown.
    EXPECT_TRUE(rgb(a, 0.0f, 0.85f, 2) > rgb(a, 0.0f, 0.85f, 1) && a.Luma(px(0.0f), py(0.85f)) < 110);
    EXPECT_GT(a.Luma(px(0.05f), py(0.52f)), 140);
    EXPECT_GT(rgb(a, 0.0f, -0.3f, 0), rgb(a, 0.0f, -0.3f, 2) + 25);
    // Moving: the bust has turned between the two times.
    int moved = 0;
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 400; x++) moved += std::abs(a.Luma(x, y) - b.Luma(x, y)) > 40;
    EXPECT_GT(moved, 1500);
}

// The root scene: items of every kind whose links all resolve and whose
// pictures and movies are records of the package; drawn on a private X
// server it shows the lit stage, and its camera and movies move it.
TEST_F(ContentPackage, RootSceneHoldsEveryKindWithItsRecordsAndMovesWhenDrawn) {
    ASSERT_TRUE(devil_);
    ToolRun l = fxtest::RunTool(FXPACK_PATH, "scene '" + path_ + "'");
    ASSERT_EQ(l.status, 0) << l.out;
    for (const char* kind : {"move", "rotate", "skew", "camerazoom", "camerapoint", "pict", "scroll", "smovie", "Rani"})
        EXPECT_TRUE(Has(l.out, std::string(" ") + kind + " name=")) << kind << "\n" << l.out;
    EXPECT_TRUE(Has(l.out, " mask=") && Has(l.out, " on") && Has(l.out, "3 camera points") &&
                Has(l.out, "0 unresolved links")) << l.out;
    std::regex ids("(file|mask|second|movies)=([0-9]+)(,([0-9]+))?");
    int records = 0;
    for (std::sregex_iterator m(l.out.begin(), l.out.end(), ids), end; m != end; ++m)
        for (int g : {2, 4})
            if ((*m)[g].matched) {
                EXPECT_TRUE(pck_.GetDataPtr(std::stoi((*m)[g]))) << (*m)[0];
                ++records;
            }
    EXPECT_GE(records, 9);
    std::string out = dir_->File("scene");
    ToolRun r = fxtest::RunTool(XVFB_RUN_PATH, std::string(FXPACK_PATH) + " show '" + path_ + "' 0 --offline '" + out +
                                                   "' --times 0.5,4 --size 320x240");
    ASSERT_EQ(r.status, 0) << r.out;
    Pic a, b;
    ASSERT_TRUE(a.c.CreateFromPict((out + "/frame-0000.500s.png").c_str()));
    ASSERT_TRUE(b.c.CreateFromPict((out + "/frame-0004.000s.png").c_str()));
    // Plum wall in the middle, rose velvet at the sides, a lit candle.
    uint32_t wall = a.Pixel(160, 140);
    EXPECT_TRUE((wall >> 16 & 255) > (wall >> 8 & 255) + 15 && a.Luma(160, 140) > 25) << std::hex << wall;
    int rose = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 24; x++) rose += (a.Pixel(x, y) & 255) > (a.Pixel(x, y) >> 16 & 255) + 10;
    EXPECT_GT(rose, 24 * 240 / 2);
    EXPECT_GT(a.Count(190, 150, 230, 210, 0, 255, 200), 20);
    int moved = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) moved += std::abs(a.Luma(x, y) - b.Luma(x, y)) > 12;
    EXPECT_GT(moved, 3000);
}

TEST_F(ContentPackage, SameBytesOnEveryRunAndScrambledHoldsTheSame) {
    if (FX_UNDER_ASAN) GTEST_SKIP() << "two more whole runs: the plain build checks them";
    ASSERT_EQ(run_.status, 0) << run_.out;
    ToolRun again = RunBuilder("'" + dir_->File("again") + "'"), s = RunBuilder("--scramble '" + dir_->File("scrambled") + "'");
    ASSERT_TRUE(again.status == 0 && Has(again.out, "xxdata.dat")) << again.out;
    EXPECT_EQ(Entries(dir_->File("again")), 2);  // package and icon: the pictures' work folder is gone again
    std::string a = fxtest::ReadFile(path_);
    EXPECT_TRUE(!a.empty() && a == fxtest::ReadFile(dir_->File("again/xxdata.dat"))) << "two runs wrote different packages";
    ASSERT_EQ(s.status, 0) << s.out;
    FXPackage sp;
    ASSERT_TRUE(sp.Load(dir_->File("scrambled/xxdata.dat").c_str()));
    EXPECT_TRUE(sp.GetLoadInfo().scrambled);
    for (const Plan& p : kPlans) {
        FXPackageData *x = pck_.GetDataPtr(p.id), *y = sp.GetDataPtr(p.id);
        ASSERT_TRUE(x && y && x->size == y->size);
        EXPECT_EQ(0, memcmp(x->start, y->start, static_cast<size_t>(x->size))) << p.id;
    }
}

// The program's icon beside the package: every size Windows asks for, a
// round seal, opaque inside and clear in the corners.
TEST_F(ContentPackage, IconHoldsARoundSealAtEverySize) {
    ASSERT_EQ(run_.status, 0) << run_.out;
    std::string icon = (fs::path(path_).parent_path() / "velmira.ico").string();
    ToolRun sizes = fxtest::RunTool("identify", "-format '%wx%h %A\\n' '" + icon + "'");
    EXPECT_EQ(sizes.out, "16x16 True\n24x24 True\n32x32 True\n48x48 True\n256x256 True\n") << sizes.out;
    Pic p;
    ASSERT_TRUE(devil_ && p.c.CreateFromPict(icon.c_str()));
    int w = p.c.pixmap.usedWidth;
    ASSERT_EQ(w, p.c.pixmap.usedHeight);
    EXPECT_EQ(p.Alpha(w / 2, w / 4), 255);
    EXPECT_EQ(p.Alpha(1, 1) + p.Alpha(w - 2, w - 2), 0);
}

TEST(ContentBuilder, KeepsThePicturesWhenAsked) {
    fxtest::TempDir dir;
    std::string out = dir.File("deep/er/out/");
    ToolRun r = RunBuilder("--pictures '" + out + "'");
    ASSERT_TRUE(r.status == 0 && fs::exists(out + "xxdata.dat")) << r.out;
    // movies/, model/, scene/, the model's three records, the scene's and its 7 pictures
    EXPECT_EQ(Entries(out + "pictures"), kCount + 6 + 8);
    EXPECT_TRUE(fs::exists(out + "pictures/38_frame_overlay.png") && fs::exists(out + "pictures/31_gallery_studio.jpg"));
    EXPECT_TRUE(fs::exists(out + "pictures/movies/m357_walk_in_00.png"));
    // The sample key frames make the animation again through the package tool.
    std::string frames;
    for (int f = 0; f < 6; ++f) frames += " '" + out + "pictures/model/velmira_bust_0" + std::to_string(f) + ".obj'";
    ToolRun a = fxtest::RunTool(FXPACK_PATH, "anim '" + out + "anim'" + frames + " --durations 0.9");
    EXPECT_TRUE(a.status == 0 && Has(a.out, "6 frames, 4 meshes") && Has(a.out, "1 texture")) << a.out;
}

// A scene described in words becomes a record and a manifest; packed, it
// lists as described, and a bad line is named.
TEST(ContentBuilder, SceneDescriptionBuildsIntoAPackagedSceneThatListsAsDescribed) {
    fxtest::TempDir dir;
    ASSERT_TRUE(fxLoadDevil());
    FXCanvas c;
    c.pixmap.Realloc(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) c.pixmap.Row(y)[x] = x < 4 ? 0xff3050c0u : 0x80ffffffu;
    fs::create_directories(dir.File("frames"));
    for (const char* f : {"wall.png", "mask.png", "frames/a.png", "frames/b.png"})
        ASSERT_TRUE(c.SaveToPict2(dir.File(f).c_str(), 0, 0, 8, 8)) << f;
    fxUnloadDevil();
    const char* lines[] = {
        "camerazoom name=cam step=2",
        "camerapoint name=near zoom=0 x=0 y=0 rest=3 links=far",
        "camerapoint name=far zoom=4 x=0.1 y=-0.2 rest=3 links=near",
        "move name=bob dir=1 from=0 to=0.05 time=4 loop bounce",
        "rotate name=turn dir=2 from=0 to=360 time=20 loop",
        "skew name=lean dir=3 from=-0.1 to=0.1 time=5 loop bounce",
        "pict name=wall file=1 at=0,0 size=1,1 depends=cam",
        "pict name=oval file=1 mask=2 at=0.5,0.2 size=0.2,0.3 depends=cam,bob color=1,0.5,0.5,1",
        "scroll name=band file=1 second=2 speed=-8,0 at=0,0.5 size=1,0.2 depends=cam,lean",
        "smovie name=wave file=7 at=-0.3,-0.3 size=0.3,0.4 depends=cam",
        "Rani name=twinkle movies=12,17 targets=twinkle,twinkle modes=1,-1 weights=2,1 min=1 at=0,0 size=1,1 "
        "depends=cam,turn on",
    };
    std::string text = "# a small room\ncamera first=near second=far time=6\n";
    for (std::string l : lines)
        text += std::regex_replace(std::regex_replace(l, std::regex("file=1"), "file=wall.png"),
                                   std::regex("(mask|second)=2"), "$1=mask.png") + "\n";
    text = std::regex_replace(std::regex_replace(text, std::regex("file=7"), "file=frames"), std::regex("movies=12,17"),
                              "movies=frames,frames");
    fxtest::WriteFile(dir.File("room.txt"), text);
    ToolRun b = fxtest::RunTool(FXPACK_PATH, "scene-build '" + dir.File("out") + "' '" + dir.File("room.txt") + "'");
    ASSERT_TRUE(b.status == 0 && Has(b.out, "scene record 0, 11 items")) << b.out;
    ToolRun p = fxtest::RunTool(FXPACK_PATH, "build '" + dir.File("p.dat") + "' -m '" + dir.File("out/scene.manifest") + "'");
    ASSERT_EQ(p.status, 0) << p.out;
    ToolRun l = fxtest::RunTool(FXPACK_PATH, "scene '" + dir.File("p.dat") + "'");
    ASSERT_EQ(l.status, 0) << l.out;
    for (const char* line : lines) EXPECT_TRUE(Has(l.out, line)) << line << "\n" << l.out;
    EXPECT_TRUE(Has(l.out, "2 camera points (first near, second far, moves of 6s), 0 unresolved links")) << l.out;
    for (auto [line, says] : {std::pair{"pict name=a file=nothere.png", "missing"}, {"pict name=a size=1", "size needs 2"},
                              {"lamp name=a", "'lamp' is no item kind"}, {"move name=a speed=1,1", "'speed' means nothing"},
                              {"move name=cam\nmove name=cam", "taken"}}) {
        fxtest::WriteFile(dir.File("bad.txt"), line);
        ToolRun r = fxtest::RunTool(FXPACK_PATH, "scene-build '" + dir.File("bad") + "' '" + dir.File("bad.txt") + "'");
        EXPECT_TRUE(r.status == 1 && Has(r.out, says)) << line << "\n" << r.out;
    }
}

TEST(ContentBuilder, HelpListUsageErrorsAndFailures) {
    for (auto [args, status, says] : {std::tuple{"--help", 0, "usage: velmira-content"}, {"--help", 0, "--pictures"},
                                      {"--list", 0, " 38 "}, {"--list", 0, "frame overlay"}, {"", 2, "no output folder"},
                                      {"--frobnicate x", 2, "--frobnicate"}, {"a b", 2, ""}}) {
        ToolRun r = RunBuilder(args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_TRUE(Has(r.out, says)) << args << "\n" << r.out;
    }
    // A folder that cannot be made.
    fxtest::TempDir dir;
    fxtest::WriteFile(dir.File("file"), "not a folder");
    ToolRun r = RunBuilder("'" + dir.File("file/sub") + "'");
    EXPECT_TRUE(r.status == 1 && Has(r.out, dir.File("file/sub")) && !fs::exists(dir.File("file/sub"))) << r.out;
}

TEST(ContentBuilder, AFailedRenameKeepsWhatWasThere) {
    if (FX_UNDER_ASAN) GTEST_SKIP() << "a whole run to fail at its end: the plain build checks it";
    fxtest::TempDir in;
    ASSERT_TRUE(fs::create_directories(in.File("xxdata.dat/keep")));
    // A folder in the way of the package file, so that the rename fails:
    // what was there stays, no work folder is left.
    ToolRun r = RunBuilder("'" + in.path() + "'");
    EXPECT_TRUE(r.status == 1 && Has(r.out, "xxdata.dat")) << r.out;
    EXPECT_TRUE(fs::exists(in.File("xxdata.dat/keep")) && Entries(in.path()) == 1);
}

}  // namespace
