#include "scene/item.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "base/trace.h"
#include "package/package.h"
#include "scene/scene.h"

// ---------------------------------------------------------------- reader

int32_t FXItemReader::Int() {
    if (!d || d->remaining < 4) return whole = false, 0;
    return d->ReadInt();
}

float FXItemReader::Float() {
    if (!d || d->remaining < 4) return whole = false, 0.0f;
    return d->ReadFloat();
}

bool FXItemReader::Bool() {
    if (!d || d->remaining < 1) return whole = false;
    return d->ReadBool();
}

// Our writer never stores a negative length nor one above FXStr's 1023
// characters; such a string, or one longer than the bytes left, is damage.
void FXItemReader::String(FXStr* s) {
    s->Clear();
    int32_t n = Int();
    if (!whole) return;
    if (n < 0 || n > FXStr::kMaxLen || n > d->remaining) {
        whole = false;
        return;
    }
    memcpy(s->text, d->pos, static_cast<size_t>(n));
    s->text[n] = 0;
    s->len = static_cast<int32_t>(strlen(s->text));
    d->pos += n;
    d->remaining -= n;
}

void FXItemReader::Strings(FXStrArray* a) {
    a->DestroyBuf();
    int32_t n = Int();
    if (!whole) return;
    // Each string takes at least its 4-byte length.
    if (n < 0 || n > d->remaining / 4) {
        whole = false;
        return;
    }
    a->Realloc(n);
    FXStr s;
    for (int i = 0; i < n && whole; ++i) {
        String(&s);
        if (whole) a->Push(s.text);
    }
}

void FXItemReader::Ints(FXArray* a) {
    a->DestroyBuf();
    int32_t n = Int();
    if (!whole) return;
    if (n < 0 || n > d->remaining / 4) {
        whole = false;
        return;
    }
    a->Realloc(n);
    for (int i = 0; i < n; ++i) a->PushInt(d->ReadInt());
}

void FXItemReader::Matrix(FXMatrix* m) {
    if (!d || d->remaining < 64) {
        whole = false;
        m->SetIdentity();
        return;
    }
    m->LoadC(nullptr, d);
    // A matrix with a value that is no number would take the item and all
    // that hang on it off the screen, or fill it with garbage; so would one
    // beyond 1e18, which overflows once two matrices are multiplied.
    for (float v : m->m)
        if (!std::isfinite(v) || std::fabs(v) > 1e18f) {
            err("scene item: a matrix holds a value that is not a number; identity instead\n");
            m->SetIdentity();
            break;
        }
}

void FXItemReader::Phaser(FXPhaser* p) {
    if (!d || d->remaining < FXPhaser::kStoredSize) {
        whole = false;
        return;
    }
    p->LoadC(nullptr, d);
}

void FXItemReader::Color(float* rgba) {
    if (!d || d->remaining < 16) {
        whole = false;
        return;
    }
    d->ReadFloat4(rgba);
    for (int k = 0; k < 4; ++k)
        if (!std::isfinite(rgba[k])) {
            err("scene item: a colour holds a value that is not a number; full intensity instead\n");
            rgba[k] = 1.0f;
        }
}

// ---------------------------------------------------------------- item

namespace {

void localWriteFloat(FILE* f, float v) {
    uint32_t u;
    memcpy(&u, &v, 4);
    fxWriteInt32(f, static_cast<int32_t>(u));
}

}  // namespace

FXItem::FXItem()
    : type(FX_ITEM_NONE), enabled(true), modifier(false), applyBefore(false), scene(nullptr) {
    for (float& c : color) c = 1.0f;
}

FXItem::~FXItem() {
    dependNames.DestroyBuf();
    depends.DestroyBuf();
    dependSlots.DestroyBuf();
}

void FXItem::OnRender(PEnv* env, double time) {
    if (!enabled || !env) return;
    if (scene) scene->dependBudget = FXScene::kDependBudget;
    for (int i = 0; i < depends.count; ++i) {
        FXItem* d = static_cast<FXItem*>(depends.data[i]);
        if (d && d->enabled) d->DependRender(env, time, true);
    }
    env->MultiplyMatrix(&matrix);
    for (int i = 0; i < depends.count; ++i) {
        FXItem* d = static_cast<FXItem*>(depends.data[i]);
        if (d && d->enabled) d->DependRender(env, time, false);
    }
}

