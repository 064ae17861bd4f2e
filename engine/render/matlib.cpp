#include "matlib.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/paths.h"
#include "base/trace.h"
#include "render/env.h"
#include "render/material.h"

void FXMatlib::Destroy() {
    for (int i = 0; i < materials.count; ++i) {
        FXMaterial* m = Get(i);
        if (m && m->ownedByLib) {
            m->Destroy();
            delete m;
        }
    }
    materials.DestroyBuf();
}

void FXMatlib::Release() {
    --refCount;
    if (autoDelete && refCount < 1) {
        if (fxglobalEnv) fxglobalEnv->RemoveMatlib(this);
        delete this;
    }
}

void FXMatlib::AddMaterial(FXMaterial* m) {
    if (materials.Findpos(m) < 0) materials.Push(m);
}

void FXMatlib::RemoveMaterial(FXMaterial* m) { materials.Remove(m); }

FXMaterial* FXMatlib::FindMaterial(const char* n) {
    // A cycle of parents would recurse forever: walk the chain iteratively and
    // stop where it comes back.
    FXMatlib* chain[64];
    int depth = 0;
    for (FXMatlib* l = this; l && depth < 64; l = l->parent) {
        bool seen = false;
        for (int i = 0; i < depth; ++i) seen = seen || chain[i] == l;
        if (seen) break;
        chain[depth++] = l;
    }
    for (int d = depth - 1; d >= 0; --d) {
        FXMatlib* l = chain[d];
        for (int i = 0; i < l->materials.count; ++i) {
            FXMaterial* m = l->Get(i);
            if (m && m->name.Compare(n)) return m;
        }
    }
    return nullptr;
}

namespace {

enum { kLineSize = 1024 };

void localSkipLine(FILE* f) {
    char line[kLineSize];
    // A line longer than the buffer is skipped in pieces.
    while (fgets(line, sizeof line, f)) {
        size_t n = strlen(line);
        if (n > 0 && line[n - 1] == '\n') return;
    }
}

// One whitespace-separated token, cut to the buffer.
bool localToken(FILE* f, char* tok, int size) {
    int c;
    do {
        c = fgetc(f);
    } while (c != EOF && (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'));
    if (c == EOF) return false;
    int n = 0;
    while (c != EOF && !(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')) {
        if (n < size - 1) tok[n++] = static_cast<char>(c);
        c = fgetc(f);
    }
    tok[n] = 0;
    if (c != EOF) ungetc(c, f);
    return true;
}

// The rest of the current line, of any length, without its end.
void localRestOfLine(FILE* f, std::string* out) {
    out->clear();
    char line[kLineSize];
    while (fgets(line, sizeof line, f)) {
        size_t n = strlen(line);
        bool end = n > 0 && line[n - 1] == '\n';
        out->append(line, end ? n - 1 : n);
        if (end) return;
    }
}

}  // namespace

bool FXMatlib::LoadFromMtl(const char* path) {
    Destroy();
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "r");
    if (!f) return false;
    name.Set(path);

    char tok[kLineSize];
    int count = 0;
    while (localToken(f, tok, sizeof tok)) {
        if (tok[0] == 'n') {
            if (strncmp(tok, "newmtl", 6) == 0)
                ++count;
            else
                err("FXMatlib::LoadFromMtl -> unknown token(0): %s  in lib:%s\n", tok, path);
        }
        localSkipLine(f);
    }

    materials.Realloc(count + 1);
    for (int i = 0; i <= count; ++i) {
        FXMaterial* m = new FXMaterial;
        m->ownedByLib = true;
        m->SetDefSpecular(1.0f);
        materials.Push(m);
    }

    rewind(f);
    int cur = 0;
    // One statement per line, as the count above saw them: the rest of the
    // line is read whole and parsed on its own, so nothing on it (a second
    // newmtl, say) is taken for another statement.
    std::string rest;
    while (localToken(f, tok, sizeof tok)) {
        localRestOfLine(f, &rest);
        const char* r = rest.c_str();
        FXMaterial* m = Get(cur);
        switch (tok[0]) {
            case 'K': {
                float* dst = tok[1] == 'a' ? m->ambient : tok[1] == 'd' ? m->diffuse : tok[1] == 's' ? m->specular : nullptr;
                float v[3];
                int n = dst ? sscanf(r, "%f %f %f", &v[0], &v[1], &v[2]) : 0;
                for (int i = 0; i < n; ++i) dst[i] = v[i];
                break;
            }
            case 'N':
                if (tok[1] == 's') {
                    float v;
                    if (sscanf(r, "%f", &v) == 1) m->shininess = v * 1.28f;
                }
                break;
            case 'd': {
                float v;
                if (sscanf(r, "%f", &v) == 1) m->diffuse[3] = v;
                break;
            }
            case 'm':
                if (strncmp(tok, "map_Kd", 6) == 0) {
                    FXStr file(r);
                    file.TrimSpaces();
                    // A picture that fails leaves the material untextured.
                    m->LoadTexture(file.text);
                    m->textureFile.Set(file.text);
                }
                break;
            case 'n':
                if (strncmp(tok, "newmtl", 6) == 0) {
                    // The name is the first word of the rest of this line.
                    char word[kLineSize] = "";
                    if (sscanf(r, "%1023s", word) != 1) word[0] = 0;
                    // Both passes see the same lines, so the next material
                    // exists; guard anyway against a file that changed
                    // between them.
                    if (cur + 1 < materials.count) ++cur;
                    Get(cur)->name.Set(word);
                }
                break;
            default:  // '#', 'r', 'i' and anything unknown
                break;
        }
    }
    fclose(f);
    return true;
}
