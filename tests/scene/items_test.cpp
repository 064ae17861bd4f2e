// Picture, scroll, movie and random-animation items on the real device: one
// of each written and read back through a file and a package and drawn at
// known times of a virtual clock; then the choices, hand-overs, damaged
// records and degenerate pictures they must survive.
// The scene headers before Xlib's: its Bool macro clashes with FXItemReader.
#include "scene/drawn.h"
#include "scene/rani.h"
#include "scene/scene.h"

#include "../render/gltest.h"

#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/other.h"
#include "base/paths.h"
#include "image/canvas.h"
#include "package/package.h"

namespace {

const uint32_t kR = 0xff0000ffu, kG = 0xff00ff00u, kB = 0xffff0000u, kW = 0xffffffffu;  // pixmap r, g, b, a bytes

std::string Bytes(FXScene* s) {
    FILE* f = tmpfile();
    s->SaveFile(f, fxGetActPath());
    std::string b = fxtest::StreamBytes(f);
    fclose(f);
    return b;
}

// The quarter of the square centred on (x, y).
void Place(FXItem* it, float x, float y) {
    FXMatrix s, m;
    s.SetScaleF(0.5f, 0.5f, 1.0f);
    m.SetMoveF(x, y, 0.0f);
    it->matrix.Multiply(&m, &s);
}

class Items : public GLWindow {
protected:
    Items() : GLWindow(0, 0, 64, 64) {}
    void SetUp() override {
        GLWindow::SetUp();
        previous_ = fxSetClockSource(&clock_);
        cwd_.Set(fxGetActPath());
        fxSetActPath(dir_.path().c_str());
    }
    void TearDown() override {
        fxSetActPath(cwd_.text);
        fxSetClockSource(previous_);
        GLWindow::TearDown();
    }
    std::string Pict(const std::string& name, int w, int h, std::function<uint32_t(int x, int y)> px) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) c.pixmap.Row(y)[x] = px(x, y);
        EXPECT_TRUE(c.SaveToPict2(dir_.File(name).c_str(), 0, 0, w, h));
        return dir_.File(name);
    }
    // A movie of 16 x 16 frames of these colours, 0.1 s each.
    std::string Movie(const std::string& name, std::vector<uint32_t> cols) {
        SMovie mv;
        for (size_t i = 0; i < cols.size(); ++i)
            mv.frameNames.Push(Pict(name + std::to_string(i) + ".png", 16, 16, [&](int, int) { return cols[i]; }).c_str());
        mv.frameDuration = 0.1;
        EXPECT_TRUE(mv.Convert(dir_.path().c_str()) && mv.Save(dir_.File(name + ".xs").c_str()));
        return dir_.File(name + ".xs");
    }
    void Frame(FXScene* s, uint64_t ms) {
        clock_.SetMs(ms);
        Clear();
        gl_.ApplyMatrixIdentity();
        s->OnRender(&gl_, fxGetTime());
    }
    // Each channel within 24 of the wanted 0xRRGGBB.
    static bool Near(uint32_t got, uint32_t want) {
        for (int k = 0; k < 24; k += 8)
            if (std::abs(static_cast<int>(got >> k & 255) - static_cast<int>(want >> k & 255)) > 24) return false;
        return true;
    }
    FXItemRani* Rani(FXScene* s, const std::string& name) {
        auto* r = static_cast<FXItemRani*>(s->CreateType(FX_ITEM_RANI));
        r->name.Set(name.c_str());
        return r;
    }
    FXVirtualClock clock_{1000};
    FXClockSource* previous_ = nullptr;
    FXStr cwd_;
};

