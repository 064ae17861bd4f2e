// fxpack: list, extract, build and verify data packages.

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/fxstr.h"
#include "package/package.h"

#ifdef FX_PACK_MOVIE
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "anim/anim.h"
#include "anim/movie.h"
#include "base/file.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/trace.h"
#include "geometry/model.h"
#include "geometry/mesh.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "render/frames.h"
#include "render/gl.h"
#include "render/light.h"
#include "render/material.h"
#include "render/matlib.h"
#include "scene/camera.h"
#include "scene/drawn.h"
#include "scene/rani.h"
#include "scene/scene.h"
#include "scene/transform.h"
#endif

namespace {

enum { kExitOk = 0, kExitFail = 1, kExitUsage = 2 };

const char kUsage[] =
    "usage: fxpack COMMAND [OPTIONS] ...\n"
    "\n"
    "Commands:\n"
    "  list PACKAGE                   one line per record (id, type, size, offset)\n"
    "                                 and a summary\n"
    "  extract PACKAGE [-o DIR] [ID...]\n"
    "                                 write records to DIR (default: the current\n"
    "                                 folder) as ID.EXT; pictures get their\n"
    "                                 extension back, other records .bin; without\n"
    "                                 ids every record is written\n"
    "  build [OPTIONS] OUTPUT [ITEM...]\n"
    "                                 pack files into a new package; an ITEM is\n"
    "                                 PATH (next id) or ID=PATH\n"
    "      -m, --manifest FILE        read items from FILE: one per line, PATH or\n"
    "                                 ID PATH; blank lines and lines starting with\n"
    "                                 # are skipped; relative paths are taken from\n"
    "                                 the manifest's folder\n"
    "      -b, --base N               id of the first item without an id (default 0)\n"
    "      -s, --scramble             scramble the body\n"
    "      -n, --names FILE           write the names file\n"
    "      -H, --header FILE          write the names header (#define lines)\n"
    "                                 (names need consecutive ids in item order)\n"
    "  verify PACKAGE                 check that every record lies inside the data\n"
    "                                 area, report duplicate ids and what a loader\n"
    "                                 keeps; exit status 1 when damaged\n"
    "  movie [OPTIONS] OUTPUT FRAMES [MASKS]\n"
    "                                 make a sprite movie from the pictures of the\n"
    "                                 folder FRAMES, in name order: each is cropped\n"
    "                                 to its visible area and written to the folder\n"
    "                                 OUTPUT as a JPEG picture and a greyscale mask,\n"
    "                                 with the movie record movie.xs and the\n"
    "                                 manifest movie.manifest that lists them all\n"
    "                                 with ids; add it to a build with\n"
    "                                 fxpack build xxdata.dat ... -m OUTPUT/movie.manifest\n"
    "                                 (the movie's record is the manifest's first id).\n"
    "                                 Without MASKS the frames' own alpha is used;\n"
    "                                 with it, the masks are greyscale pictures of\n"
    "                                 the frames' names and sizes\n"
    "      -b, --base N               id of the movie record (default 1000); its\n"
    "                                 frames and masks take the ids after it\n"
    "      --duration S               seconds per frame, 0 to 1 (default 0.04)\n"
    "      --no-loop, --no-bounce     play once; at the ends jump instead of turning\n"
    "  model [OPTIONS] FILE.obj       make a model record from a Wavefront OBJ file\n"
    "                                 and its MTL library: writes the model record\n"
    "                                 model.xm, its library record model.xl, copies\n"
    "                                 of the textures and the manifest\n"
    "                                 model.manifest that lists them all with ids;\n"
    "                                 add it to a build with\n"
    "                                 fxpack build xxdata.dat ... -m OUT/model.manifest\n"
    "                                 (the model's record is the manifest's first id)\n"
    "      -o, --output OUT           folder to write into (default: the current one)\n"
    "      -b, --base N               id of the model record (default 2000); its\n"
    "                                 library and textures take the ids after it\n"
    "  anim [OPTIONS] OUTPUT FRAME.obj...\n"
    "                                 make an animation record from key frames of\n"
    "                                 one mesh, an OBJ file per frame (as a modelling\n"
    "                                 program exports a shape animation); the frames\n"
    "                                 must join the same vertices, only moved. Writes\n"
    "                                 anim.xa, the first frame's library anim.xl, its\n"
    "                                 textures and anim.manifest, as model does\n"
    "      -b, --base N               id of the animation record (default 2328, the\n"
    "                                 show's); its library and textures follow it\n"
    "      --durations S,S,...        seconds per frame (default 0.5); the last one\n"
    "                                 given serves the frames after it\n"
    "      --loop, --bounce           play on from the start, or back and forth\n"
    "                                 (default: once)\n"
    "  show PACKAGE ID --offline DIR --times T,T,... [--size WxH]\n"
    "                                 draw a model, animation or scene record on its\n"
    "                                 own, lit, on an X display, under a clock that starts\n"
    "                                 at 0: DIR/frame-TTTT.TTTs.png at each time\n"
    "                                 (default size 640x480); an animation is\n"
    "                                 prepared and played once as the gallery set\n"
    "                                 plays it; a scene (e.g. ID 0) is drawn with\n"
    "                                 its camera travelling from its first point\n"
    "  scene PACKAGE [ID]             list a scene record (default 0): one line per\n"
    "                                 item in the words scene-build reads, links\n"
    "                                 that find no item, and a summary with the\n"
    "                                 camera points\n"
    "  scene-build [-b N] OUTPUT DESCRIPTION\n"
    "                                 make a scene from a text description: writes\n"
    "                                 OUTPUT/scene.xss and OUTPUT/scene.manifest\n"
    "                                 for fxpack build -m (the scene's record is\n"
    "                                 the manifest's first id, N, default 0; its\n"
    "                                 pictures and movies take the ids after it).\n"
    "                                 One item a line, KIND key=value ...; # starts\n"
    "                                 a comment. KIND: move rotate skew (dir= from=\n"
    "                                 to=), camerazoom (step=), camerapoint (zoom=\n"
    "                                 x= y= rest= links=), pict (file= [mask=] or\n"
    "                                 desktop), scroll (file= second= speed=X,Y),\n"
    "                                 smovie (file=FOLDER of frames), Rani\n"
    "                                 (movies=FOLDER,... targets= modes= weights=\n"
    "                                 min= [avoid] [on]). Any item: name=\n"
    "                                 depends=A,B at=X,Y size=W,H (half sizes in\n"
    "                                 the -1..1 square) color=R,G,B,A time=S [loop]\n"
    "                                 [bounce] [still] [off]. A line camera first=P\n"
    "                                 second=P time=S sets the camera's moves.\n"
    "                                 Files are taken from the description's\n"
    "                                 folder; a listing's item lines read back\n"
    "\n"
    "  -h, --help                     show this text\n"
    "\n"
    "Exit status: 0 success, 1 failure or damaged package, 2 wrong usage.\n"
    "Packages are written to a temporary file and renamed, so a failed build\n"
    "leaves an existing package untouched.\n";

void Fail(const char* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    fputs("fxpack: ", stderr);
    vfprintf(stderr, fmt, a);
    fputc('\n', stderr);
    va_end(a);
}

int Usage(const char* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    fputs("fxpack: ", stderr);
    vfprintf(stderr, fmt, a);
    fputs("\nTry 'fxpack --help'.\n", stderr);
    va_end(a);
    return kExitUsage;
}

bool ParseInt(const char* s, int* out) {
    if (!s || !*s) return false;
    char* end = nullptr;
    errno = 0;
    long v = strtol(s, &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

std::string TypeName(int type) {
    const char* e = fxPackageExtFromType(type);
    return e ? e : std::to_string(type);
}

// Progress on stderr for work large enough to take a while.
struct Progress {
    const char* what;
    int last = -1;
};

void ShowProgress(void* user, int64_t done, int64_t total) {
    auto* p = static_cast<Progress*>(user);
    const int64_t kWorthShowing = int64_t(64) << 20;
    if (total < kWorthShowing) return;
    int pct = static_cast<int>(done * 100 / (total ? total : 1));
    if (pct == p->last) return;
    p->last = pct;
    fprintf(stderr, "\r%s %3d%%", p->what, pct);
    if (pct >= 100) fputc('\n', stderr);
    fflush(stderr);
}

// Loads a package, reporting a missing file or a file that is not one.
bool Open(FXPackage* pck, const char* path, Progress* prog) {
    pck->SetProgress(ShowProgress, prog);
    bool ok = pck->Load(path);
    pck->SetProgress(nullptr, nullptr);
    if (prog->last >= 0 && prog->last < 100) fputc('\n', stderr);
    const FXPackageLoadInfo& info = pck->GetLoadInfo();
    if (!info.opened) {
        Fail("cannot open '%s': %s", path, strerror(errno));
        return false;
    }
    if (!ok) {
        Fail("'%s' is not a package (its header does not begin with \"pck01\")", path);
        return false;
    }
    return true;
}

int CmdList(int argc, char** argv) {
    if (argc != 1) return Usage("list takes one package");
    const char* path = argv[0];
    FXPackage pck;
    Progress prog{"reading"};
    if (!Open(&pck, path, &prog)) return kExitFail;
    printf("%10s  %-6s %12s %12s\n", "id", "type", "size", "offset");
    int64_t total = 0;
    int bad = 0;
    for (int i = 0; i < pck.ids.count; ++i) {
        int size = pck.sizes.GetInt(i);
        bool ok = pck.records.data[i] != nullptr;
        printf("%10d  %-6s %12d %12d%s\n", pck.ids.GetInt(i), TypeName(pck.types.GetInt(i)).c_str(), size,
               pck.offsets.GetInt(i), ok ? "" : "  outside the data area");
        if (ok) total += size;
        else ++bad;
    }
    const FXPackageLoadInfo& info = pck.GetLoadInfo();
    printf("%d records, %lld bytes in records, data area %d bytes, %s\n", pck.ids.count,
           static_cast<long long>(total), pck.dataSize, info.scrambled ? "scrambled" : "not scrambled");
    if (bad) {
        Fail("'%s': %d record(s) lie outside the data area; run 'fxpack verify'", path, bad);
        return kExitFail;
    }
    return kExitOk;
}

bool WriteFile(const std::string& path, const void* p, size_t n) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        Fail("cannot write '%s': %s", path.c_str(), strerror(errno));
        return false;
    }
    bool ok = n == 0 || fwrite(p, 1, n, f) == n;
    ok = fclose(f) == 0 && ok;
    if (!ok) {
        Fail("cannot write '%s': %s", path.c_str(), strerror(errno));
        remove(path.c_str());
    }
    return ok;
}

std::string RecordFile(const std::string& dir, int id, int type, int dupIndex) {
    const char* e = fxPackageExtFromType(type);
    std::string name = std::to_string(id);
    if (dupIndex >= 0) name += "_" + std::to_string(dupIndex);
    name += ".";
    name += e ? e : "bin";
    return dir.empty() ? name : dir + "/" + name;
}

int CmdExtract(int argc, char** argv) {
    const char* path = nullptr;
    std::string dir;
    std::vector<int> wanted;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-o" || a == "--output") {
            if (++i >= argc) return Usage("%s needs a folder", a.c_str());
            dir = argv[i];
        } else if (!path) {
            path = argv[i];
        } else {
            int id;
            if (!ParseInt(argv[i], &id)) return Usage("'%s' is not a record id", argv[i]);
            wanted.push_back(id);
        }
    }
    if (!path) return Usage("extract needs a package");
    FXPackage pck;
    Progress prog{"reading"};
    if (!Open(&pck, path, &prog)) return kExitFail;
    int rc = kExitOk;
    if (!wanted.empty()) {
        for (int id : wanted) {
            FXPackageData* d = pck.GetDataPtr(id);
            if (!d) {
                Fail("'%s' has no record with id %d", path, id);
                rc = kExitFail;
                continue;
            }
            if (!WriteFile(RecordFile(dir, id, pck.GetDataType(id), -1), d->start, static_cast<size_t>(d->size)))
                rc = kExitFail;
        }
        return rc;
    }
    std::map<int, int> seen;
    int written = 0;
    for (int i = 0; i < pck.ids.count; ++i) {
        int id = pck.ids.GetInt(i);
        auto* d = static_cast<FXPackageData*>(pck.records.data[i]);
        if (!d) {
            Fail("'%s': record %d (id %d) lies outside the data area; skipped", path, i, id);
            rc = kExitFail;
            continue;
        }
        // Later records with a taken id keep their record number in the name.
        int dup = seen.count(id) ? i : -1;
        seen[id] = i;
        if (!WriteFile(RecordFile(dir, id, pck.types.GetInt(i), dup), d->start, static_cast<size_t>(d->size))) {
            rc = kExitFail;
            break;
        }
        ++written;
    }
    printf("%d record(s) written\n", written);
    return rc;
}

