// Writes the seed inputs of the mesh and phaser fuzzers with the engine's own
// writers: whole mesh records, compact records (vector map, then mesh
// headers each followed by its corner stream) and phaser records.
//   fuzz_seeds MESH_DIR PHASER_DIR
#include <cmath>
#include <cstdio>
#include <string>

#include "anim/phaser.h"
#include "geometry/mesh.h"
#include "package/data.h"

namespace {

// A w x h grid over -1..1 with front texture coordinates and two triangles
// per cell.
void localGrid(FXMesh* m, int w, int h, float bend) {
    m->Realloc((w + 1) * (h + 1), w * h * 6);
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float* r = m->vertices[y * (w + 1) + x].f;
            for (int k = 0; k < FX_VTX_FLOATS; ++k) r[k] = 0.0f;
            r[0] = -1.0f + 2.0f * x / w;
            r[1] = 1.0f - 2.0f * y / h;
            r[2] = bend * sinf(static_cast<float>(x + y));
            r[5] = 1.0f;
            for (int k = 8; k < 12; ++k) r[k] = 1.0f;
        }
    m->ComputeFrontTexCoords();
    int k = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int a = y * (w + 1) + x, b = a + 1, c = a + w + 1, d = c + 1;
            int tri[6] = {a, c, b, b, c, d};
            for (int t : tri) m->indices[k++] = t;
        }
}

FILE* localOpen(const std::string& dir, const char* name) {
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
    return f;
}

bool localWhole(const std::string& dir, const char* name, FXMesh* m) {
    FILE* f = localOpen(dir, name);
    if (!f) return false;
    bool ok = m->SaveMesh(f);
    return fclose(f) == 0 && ok;
}

bool localCompact(const std::string& dir, const char* name, FXMesh** meshes, int n) {
    FXVectorMap map;
    FXNumPool pools[4];
    for (int k = 0; k < n && k < 4; ++k) meshes[k]->ToVMap(&map, &pools[k]);
    FILE* f = localOpen(dir, name);
    if (!f) return false;
    bool ok = map.Save(f);
    for (int k = 0; k < n && k < 4; ++k) ok = meshes[k]->SaveMeshI(f) && pools[k].Save(f) && ok;
    return fclose(f) == 0 && ok;
}

bool localPhaser(const std::string& dir, const char* name, const FXPhaser& p, int times) {
    FILE* f = localOpen(dir, name);
    if (!f) return false;
    bool ok = p.Save(f);
    for (int k = 0; k < times; ++k) {
        double t = 0.37 * k;
        ok = fwrite(&t, sizeof t, 1, f) == 1 && ok;
    }
    return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: fuzz_seeds MESH_DIR PHASER_DIR\n");
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
    ok = localWhole(meshDir, "whole-quad.bin", &quad) && ok;
    ok = localWhole(meshDir, "whole-grid.bin", &grid) && ok;
    FXMesh* two[2] = {&grid, &quad};
    ok = localCompact(meshDir, "compact-two.bin", two, 2) && ok;
    FXMesh* one[1] = {&big};
    ok = localCompact(meshDir, "compact-big.bin", one, 1) && ok;

    FXPhaser once;
    once.loop = false;
    once.duration = 2.0;
    FXPhaser bounce;
    bounce.bounce = true;
    bounce.smooth = true;
    bounce.duration = 0.5;
    FXPhaser half;
    half.halfSmooth = true;
    half.reverse = true;
    half.value = 0.5f;
    ok = localPhaser(phaserDir, "once.bin", once, 0) && ok;
    ok = localPhaser(phaserDir, "bounce-times.bin", bounce, 12) && ok;
    ok = localPhaser(phaserDir, "half-times.bin", half, 5) && ok;
    return ok ? 0 : 1;
}