TEST_F(Items, EveryKindComesBackFromFileAndPackageAndDrawsAtKnownTimes) {
    FXScene made;
    auto* p = static_cast<FXItemPict*>(made.CreateType(FX_ITEM_PICT));
    p->pictName.Set(Pict("p.png", 16, 16, [](int, int) { return kR; }).c_str());
    p->maskName.Set(Pict("pm.png", 16, 16, [](int x, int) { return x < 8 ? 0xff000000u : kW; }).c_str());
    p->color[3] = 0.5f;  // half transparent: the colour rule is on
    auto* sc = static_cast<FXItemScroll*>(made.CreateType(FX_ITEM_SCROLL));
    const uint32_t stripes[4] = {kR, kG, kB, kW};
    sc->pictName.Set(Pict("s.png", 64, 16, [&](int x, int) { return stripes[x / 16]; }).c_str());
    sc->pict2Name.Set(Pict("s2.png", 16, 16, [](int x, int) { return x < 8 ? kW : 0xff000000u; }).c_str());
    auto* mv = static_cast<FXItemSMovie*>(made.CreateType(FX_ITEM_SMOVIE));
    mv->movieName.Set(Movie("m", {kR, kG, kB}).c_str());
    FXItemRani *a = Rani(&made, "A"), *b = Rani(&made, "B");
    a->enabled = true;
    a->AddRani(b);
    a->movieNames.Change(0, mv->movieName.text);
    b->AddRani(a);
    b->movieNames.Change(0, Movie("w", {kW, kW}).c_str());
    b->modes.SetInt(0, -1);
    for (FXItem* it : {static_cast<FXItem*>(p), static_cast<FXItem*>(sc), static_cast<FXItem*>(mv),
                       static_cast<FXItem*>(a), static_cast<FXItem*>(b)})
        Place(it, it == p || it == mv ? -0.5f : 0.5f, it == p || it == sc ? 0.5f : -0.5f), it->ReCreate();
    made.BuildConn();

    FXScene file, packed;
    ASSERT_TRUE(made.Save(dir_.File("s.xss").c_str()) && file.Load(dir_.File("s.xss").c_str()));
    EXPECT_EQ(Bytes(&file), Bytes(&made));
    FXPackage build, pck;
    build.workFolder.Set(dir_.path().c_str());
    made.Compile(&build);
    ASSERT_TRUE(build.Save(dir_.File("x.dat").c_str(), 0) && pck.Load(dir_.File("x.dat").c_str()));
    ASSERT_TRUE(packed.LoadC(&pck));
    ASSERT_EQ(packed.items.count, 5);

    // Picture: masked left half, half-red right; scroll: its left half pans
    // (period 4 s), its right half is black through the second picture;
    // movie: loops R G B; random animation: R R G B, then state B's white.
    struct Row {
        uint64_t ms;
        uint32_t scroll, movie, rani;
    } rows[] = {{1000, 0xff0000, 0xff0000, 0xff0000},
                {1200, 0x0000ff, 0x00ff00, 0xff0000},
                {1400, 0x0000ff, 0x0000ff, 0x00ff00},
                {1600, 0x0000ff, 0x0000ff, 0x0000ff},
                {1800, 0x0000ff, 0x00ff00, 0xffffff}};
    for (FXScene* s : {&file, &packed})
        for (const Row& r : rows) {
            Frame(s, r.ms);
            std::vector<uint32_t> got = {At(8, 16), At(24, 16), At(40, 16), At(56, 16), At(16, 48), At(48, 48)};
            std::vector<uint32_t> want = {0, 0x800000, r.scroll, 0, r.movie, r.rani};
            for (size_t k = 0; k < got.size(); ++k)
                EXPECT_TRUE(Near(got[k], want[k])) << (s == &file ? "file " : "package ") << r.ms << " spot " << k
                                                   << ": " << std::hex << got[k];
        }
}

TEST_F(Items, RandomAnimationLinksOneSlotPerNameAndHandsOverDisabledFirst) {
    FXScene s;
    FXItemRani *a = Rani(&s, "A"), *b = Rani(&s, "B");
    s.CreateType(FX_ITEM_PICT)->name.Set("P");
    for (const char* n : {"nowhere", "P", "B", "A"}) a->AddRani(nullptr), a->targetNames.Change(a->EntryCount() - 1, n);
    s.BuildConn();
    EXPECT_EQ(std::vector<void*>(a->targets.data, a->targets.data + 4), std::vector<void*>({nullptr, nullptr, b, a}));
    // Entries without a movie hand over at once: no target stays here, as
    // does a target that is this state.
    struct Row {
        int entry;
        bool aOn, bOn;
    } rows[] = {{0, true, false}, {1, true, false}, {2, false, true}, {3, true, false}};
    for (const Row& r : rows) {
        a->enabled = true, b->enabled = false, a->choosePending = true;
        for (int i = 0; i < 4; ++i) a->modes.SetInt(i, 0), a->weights.SetInt(i, i == r.entry);
        Frame(&s, 1000);
        EXPECT_EQ(a->enabled, r.aOn) << r.entry;
        EXPECT_EQ(b->enabled, r.bOn) << r.entry;
    }
}

