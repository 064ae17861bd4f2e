// Writes the seed inputs of the mesh, phaser, movie and bezier fuzzers with
// the engine's own writers: whole mesh records, compact records (vector map,
// then mesh headers each followed by its corner stream), phaser records,
// movie records and timing graphs followed by spline points.
//   fuzz_seeds MESH_DIR PHASER_DIR [MOVIE_DIR [GRAPH_DIR]]
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>
#include <string>

#include "anim/beziergraph.h"
#include "anim/movie.h"
#include "anim/phaser.h"
#include "geometry/desk.h"
#include "geometry/mesh.h"
#include "package/data.h"

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
    if (argc < 3 || argc > 5) {
        fprintf(stderr, "usage: fuzz_seeds MESH_DIR PHASER_DIR [MOVIE_DIR [GRAPH_DIR]]\n");
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
    for (int k = 0; argc == 5 && k < 2; ++k) {
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
    return ok ? 0 : 1;
}