struct Item {
    int id;
    bool explicitId;
    std::string name;  // as given (registered in the names)
    std::string file;  // where to read it
    std::string from;  // for messages: "manifest:line" or "argument"
};

// "ID=PATH" or "PATH".
void ParseItemArg(const char* arg, Item* it) {
    it->explicitId = false;
    const char* eq = strchr(arg, '=');
    int id;
    if (eq && ParseInt(std::string(arg, eq).c_str(), &id)) {
        it->id = id;
        it->explicitId = true;
        it->name = eq + 1;
    } else {
        it->name = arg;
    }
    it->file = it->name;
    it->from = "argument";
}

bool ReadManifest(const char* path, std::vector<Item>* items) {
    FILE* f = fopen(path, "r");
    if (!f) {
        Fail("cannot open manifest '%s': %s", path, strerror(errno));
        return false;
    }
    std::string dir = path;
    size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? "" : dir.substr(0, slash + 1);
    char line[4096];
    int no = 0;
    bool ok = true;
    while (fgets(line, sizeof line, f)) {
        ++no;
        std::string s = line;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
            s.pop_back();
        size_t b = s.find_first_not_of(" \t");
        if (b == std::string::npos || s[b] == '#') continue;
        s = s.substr(b);
        Item it;
        it.explicitId = false;
        size_t sp = s.find_first_of(" \t");
        int id;
        if (sp != std::string::npos && ParseInt(s.substr(0, sp).c_str(), &id)) {
            it.id = id;
            it.explicitId = true;
            s = s.substr(s.find_first_not_of(" \t", sp));
        } else if (ParseInt(s.c_str(), &id)) {
            Fail("%s:%d: id %d has no file", path, no, id);
            ok = false;
            continue;
        }
        it.name = s;
        it.file = s[0] == '/' ? s : dir + s;
        it.from = std::string(path) + ":" + std::to_string(no);
        items->push_back(it);
    }
    fclose(f);
    return ok;
}

