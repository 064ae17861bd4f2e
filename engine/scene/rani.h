// The random-animation item: one state of a random state machine of sprite
// movies. Each entry names a movie, a play direction, a weight and the state
// that becomes active when the movie has played. The active state picks an
// entry by weight, avoiding recently played movies where the target asks for
// it, plays the movie at the item's place and hands over to the target.
// Only one state is enabled at a time (the scene draws the first enabled).
//
// Payload after the base record (item.h):
//   string array target names | string array movie names (relative to the
//   folder given to Save in a file, record numbers in a package)
//   int32 count + int32 play modes | int32 count + int32 weights
//   float32 minimum play time | version >= 3: bool avoid recent
// A record whose lists differ in length keeps the shortest length.
#pragma once

#include "anim/movie.h"
#include "scene/item.h"

class FXItemRani : public FXItem {
public:
    // The entries: position i of each list.
    FXStrArray targetNames;
    // FXItemRani*, not owned, one slot per target name; null for a name that
    // finds no item or names an item of another kind. An entry without a
    // target hands over to this state itself.
    FXArray targets;
    FXStrArray movieNames;
    FXArray movies;   // SMovie*, owned; null for an empty name or a movie that did not load
    FXArray modes;    // int: 1 forward, -1 backward, other values play nothing
    FXArray weights;  // int: weights of 0 or less are chosen only when no entry has more
    bool started;
    float minPlayTime;
    double playStart;
    bool choosePending;
    int32_t chosen;
    SMovie* current;  // one of movies, not owned
    bool guard;        // set around a hand-over that plays nothing: stops a cycle of such entries
    bool avoidRecent;  // read on the target of an entry: skip movies the scene played recently

    FXItemRani();
    ~FXItemRani() override;

    void OnRender(PEnv* env, double time) override;
    // Acts on nothing that depends on it: links to it never recurse.
    void DependRender(PEnv*, double, bool) override {}
    bool ForwardsDepends() const override { return false; }
    void Compile(FXPackage* pck) override;
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ResolveFilenames(const char* folder) override;
    void ReCreate() override;
    void BuildLinks() override;
    void ForgetItem(FXItem* gone) override;

    int EntryCount() const;
    FXItemRani* Target(int entry) const;
    SMovie* Movie(int entry) const;

    int ChooseRandomAnim();
    bool TestLastAnim(int entry) const;
    bool StartAnim(int entry);
    void AddRani(FXItemRani* target);
    void RemoveRani(int entry);

private:
    void HandOver(PEnv* env, double time, int entry, bool guarded);
    void DeleteMovies();
    void ForgetMovie(SMovie* m);
    void ClearEntries();
};