TEST_F(Items, RandomAnimationChoosesByWeightAvoidingRecentMoviesThatStillExist) {
    FXScene s;
    std::string m = Movie("c", {kR});
    auto make = [&](int n, bool avoid) {
        FXItemRani* a = Rani(&s, "A" + std::to_string(s.items.count));
        a->avoidRecent = avoid;
        for (int i = 0; i < n; ++i) a->AddRani(a), a->movieNames.Change(i, m.c_str());
        a->ReCreate();
        s.recentMovies.RemoveAll();
        return a;
    };
    struct Row {
        std::vector<int> weights;
        int recent;  // entry whose movie was played last, -1 none
        bool avoid;
        std::set<int> chosen;
    } rows[] = {{{0, 0, 0}, -1, true, {0, 1, 2}},  // no weight anywhere: uniform
                {{-3, 2, 0}, -1, true, {1}},
                {{5, 1}, 0, true, {1}},
                {{5, 0}, 0, true, {0}},  // all else excluded: back to every entry
                {{5, 1}, 0, false, {0, 1}},
                {{0}, -1, true, {0}}};
    fxSrand(7);
    for (const Row& r : rows) {
        FXItemRani* a = make(static_cast<int>(r.weights.size()), r.avoid);
        for (size_t i = 0; i < r.weights.size(); ++i) a->weights.SetInt(i, r.weights[i]);
        if (r.recent >= 0) s.recentMovies.Push(a->Movie(r.recent));
        std::set<int> got;
        for (int k = 0; k < 300; ++k) got.insert(a->ChooseRandomAnim());
        EXPECT_EQ(got, r.chosen) << s.items.count;
    }
    // A played movie leaves the recent list with its item: rebuilt, its
    // entry removed, the item deleted.
    FXItemRani* a = make(2, true);
    for (int step = 0; step < 3; ++step) {
        ASSERT_TRUE(a->StartAnim(0) && s.recentMovies.count == 1);
        if (step == 0) a->ReCreate();
        if (step == 1) a->RemoveRani(0);
        if (step == 2) s.DeleteItemPos(s.items.count - 1);
        EXPECT_EQ(s.recentMovies.count, 0) << step;
    }
}

TEST_F(Items, DamagedAndUnevenRecordsLoadEmptyOrShortestAndSaySo) {
    // A record of the kind with no payload fields of its own, without its
    // type; the payloads below follow it.
    auto base = [](FXItem* it, size_t payload) {
        FILE* f = tmpfile();
        it->Save(f, nullptr);
        std::string b = fxtest::StreamBytes(f);
        fclose(f);
        return b.substr(4, b.size() - 4 - payload);
    };
    using fxtest::Le32;
    // String arrays of one and two names, int lists of one and two, the tail.
    const std::string one = Le32({1, 1}, "a"), two = Le32({2, 1}, "a" + Le32({1}, "b")), big = Le32({0x7fffffff});
    const std::string ints1 = Le32({1, 1}), ints2 = Le32({2, 1, 1}), tail = Le32({0}, "\1");
    struct Row {
        int type;
        std::string payload;
        bool loads;
        int entries;
        const char* says;
    } rows[] = {
        {FX_ITEM_RANI, two + one + ints1 + ints1 + tail, true, 1, "entries kept"},
        {FX_ITEM_RANI, one + one + ints2 + ints1 + tail, true, 1, "entries kept"},
        {FX_ITEM_RANI, big + one + ints1 + ints1 + tail, false, 0, "damaged"},
        {FX_ITEM_RANI, one + one + ints1 + big + tail, false, 0, "damaged"},
        {FX_ITEM_RANI, one + one + ints1 + ints1, false, 0, "damaged"},
        {FX_ITEM_PICT, std::string("\0", 1) + big, false, 0, "damaged"},
        {FX_ITEM_SCROLL, one + one + Le32({0}), false, 0, "damaged"},
        {FX_ITEM_SMOVIE, big, false, 0, "damaged"},
    };
    const size_t own[12] = {0, 0, 0, 0, 0, 1 + 8, 16, 4, 0, 0, 0, 21};
    for (const Row& r : rows) {
        FXItem* it = fxNewItem(r.type);
        std::string bytes = base(it, own[r.type]) + r.payload;
        FXPackageData d;
        d.InitData(&bytes[0], static_cast<int>(bytes.size()));
        fxtest::TraceCapture trace(dir_);
        EXPECT_EQ(it->LoadC(nullptr, &d, 3), r.loads) << r.type << " " << r.payload.size();
        EXPECT_TRUE(fxtest::Has(trace.Stop(), r.says)) << r.type << " " << r.payload.size();
        if (r.type == FX_ITEM_RANI) {
            EXPECT_EQ(static_cast<FXItemRani*>(it)->EntryCount(), r.entries);
        }
        delete it;
    }
}