void FXItem::DependRender(PEnv* env, double time, bool pre) {
    // The links hold no cycle (BuildConn), but a wide and deep graph could
    // still multiply the calls; past the budget the rest is left out.
    if (scene) {
        if (scene->dependBudget <= 0) return;
        --scene->dependBudget;
    }
    for (int i = 0; i < depends.count; ++i) {
        FXItem* d = static_cast<FXItem*>(depends.data[i]);
        if (d && d->enabled) d->DependRender(env, time, pre);
    }
}

void FXItem::DependRenderTransform(PEnv* env, double time, bool pre) {
    FXItem::DependRender(env, time, pre);
    if (pre == applyBefore && env) env->MultiplyMatrix(&matrix);
}

void FXItem::Compile(FXPackage*) {}
void FXItem::ResolveFilenames(const char*) {}
void FXItem::BuildLinks() {}

bool FXItem::LoadC(FXPackage*, FXPackageData* d, int version) {
    FXItemReader r(d);
    r.String(&name);
    r.Strings(&dependNames);
    dependSlots.DestroyBuf();
    depends.DestroyBuf();
    for (int i = 0; i < dependNames.count; ++i) dependSlots.Push(nullptr);
    r.Matrix(&matrix);
    r.Phaser(&phaser);
    r.Color(color);
    applyBefore = r.Bool();
    if (version >= 2) enabled = r.Bool();
    return r.whole;
}

bool FXItem::Save(FILE* f, const char* /*folder*/) {
    if (!f) return false;
    fxWriteInt32(f, type);
    name.Save(f);
    // A resolved dependency writes its present name (it may have been
    // renamed); one that resolved to nothing keeps the name it was read with.
    fxWriteInt32(f, dependNames.count);
    for (int i = 0; i < dependNames.count; ++i) {
        FXItem* d = i < dependSlots.count ? static_cast<FXItem*>(dependSlots.data[i]) : nullptr;
        FXStr n(d ? d->name.text : dependNames.Get(i));
        n.Save(f);
    }
    matrix.Save(f);
    phaser.Save(f);
    for (float c : color) localWriteFloat(f, c);
    fputc(applyBefore ? 1 : 0, f);
    fputc(enabled ? 1 : 0, f);
    return !ferror(f);
}

bool FXItem::Load(FILE* f, const char* folder, int version) {
    if (!f) return false;
    // The stream is left just after the item: it must be able to seek.
    long at = ftell(f);
    std::vector<uint8_t> buf;
    if (at < 0 || fxBytesLeft(f) < 0 || !fxReadRest(f, &buf)) return false;
    FXPackageData d;
    d.InitData(buf.data(), static_cast<int>(buf.size()));
    bool ok = LoadC(nullptr, &d, version);
    fseek(f, at + (d.size - d.remaining), SEEK_SET);
    if (folder) ResolveFilenames(folder);
    return ok;
}

void FXItem::SetDependNames(const FXStrArray* names) {
    dependNames.DestroyBuf();
    dependSlots.DestroyBuf();
    depends.DestroyBuf();
    for (int i = 0; names && i < names->count; ++i) AddDependName(names->Get(i));
}

void FXItem::AddDependName(const char* n) {
    dependNames.Push(n ? n : "");
    dependSlots.Push(nullptr);
}

void FXItem::ForgetItem(FXItem* gone) {
    if (!gone) return;
    // Every link to it: two names may have found the same item.
    for (int i = depends.count - 1; i >= 0; --i)
        if (depends.data[i] == gone) depends.RemovePos(i);
    for (int i = dependNames.count - 1; i >= 0; --i) {
        FXItem* d = i < dependSlots.count ? static_cast<FXItem*>(dependSlots.data[i]) : nullptr;
        // Also the names left unlinked that name it: they would link to a
        // new item that takes the name later.
        if (d == gone || (!d && strcmp(gone->name.text, dependNames.Get(i)) == 0)) {
            dependNames.RemovePos(i);
            if (i < dependSlots.count) dependSlots.RemovePos(i);
        }
    }
}