int CmdBuild(int argc, char** argv) {
    const char* out = nullptr;
    const char* names = nullptr;
    const char* header = nullptr;
    bool scramble = false;
    int base = 0;
    std::vector<Item> items;
    std::vector<const char*> manifests;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)what;
            return argv[++i];
        };
        if (a == "-s" || a == "--scramble") {
            scramble = true;
        } else if (a == "-n" || a == "--names") {
            if (!(names = value("file"))) return Usage("%s needs a file", a.c_str());
        } else if (a == "-H" || a == "--header") {
            if (!(header = value("file"))) return Usage("%s needs a file", a.c_str());
        } else if (a == "-m" || a == "--manifest") {
            const char* m = value("file");
            if (!m) return Usage("%s needs a file", a.c_str());
            manifests.push_back(m);
        } else if (a == "-b" || a == "--base") {
            const char* v = value("number");
            if (!v || !ParseInt(v, &base)) return Usage("%s needs a number", a.c_str());
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option '%s'", a.c_str());
        } else if (!out) {
            out = argv[i];
        } else {
            Item it;
            ParseItemArg(argv[i], &it);
            items.push_back(it);
        }
    }
    if (!out) return Usage("build needs an output package");
    for (const char* m : manifests) {
        std::vector<Item> more;
        if (!ReadManifest(m, &more)) return kExitFail;
        items.insert(items.end(), more.begin(), more.end());
    }
    if (items.empty()) return Usage("build needs at least one file (PATH, ID=PATH or --manifest)");

    // Ids: explicit, or one above the previous item's.
    int64_t next = base;
    std::map<int, const Item*> taken;
    for (Item& it : items) {
        if (!it.explicitId) {
            if (next > INT32_MAX) {
                Fail("no id is left for '%s' (%s): the item before it has id %d, the largest there is; give it an "
                     "explicit ID=PATH",
                     it.name.c_str(), it.from.c_str(), INT32_MAX);
                return kExitFail;
            }
            it.id = static_cast<int>(next);
        }
        next = static_cast<int64_t>(it.id) + 1;
        auto t = taken.find(it.id);
        if (t != taken.end()) {
            Fail("id %d is given to both '%s' (%s) and '%s' (%s)", it.id, t->second->name.c_str(),
                 t->second->from.c_str(), it.name.c_str(), it.from.c_str());
            return kExitFail;
        }
        taken[it.id] = &it;
    }

    FXPackage pck;
    bool wantNames = names || header;
    if (wantNames) pck.nameServer.base = items[0].id;
    int64_t total = 0;
    for (const Item& it : items) {
        int size = 0, type = -1;
        if (!pck.CheckFile(it.file.c_str(), &size, &type)) {
            Fail("cannot read '%s' (%s): %s", it.file.c_str(), it.from.c_str(),
                 errno ? strerror(errno) : "larger than 2 GB");
            return kExitFail;
        }
        total += size;
        if (wantNames) {
            int nid = pck.nameServer.BuildId(it.name.c_str());
            if (nid != it.id) {
                Fail("the names file gives ids in item order from %d, but '%s' (%s) has id %d where %d is due",
                     items[0].id, it.name.c_str(), it.from.c_str(), it.id, nid);
                return kExitFail;
            }
        }
        pck.AddDataFile(it.id, it.file.c_str());
    }
    if (total > INT32_MAX) {
        Fail("the files add up to %lld bytes; a package holds at most 2 GB", static_cast<long long>(total));
        return kExitFail;
    }

    Progress prog{"packing"};
    pck.SetProgress(ShowProgress, &prog);
    errno = 0;
    bool ok = pck.Save(out, scramble ? 1 : 0);
    pck.SetProgress(nullptr, nullptr);
    if (prog.last >= 0 && prog.last < 100) fputc('\n', stderr);
    if (!ok) {
        Fail("cannot write package '%s': %s; an existing package there is left untouched", out,
             errno ? strerror(errno) : "a file changed while it was packed");
        return kExitFail;
    }
    if (names && !pck.SaveNames(names)) {
        Fail("cannot write names file '%s': %s", names, strerror(errno));
        return kExitFail;
    }
    if (header && !pck.SaveNamesCpp(header)) {
        Fail("cannot write names header '%s': %s", header, strerror(errno));
        return kExitFail;
    }
    printf("%s: %d record(s), %lld bytes of data%s\n", out, pck.ids.count, static_cast<long long>(total),
           scramble ? ", scrambled" : "");
    return kExitOk;
}

int CmdVerify(int argc, char** argv) {
    if (argc != 1) return Usage("verify takes one package");
    const char* path = argv[0];
    FXPackage pck;
    Progress prog{"reading"};
    if (!Open(&pck, path, &prog)) return kExitFail;
    const FXPackageLoadInfo& info = pck.GetLoadInfo();
    static const char* kList[4] = {"ids", "offsets", "sizes", "types"};
    int damage = 0;
    printf("%s: %lld bytes, body %lld bytes%s\n", path, static_cast<long long>(info.fileSize),
           static_cast<long long>(info.bodySize), info.scrambled ? ", scrambled" : "");
    for (int k = 0; k < 4; ++k) {
        if (info.stored[k] < info.counts[k] || info.counts[k] < 0) {
            printf("DAMAGED: the %s list claims %d items, the body holds %d\n", kList[k], info.counts[k],
                   info.stored[k]);
            ++damage;
        }
        if (info.counts[k] != info.counts[0]) {
            printf("DAMAGED: the %s list has %d items, the ids list %d\n", kList[k], info.counts[k], info.counts[0]);
            ++damage;
        }
    }
    std::map<int, int> first;
    int dups = 0, odd = 0;
    int64_t covered = 0;
    for (int i = 0; i < pck.ids.count; ++i) {
        int id = pck.ids.GetInt(i);
        if (!pck.records.data[i]) {
            printf("DAMAGED: record %d (id %d): offset %d size %d lies outside the data area of %d bytes\n", i, id,
                   pck.offsets.GetInt(i), pck.sizes.GetInt(i), pck.dataSize);
            ++damage;
            continue;
        }
        covered += pck.sizes.GetInt(i);
        int type = pck.types.GetInt(i);
        if (type != -1 && !fxPackageExtFromType(type)) {
            printf("note: record %d (id %d) has the unknown type code %d\n", i, id, type);
            ++odd;
        }
        auto f = first.find(id);
        if (f != first.end()) {
            printf("warning: id %d is used by records %d and %d; lookups give record %d\n", id, f->second, i,
                   f->second);
            ++dups;
        } else {
            first[id] = i;
        }
    }
    if (covered < pck.dataSize)
        printf("note: %lld byte(s) of the data area belong to no record\n",
               static_cast<long long>(pck.dataSize - covered));
    int usable = pck.ids.count - info.damaged;
    printf("a loader keeps %d of %d record(s): %d distinct id(s), %d duplicate(s), %d damaged\n", usable,
           std::max(info.counts[0], info.records), static_cast<int>(first.size()), dups, info.damaged);
    if (damage) {
        printf("%s is DAMAGED\n", path);
        return kExitFail;
    }
    printf("%s is sound\n", path);
    return kExitOk;
}

#ifdef FX_PACK_MOVIE
// The pictures of a folder, by name.
bool ListPictures(const char* dir, std::vector<std::string>* out) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && fxPackageTypeFromPath(name.c_str()) != FX_PCK_TYPE_NONE) out->push_back(name);
    }
    if (ec) {
        Fail("cannot read the folder '%s': %s", dir, ec.message().c_str());
        return false;
    }
    std::sort(out->begin(), out->end());
    return true;
}

