// Sprite movies on the real device: decode order, edges, conversion and the
// stored form through files, the package tool and packages, damaged records
// and the frame wait.
#include "../render/gltest.h"

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "anim/movie.h"
#include "base/file.h"
#include "base/other.h"
#include "image/canvas.h"
#include "package/package.h"
#include "render/material.h"

namespace {

const uint32_t kBox[3] = {0xff0000ffu, 0xff00ff00u, 0xffff0000u};  // red, green, blue (bytes r, g, b, a)

class Movie : public GLWindow {
protected:
    Movie() : GLWindow(0, 0, 80, 60) {}
    void SetUp() override {
        GLWindow::SetUp();
        previous_ = fxSetClockSource(&clock_);
    }
    void TearDown() override {
        fxSetClockSource(previous_);
        GLWindow::TearDown();
    }
    // Frame i of 40 x 30: a 10 x 8 box at (5 + 10i, 6 + 2i) with a half-alpha
    // border of one pixel, transparent elsewhere.
    static int BoxX(int i) { return 5 + 10 * i; }
    static int BoxY(int i) { return 6 + 2 * i; }
    void Frame(int i, FXCanvas* c) {
        c->pixmap.Realloc(40, 30);
        c->pixmap.Clear(0);
        for (int y = BoxY(i) - 1; y <= BoxY(i) + 8; ++y)
            for (int x = BoxX(i) - 1; x <= BoxX(i) + 10; ++x) {
                bool in = x >= BoxX(i) && x < BoxX(i) + 10 && y >= BoxY(i) && y < BoxY(i) + 8;
                c->pixmap.Row(y)[x] = in ? kBox[i] : (kBox[i] & 0xffffffu) | 0x80000000u;
            }
    }
    // Draws the movie's current frame and checks it is frame i: the box's
    // colour at its middle, nothing beside it (the window is 2x the frame).
    void ExpectFrame(SMovie* mv, int i) {
        clock_.AdvanceMs(200);
        Clear();
        mv->OnRender(&gl_, fxGetTime());
        uint32_t mid = At(2 * (BoxX(i) + 5), 2 * (BoxY(i) + 4)), want = kBox[i];
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(mid >> (16 - 8 * k) & 255, want >> (8 * k) & 255, 16) << "frame " << i;
        EXPECT_EQ(At(2 * (BoxX(i) - 3), 2 * (BoxY(i) + 4)) & 0xe0e0e0u, 0u) << "frame " << i;
        mv->Prepare(-1);
    }
    // Decodes frames while the movie plays: the frame numbers in order.
    std::vector<int> Order(SMovie* mv, int limit, int renders) {
        std::vector<int> got;
        for (int r = 0; r < renders; ++r) {
            int before = mv->preparedFrames.count;
            mv->Prepare(limit);
            for (int k = before; k < mv->preparedFrames.count; ++k) got.push_back(mv->preparedFrames.GetInt(k));
            clock_.AdvanceMs(10);
            mv->OnRender(&gl_, fxGetTime());
        }
        return got;
    }
    FXVirtualClock clock_{1000};
    FXClockSource* previous_ = nullptr;
};

TEST_F(Movie, DecodeOrderAtTheEnds) {
    struct Case {
        bool loop, bounce, back;
        int limit;
        std::vector<int> order;
    } cases[] = {
        {true, true, false, -1, {0, 1, 2, 2, 1, 0, 0, 1, 2}},
        {true, false, false, -1, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
        {true, false, true, -1, {2, 1, 0, 2, 1, 0, 2, 1, 0}},
        {false, true, false, -1, {0, 1, 2, 2}},
        {true, true, false, 1, {0, 1, 2, 2, 1, 0, 0, 1}},  // one a call: the first waits a turn
    };
    for (const Case& c : cases) {
        SMovie mv;  // frames that do not decode still take their turn
        for (const char* f : {"a.png", "b.png", "c.png"}) mv.frameNames.Push(dir_.File(f).c_str());
        mv.loop = c.loop, mv.bounce = c.bounce;
        if (c.back) mv.RestartBack(fxGetTime());
        else mv.Restart(fxGetTime());
        EXPECT_EQ(Order(&mv, c.limit, 8), c.order) << c.loop << c.bounce << c.back << c.limit;
        EXPECT_EQ(mv.IsFinished(), !c.loop);
    }
}

TEST_F(Movie, EdgesAreTheInclusiveBoxOfWhatIsVisible) {
    struct Case {
        std::vector<std::pair<int, int>> opaque;
        int x0, y0, x1, y1;
    } cases[] = {{{{1, 2}}, 1, 2, 1, 2}, {{{0, 2}, {3, 0}}, 0, 0, 3, 2}, {{}, 4, 3, -1, -1}};
    for (const Case& c : cases) {
        FXPixmap p;
        p.pow2 = true;
        p.Realloc(4, 3);
        p.Clear(0x00ffffff);
        for (auto xy : c.opaque) p.Row(xy.second)[xy.first] = 0x01000000u;
        p.Row(3)[1] = 0xff000000u;  // the margin does not count
        int e[4];
        SMovie::ComputeEdges(&p, &e[0], &e[1], &e[2], &e[3]);
        EXPECT_EQ(std::vector<int>(e, e + 4), std::vector<int>({c.x0, c.y0, c.x1, c.y1}));
    }
}

TEST_F(Movie, ConvertedFramesComeBackFromAFileAndFromThePackageTool) {
    std::string full = dir_.File("full"), split = dir_.File("split"), masks = dir_.File("masks");
    ASSERT_TRUE(fxMakeFolder(full.c_str()) && fxMakeFolder(split.c_str()) && fxMakeFolder(masks.c_str()));
    SMovie mv;
    for (int i = 0; i < 3; ++i) {
        FXCanvas c;
        Frame(i, &c);
        // One name in two folders: the stored frames must stay apart.
        std::string name = (i == 1 ? dir_.File("f0.png") : full + "/f" + std::to_string(i) + ".png");
        ASSERT_TRUE(c.SaveToPict2(name.c_str(), 0, 0, 40, 30));
        mv.frameNames.Push(name.c_str());
        std::string base = "/f" + std::to_string(i) + ".png";
        ASSERT_TRUE(c.SaveToPict((split + base).c_str()) && c.SaveToMask((masks + base).c_str()));
    }
    ASSERT_TRUE(mv.Convert(dir_.path().c_str()) && mv.Save(dir_.File("m.xs").c_str()));
    EXPECT_EQ(std::vector<float>(mv.edges.data, mv.edges.data + 4),
              std::vector<float>({2.0f * 4 / 40 - 1, 1 - 2.0f * 5 / 30, 2.0f * 16 / 40 - 1, 1 - 2.0f * 15 / 30}));
    EXPECT_EQ(mv.largestWidth * 100 + mv.largestHeight, 12 * 100 + 10);
    // The package tool, with its frames' own alpha and with masks beside them.
    std::string tool = std::string(FXPACK_PATH) + " movie --duration 0.1 ";
    for (const std::string& args : {dir_.File("t1") + " " + full, dir_.File("t2") + " " + split + " " + masks}) {
        fxtest::ToolRun r = fxtest::RunTool(tool, args);
        ASSERT_EQ(r.status, 0) << r.out;
    }
    std::string sum = dir_.File("t2") + "/movie.manifest";
    fxtest::ToolRun b = fxtest::RunTool(FXPACK_PATH, "build " + dir_.File("x.dat") + " -m " + sum);
    ASSERT_EQ(b.status, 0) << b.out;

    SMovie file, rec;
    FXPackage pck;
    ASSERT_TRUE(file.Load(dir_.File("m.xs").c_str()));
    ASSERT_TRUE(pck.Load(dir_.File("x.dat").c_str()) && rec.LoadCN(&pck, 1000) && rec.LoadIntoMem());
    EXPECT_EQ(rec.frameDuration, 0.1);
    for (SMovie* m : {&file, &rec}) {
        m->Restart(fxGetTime());
        m->Prepare(-1);
        m->desk.mesh.colorMode = 1;
        for (int i : {0, 1, 2}) ExpectFrame(m, i);
    }
    file.alpha = 0.0f;  // the owner's fade reaches the quad
    Clear();
    file.OnRender(&gl_, fxGetTime());
    EXPECT_EQ(At(2 * (BoxX(2) + 5), 2 * (BoxY(2) + 4)), 0u);
}

TEST_F(Movie, DamagedRecordsLeaveItEmptyAndBadFramesKeepTheTexture) {
    SMovie good;
    for (const char* n : {"1", "2", "3"}) good.frameNames.Push(n), good.maskNames.Push(n);
    for (int i = 0; i < 12; ++i) good.edges.Push(0.5f);
    FXMemory buf;
    ASSERT_TRUE(good.SaveToBuf(&buf));
    const std::string whole(reinterpret_cast<char*>(buf.data), buf.count);
    auto load = [](SMovie* m, std::string bytes) {
        FXPackageData d;
        d.InitData(&bytes[0], static_cast<int>(bytes.size()));
        return m->LoadC(nullptr, &d);
    };
    for (size_t n = 0; n < whole.size(); ++n) {
        SMovie m;
        EXPECT_FALSE(load(&m, whole.substr(0, n)) || m.FrameCount()) << n;
    }
    struct Case {
        size_t at;
        std::string bytes;
        bool loads;
        double duration;
    } cases[] = {
        {4, "y", false, 0},
        {78, fxtest::Le32({0x7fffffff}), false, 0},
        {10, std::string("\0\0\0\0\0\0\xf8\x7f", 8), true, 0.04},
        {10, fxtest::Le32({0, 0x40140000}), true, 0.04},  // 5 s
    };
    for (const Case& c : cases) {
        SMovie m;
        bool ok = load(&m, whole.substr(0, c.at) + c.bytes + whole.substr(c.at + c.bytes.size()));
        EXPECT_EQ(ok && m.FrameCount() == 3 && m.edgesOn, c.loads) << c.at;
        EXPECT_EQ(c.loads ? m.frameDuration : 0, c.duration);
    }
    // Edges short of the frames: the quad fills the square. Masks short: empty.
    SMovie m;
    for (int drop : {0, 1}) {
        (drop ? static_cast<void>(good.maskNames.Pop()) : static_cast<void>(good.edges.Pop()));
        ASSERT_TRUE(good.SaveToBuf(&buf));
        EXPECT_EQ(load(&m, std::string(reinterpret_cast<char*>(buf.data), buf.count)), !drop);
        EXPECT_EQ(m.FrameCount(), drop ? 0 : 3);
        EXPECT_FALSE(m.edgesOn);
    }

    // A greyscale JPEG decodes; a mask of another size keeps what was shown.
    FXCanvas c;
    Frame(0, &c);
    std::string pict = dir_.File("p.jpg"), grey = dir_.File("g.jpg"), small = dir_.File("s.jpg");
    ASSERT_TRUE(c.SaveToPict(pict.c_str()) && c.SaveToMask(grey.c_str()) && c.SaveToMask1(small.c_str(), 0, 0, 20, 30));
    FXMaterial mat;
    m.maskMode = true;
    ASSERT_TRUE(m.PrepareTexture(grey.c_str(), grey.c_str(), &mat));
    unsigned tex = mat.glTexture;
    EXPECT_FALSE(m.PrepareTexture(pict.c_str(), small.c_str(), &mat));
    EXPECT_FALSE(m.PrepareTexture(dir_.File("none.jpg").c_str(), grey.c_str(), &mat));
    EXPECT_TRUE(mat.textureReady && mat.glTexture == tex && mat.texScaleU == (gl_.npotTextures ? 1 : 40 / 64.0f));
    m.package = nullptr;
    int size = 1;
    EXPECT_TRUE(m.PrepareMem("", &size) == nullptr && size == 0);
}

TEST_F(Movie, FrameWaitIsBoundedAndNeverUnderAVirtualClock) {
    struct Case {
        bool virtualClock;
        double duration, most;
    } cases[] = {{true, 1.0, 0.0}, {false, 0.5, 0.5}, {false, 1e9, 1.0}};
    for (const Case& c : cases) {
        if (!c.virtualClock) fxSetClockSource(previous_);
        SMovie mv;
        mv.frameNames.Push("missing.png");
        mv.frameDuration = c.duration;
        mv.waitExact = true;
        mv.Restart(fxGetTime());
        mv.Prepare(-1);
        mv.OnRender(&gl_, fxGetTime());
        EXPECT_LE(mv.lastWait, c.most);
        EXPECT_EQ(mv.lastWait > 0.0, c.most > 0.0);
        fxSetClockSource(&clock_);
    }
}

// A frame animation's view of the key frames.
struct Link : PMovieLink {
    int a = -1, b = -1;
    float phase = -1;
    void SetActFrames(int x, int y) override { a = x, b = y; }
    void SetActPhase(float p) override { phase = p; }
};

TEST_F(Movie, KeyFramesGiveThePairAndThePhase) {
    SMovie mv;
    for (int i = 0; i < 30; ++i) mv.frameNames.Push("f");
    for (int k : {0, 10, 20}) mv.keyFrames.PushInt(k);
    Link l;
    mv.anims[0] = &l;
    struct Case {
        int frame, a, b;
        float phase;
    } cases[] = {{15, 1, 2, 0.5f}, {10, 1, 2, 0.0f}, {25, 2, 2, 5 / 9.0f}};
    for (const Case& c : cases) {
        mv.PrepareStartEnd(c.frame);
        EXPECT_EQ(std::make_tuple(l.a, l.b, l.phase), std::make_tuple(c.a, c.b, c.phase)) << c.frame;
    }
}

}  // namespace
