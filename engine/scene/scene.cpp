#include "scene/scene.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "base/other.h"
#include "base/paths.h"
#include "base/trace.h"
#include "package/package.h"
#include "scene/camera.h"

namespace {

const char* const localMagic[] = {"xss01", "xss02", "xss03"};

FXItem* localItem(const FXArray& a, int i) { return static_cast<FXItem*>(a.data[i]); }

// Whether to is reachable from from through the links made so far that
// DependRender follows.
bool localReaches(FXItem* from, FXItem* to) {
    std::vector<FXItem*> stack{from};
    std::unordered_set<FXItem*> seen{from};
    while (!stack.empty()) {
        FXItem* it = stack.back();
        stack.pop_back();
        if (it == to) return true;
        if (!it->ForwardsDepends()) continue;
        for (int i = 0; i < it->depends.count; ++i) {
            FXItem* d = localItem(it->depends, i);
            if (d && seen.insert(d).second) stack.push_back(d);
        }
    }
    return false;
}

}  // namespace

FXScene::FXScene()
    : actZoom(0),
      actX(0.0f),
      actY(0.0f),
      cameraRunning(false),
      cameraHolding(false),
      cameraTarget(nullptr),
      cameraPrev(nullptr),
      activeRani(nullptr),
      package(nullptr),
      dependBudget(kDependBudget) {
    cameraPhaser.active = false;
    cameraPhaser.loop = false;
    cameraPhaser.smooth = true;
    cameraPhaser.duration = 5.0;
}

FXScene::~FXScene() { Destroy(); }

void FXScene::Destroy1() {
    // The camera's points go with the items.
    cameraTarget = cameraPrev = nullptr;
    cameraRunning = cameraHolding = false;
    for (int i = 0; i < items.count; ++i) delete localItem(items, i);
    items.DestroyBuf();
    activeRani = nullptr;
    recentMovies.DestroyBuf();
}

void FXScene::Destroy() {
    Destroy1();
    desktop.Destroy();
    package = nullptr;
}

// ---------------------------------------------------------------- loading

bool FXScene::LoadC(FXPackage* pck) { return LoadCN(pck, 0); }

bool FXScene::LoadCN(FXPackage* pck, int id) {
    Destroy();
    package = pck;
    FXPackageData* rec = pck ? pck->GetDataPtr(id) : nullptr;
    if (!rec) {
        err("FXScene: the package has no record %d; the scene stays empty\n", id);
        return false;
    }
    FXPackageData d = *rec;
    d.Reseek();
    return fxLoadNamingDamage("scene", id, true, [&] { return LoadFromData(&d, nullptr); });
}

bool FXScene::Load(const char* path) {
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f) {
        trc("FXScene: cannot open '%s'\n", path ? path : "");
        return false;
    }
    std::vector<uint8_t> buf;
    fxReadRest(f, &buf);
    fclose(f);
    package = nullptr;
    FXPackageData d;
    d.InitData(buf.data(), static_cast<int>(buf.size()));
    return LoadFromData(&d, fxGetActPath());
}

bool FXScene::LoadFromData(FXPackageData* d, const char* folder) {
    FXItemReader r(d);
    FXStr magic;
    r.String(&magic);
    int version = 0;
    for (int v = 0; v < 3; ++v)
        if (r.whole && strcmp(magic.text, localMagic[v]) == 0) version = v + 1;
    if (!version) {
        err("FXScene: not a scene record (magic '%s')\n", magic.text);
        return false;
    }
    int32_t count = r.Int();
    if (version >= 2) {
        r.String(&cameraFirst);
        r.String(&cameraSecond);
        r.Phaser(&cameraPhaser);
    }
    if (!r.whole) {
        err("FXScene: the scene record ends in its header\n");
        return false;
    }
    // The count is only an upper bound: the bytes and the types decide.
    int read = 0;
    for (; read < count; ++read) {
        if (d->remaining < 4) {
            err("FXScene: the record ends after %d of %d items\n", read, count);
            break;
        }
        int32_t type = d->ReadInt();
        if (type == FX_ITEM_END) break;
        FXItem* it = fxNewItem(type);
        if (!it) {
            err("FXScene: item %d has type %d, which makes no item; %d items left unread\n", read, type,
                count - read);
            break;
        }
        it->scene = this;
        if (!it->LoadC(package, d, version)) {
            err("FXScene: item %d ('%s', %s) is cut short or damaged; it and %d after it left out\n", read,
                it->name.text, fxItemTypeName(type), count - read - 1);
            delete it;
            break;
        }
        if (folder) it->ResolveFilenames(folder);
        items.Push(it);
        it->ReCreate();
    }
    BuildConn();
    activeRani = nullptr;
    return true;
}