int CmdMovie(int argc, char** argv) {
    std::vector<const char*> pos;
    int base = 1000;
    double duration = SMovie::kDefaultFrameDuration;
    bool loop = true, bounce = true;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--no-loop") {
            loop = false;
        } else if (a == "--no-bounce") {
            bounce = false;
        } else if (a == "-b" || a == "--base") {
            if (++i >= argc || !ParseInt(argv[i], &base) || base < 0 || base > INT32_MAX - 2)
                return Usage("%s needs a number from 0", a.c_str());
        } else if (a == "--duration") {
            char* end = nullptr;
            if (++i < argc) duration = strtod(argv[i], &end);
            if (i >= argc || !end || *end || !std::isfinite(duration) || duration < 0.0 || duration > 1.0)
                return Usage("--duration needs seconds from 0 to 1");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option '%s'", a.c_str());
        } else {
            pos.push_back(argv[i]);
        }
    }
    if (pos.size() < 2 || pos.size() > 3) return Usage("movie needs OUTPUT, FRAMES and optionally MASKS");
    const char* out = pos[0];
    const char* masks = pos.size() > 2 ? pos[2] : nullptr;
    std::vector<std::string> frames;
    if (!ListPictures(pos[1], &frames)) return kExitFail;
    if (frames.empty()) {
        Fail("'%s' holds no pictures", pos[1]);
        return kExitFail;
    }
    if (static_cast<int64_t>(frames.size()) * 2 > INT32_MAX - base) return Usage("--base leaves too few ids");
    if (!fxLoadDevil()) {
        Fail("the image library (DevIL) does not load");
        return kExitFail;
    }
    if (!fxMakeFolder(out)) {
        Fail("cannot make the folder '%s'", out);
        return kExitFail;
    }
    SMovie mv;
    for (const std::string& f : frames) {
        mv.frameNames.Push(fxCombinePaths(pos[1], f.c_str()));
        if (!masks) continue;
        std::string m = fxCombinePaths(masks, f.c_str());
        if (!fxPathExists(m.c_str())) {
            Fail("the frame '%s' has no mask '%s'", f.c_str(), m.c_str());
            return kExitFail;
        }
        mv.maskNames.Push(m.c_str());
    }
    mv.maskMode = masks != nullptr;
    mv.loop = loop;
    mv.bounce = bounce;
    mv.frameDuration = duration;
    if (!mv.Convert(out)) {
        Fail("the frames could not be converted (a picture that does not load, a mask of another size, or an "
             "unwritable '%s'); the trace log says which",
             out);
        return kExitFail;
    }
    // The record names its pictures by the ids the manifest gives them.
    std::string manifest = "# fxpack movie: " + std::to_string(frames.size()) + " frames\n" +
                           std::to_string(base) + " movie.xs\n";
    for (int i = 0; i < mv.frameNames.count; ++i) {
        int pid = base + 1 + 2 * i, mid = pid + 1;
        manifest += std::to_string(pid) + " " + fxGetFilename(mv.frameNames.Get(i)) + "\n";
        manifest += std::to_string(mid) + " " + fxGetFilename(mv.maskNames.Get(i)) + "\n";
        mv.frameNames.Change(i, std::to_string(pid).c_str());
        mv.maskNames.Change(i, std::to_string(mid).c_str());
    }
    FXMemory rec;
    std::string dir = out;
    if (!mv.SaveToBuf(&rec) ||
        !fxReplaceFile((dir + "/movie.xs").c_str(),
                       [&](FILE* f) { return fwrite(rec.data, 1, rec.count, f) == static_cast<size_t>(rec.count); }) ||
        !fxReplaceFile((dir + "/movie.manifest").c_str(),
                       [&](FILE* f) { return fputs(manifest.c_str(), f) >= 0; }, FX_REPLACE_TEXT)) {
        Fail("cannot write the movie into '%s'", out);
        return kExitFail;
    }
    printf("%s/movie.manifest: movie record %d, %d frames (ids %d to %d), %d x %d at most\n", out, base,
           mv.frameNames.count, base + 1, base + 2 * mv.frameNames.count, mv.largestWidth, mv.largestHeight);
    return kExitOk;
}

// Copies a file whole or not at all.
bool CopyFile(const std::string& from, const std::string& to) {
    FILE* in = fopen(from.c_str(), "rb");
    if (!in) return false;
    bool ok = fxReplaceFile(to.c_str(), [&](FILE* out) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, in)) > 0)
            if (fwrite(buf, 1, n, out) != n) return false;
        return !ferror(in);
    });
    fclose(in);
    return ok;
}

// The import's warnings (dropped faces, missing materials and textures) are
// written to the trace log; the user sees them on stderr.
void ShowTraceErrors(const std::string& log) {
    FILE* f = fopen(log.c_str(), "r");
    if (!f) return;
    char line[2048];
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, "#ERROR", 6) != 0) continue;
        const char* text = strstr(line, "] ");
        fprintf(stderr, "fxpack: %s", text ? text + 2 : line);
    }
    fclose(f);
}

// The library's textures are copied beside it and named by the ids after
// the library's own, which the manifest gives them; each file travels once.
bool PackLibrary(FXMatlib* lib, const std::string& out, int libId, std::string* manifest, int* count) {
    std::map<std::string, int> textures;
    for (int i = 0; lib && i < lib->Count(); ++i) {
        FXMaterial* m = lib->Get(i);
        if (!m || m->textureFile.IsEmpty()) continue;
        std::string file = m->textureFile.text;
        int type = fxPackageTypeFromPath(file.c_str());
        auto t = textures.find(file);
        if (t == textures.end()) {
            if (type == FX_PCK_TYPE_NONE || !fxPathExists(file.c_str()) ||
                static_cast<int64_t>(libId) + 1 + static_cast<int64_t>(textures.size()) > INT32_MAX) {
                fprintf(stderr, "fxpack: the texture '%s' of material '%s' is %s; the material stays untextured\n",
                        file.c_str(), m->name.text,
                        type == FX_PCK_TYPE_NONE ? "no picture type the package knows" : "missing");
                m->textureFile.Clear();
                continue;
            }
            int id = libId + 1 + static_cast<int>(textures.size());
            std::string copy = "tex" + std::to_string(textures.size()) + "." + fxPackageExtFromType(type);
            if (!CopyFile(file, out + "/" + copy)) {
                Fail("cannot copy the texture '%s' into '%s'", file.c_str(), out.c_str());
                return false;
            }
            t = textures.emplace(file, id).first;
            *manifest += std::to_string(id) + " " + copy + "\n";
        }
        m->textureFile.Set(std::to_string(t->second).c_str());
    }
    if (lib) lib->name.Set(std::to_string(libId).c_str());
    *count = static_cast<int>(textures.size());
    return true;
}

int CmdModel(int argc, char** argv) {
    const char* obj = nullptr;
    std::string out = ".";
    int base = 2000;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-o" || a == "--output") {
            if (++i >= argc) return Usage("%s needs a folder", a.c_str());
            out = argv[i];
        } else if (a == "-b" || a == "--base") {
            if (++i >= argc || !ParseInt(argv[i], &base) || base < 0 || base > INT32_MAX - 2)
                return Usage("%s needs a number from 0", a.c_str());
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option '%s'", a.c_str());
        } else if (obj) {
            return Usage("model takes one OBJ file");
        } else {
            obj = argv[i];
        }
    }
    if (!obj) return Usage("model needs an OBJ file");
    if (!fxMakeFolder(out.c_str())) {
        Fail("cannot make the folder '%s'", out.c_str());
        return kExitFail;
    }
    // Textures are only named here, not decoded: no image library, no device.
    std::string log = out + "/model.log";
    fxOpenTraces(log.c_str());
    FXModel model;
    bool ok = model.ImportObj(obj);
    fxCloseTraces();
    ShowTraceErrors(log);
    fxRemoveFile(log.c_str());
    if (!ok) {
        Fail("'%s' gives no model (a file that does not open, or no face that names existing vertices)", obj);
        return kExitFail;
    }
    model.UpdateMeshes();

    // The record names its library, and the library its textures, by the
    // ids the manifest gives them.
    FXMatlib* lib = model.library;
    std::string manifest = "# fxpack model: " + std::string(fxGetFilename(obj)) + ", " +
                           std::to_string(model.MeshCount()) + " meshes, " +
                           std::to_string(model.GetTotalVertices()) + " vertices\n" + std::to_string(base) +
                           " model.xm\n" + std::to_string(base + 1) + " model.xl\n";
    int textures = 0;
    if (!PackLibrary(lib, out, base + 1, &manifest, &textures)) return kExitFail;
    model.libraryName.Set(std::to_string(base + 1).c_str());
    if (!lib->Save((out + "/model.xl").c_str()) ||
        !fxReplaceFile((out + "/model.xm").c_str(), [&](FILE* f) { return model.Save(f); }) ||
        !fxReplaceFile((out + "/model.manifest").c_str(), [&](FILE* f) { return fputs(manifest.c_str(), f) >= 0; },
                       FX_REPLACE_TEXT)) {
        Fail("cannot write the model into '%s'", out.c_str());
        return kExitFail;
    }
    printf("%s/model.manifest: model record %d, library %d, %d meshes, %d vertices, %d texture(s)\n", out.c_str(),
           base, base + 1, model.MeshCount(), model.GetTotalVertices(), textures);
    return kExitOk;
}
// Seconds from a list "0.5,1,2.25": each at least 0, at most maxValue.
bool ParseSeconds(const char* s, double maxValue, std::vector<double>* out) {
    out->clear();
    for (const char* p = s; p && *p;) {
        char* end = nullptr;
        double v = strtod(p, &end);
        if (end == p || !std::isfinite(v) || v < 0.0 || v > maxValue || (*end && *end != ',')) return false;
        out->push_back(v);
        p = *end ? end + 1 : end;
    }
    return !out->empty();
}

