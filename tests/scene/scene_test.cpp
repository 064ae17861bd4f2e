// Scene records written and read back, damaged records and dependency
// cycles, and the matrices of transform and camera items at known times of
// a virtual clock, applied to an item the way a drawn item applies them.
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/nullenv.h"
#include "../support/testutil.h"
#include "base/other.h"
#include "package/package.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "scene/transform.h"

namespace {

using fxtest::Has;

// The device's matrix stack as far as a scene uses it.
class MatrixEnv : public fxtest::NullEnv {
public:
    void MultiplyMatrix(FXMatrix* m) override { curMatrix.Multiply(&curMatrix, m); }
};

// A drawn item that draws nothing but keeps the matrix it would draw with.
class Probe : public FXItem {
public:
    FXMatrix seen;
    void ReCreate() override {}
    void OnRender(PEnv* env, double t) override {
        FXItem::OnRender(env, t);
        seen.Copy(&env->curMatrix);
    }
};

// Where a matrix takes the point (x, y, 0).
std::pair<float, float> Map(const FXMatrix& m, float x, float y) {
    return {m.Get(0, 0) * x + m.Get(1, 0) * y + m.Get(3, 0), m.Get(0, 1) * x + m.Get(1, 1) * y + m.Get(3, 1)};
}

std::string Bytes(FXScene* s) {
    FILE* f = tmpfile();
    s->SaveFile(f, nullptr);
    std::string b = fxtest::StreamBytes(f);
    fclose(f);
    return b;
}

bool Read(FXScene* s, std::string bytes) {
    FXPackageData d;
    d.InitData(&bytes[0], static_cast<int>(bytes.size()));
    return s->LoadFromData(&d, nullptr);
}

std::vector<std::string> Names(const FXScene& s) {
    std::vector<std::string> n;
    for (int i = 0; i < s.items.count; ++i) n.push_back(s.GetItem(i)->name.text);
    return n;
}

class SceneTest : public ::testing::Test {
protected:
    FXVirtualClock clock;
    FXClockSource* previous = nullptr;
    MatrixEnv env;
    fxtest::TempDir dir;
    void SetUp() override { previous = fxSetClockSource(&clock); }
    void TearDown() override { fxSetClockSource(previous); }
    void Frame(FXScene* s, uint64_t ms) {
        clock.SetMs(ms);
        env.ApplyMatrixIdentity();
        s->OnRender(&env, fxGetTime());
    }
    // One of every kind, with links, an unresolved name and a renamed target.
    void Fill(FXScene* s) {
        auto* mv = static_cast<FXItemMove*>(s->CreateType(FX_ITEM_MOVE));
        mv->direction = 3, mv->endValue = 0.25f, mv->enabled = false;
        auto* rot = s->CreateType(FX_ITEM_ROTATE);
        rot->AddDependName("move1");
        rot->AddDependName("ghost");
        rot->color[3] = 0.5f;
        s->CreateType(FX_ITEM_SKEW)->matrix.SetScaleF(2, 3, 1);
        static_cast<FXItemCameraZoom*>(s->CreateType(FX_ITEM_CAMERAZOOM))->zoomStep = 7.5f;
        auto* cp = static_cast<FXItemCameraPt*>(s->CreateType(FX_ITEM_CAMERAPT));
        cp->zoomLevel = -4, cp->offsetY = 0.5f, cp->phaser.duration = 2.5;
        s->cameraFirst.Set("camerapoint1");
        s->BuildConn();
    }
};

TEST_F(SceneTest, RecordsReadBackToTheSameBytesAndKeepUnresolvedNames) {
    FXScene a, b, c;
    Fill(&a);
    std::string first = Bytes(&a);
    ASSERT_TRUE(Read(&b, first));
    EXPECT_EQ(Names(b), Names(a));
    EXPECT_EQ(Bytes(&b), first);
    FXItem* rot = b.FindItem("rotate1");
    ASSERT_EQ(rot->dependNames.count, 2);
    EXPECT_EQ(rot->depends.count, 1);  // ghost stays a name only
    EXPECT_FALSE(b.FindItem("move1")->enabled);
    EXPECT_EQ(static_cast<FXItemCameraPt*>(b.FindItem("camerapoint1"))->zoomLevel, -4);
    // A renamed dependency is saved under its new name, the unresolved one as read.
    b.FindItem("move1")->name.Set("slide");
    std::string renamed = Bytes(&b);
    EXPECT_TRUE(Has(renamed, "slide") && Has(renamed, "ghost"));
    ASSERT_TRUE(Read(&c, renamed));
    EXPECT_EQ(c.FindItem("rotate1")->depends.First(), c.FindItem("slide"));

    // The oldest version: no camera header, no enabled byte (items stay enabled).
    FXScene one, v1;
    auto* mv = static_cast<FXItemMove*>(one.CreateType(FX_ITEM_MOVE));
    mv->enabled = false, mv->endValue = 3.0f;
    std::string item = Bytes(&one).substr(9 + 4 + 4 + 4 + 18);
    size_t enabledAt = 4 + 4 + 5 + 4 + 64 + 18 + 16 + 1;
    item.erase(enabledAt, 1);
    ASSERT_TRUE(Read(&v1, fxtest::Le32({5}, "xss01") + fxtest::Le32({1}) + item));
    ASSERT_EQ(v1.items.count, 1);
    EXPECT_TRUE(v1.GetItem(0)->enabled);
    EXPECT_EQ(static_cast<FXItemMove*>(v1.GetItem(0))->endValue, 3.0f);

    // The file form, and GenName filling the first gap.
    ASSERT_TRUE(a.Save(dir.File("s.scene").c_str()));
    FXScene f;
    ASSERT_TRUE(f.Load(dir.File("s.scene").c_str()));
    EXPECT_EQ(Bytes(&f), first);
    f.CreateType(FX_ITEM_MOVE)->name.Set("move3");
    EXPECT_EQ(std::string(f.CreateType(FX_ITEM_MOVE)->name.text), "move2");
}

// Damaged records load what is sound and the trace log says what was left out.
TEST_F(SceneTest, DamagedRecordsKeepWhatIsSoundAndSayWhatWasDropped) {
    FXScene base;
    Fill(&base);
    const std::string whole = Bytes(&base);
    const size_t countAt = 9;
    auto withCount = [&](int32_t n, std::string tail = "") {
        return whole.substr(0, countAt) + fxtest::Le32({n}) + whole.substr(countAt + 4) + tail;
    };
    struct Case {
        const char* what;
        std::string bytes;
        size_t kept;
        const char* said;
    } cases[] = {
        {"cut inside the fourth item", whole.substr(0, whole.size() - 60), 4, "cut short"},
        {"a type that makes no item", withCount(7, fxtest::Le32({FX_ITEM_MODEL}) + std::string(200, '\1')), 5, "type 8"},
        {"a count far beyond the bytes", withCount(INT_MAX), 5, "ends after 5"},
        {"the list ended early", withCount(9, fxtest::Le32({-1}, "junk")), 5, ""},
        {"not a scene", "\5\0\0\0xss04" + whole.substr(9), 0, "not a scene"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fxtest::TraceCapture log(dir);
        FXScene s;
        EXPECT_EQ(Read(&s, c.bytes), c.kept > 0);
        EXPECT_EQ(static_cast<size_t>(s.items.count), c.kept);
        EXPECT_TRUE(Has(log.Stop(), c.said));
    }
    // A package without the scene's record.
    fxtest::TraceCapture log(dir);
    FXPackage empty;
    FXScene s;
    EXPECT_FALSE(s.LoadC(&empty));
    EXPECT_TRUE(Has(log.Stop(), "no record 0"));
}

TEST_F(SceneTest, ColoursAndMatricesThatAreNoNumbersAreReplacedAndSaidSo) {
    FXScene base;
    Fill(&base);
    base.GetItem(1)->color[2] = std::nanf("");
    base.GetItem(2)->matrix.m[5] = INFINITY;
    base.GetItem(3)->matrix.m[12] = -1.7e38f;  // finite, but overflows once multiplied
    fxtest::TraceCapture log(dir);
    FXScene s;
    ASSERT_TRUE(Read(&s, Bytes(&base)));
    const std::string said = log.Stop();
    // Every item stays; only the values that were no numbers change.
    EXPECT_EQ(Names(s), Names(base));
    EXPECT_EQ(s.GetItem(1)->color[2], 1.0f);
    EXPECT_EQ(s.GetItem(1)->color[3], 0.5f);
    FXMatrix identity;
    EXPECT_TRUE(s.GetItem(2)->matrix.Compare(&identity));
    EXPECT_TRUE(s.GetItem(3)->matrix.Compare(&identity));
    EXPECT_TRUE(Has(said, "a colour holds a value that is not a number"));
    EXPECT_TRUE(Has(said, "a matrix holds a value that is not a number"));
}

TEST_F(SceneTest, CyclesAndSelfLinksAreLeftOutButKeptForSaving) {
    FXScene a, b;
    for (int t : {FX_ITEM_MOVE, FX_ITEM_ROTATE, FX_ITEM_SKEW, FX_ITEM_MOVE}) a.CreateType(t);
    a.FindItem("move1")->AddDependName("rotate1");
    a.FindItem("rotate1")->AddDependName("skew1");
    a.FindItem("skew1")->AddDependName("move1");  // closes move1 -> rotate1 -> skew1 -> move1
    a.FindItem("move2")->AddDependName("move2");
    a.FindItem("move2")->AddDependName("move1");
    std::string bytes = Bytes(&a);
    fxtest::TraceCapture log(dir);
    ASSERT_TRUE(Read(&b, bytes));
    std::string said = log.Stop();
    EXPECT_TRUE(Has(said, "'skew1' depending on 'move1' would close a cycle"));
    EXPECT_TRUE(Has(said, "'move2' depending on 'move2' would close a cycle"));
    EXPECT_EQ(b.FindItem("skew1")->depends.count, 0);
    EXPECT_EQ(b.FindItem("move2")->depends.count, 1);
    EXPECT_EQ(Bytes(&b), bytes);
    // Drawing over the links ends.
    Probe p;
    p.scene = &b;
    p.AddDependName("move2");
    b.items.Push(&p);
    b.BuildConn();
    Frame(&b, 1000);
    b.items.Pop();
}

// Matrices of the transform kinds at known times, applied as a dependency.
TEST_F(SceneTest, TransformItemsMoveTheirDependentsAtKnownTimes) {
    struct Case {
        int type, direction;
        float start, end;
        double duration;
        uint64_t ms;
        float x, y, wantX, wantY;
    } cases[] = {
        {FX_ITEM_MOVE, 2, 0, 1, 2.0, 1000, 0, 0, 0.5f, 0},         // halfway, smooth shape
        {FX_ITEM_MOVE, 0, 0, 1, 2.0, 2500, 0, 0, -0.84375f, 0},    // bouncing back: 1 - s(0.25)
        {FX_ITEM_MOVE, 3, 0, 1, 2.0, 1000, 0, 0, 0, -0.5f},
        {FX_ITEM_MOVE, 7, 0, 1, 2.0, 1000, 0.3f, 0.2f, 0.3f, 0.2f}, // unknown direction
        {FX_ITEM_MOVE, 2, 0, 1, 0.0, 1000, 0, 0, 1, 0},            // no length: at its end
        {FX_ITEM_ROTATE, 2, 0, 360, 4.0, 1000, 1, 0, 0, -1},       // clockwise, as the matrices turn
        {FX_ITEM_ROTATE, 2, 0, 360, 4.0, 5000, 1, 0, 0, -1},       // loops without bounce
        {FX_ITEM_SKEW, 0, 0.5f, 0.5f, 1.0, 300, -1, 0, -1, 1},
        {FX_ITEM_SKEW, 0, 0.5f, 0.5f, 1.0, 300, 1, 0.3f, 1, 0.3f}, // the fixed edge
        {FX_ITEM_SKEW, 1, 0.5f, 0.5f, 1.0, 300, 0, 1, 1, 1},
        {FX_ITEM_SKEW, 2, 0.5f, 0.5f, 1.0, 300, 1, 0, 1, 1},
        {FX_ITEM_SKEW, 3, 0.5f, 0.5f, 1.0, 300, 0, -1, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " direction " << c.direction << " at " << c.ms);
        clock.SetMs(0);
        FXScene s;
        auto* t = static_cast<FXItemTransform*>(s.CreateType(c.type));
        t->direction = c.direction, t->startValue = c.start, t->endValue = c.end, t->phaser.duration = c.duration;
        Probe p;
        p.scene = &s;
        p.AddDependName(t->name.text);
        s.items.Push(&p);
        s.BuildConn();
        for (int k = 0; k < 2; ++k) {  // the same frame twice gives the same place
            Frame(&s, c.ms);
            auto at = Map(p.seen, c.x, c.y);
            EXPECT_NEAR(at.first, c.wantX, 1e-4);
            EXPECT_NEAR(at.second, c.wantY, 1e-4);
        }
        s.items.Pop();
    }
}

TEST_F(SceneTest, CameraZoomIsBoundedPowerOfItsStepAndAppliesBefore) {
    struct Case {
        float step;
        int level;
        float x, wantZoom, wantX;
    } cases[] = {
        {1, 0, 0, 1, 0},
        {1, 3, 0, std::pow(1.01f, 3.0f), 0},
        {1, -3, 0, std::pow(1.01f, -3.0f), 0},
        {10, 0, 1, 1, 10},
        {1, INT_MAX, 0, std::pow(1.01f, 100.0f), 0},
        {1, INT_MIN, 0, std::pow(1.01f, -100.0f), 0},
        {-100, 5, 0, 1, 0},  // a factor of 0 or less does not zoom
        {-300, -5, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "step " << c.step << " level " << c.level);
        FXScene s;
        auto* z = static_cast<FXItemCameraZoom*>(s.CreateType(FX_ITEM_CAMERAZOOM));
        auto* mv = static_cast<FXItemMove*>(s.CreateType(FX_ITEM_MOVE));
        mv->direction = 2, mv->startValue = mv->endValue = 0.5f;
        z->zoomStep = c.step;
        s.actZoom = c.level, s.actX = c.x;
        Probe p;
        p.scene = &s;
        p.matrix.SetScaleF(2, 2, 1);
        p.AddDependName("camerazoom1");
        p.AddDependName("move1");
        s.items.Push(&p);
        s.BuildConn();
        Frame(&s, 100);
        // move first, then the item's own scale, then the camera.
        auto at = Map(p.seen, 0, 0);
        EXPECT_TRUE(std::isfinite(at.first));
        EXPECT_NEAR(at.first, c.wantZoom * (1.0f + c.wantX), 1e-4 * c.wantZoom);
        s.items.Pop();
    }
}

TEST_F(SceneTest, CameraRestsOnceMovesOnAndForgetsDeletedPoints) {
    FXScene s;
    auto* a = static_cast<FXItemCameraPt*>(s.CreateType(FX_ITEM_CAMERAPT));
    auto* b = static_cast<FXItemCameraPt*>(s.CreateType(FX_ITEM_CAMERAPT));
    auto* z = static_cast<FXItemCameraZoom*>(s.CreateType(FX_ITEM_CAMERAZOOM));
    z->zoomStep = 100;  // factor 2 a level
    a->zoomLevel = 0, b->zoomLevel = 2;
    a->AddDependName("camerapoint2");
    b->AddDependName("ghost");
    b->AddDependName("camerapoint1");
    b->AddDependName("camerapoint1");  // twice: both links go with it
    b->phaser.duration = 1.0;
    b->phaser.loop = true;  // as a point stored with the phaser's defaults
    s.cameraFirst.Set("camerapoint1");
    s.cameraPhaser.duration = 1.0;
    s.cameraPhaser.smooth = false;
    s.BuildConn();
    clock.SetMs(0);
    s.StartAnimateCamera();
    ASSERT_TRUE(s.cameraRunning);
    ASSERT_EQ(s.cameraTarget, b);
    Frame(&s, 500);
    EXPECT_NEAR(z->matrix.Get(0, 0), 2.5f, 1e-5);  // halfway from zoom 1 to 4
    Frame(&s, 1000);
    EXPECT_TRUE(s.cameraHolding);
    Frame(&s, 1500);
    EXPECT_TRUE(s.cameraHolding);
    Frame(&s, 2000);  // the rest has played once
    EXPECT_FALSE(s.cameraHolding);
    EXPECT_EQ(s.cameraTarget, a);
    EXPECT_EQ(s.cameraPrev, b);

    s.DeleteItemPos(0);  // the target
    EXPECT_FALSE(s.cameraRunning);
    EXPECT_EQ(s.cameraTarget, nullptr);
    ASSERT_EQ(b->dependNames.count, 1);
    EXPECT_STREQ(b->dependNames.Get(0), "ghost");
    EXPECT_EQ(b->depends.count, 0);
    s.DeleteItemPos(0);
    EXPECT_EQ(s.cameraPrev, nullptr);
    Frame(&s, 3000);
}

}  // namespace