// ---------------------------------------------------------------- saving

bool FXScene::Save(const char* path) {
    FILE* f = path ? fopen(path, "wb") : nullptr;
    if (!f) {
        trc("FXScene: cannot write '%s'\n", path ? path : "");
        return false;
    }
    bool ok = SaveFile(f, fxGetActPath());
    return fclose(f) == 0 && ok;
}

bool FXScene::SaveFile(FILE* f, const char* folder) {
    if (!f) return false;
    FXStr(localMagic[kVersion - 1]).Save(f);
    fxWriteInt32(f, items.count);
    cameraFirst.Save(f);
    cameraSecond.Save(f);
    cameraPhaser.Save(f);
    bool ok = true;
    for (int i = 0; i < items.count; ++i) ok = localItem(items, i)->Save(f, folder) && ok;
    return ok && !ferror(f);
}

void FXScene::Compile(FXPackage* pck) {
    if (!pck) return;
    int id = pck->nameServer.BuildId("root.scene");
    if (id < 0) return;
    FXStr here(fxGetActPath());
    if (pck->workFolder.IsEmpty()) pck->workFolder = here;
    for (int i = 0; i < items.count; ++i) localItem(items, i)->Compile(pck);
    fxSetActPath(here.text);  // items may change it
    static int serial = 0;
    FXStr file;
    do {
        char tmp[64];
        snprintf(tmp, sizeof tmp, "fxscene_%d.tmp", ++serial);
        file.Set(fxCombinePaths(pck->workFolder.text, tmp));
    } while (fxPathExists(file.text));
    if (!Save(file.text)) {
        err("FXScene::Compile: cannot write '%s'\n", file.text);
        return;
    }
    pck->AddTmpFile(file.text);
    pck->AddDataFile(id, file.text);
}

// ---------------------------------------------------------------- items

FXItem* FXScene::CreateType(int type) {
    FXItem* it = fxNewItem(type);
    if (!it) return nullptr;
    it->scene = this;
    GenName(type, &it->name);
    it->ReCreate();
    items.Push(it);
    return it;
}

void FXScene::GenName(int type, FXStr* out) const {
    const char* base = fxItemTypeName(type);
    for (int n = 1;; ++n) {
        out->Format("%s%d", base, n);
        if (!FindItem(out->text)) return;
    }
}

FXItem* FXScene::FindItem(const char* name) const {
    if (!name) return nullptr;
    for (int i = 0; i < items.count; ++i)
        if (strcmp(localItem(items, i)->name.text, name) == 0) return localItem(items, i);
    return nullptr;
}

FXItem* FXScene::GetItem(int pos) const {
    return pos >= 0 && pos < items.count ? localItem(items, pos) : nullptr;
}

