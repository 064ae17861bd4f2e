#include "scene/rani.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/other.h"
#include "base/trace.h"
#include "package/package.h"
#include "scene/drawn.h"
#include "scene/itemkinds.h"
#include "scene/scene.h"

FX_ITEM_MAKER(FXItemRani)

namespace {

// The entries' movies are made here and only ever deleted here, as this
// exact type (SMovie's destructor is not virtual).
class localMovie final : public SMovie {};

void localDelete(SMovie* m) { delete static_cast<localMovie*>(m); }

}  // namespace

FXItemRani::FXItemRani()
    : started(false),
      minPlayTime(0.0f),
      playStart(0.0),
      choosePending(true),
      chosen(-1),
      current(nullptr),
      guard(false),
      avoidRecent(true) {
    type = FX_ITEM_RANI;
    modifier = false;
    enabled = false;
    phaser.duration = 0.0;
}

FXItemRani::~FXItemRani() { DeleteMovies(); }

// ---------------------------------------------------------------- entries

int FXItemRani::EntryCount() const {
    return std::min(std::min(targetNames.count, movieNames.count), std::min(modes.count, weights.count));
}

FXItemRani* FXItemRani::Target(int i) const {
    return i >= 0 && i < targets.count ? static_cast<FXItemRani*>(targets.data[i]) : nullptr;
}

SMovie* FXItemRani::Movie(int i) const {
    return i >= 0 && i < movies.count ? static_cast<SMovie*>(movies.data[i]) : nullptr;
}

// The scene keeps the movies it played last; one of ours that goes away must
// leave that list, or a new movie at the same address would count as played.
void FXItemRani::ForgetMovie(SMovie* m) {
    if (!m) return;
    if (current == m) current = nullptr;
    if (!scene) return;
    for (int k = scene->recentMovies.Findpos(m); k >= 0; k = scene->recentMovies.Findpos(m))
        scene->recentMovies.RemovePos(k);
}

void FXItemRani::DeleteMovies() {
    for (int i = 0; i < movies.count; ++i) {
        SMovie* m = Movie(i);
        ForgetMovie(m);
        localDelete(m);
    }
    movies.DestroyBuf();
    current = nullptr;
}

void FXItemRani::ClearEntries() {
    DeleteMovies();
    targetNames.DestroyBuf();
    targets.DestroyBuf();
    movieNames.DestroyBuf();
    modes.DestroyBuf();
    weights.DestroyBuf();
}

void FXItemRani::AddRani(FXItemRani* target) {
    int n = EntryCount();
    // Entries past the shortest list are not entries; they go first.
    while (targetNames.count > n) targetNames.Pop();
    while (movieNames.count > n) movieNames.Pop();
    modes.count = weights.count = n;
    while (movies.count > n) {
        SMovie* m = static_cast<SMovie*>(movies.Pop());
        ForgetMovie(m);
        localDelete(m);
    }
    while (movies.count < n) movies.Push(nullptr);
    targets.count = std::min(targets.count, n);
    while (targets.count < n) targets.Push(nullptr);
    targetNames.Push(target ? target->name.text : "");
    targets.Push(target);
    movieNames.Push("");
    movies.Push(nullptr);
    modes.PushInt(1);
    weights.PushInt(1);
}

void FXItemRani::RemoveRani(int i) {
    if (i < 0 || i >= EntryCount()) return;
    SMovie* m = Movie(i);
    if (m && m == current) choosePending = true;
    ForgetMovie(m);
    localDelete(m);
    targetNames.RemovePos(i);
    if (i < targets.count) targets.RemovePos(i);
    movieNames.RemovePos(i);
    if (i < movies.count) movies.RemovePos(i);
    modes.RemovePos(i);
    weights.RemovePos(i);
    if (chosen == i) chosen = -1;
    else if (chosen > i) --chosen;
}

// ---------------------------------------------------------------- choice