TEST_F(Items, CutOutKeepsItsLastColumnAndRowAndMissingPicturesDrawNothing) {
    struct Row {
        std::string name;
        int x0, y0, x1, y1;  // visible box, inclusive; x1 < x0 for none
    } rows[] = {{"box.png", 5, 2, 7, 3}, {"dot.png", 19, 9, 19, 9}, {"clear.png", 1, 0, 0, 0}, {"", 0, 0, 0, 0}};
    for (const Row& r : rows) {
        std::string path = r.name.empty()
            ? dir_.File("none.png")
            : Pict(r.name, 20, 10, [&](int x, int y) { return x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1 ? kR : 0u; });
        FXItemPict p;
        bool cut = r.x1 >= r.x0 && !r.name.empty();
        EXPECT_EQ(p.LoadCut(path.c_str()), cut) << r.name;
        FXCanvas c;
        EXPECT_EQ(cut && c.CreateFromPict(p.pictName.text), cut);
        int w = r.x1 - r.x0 + 1, h = r.y1 - r.y0 + 1;
        EXPECT_EQ(c.GetWidth() * 100 + c.GetHeight(), cut ? w * 100 + h : 0) << r.name;
        EXPECT_FLOAT_EQ(p.matrix.Get(0, 0), cut ? w / 20.0f : 1.0f);
        EXPECT_FLOAT_EQ(p.matrix.Get(3, 0), cut ? 2.0f * ((w - 20) * 0.5f + r.x0) / 20 : 0.0f);
    }
    // A named picture that does not load draws nothing; no name draws white.
    for (const char* name : {"", "none.png"}) {
        FXScene s;
        auto* p = static_cast<FXItemPict*>(s.CreateType(FX_ITEM_PICT));
        p->pictName.Set(name);
        p->ReCreate();
        Frame(&s, 1000);
        EXPECT_EQ(At(32, 32), *name ? 0u : 0xffffffu) << name;
    }
}

TEST_F(Items, ScrollOffsetsFollowTheTimeAndStayInRange) {
    std::string pic = Pict("sc.png", 16, 16, [](int, int) { return kG; });
    struct Row {
        float time;
        double at;  // seconds, after a first frame at 1000 s
        float offset;
    } rows[] = {{4, 1, 0.875f}, {-4, 1, 0.125f}, {0, 1, 0}, {NAN, 1, 0}, {1e-30f, 1e9, -1}};
    for (const Row& r : rows) {
        FXScene s;
        auto* sc = static_cast<FXItemScroll*>(s.CreateType(FX_ITEM_SCROLL));
        sc->pictName.Set(pic.c_str());
        sc->scrollTimeX = r.time;
        sc->ReCreate();
        for (double t = 0; t <= r.at + 1e-9; t += r.at / 2) clock_.SetSeconds(1000 + t), Frame(&s, clock_.NowMs());
        if (r.offset >= 0) {
            EXPECT_NEAR(sc->sdesk.offsetX, r.offset, 1e-4) << r.time;
        }
        EXPECT_TRUE(sc->sdesk.offsetX >= 0 && sc->sdesk.offsetX <= 1) << r.time;
    }
}

}  // namespace