// Why a frame cannot morph into the first one, or empty when it can: the
// frames must be one mesh list with the same corners, only moved.
std::string FrameMismatch(FXModel* first, FXModel* m) {
    if (m->MeshCount() != first->MeshCount())
        return std::to_string(m->MeshCount()) + " meshes instead of " + std::to_string(first->MeshCount());
    for (int k = 0; k < m->MeshCount(); ++k) {
        FXMesh* a = first->EnumMeshes(k);
        FXMesh* b = m->EnumMeshes(k);
        int av = a ? a->vertexCount : 0, bv = b ? b->vertexCount : 0;
        int ai = a ? a->indexCount : 0, bi = b ? b->indexCount : 0;
        if (av != bv || ai != bi || (ai && memcmp(a->indices, b->indices, sizeof(int32_t) * ai) != 0))
            return "its mesh " + std::to_string(k) + " has " + std::to_string(bv) + " vertices and " +
                   std::to_string(bi / 3) + " triangles, joined otherwise than the first frame's " +
                   std::to_string(av) + " and " + std::to_string(ai / 3);
    }
    return "";
}

int CmdAnim(int argc, char** argv) {
    std::vector<const char*> pos;
    int base = 2328;
    std::vector<double> seconds;
    bool loop = false, bounce = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--loop") {
            loop = true;
        } else if (a == "--bounce") {
            loop = bounce = true;
        } else if (a == "-b" || a == "--base") {
            if (++i >= argc || !ParseInt(argv[i], &base) || base < 0 || base > INT32_MAX - 2)
                return Usage("%s needs a number from 0", a.c_str());
        } else if (a == "--durations") {
            if (++i >= argc || !ParseSeconds(argv[i], 1000.0, &seconds))
                return Usage("--durations needs seconds from 0 to 1000, separated by commas");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option '%s'", a.c_str());
        } else {
            pos.push_back(argv[i]);
        }
    }
    if (pos.size() < 2) return Usage("anim needs an output folder and at least one OBJ file");
    std::string out = pos[0];
    if (!fxMakeFolder(out.c_str())) {
        Fail("cannot make the folder '%s'", out.c_str());
        return kExitFail;
    }
    FXAnim anim;
    anim.loop = loop;
    anim.bounce = bounce;
    std::string log = out + "/anim.log";
    for (size_t f = 1; f < pos.size(); ++f) {
        fxOpenTraces(log.c_str());
        FXModel* m = new FXModel;
        bool ok = m->ImportObj(pos[f]);
        fxCloseTraces();
        ShowTraceErrors(log);
        fxRemoveFile(log.c_str());
        if (!ok) {
            delete m;
            Fail("'%s' gives no model (a file that does not open, or no face that names existing vertices)", pos[f]);
            return kExitFail;
        }
        m->UpdateMeshes();
        std::string why = f > 1 ? FrameMismatch(anim.Model(0), m) : "";
        // A shorter list of durations lends its last one to the frames after it.
        double s = seconds.empty() ? 0.5 : seconds[std::min(f - 1, seconds.size() - 1)];
        anim.AddFrame(m, fxGetFilename(pos[f]), static_cast<int>(std::lround(s * 1000.0)));
        if (!why.empty()) {
            Fail("'%s' cannot follow '%s': %s", pos[f], pos[1], why.c_str());
            return kExitFail;
        }
    }
    FXModel* first = anim.Model(0);
    std::string manifest = "# fxpack anim: " + std::to_string(anim.FrameCount()) + " frames of " +
                           std::to_string(first->MeshCount()) + " meshes, " +
                           std::to_string(first->GetTotalVertices()) + " vertices\n" + std::to_string(base) +
                           " anim.xa\n" + std::to_string(base + 1) + " anim.xl\n";
    int textures = 0;
    if (!PackLibrary(first->library, out, base + 1, &manifest, &textures)) return kExitFail;
    first->libraryName.Set(std::to_string(base + 1).c_str());
    if (!first->library || !first->library->Save((out + "/anim.xl").c_str()) ||
        !fxReplaceFile((out + "/anim.xa").c_str(), [&](FILE* f) { return anim.Save(f); }) ||
        !fxReplaceFile((out + "/anim.manifest").c_str(), [&](FILE* f) { return fputs(manifest.c_str(), f) >= 0; },
                       FX_REPLACE_TEXT)) {
        Fail("cannot write the animation into '%s'", out.c_str());
        return kExitFail;
    }
    printf("%s/anim.manifest: animation record %d, library %d, %d frames, %d meshes, %d vertices, %d texture(s)\n",
           out.c_str(), base, base + 1, anim.FrameCount(), first->MeshCount(), first->GetTotalVertices(), textures);
    return kExitOk;
}

// ---------------------------------------------------------------- scenes

// A scene's items read from a record as the engine reads them, but without
// their pictures and movies: listing needs no display. Null when the record
// is missing or no scene; items after a damaged one are left out, as the
// engine leaves them.
bool ReadSceneRecord(FXPackage* pck, int id, FXScene* scene, int* stored) {
    FXPackageData* d = pck->GetDataPtr(id);
    if (!d) return false;
    FXItemReader r(d);
    FXStr magic;
    r.String(&magic);
    int version = 0;
    for (int v = 1; v <= FXScene::kVersion; ++v)
        if (r.whole && magic.text == "xss0" + std::to_string(v)) version = v;
    if (!version) return false;
    *stored = r.Int();
    if (version >= 2) {
        r.String(&scene->cameraFirst);
        r.String(&scene->cameraSecond);
        r.Phaser(&scene->cameraPhaser);
    }
    for (int i = 0; r.whole && i < *stored && d->remaining >= 4; ++i) {
        FXItem* it = fxNewItem(d->ReadInt());
        if (!it) break;
        it->scene = scene;
        if (!it->LoadC(pck, d, version)) {
            delete it;
            break;
        }
        scene->items.Push(it);
    }
    scene->BuildConn();
    return r.whole;
}

std::string Num(double v) {
    char b[32];
    snprintf(b, sizeof b, "%g", v);
    return b;
}

std::string Join(const FXStrArray& a) {
    std::string s;
    for (int i = 0; i < a.count; ++i) s += (i ? "," : "") + std::string(a.Get(i));
    return s;
}

// Where the item's unit square lands: its centre and half sizes.
std::string Placement(const FXItem* it) {
    const float* m = it->matrix.m;
    return "at=" + Num(m[12]) + "," + Num(m[13]) + " size=" + Num(m[0]) + "," + Num(m[5]);
}

std::string Timing(const FXPhaser& p) {
    return "time=" + Num(p.duration) + (p.active ? "" : " still") + (p.loop ? " loop" : "") + (p.bounce ? " bounce" : "");
}