bool FXItemRani::TestLastAnim(int i) const {
    FXItemRani* t = Target(i);
    if (!t) t = const_cast<FXItemRani*>(this);  // an entry without a target stays here
    if (!t->avoidRecent) return true;
    SMovie* m = Movie(i);
    if (!m) return true;
    return !scene || scene->recentMovies.Findpos(m) < 0;
}

int FXItemRani::ChooseRandomAnim() {
    const int n = EntryCount();
    if (n < 1) return -1;
    if (n == 1) return 0;
    // Weights of 0 or less count as 0: such an entry is never chosen while
    // another has a positive weight.
    auto weight = [this](int i) { return std::max(0, weights.GetInt(i)); };
    std::vector<char> in(static_cast<size_t>(n));
    int64_t total = 0;
    int last = -1;
    for (int i = 0; i < n; ++i) {
        in[i] = TestLastAnim(i);
        if (in[i] && weight(i) > 0) total += weight(i), last = i;
    }
    if (total < 1) {
        // All excluded as recent: the choice falls back to every entry.
        std::fill(in.begin(), in.end(), 1);
        for (int i = 0; i < n; ++i)
            if (weight(i) > 0) total += weight(i), last = i;
    }
    const float r = fxGetRandom();
    if (total < 1) {
        // No weight anywhere: every entry is as likely as the next.
        int pick = static_cast<int>(r * static_cast<float>(n));
        return pick < n ? pick : n - 1;
    }
    if (total == 1) return last;
    const int64_t threshold = static_cast<int64_t>(r * static_cast<double>(total - 1) + 0.5);
    int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
        if (!in[i]) continue;
        sum += weight(i);
        if (sum > threshold) return i;
    }
    return last;
}

bool FXItemRani::StartAnim(int i) {
    if (i < 0 || EntryCount() < 1) return true;
    if (i >= EntryCount()) return false;
    SMovie* m = Movie(i);
    const int mode = modes.GetInt(i);
    if (!m || (mode != 1 && mode != -1)) return false;
    m->EmptyPrepared();
    // The state waits for the movie's end: it must not loop.
    m->loop = false;
    if (mode == 1) m->Restart(fxGetTime());
    else m->RestartBack(fxGetTime());
    if (scene) {
        scene->recentMovies.Push(m);
        while (scene->recentMovies.count > FXScene::kMaxRecentMovies) scene->recentMovies.RemovePos(0);
    }
    return true;
}

// ---------------------------------------------------------------- playing

void FXItemRani::HandOver(PEnv* env, double time, int i, bool guarded) {
    FXItemRani* t = Target(i);
    if (!t) t = this;
    // This state goes off before the target comes on: a target that is this
    // state itself must stay on.
    enabled = false;
    t->enabled = true;
    t->current = nullptr;
    t->choosePending = true;
    if (guarded) guard = true;
    t->OnRender(env, time);
    if (guarded) guard = false;
}

void FXItemRani::OnRender(PEnv* env, double time) {
    if (!enabled || guard) return;
    if (choosePending) {
        choosePending = false;
        started = false;
        chosen = ChooseRandomAnim();
        if (chosen == -1) {
            current = nullptr;
        } else if (!StartAnim(chosen)) {
            HandOver(env, time, chosen, true);
            return;
        } else {
            current = Movie(chosen);
        }
    }
    if (!current) return;
    if (!started) {
        started = true;
        playStart = time;
        current->Prepare(1);
    } else if (!(time - playStart < minPlayTime)) {
        current->Prepare(-1);
        if (current->prepared.count < 2) {
            started = false;
            HandOver(env, time, chosen, false);
            return;
        }
    }
    FXItem::OnRender(env, time);
    current->OnRender(env, time);
}

// ---------------------------------------------------------------- links

void FXItemRani::BuildLinks() {
    targets.DestroyBuf();
    for (int i = 0; i < targetNames.count; ++i) {
        const char* n = targetNames.Get(i);
        FXItem* it = scene && *n ? scene->FindItem(n) : nullptr;
        if (it && it->type != FX_ITEM_RANI) {
            err("random animation '%s': target '%s' is not a random-animation item\n", name.text, n);
            it = nullptr;
        } else if (!it && *n) {
            trc("random animation '%s': target '%s' names no item\n", name.text, n);
        }
        targets.Push(it);
    }
}