void FXScene::BuildConn() {
    for (int i = 0; i < items.count; ++i) localItem(items, i)->depends.DestroyBuf();
    for (int i = 0; i < items.count; ++i) {
        FXItem* it = localItem(items, i);
        it->dependSlots.DestroyBuf();
        for (int k = 0; k < it->dependNames.count; ++k) {
            FXItem* d = FindItem(it->dependNames.Get(k));
            if (d && it->ForwardsDepends() && localReaches(d, it)) {
                trc("FXScene: '%s' depending on '%s' would close a cycle; the link is left out\n", it->name.text,
                    d->name.text);
                d = nullptr;
            }
            it->dependSlots.Push(d);
            if (d) it->depends.Push(d);
        }
    }
    for (int i = 0; i < items.count; ++i) localItem(items, i)->BuildLinks();
}

void FXScene::DeleteItemPos(int pos) {
    FXItem* gone = GetItem(pos);
    if (!gone) return;
    items.RemovePos(pos);
    if (gone == cameraTarget || gone == cameraPrev) {
        // The camera cannot go on without its target; a lost previous point
        // only widens the next choice.
        if (gone == cameraTarget) {
            cameraTarget = nullptr;
            StopAnimateCamera();
        }
        if (gone == cameraPrev) cameraPrev = nullptr;
    }
    if (gone == activeRani) activeRani = nullptr;
    for (int i = 0; i < items.count; ++i) localItem(items, i)->ForgetItem(gone);
    delete gone;
}

void FXScene::MovePos(int from, int to) {
    if (from < 0 || from >= items.count || to < 0 || to >= items.count) return;
    for (; from < to; ++from) items.MovePos(from, 1);
    for (; from > to; --from) items.MovePos(from, -1);
}

void FXScene::LoadFilename(FILE* f, FXStr* out, const char* folder) {
    out->Load(f);
    BuildFilename(out, folder);
}

void FXScene::BuildFilename(FXStr* s, const char* folder) {
    if (s->IsEmpty() || !folder) return;
    FXStr full(fxCombinePaths(folder, s->text));
    *s = full;
}

// ---------------------------------------------------------------- camera

FXItemCameraPt* FXScene::GetActCameraPt(int pos) const {
    FXItem* it = GetItem(pos);
    return it && it->type == FX_ITEM_CAMERAPT ? static_cast<FXItemCameraPt*>(it) : nullptr;
}

namespace {

void localCopyCamera(FXScene* s, const FXItemCameraPt* p) {
    s->actZoom = p->zoomLevel;
    s->actX = p->offsetX;
    s->actY = p->offsetY;
}

// Index into n candidates: the ends half as likely as the inner ones.
int localPick(int n) {
    if (n <= 1) return n - 1;
    int k = static_cast<int>(fxGetRandom() * static_cast<float>(n - 1) + 0.5f);
    return k > n - 1 ? n - 1 : (k < 0 ? 0 : k);
}

}  // namespace

void FXScene::SetActCameraPt(int pos) {
    if (FXItemCameraPt* p = GetActCameraPt(pos)) localCopyCamera(this, p);
}

FXItemCameraPt* FXScene::FindNamedCamera(const char* name) const {
    for (int i = 0; i < items.count; ++i) {
        FXItemCameraPt* p = GetActCameraPt(i);
        if (p && name && strcmp(p->name.text, name) == 0) return p;
    }
    return nullptr;
}

FXItemCameraPt* FXScene::FindRandomCamera(FXItemCameraPt* not1, FXItemCameraPt* not2) const {
    std::vector<FXItemCameraPt*> c;
    for (int i = 0; i < items.count; ++i) {
        FXItemCameraPt* p = GetActCameraPt(i);
        if (p && p != not1 && p != not2) c.push_back(p);
    }
    int k = localPick(static_cast<int>(c.size()));
    return k < 0 ? nullptr : c[static_cast<size_t>(k)];
}

FXItemCameraPt* FXScene::FindRandomCamera1(FXItemCameraPt* from, FXItemCameraPt* notThis) const {
    if (!from) return nullptr;
    std::vector<FXItemCameraPt*> c;
    for (int i = 0; i < from->depends.count; ++i) {
        FXItem* d = localItem(from->depends, i);
        if (d && d->type == FX_ITEM_CAMERAPT && d != notThis) c.push_back(static_cast<FXItemCameraPt*>(d));
    }
    int k = localPick(static_cast<int>(c.size()));
    return k < 0 ? nullptr : c[static_cast<size_t>(k)];
}