// One item in the words of the description format.
std::string DescribeItem(FXItem* it) {
    std::string s = fxItemTypeName(it->type);
    s += " name=" + std::string(it->name.text);
    switch (it->type) {
    case FX_ITEM_MOVE:
    case FX_ITEM_ROTATE:
    case FX_ITEM_SKEW: {
        auto* t = static_cast<FXItemTransform*>(it);
        s += " dir=" + std::to_string(t->direction) + " from=" + Num(t->startValue) + " to=" + Num(t->endValue) + " " +
             Timing(it->phaser);
        break;
    }
    case FX_ITEM_CAMERAZOOM:
        s += " step=" + Num(static_cast<FXItemCameraZoom*>(it)->zoomStep);
        break;
    case FX_ITEM_CAMERAPT: {
        auto* c = static_cast<FXItemCameraPt*>(it);
        s += " zoom=" + std::to_string(c->zoomLevel) + " x=" + Num(c->offsetX) + " y=" + Num(c->offsetY) +
             " rest=" + Num(it->phaser.duration);
        break;
    }
    case FX_ITEM_PICT: {
        auto* p = static_cast<FXItemPict*>(it);
        s += p->desktop ? " desktop" : " file=" + std::string(p->pictName.text);
        if (!p->maskName.IsEmpty()) s += " mask=" + std::string(p->maskName.text);
        s += " " + Placement(it);
        break;
    }
    case FX_ITEM_SCROLL: {
        auto* p = static_cast<FXItemScroll*>(it);
        s += " file=" + std::string(p->pictName.text) + " second=" + p->pict2Name.text + " speed=" +
             Num(p->scrollTimeX) + "," + Num(p->scrollTimeY) + " " + Placement(it);
        break;
    }
    case FX_ITEM_SMOVIE:
        s += " file=" + std::string(static_cast<FXItemSMovie*>(it)->movieName.text) + " " + Placement(it);
        break;
    case FX_ITEM_RANI: {
        auto* r = static_cast<FXItemRani*>(it);
        s += " movies=" + Join(r->movieNames) + " targets=" + Join(r->targetNames) + " modes=";
        for (int i = 0; i < r->modes.count; ++i) s += (i ? "," : "") + std::to_string(r->modes.GetInt(i));
        s += " weights=";
        for (int i = 0; i < r->weights.count; ++i) s += (i ? "," : "") + std::to_string(r->weights.GetInt(i));
        s += " min=" + Num(r->minPlayTime) + " " + Placement(it);
        break;
    }
    default:
        break;
    }
    if (it->dependNames.count > 0) s += (it->type == FX_ITEM_CAMERAPT ? " links=" : " depends=") + Join(it->dependNames);
    const float* c = it->color;
    if (c[0] != 1.0f || c[1] != 1.0f || c[2] != 1.0f || c[3] != 1.0f)
        s += " color=" + Num(c[0]) + "," + Num(c[1]) + "," + Num(c[2]) + "," + Num(c[3]);
    // A random-animation state is off unless made the running one.
    if (it->type == FX_ITEM_RANI ? it->enabled : !it->enabled) s += it->enabled ? " on" : " off";
    return s;
}

int CmdScene(int argc, char** argv) {
    if (argc < 1 || argc > 2) return Usage("scene needs a package and optionally a record id");
    int id = 0;
    if (argc > 1 && !ParseInt(argv[1], &id)) return Usage("'%s' is no record id", argv[1]);
    FXPackage pck;
    Progress prog{"reading"};
    if (!Open(&pck, argv[0], &prog)) return kExitFail;
    FXScene scene;
    int stored = 0;
    if (!ReadSceneRecord(&pck, id, &scene, &stored)) {
        Fail("record %d of '%s' is no scene", id, argv[0]);
        return kExitFail;
    }
    int unresolved = 0, cameras = 0;
    for (int i = 0; i < scene.items.count; ++i) {
        FXItem* it = scene.GetItem(i);
        printf("%3d %s\n", i, DescribeItem(it).c_str());
        for (int k = 0; k < it->dependSlots.count; ++k)
            if (!it->dependSlots.data[k]) {
                printf("    unresolved link '%s'\n", it->dependNames.Get(k));
                ++unresolved;
            }
        cameras += it->type == FX_ITEM_CAMERAPT;
    }
    printf("scene %d: %d items of %d stored, %d camera points (first %s, second %s, moves of %gs), %d unresolved "
           "links\n",
           id, scene.items.count, stored, cameras, scene.cameraFirst.IsEmpty() ? "-" : scene.cameraFirst.text,
           scene.cameraSecond.IsEmpty() ? "-" : scene.cameraSecond.text, scene.cameraPhaser.duration, unresolved);
    return scene.items.count < stored ? kExitFail : kExitOk;
}

// ---------------------------------------------------------------- scene-build

bool ParseFloats(const std::string& s, size_t n, float* out) {
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t comma = s.find(',', at);
        if ((comma == std::string::npos) != (i + 1 == n)) return false;
        std::string part = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        char* end = nullptr;
        double v = strtod(part.c_str(), &end);
        if (part.empty() || *end || !std::isfinite(v) || std::fabs(v) > 1e6) return false;
        out[i] = static_cast<float>(v);
        at = comma + 1;
    }
    return true;
}

std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at <= s.size()) {
        size_t comma = s.find(',', at);
        if (comma == std::string::npos) comma = s.size();
        out.push_back(s.substr(at, comma - at));
        at = comma + 1;
    }
    return out;
}

// The pictures of a folder made into a sprite movie whose cropped frames
// are written into out.
bool FolderMovie(const std::string& frames, const std::string& out, SMovie* mv) {
    std::vector<std::string> names;
    if (!ListPictures(frames.c_str(), &names)) return false;
    if (names.empty()) {
        Fail("'%s' holds no pictures", frames.c_str());
        return false;
    }
    if (!fxMakeFolder(out.c_str())) {
        Fail("cannot make the folder '%s'", out.c_str());
        return false;
    }
    for (const std::string& f : names) mv->frameNames.Push(fxCombinePaths(frames.c_str(), f.c_str()));
    if (!mv->Convert(out.c_str())) {
        Fail("the frames in '%s' could not be converted", frames.c_str());
        return false;
    }
    return true;
}