void FXItemRani::ForgetItem(FXItem* gone) {
    FXItem::ForgetItem(gone);
    for (int i = 0; i < targets.count; ++i)
        if (targets.data[i] == gone) targets.data[i] = nullptr;
}

// ---------------------------------------------------------------- storing

bool FXItemRani::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    ClearEntries();
    minPlayTime = 0.0f;
    avoidRecent = true;
    choosePending = true;
    chosen = -1;
    started = false;
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    r.Strings(&targetNames);
    r.Strings(&movieNames);
    r.Ints(&modes);
    r.Ints(&weights);
    minPlayTime = r.Float();
    if (version >= 3) avoidRecent = r.Bool();
    if (!r.whole) {
        err("random animation '%s': payload cut short or damaged\n", name.text);
        ClearEntries();
        minPlayTime = 0.0f;
        avoidRecent = true;
        return false;
    }
    const int n = EntryCount();
    if (targetNames.count != n || movieNames.count != n || modes.count != n || weights.count != n) {
        err("random animation '%s': lists of %d targets, %d movies, %d modes and %d weights; %d entries kept\n",
            name.text, targetNames.count, movieNames.count, modes.count, weights.count, n);
        while (targetNames.count > n) targetNames.Pop();
        while (movieNames.count > n) movieNames.Pop();
        modes.count = weights.count = n;
    }
    for (int i = 0; i < n; ++i) targets.Push(nullptr);
    return true;
}

bool FXItemRani::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    const int n = EntryCount();
    // A linked target writes its present name (it may have been renamed).
    fxWriteInt32(f, n);
    for (int i = 0; i < n; ++i) {
        FXItemRani* t = Target(i);
        FXStr s(t ? t->name.text : targetNames.Get(i));
        s.Save(f);
    }
    fxWriteInt32(f, n);
    for (int i = 0; i < n; ++i) FXStr(movieNames.Get(i)).SaveShortPath(f, folder);
    for (const FXArray* a : {&modes, &weights}) {
        fxWriteInt32(f, n);
        for (int i = 0; i < n; ++i) fxWriteInt32(f, a->GetInt(i));
    }
    int32_t bits;
    memcpy(&bits, &minPlayTime, 4);
    fxWriteInt32(f, bits);
    fputc(avoidRecent ? 1 : 0, f);
    return !ferror(f);
}

void FXItemRani::ResolveFilenames(const char* folder) {
    for (int i = 0; i < movieNames.count; ++i) {
        FXStr s(movieNames.Get(i));
        fxItemResolveName(scene, &s, folder);
        movieNames.Change(i, s.text);
    }
}

void FXItemRani::Compile(FXPackage* pck) {
    if (!pck) return;
    for (int i = 0; i < EntryCount(); ++i) {
        FXStr s(movieNames.Get(i));
        SMovie* m = Movie(i);
        if (s.IsEmpty()) continue;
        if (!m) {
            err("random animation '%s': movie '%s' did not load; not packed\n", name.text, s.text);
            continue;
        }
        if (fxItemCompileMovie(pck, m, &s, "random animation")) movieNames.Change(i, s.text);
    }
}

void FXItemRani::ReCreate() {
    DeleteMovies();
    FXPackage* pck = scene ? scene->package : nullptr;
    for (int i = 0; i < movieNames.count; ++i) {
        const char* n = movieNames.Get(i);
        SMovie* m = nullptr;
        if (*n) {
            m = new localMovie;
            if (fxItemLoadMovie(pck, m, n)) {
                m->edgesOn = false;
                m->loop = false;
            } else {
                localDelete(m);
                m = nullptr;
            }
        }
        movies.Push(m);
    }
    choosePending = true;
    chosen = -1;
    current = nullptr;
    started = false;
}