void FXScene::PrepareCameraAnim(FXItemCameraPt* from, FXItemCameraPt* to) {
    if (!from || !to) return;
    for (int end = 0; end < 2; ++end) {
        localCopyCamera(this, end ? to : from);
        for (int i = 0; i < items.count; ++i)
            if (localItem(items, i)->type == FX_ITEM_CAMERAZOOM)
                static_cast<FXItemCameraZoom*>(localItem(items, i))->PrepareAnim(end);
    }
    cameraPhaser.Restart(fxGetTime());
    cameraPhaser.loop = false;  // each move plays once, whatever the stored flags
}

void FXScene::StartAnimateCamera() {
    FXGRAutoAct act(fxglobalEnv);
    StopAnimateCamera();
    cameraTarget = cameraPrev = nullptr;
    FXItemCameraPt* start = cameraFirst.IsEmpty() ? FindRandomCamera(nullptr, nullptr) : FindNamedCamera(cameraFirst.text);
    if (!start) return;
    FXItemCameraPt* next =
        cameraSecond.IsEmpty() ? FindRandomCamera1(start, nullptr) : FindNamedCamera(cameraSecond.text);
    if (next) {
        PrepareCameraAnim(start, next);
        cameraTarget = next;
        cameraRunning = true;
        cameraHolding = false;
    } else {
        localCopyCamera(this, start);
    }
}

void FXScene::StopAnimateCamera() { cameraRunning = cameraHolding = false; }

void FXScene::StartAnimateCameraNext() {
    FXItemCameraPt* next = nullptr;
    if (!cameraFirst.IsEmpty() && !cameraSecond.IsEmpty()) {
        next = FindNamedCamera(cameraFirst.text);
        if (next == cameraTarget) next = FindNamedCamera(cameraSecond.text);
    } else {
        next = FindRandomCamera1(cameraTarget, cameraPrev);
        if (!next) next = FindRandomCamera1(cameraTarget, nullptr);
    }
    if (next && cameraTarget) {
        PrepareCameraAnim(cameraTarget, next);
        cameraPrev = cameraTarget;
        cameraTarget = next;
    } else {
        StopAnimateCamera();
    }
}

// ---------------------------------------------------------------- frame

void FXScene::OnRender(PEnv* env, double time) {
    if (!env) return;
    if (cameraRunning) cameraPhaser.OnRender(env, time);
    FXMatrix base;
    base.Copy(&env->curMatrix);
    for (int i = 0; i < items.count; ++i) {
        FXItem* it = localItem(items, i);
        if (it->enabled && it->modifier) it->OnRender(env, time);
    }
    activeRani = nullptr;
    for (int i = 0; i < items.count; ++i) {
        FXItem* it = localItem(items, i);
        if (!it->enabled || it->modifier) continue;
        if (it->type == FX_ITEM_RANI) {
            if (activeRani) continue;
            activeRani = it;
        }
        env->ApplyMatrix(&base);
        it->OnRender(env, time);
    }
    if (!cameraRunning) return;
    if (!cameraTarget) {
        StopAnimateCamera();
        return;
    }
    if (!cameraHolding) {
        if (cameraPhaser.value >= 1.0f) {
            if (cameraTarget->phaser.duration == 0.0) {
                StartAnimateCameraNext();
            } else {
                // The rest plays once, whatever flags the point was stored with.
                cameraHolding = true;
                cameraTarget->phaser.Restart(time);
                cameraTarget->phaser.loop = false;
            }
        }
    } else {
        cameraTarget->phaser.OnRender(env, time);
        if (cameraTarget->phaser.value >= 1.0f || !cameraTarget->phaser.active) {
            cameraHolding = false;
            StartAnimateCameraNext();
        }
    }
}