// Builds a scene from its description: one item a line, as `fxpack scene`
// lists them. Files are taken from the description's folder; movies are
// folders of frames. Returns false (told) at the first bad line.
bool ReadSceneText(const char* path, const std::string& out, FXScene* scene) {
    FILE* f = fopen(path, "r");
    if (!f) {
        Fail("cannot open '%s': %s", path, strerror(errno));
        return false;
    }
    std::string dir = path;
    size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? "" : dir.substr(0, slash + 1);
    auto file = [&](const std::string& s) { return s.empty() || s[0] == '/' ? s : dir + s; };
    char buf[4096];
    int no = 0;
    bool ok = true;
    while (ok && fgets(buf, sizeof buf, f)) {
        ++no;
        std::vector<std::string> words;
        for (char* w = strtok(buf, " \t\r\n"); w; w = strtok(nullptr, " \t\r\n")) words.push_back(w);
        if (words.empty() || words[0][0] == '#') continue;
        std::map<std::string, std::string> kv;
        for (size_t i = 1; i < words.size(); ++i) {
            size_t eq = words[i].find('=');
            kv[words[i].substr(0, eq)] = eq == std::string::npos ? "" : words[i].substr(eq + 1);
        }
        std::string bad;
        auto take = [&](const char* key, std::string* v) {
            auto k = kv.find(key);
            if (k == kv.end()) return false;
            *v = k->second;
            kv.erase(k);
            return true;
        };
        auto num = [&](const char* key, size_t n, float* v) {
            std::string s;
            if (take(key, &s) && !ParseFloats(s, n, v)) bad = std::string(key) + " needs " + std::to_string(n) + " number(s)";
        };
        std::string s;
        if (words[0] == "camera") {
            if (take("first", &s)) scene->cameraFirst.Set(s.c_str());
            if (take("second", &s)) scene->cameraSecond.Set(s.c_str());
            float t = static_cast<float>(scene->cameraPhaser.duration);
            num("time", 1, &t);
            scene->cameraPhaser.duration = t;
        } else {
            int type = FX_ITEM_NONE;
            for (int k = 1; k <= FX_ITEM_RANI; ++k)
                if (words[0] == fxItemTypeName(k)) type = k;
            FXItem* it = scene->CreateType(type);
            if (!it) {
                Fail("%s:%d: '%s' is no item kind", path, no, words[0].c_str());
                ok = false;
                break;
            }
            if (take("name", &s)) {
                FXItem* other = scene->FindItem(s.c_str());
                if (s.empty() || (other && other != it)) bad = "name '" + s + "' is empty or taken";
                it->name.Set(s.c_str());
            }
            if (take("depends", &s) || take("links", &s))
                for (const std::string& d : SplitList(s)) it->AddDependName(d.c_str());
            float at[2] = {0, 0}, size[2] = {1, 1};
            num("at", 2, at);
            num("size", 2, size);
            FXMatrix t, sc;
            t.SetMoveF(at[0], at[1], 0);
            sc.SetScaleF(size[0], size[1], 1);
            it->matrix.Multiply(&t, &sc);
            num("color", 4, it->color);
            float time = -1;
            num("time", 1, &time);
            num("rest", 1, &time);
            if (time >= 0) {
                it->phaser.duration = time;
                it->phaser.active = it->type != FX_ITEM_CAMERAPT;
                it->phaser.loop = take("loop", &s);
                it->phaser.bounce = take("bounce", &s);
                it->phaser.smooth = it->phaser.bounce;
            }
            if (take("still", &s)) it->phaser.active = false;
            if (take("off", &s)) it->enabled = false;
            if (take("on", &s)) it->enabled = true;
            float v[3];
            switch (type) {
            case FX_ITEM_MOVE:
            case FX_ITEM_ROTATE:
            case FX_ITEM_SKEW: {
                auto* tr = static_cast<FXItemTransform*>(it);
                v[0] = static_cast<float>(tr->direction);
                num("dir", 1, v);
                tr->direction = static_cast<int32_t>(v[0]);
                num("from", 1, &tr->startValue);
                num("to", 1, &tr->endValue);
                break;
            }
            case FX_ITEM_CAMERAZOOM:
                num("step", 1, &static_cast<FXItemCameraZoom*>(it)->zoomStep);
                break;
            case FX_ITEM_CAMERAPT: {
                auto* c = static_cast<FXItemCameraPt*>(it);
                v[0] = static_cast<float>(c->zoomLevel);
                num("zoom", 1, v);
                c->zoomLevel = static_cast<int32_t>(v[0]);
                num("x", 1, &c->offsetX);
                num("y", 1, &c->offsetY);
                break;
            }
            case FX_ITEM_PICT: {
                auto* p = static_cast<FXItemPict*>(it);
                p->desktop = take("desktop", &s);
                if (take("file", &s)) p->pictName.Set(file(s).c_str());
                if (take("mask", &s)) p->maskName.Set(file(s).c_str());
                break;
            }
            case FX_ITEM_SCROLL: {
                auto* p = static_cast<FXItemScroll*>(it);
                if (take("file", &s)) p->pictName.Set(file(s).c_str());
                if (take("second", &s)) p->pict2Name.Set(file(s).c_str());
                float sp[2] = {p->scrollTimeX, p->scrollTimeY};
                num("speed", 2, sp);
                p->scrollTimeX = sp[0];
                p->scrollTimeY = sp[1];
                break;
            }
            case FX_ITEM_SMOVIE: {
                auto* m = static_cast<FXItemSMovie*>(it);
                if (take("file", &s)) {
                    m->movieName.Set(s.c_str());
                    m->movie.loop = m->movie.bounce = true;
                    if (!FolderMovie(file(s), out + "/" + it->name.text, &m->movie)) ok = false;
                }
                break;
            }
            case FX_ITEM_RANI: {
                auto* r = static_cast<FXItemRani*>(it);
                std::vector<std::string> movies, targets, modes, weights;
                if (take("movies", &s)) movies = SplitList(s);
                if (take("targets", &s)) targets = SplitList(s);
                if (take("modes", &s)) modes = SplitList(s);
                if (take("weights", &s)) weights = SplitList(s);
                num("min", 1, &r->minPlayTime);
                r->avoidRecent = take("avoid", &s);
                for (size_t e = 0; ok && e < movies.size(); ++e) {
                    SMovie mv;
                    std::string folder = out + "/" + it->name.text + "_" + std::to_string(e), rec = folder + "/movie.xs";
                    if (!FolderMovie(file(movies[e]), folder, &mv)) {
                        ok = false;
                        break;
                    }
                    // A stored movie names its frames from its own folder.
                    FXStr here(fxGetActPath());
                    fxSetActPath(folder.c_str());
                    ok = mv.Save(rec.c_str());
                    fxSetActPath(here.text);
                    int mode = 1, weight = 1;
                    if (e < modes.size() && !ParseInt(modes[e].c_str(), &mode)) bad = "modes needs whole numbers";
                    if (e < weights.size() && !ParseInt(weights[e].c_str(), &weight)) bad = "weights needs whole numbers";
                    r->movieNames.Push(rec.c_str());
                    r->targetNames.Push(e < targets.size() ? targets[e].c_str() : "");
                    r->modes.PushInt(mode);
                    r->weights.PushInt(weight);
                }
                if (ok) r->ReCreate();
                break;
            }
            default:
                break;
            }
            if (bad.empty() && !kv.empty()) bad = "'" + kv.begin()->first + "' means nothing to " + words[0];
        }
        if (!bad.empty()) {
            Fail("%s:%d: %s", path, no, bad.c_str());
            ok = false;
        }
    }
    fclose(f);
    if (ok) scene->BuildConn();
    return ok;
}

int CmdSceneBuild(int argc, char** argv) {
    std::vector<const char*> pos;
    int base = 0;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-b" || a == "--base") {
            if (++i >= argc || !ParseInt(argv[i], &base) || base < 0 || base > INT32_MAX - 100000)
                return Usage("%s needs a number from 0", a.c_str());
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option '%s'", a.c_str());
        } else {
            pos.push_back(argv[i]);
        }
    }
    if (pos.size() != 2) return Usage("scene-build needs OUTPUT and DESCRIPTION");
    std::string out = pos[0];
    if (!fxMakeFolder(out.c_str())) {
        Fail("cannot make the folder '%s'", out.c_str());
        return kExitFail;
    }
    if (!fxLoadDevil()) {
        Fail("the image library (DevIL) does not load");
        return kExitFail;
    }
    int status = kExitFail;
    {
        FXScene scene;
        FXPackage pck;
        if (ReadSceneText(pos[1], out, &scene)) {
            // The items name their pictures and movies by the ids the
            // manifest gives them, as in a package.
            pck.nameServer.base = base + 1;
            pck.workFolder.Set(out.c_str());
            FXStr here(fxGetActPath());
            for (int i = 0; i < scene.items.count; ++i) scene.GetItem(i)->Compile(&pck);
            fxSetActPath(here.text);
            std::string manifest = "# fxpack scene-build: " + std::to_string(scene.items.count) + " items\n" +
                                   std::to_string(base) + " scene.xss\n";
            bool ok = true;
            for (int i = 0; i < pck.pendingIds.count; ++i) {
                std::string f = pck.pendingFiles.Get(i);
                if (!fxPathExists(f.c_str())) {
                    Fail("'%s' is missing", f.c_str());
                    ok = false;
                }
                // Movie records the items wrote get names of their ids.
                std::string id = std::to_string(pck.pendingIds.GetInt(i));
                if (f.size() > 4 && f.compare(f.size() - 4, 4, ".tmp") == 0) {
                    std::string named = out + "/movie_" + id + ".xs";
                    if (rename(f.c_str(), named.c_str()) != 0) ok = false;
                    f = named;
                }
                manifest += id + " " + f + "\n";
            }
            std::string rec = out + "/scene.xss";
            ok = ok && scene.Save(rec.c_str()) &&
                 fxReplaceFile((out + "/scene.manifest").c_str(), [&](FILE* mf) { return fputs(manifest.c_str(), mf) >= 0; },
                               FX_REPLACE_TEXT);
            if (ok) {
                printf("%s/scene.manifest: scene record %d, %d items, %d files\n", out.c_str(), base, scene.items.count,
                       pck.pendingIds.count);
                status = kExitOk;
            } else {
                Fail("the scene could not be written into '%s'", out.c_str());
            }
        }
    }
    fxUnloadDevil();
    return status;
}

