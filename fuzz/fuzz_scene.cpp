// Arbitrary bytes as a scene record: what loads is a list of items whose
// dependency names and links stay lined up and whose links hold no cycle
// that drawing would follow; it writes a record that loads back to the same
// items and writes the same bytes again; frames, the camera and deleting
// items stay inside the lists.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "../tests/support/nullenv.h"
#include "package/package.h"
#include "scene/camera.h"
#include "scene/scene.h"

namespace {

std::string localBytes(FXScene* s) {
    FILE* f = tmpfile();
    if (!f) return "";
    s->SaveFile(f, nullptr);
    std::string b;
    rewind(f);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.append(buf, n);
    fclose(f);
    return b;
}

bool localRead(FXScene* s, std::string bytes) {
    FXPackageData d;
    d.InitData(bytes.empty() ? nullptr : &bytes[0], static_cast<int>(bytes.size()));
    return s->LoadFromData(&d, nullptr);
}

// Names, links and no cycle along the links that drawing follows.
void localCheck(const FXScene& s) {
    std::unordered_set<const FXItem*> all;
    for (int i = 0; i < s.items.count; ++i) all.insert(s.GetItem(i));
    for (int i = 0; i < s.items.count; ++i) {
        const FXItem* it = s.GetItem(i);
        if (it->dependSlots.count != it->dependNames.count) __builtin_trap();
        int linked = 0;
        for (int k = 0; k < it->dependSlots.count; ++k) {
            const FXItem* d = static_cast<const FXItem*>(it->dependSlots.data[k]);
            if (!d) continue;
            if (!all.count(d) || it->depends.data[linked++] != d) __builtin_trap();
        }
        if (linked != it->depends.count) __builtin_trap();
        std::vector<const FXItem*> stack;
        std::unordered_set<const FXItem*> seen;
        if (it->ForwardsDepends())
            for (int k = 0; k < it->depends.count; ++k) stack.push_back(static_cast<const FXItem*>(it->depends.data[k]));
        while (!stack.empty()) {
            const FXItem* d = stack.back();
            stack.pop_back();
            if (d == it) __builtin_trap();
            if (!seen.insert(d).second || !d->ForwardsDepends()) continue;
            for (int k = 0; k < d->depends.count; ++k) stack.push_back(static_cast<const FXItem*>(d->depends.data[k]));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    FXScene s;
    if (!localRead(&s, std::string(reinterpret_cast<const char*>(data), size))) {
        if (s.items.count) __builtin_trap();
        return 0;
    }
    // The smallest item record (version 1, no payload) is 110 bytes: a
    // count never outruns the bytes.
    if (static_cast<size_t>(s.items.count) * 110 > size) __builtin_trap();
    localCheck(s);

    std::string once = localBytes(&s);
    FXScene back;
    if (!localRead(&back, once) || back.items.count != s.items.count) __builtin_trap();
    for (int i = 0; i < s.items.count; ++i)
        if (back.GetItem(i)->type != s.GetItem(i)->type || back.GetItem(i)->dependNames.count != s.GetItem(i)->dependNames.count)
            __builtin_trap();
    if (localBytes(&back) != once) __builtin_trap();

    fxtest::NullEnv env;
    s.StartAnimateCamera();
    for (int k = 0; k < 6; ++k) s.OnRender(&env, 0.7 * k);
    for (int i = 0; i < s.items.count; ++i) s.SetActCameraPt(i);
    while (s.items.count) {
        s.DeleteItemPos(s.items.count / 2);
        localCheck(s);
        s.OnRender(&env, 5.0);
    }
    return 0;
}
