// Writes the seed inputs of the mesh, phaser, movie, bezier, model and OBJ
// fuzzers with the engine's own writers: whole mesh records, compact records
// (vector map, then mesh headers each followed by its corner stream), phaser
// records, movie records, timing graphs followed by spline points, model
// records of both versions, and OBJ text with its MTL text after a NUL.
// Scene records hold one item of each transform and camera kind, linked,
// and one of each drawn kind with two random-animation states.
// Animation records of three frames, in both forms.
//   fuzz_seeds MESH_DIR PHASER_DIR [MOVIE_DIR [GRAPH_DIR [MODEL_DIR OBJ_DIR [SCENE_DIR]]]]
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>
#include <string>

#include "anim/anim.h"
#include "anim/beziergraph.h"
#include "anim/movie.h"
#include "anim/phaser.h"
#include "geometry/desk.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "package/data.h"
#include "scene/camera.h"
#include "scene/drawn.h"
#include "scene/rani.h"
#include "scene/scene.h"

namespace {

// A w x h desk grid (two triangles per cell), bent in depth, with front
// texture coordinates.
void localGrid(FXMesh* m, int w, int h, float bend) {
    FXDesk d;
    d.Create(w, h);
    m->Copy(&d.mesh);
    for (int i = 0; i < m->vertexCount; ++i) m->vertices[i].f[2] = bend * sinf(static_cast<float>(i));
    m->ComputeFrontTexCoords();
}

// Writes dir/name with the given writer.
template <class Writer>
bool localWrite(const std::string& dir, const char* name, Writer write) {
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
    if (!f) return false;
    bool ok = write(f);
    return fclose(f) == 0 && ok;
}

// A vector map, then each mesh header followed by its corner stream.
bool localCompact(const std::string& dir, const char* name, std::initializer_list<FXMesh*> meshes) {
    FXVectorMap map;
    FXNumPool pools[4];
    int n = 0;
    for (FXMesh* m : meshes) m->ToVMap(&map, &pools[n++]);
    return localWrite(dir, name, [&](FILE* f) {
        bool ok = map.Save(f);
        for (int k = 0; k < n; ++k) ok = meshes.begin()[k]->SaveMeshI(f) && pools[k].Save(f) && ok;
        return ok;
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 9 || argc == 6) {
        fprintf(stderr,
                "usage: fuzz_seeds MESH_DIR PHASER_DIR [MOVIE_DIR [GRAPH_DIR [MODEL_DIR OBJ_DIR [SCENE_DIR [ANIM_DIR]]]]]\n");
        return 2;
    }
    std::string meshDir = argv[1], phaserDir = argv[2];
    bool ok = true;

    FXMesh quad, grid, big;
    localGrid(&quad, 1, 1, 0.0f);
    quad.materialName.Set("skin");
    localGrid(&grid, 4, 3, 0.25f);
    grid.renderPass = 1;
    grid.colorMode = 1;
    localGrid(&big, 20, 16, 0.5f);  // more than 255 vectors: word indices
    for (auto [name, m] : {std::pair{"whole-quad.bin", &quad}, {"whole-grid.bin", &grid}})
        ok = localWrite(meshDir, name, [m = m](FILE* f) { return m->SaveMesh(f); }) && ok;
    ok = localCompact(meshDir, "compact-two.bin", {&grid, &quad}) && ok;
    ok = localCompact(meshDir, "compact-big.bin", {&big}) && ok;

    // Phasers: one that stops, a smooth bounce and a reversed half-smooth
    // one, the last two followed by the times they are sampled at.
    FXPhaser ph[3];
    ph[0].loop = false;
    ph[0].duration = 2.0;
    ph[1].bounce = ph[1].smooth = true;
    ph[1].duration = 0.5;
    ph[2].halfSmooth = ph[2].reverse = true;
    ph[2].value = 0.5f;
    const char* names[3] = {"once.bin", "bounce-times.bin", "half-times.bin"};
    const int times[3] = {0, 12, 5};
    for (int i = 0; i < 3; ++i)
        ok = localWrite(phaserDir, names[i], [&](FILE* f) {
            bool w = ph[i].Save(f);
            for (int k = 0; k < times[i]; ++k) {
                double t = 0.37 * k;
                w = fwrite(&t, sizeof t, 1, f) == 1 && w;
            }
            return w;
        }) && ok;

    // Movies: three frames with edges and key frames, and one without them.
    for (int k = 0; argc >= 4 && k < 2; ++k) {
        SMovie mv;
        for (const char* id : {"11", "13", "15"}) mv.frameNames.Push(id), mv.maskNames.Push(id);
        for (int i = 0; k == 0 && i < 12; ++i) mv.edges.Push(i % 2 ? 0.5f : -0.25f);
        mv.keyFramesOn = k == 0;
        mv.keyFrames.PushInt(0), mv.keyFrames.PushInt(2);
        mv.frameDuration = 0.04;
        FXMemory rec;
        ok = mv.SaveToBuf(&rec) && localWrite(argv[3], k ? "plain.xs" : "keys.xs", [&](FILE* f) {
                 return fwrite(rec.data, 1, static_cast<size_t>(rec.count), f) == static_cast<size_t>(rec.count);
             }) && ok;
    }

    // Timing graphs of three and five keys, each followed by a spline's
    // flags (closed, length phases; 4 points) and its points.
    for (int k = 0; argc >= 5 && k < 2; ++k) {
        FXBezierGraph g;
        g.frameCount = 40;
        for (int i = 0; i < 3 + 2 * k; ++i) g.keyFrames.PushInt(i * (39 / (2 + 2 * k))), g.keyValues.PushInt((i * 617) % 1000);
        g.flag1 = k == 1;
        ok = localWrite(argv[4], k ? "five.xg" : "three.xg", [&](FILE* f) {
                 bool w = g.Save(f);
                 const unsigned char flags = 128 | (4 << 3) | 1;
                 const float pts[12] = {0, 0, 0, 1, 1, 0, 2, 0, 1, 1, -1, 0.5f};
                 return fwrite(&flags, 1, 1, f) == 1 && fwrite(pts, sizeof pts, 1, f) == 1 && w;
             }) && ok;
    }

    // Models of a quad and a bent grid, in both versions; OBJ text of a
    // quad and a triangle in two materials, with and without its library.
    if (argc >= 7) {
        FXModel model;
        model.name.Set("pair");
        for (FXMesh* src : {&quad, &grid}) {
            FXMesh* m = new FXMesh;
            m->Copy(src);
            model.meshes.Push(m);
        }
        ok = localWrite(argv[5], "pair.xm03", [&](FILE* f) { return model.Save(f); }) && ok;
        ok = localWrite(argv[5], "pair.xm02", [&](FILE* f) { return model.Save_v02(f); }) && ok;
        const char obj[] =
            "mtllib m.mtl\n# two materials\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 -1\nvt 0 0\nvt 1 1\nvn 0 0 1\n"
            "g body\nusemtl skin\nf 1/1/1 2/2/1 3/2/1 4/1/1\nusemtl glass\nf -4//1 -3//1 -2//1\nl 1 2 3\n";
        const char mtl[] = "newmtl skin\nKa 1 1 1\nKd 1 0.5 0\nNs 10\nnewmtl glass\nKd 0 0 1\nd 0.5\n";
        ok = localWrite(argv[6], "pair.obj", [&](FILE* f) {
                 return fwrite(obj, sizeof obj - 1, 1, f) == 1 && fputc(0, f) == 0 && fwrite(mtl, sizeof mtl - 1, 1, f) == 1;
             }) && ok;
        ok = localWrite(argv[6], "plain.obj", [&](FILE* f) { return fputs("v 0 0 1\nv 1 0 1\nv 0 1 1\nf 1 2 3\n", f) >= 0; }) &&
             ok;
    }
    // Scenes: transforms on a camera zoom, two camera points that lead to
    // each other, a name that finds nothing; and an empty scene.
    if (argc >= 8) {
        FXScene sc, empty;
        for (int t : {FX_ITEM_MOVE, FX_ITEM_ROTATE, FX_ITEM_SKEW, FX_ITEM_CAMERAZOOM, FX_ITEM_CAMERAPT, FX_ITEM_CAMERAPT})
            sc.CreateType(t);
        sc.FindItem("move1")->AddDependName("camerazoom1");
        sc.FindItem("skew1")->AddDependName("move1");
        sc.FindItem("skew1")->AddDependName("ghost");
        sc.FindItem("camerapoint1")->AddDependName("camerapoint2");
        sc.FindItem("camerapoint2")->AddDependName("camerapoint1");
        static_cast<FXItemCameraPt*>(sc.FindItem("camerapoint2"))->phaser.duration = 0.5;
        sc.cameraFirst.Set("camerapoint1");
        sc.BuildConn();
        ok = localWrite(argv[7], "linked.xss", [&](FILE* f) { return sc.SaveFile(f, nullptr); }) && ok;
        ok = localWrite(argv[7], "empty.xss", [&](FILE* f) { return empty.SaveFile(f, nullptr); }) && ok;
        // The drawn kinds and two random-animation states whose entries lead
        // to each other, to themselves, and to a name of another kind.
        FXScene drawn;
        auto* p = static_cast<FXItemPict*>(drawn.CreateType(FX_ITEM_PICT));
        p->pictName.Set("p.png"), p->maskName.Set("pm.png"), p->color[3] = 0.5f;
        static_cast<FXItemPict*>(drawn.CreateType(FX_ITEM_PICT))->desktop = true;
        auto* sr = static_cast<FXItemScroll*>(drawn.CreateType(FX_ITEM_SCROLL));
        sr->pictName.Set("s.png"), sr->pict2Name.Set("s2.png"), sr->scrollTimeX = -4, sr->scrollTimeY = 1e-30f;
        static_cast<FXItemSMovie*>(drawn.CreateType(FX_ITEM_SMOVIE))->movieName.Set("m.xs");
        auto* ra = static_cast<FXItemRani*>(drawn.CreateType(FX_ITEM_RANI));
        auto* rb = static_cast<FXItemRani*>(drawn.CreateType(FX_ITEM_RANI));
        ra->enabled = true;
        ra->AddRani(rb), ra->AddRani(ra), ra->AddRani(nullptr);
        ra->targetNames.Change(2, "pict1"), ra->movieNames.Change(0, "m.xs");
        ra->weights.SetInt(1, 0), ra->modes.SetInt(2, -1);
        rb->AddRani(ra), rb->weights.SetInt(0, -2), rb->minPlayTime = 0.5f, rb->avoidRecent = false;
        ra->AddDependName("pict1");
        drawn.BuildConn();
        ok = localWrite(argv[7], "items.xss", [&](FILE* f) { return drawn.SaveFile(f, nullptr); }) && ok;
    }
    // Animations of the grid and the quad over three frames that move some
    // vertices, in both forms (the older one names model records 1 to 3).
    if (argc == 9) {
        FXAnim anim;
        for (int f = 0; f < 3; ++f) {
            FXModel* m = new FXModel;
            for (FXMesh* src : {&grid, &quad}) {
                FXMesh* mesh = new FXMesh;
                mesh->Copy(src);
                for (int v = 0; v < mesh->vertexCount; v += 3) mesh->vertices[v].f[2] += 0.25f * f;
                m->meshes.Push(mesh);
            }
            anim.AddFrame(m, std::to_string(f + 1).c_str(), f == 1 ? 0 : 400);
        }
        anim.bounce = true;
        ok = localWrite(argv[8], "three.xa03", [&](FILE* f) { return anim.Save(f); }) && ok;
        ok = localWrite(argv[8], "three.xa02", [&](FILE* f) { return anim.Save_v02(f); }) && ok;
    }
    return ok ? 0 : 1;
}