// A model or an animation record drawn on its own, lit, as the gallery set
// draws its animation: prepared the same way, in front of a black screen.
class ShowRecord {
public:
    bool isAnim = false;
    bool isScene = false;
    FXAnim anim;
    FXModel model;
    FXScene scene;

    bool Load(FXPackage* pck, int id) {
        FXPackageData* d = pck->GetDataPtr(id);
        if (!d || d->size < 8) return false;
        isScene = memcmp(d->start + 4, "xss", 3) == 0;
        if (isScene) {
            // The camera travels from the first point to the second, as the
            // show starts it.
            if (!scene.LoadCN(pck, id) || scene.items.count < 1) return false;
            scene.StartAnimateCamera();
            return true;
        }
        isAnim = memcmp(d->start + 4, "xm0", 3) != 0;
        if (!isAnim) {
            if (!model.LoadCN(pck, id)) return false;
            model.UpdateMeshes();
            model.Unitize();
            model.ResizeTextCoords();
            return true;
        }
        if (!anim.LoadCN(pck, id) || anim.FrameCount() < 1) return false;
        anim.PrepareForShow();
        anim.StartAnim(0.0);
        return true;
    }
    void Draw(FXGL* gl, double t) {
        const float black[4] = {0, 0, 0, 1};
        gl->SetClrColor(black);
        // A depth buffer is only cleared while depth writes are on.
        gl->EnableDepthWrite(true);
        gl->Clrscr(true, true, false);
        if (isScene) {
            gl->ApplyMatrixIdentity();
            scene.OnRender(gl, fxGetTime());
            return;
        }
        gl->EnableLights(true);
        gl->EnableDepthTest(true);
        gl->ApplyMatrixIdentity();
        gl->EnableCullface(false, true);
        if (isAnim)
            anim.OnRender(gl, t);
        else
            model.OnRender(gl, t);
        gl->EnableCullface(false, false);
        gl->EnableDepthWrite(false);
        gl->EnableDepthTest(false);
        gl->EnableLights(false);
    }
};

int CmdShow(int argc, char** argv) {
    std::vector<const char*> pos;
    std::string dir;
    std::vector<double> times;
    int w = 640, h = 480;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--offline") {
            if (++i >= argc) return Usage("--offline needs a folder");
            dir = argv[i];
        } else if (a == "--times") {
            if (++i >= argc || !ParseSeconds(argv[i], 86400.0, &times))
                return Usage("--times needs seconds from 0, separated by commas");
        } else if (a == "--size") {
            char x = 0, extra = 0;
            if (++i >= argc || sscanf(argv[i], "%d%c%d%c", &w, &x, &h, &extra) != 3 || x != 'x' || w < 16 ||
                h < 16 || w > 8192 || h > 8192)
                return Usage("--size needs WIDTHxHEIGHT, each from 16 to 8192");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option '%s'", a.c_str());
        } else {
            pos.push_back(argv[i]);
        }
    }
    int id = 0;
    if (pos.size() != 2 || !ParseInt(pos[1], &id)) return Usage("show needs a package and a record id");
    if (dir.empty() || times.empty()) return Usage("show needs --offline DIR and --times");
    std::sort(times.begin(), times.end());
    FXPackage pck;
    Progress prog{"reading"};
    if (!Open(&pck, pos[0], &prog)) return kExitFail;
    if (!fxMakeFolder(dir.c_str())) {
        Fail("cannot make the folder '%s'", dir.c_str());
        return kExitFail;
    }
    if (!fxLoadDevil()) {
        Fail("the image library could not be loaded");
        return kExitFail;
    }
    void* window = fxFrameWindowCreate(w, h);
    if (!window) {
        Fail("show draws with OpenGL on an X display, and there is none "
             "(start one, e.g. tests/support/xvfb-run.sh fxpack show ...)");
        fxUnloadDevil();
        return kExitFail;
    }
    FXVirtualClock clock(1000000);
    FXClockSource* old = fxSetClockSource(&clock);
    int status = kExitOk;
    {
        FXGL gl;
        FXLight light;
        bool made = gl.CreateChild(window);
        fxSetEnv(&gl);
        gl.SetAct(true);
        gl.RegisterLight(&light);
        gl.UpdateLights();
        ShowRecord rec;
        if (!made) {
            Fail("the OpenGL device could not be made on the display");
            status = kExitFail;
        } else if (!rec.Load(&pck, id)) {
            Fail("record %d of '%s' is no model, animation or scene that loads", id, pos[0]);
            status = kExitFail;
        }
        // Frames every 1/25 s up to each asked time, so that the animation
        // steps through its frames as in the show; asked times are exact.
        const double kStep = 0.04;
        double t0 = fxGetTime(), rel = 0.0;
        for (size_t next = 0; status == kExitOk && next < times.size();) {
            bool wanted = times[next] <= rel + 1e-9;
            double at = wanted ? times[next] : rel;
            clock.SetSeconds(t0 + at);
            gl.SetAct(true);
            rec.Draw(&gl, fxGetTime() - t0);
            if (wanted) {
                char name[64];
                snprintf(name, sizeof name, "/frame-%08.3fs.png", at);
                std::string file = dir + name;
                FXCanvas frame;
                if (fxglReadFrame(&gl, &frame) && frame.SaveToPict(file.c_str())) {
                    printf("%s\n", file.c_str());
                } else {
                    Fail("could not write %s", file.c_str());
                    status = kExitFail;
                }
                while (next < times.size() && times[next] == at) ++next;
            } else {
                rel += kStep;
            }
            gl.RenderEnd();
            gl.SetAct(false);
        }
        gl.SetAct(true);
        rec.anim.Destroy();
        rec.model.Destroy();
        rec.scene.Destroy();
        gl.UnregisterLight(&light);
        gl.Destroy();
        fxSetEnv(nullptr);
    }
    fxSetClockSource(old);
    fxFrameWindowDestroy(window);
    fxUnloadDevil();
    return status;
}
#else
int CmdMovie(int, char**) {
    Fail("this build has no movie support (it was built without the window-system layers)");
    return kExitFail;
}

int CmdModel(int, char**) {
    Fail("this build has no model support (it was built without the window-system layers)");
    return kExitFail;
}
int CmdAnim(int, char**) {
    Fail("this build has no animation support (it was built without the window-system layers)");
    return kExitFail;
}

int CmdScene(int, char**) {
    Fail("this build has no scene support (it was built without the window-system layers)");
    return kExitFail;
}

int CmdSceneBuild(int argc, char** argv) { return CmdScene(argc, argv); }

int CmdShow(int, char**) {
    Fail("this build cannot draw records (it was built without the window-system layers)");
    return kExitFail;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::string cmd = argv[1];
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        fputs(kUsage, stdout);
        return kExitOk;
    }
    for (int i = 2; i < argc; ++i)
        if (!strcmp(argv[i], "-h") || !strcmp(argv[i], "--help")) {
            fputs(kUsage, stdout);
            return kExitOk;
        }
    if (cmd == "list") return CmdList(argc - 2, argv + 2);
    if (cmd == "extract") return CmdExtract(argc - 2, argv + 2);
    if (cmd == "build") return CmdBuild(argc - 2, argv + 2);
    if (cmd == "verify") return CmdVerify(argc - 2, argv + 2);
    if (cmd == "movie") return CmdMovie(argc - 2, argv + 2);
    if (cmd == "model") return CmdModel(argc - 2, argv + 2);
    if (cmd == "anim") return CmdAnim(argc - 2, argv + 2);
    if (cmd == "show") return CmdShow(argc - 2, argv + 2);
    if (cmd == "scene") return CmdScene(argc - 2, argv + 2);
    if (cmd == "scene-build") return CmdSceneBuild(argc - 2, argv + 2);
    return Usage("unknown command '%s'", cmd.c_str());
}
