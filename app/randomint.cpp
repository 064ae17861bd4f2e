#include "randomint.h"

#include "base/other.h"

namespace {

// The history keeps at most min(4, n - 1) entries, so Get always has at
// least two candidates left.
bool localMayGrow(int count, int n) { return count < n - 1 && count < 4; }

}  // namespace

int RandomInt::Get(int n) {
    if (count > n - 1) count = n - 2;
    if (count < 0) count = 0;
    for (;;) {
        int r = static_cast<int>(fxGetRandom() * static_cast<float>(n) + 0.5f);
        bool recent = false;
        for (int i = 0; i < count; ++i) recent = recent || history[i] == r;
        if (!recent) {
            Push(r, n);
            return r;
        }
    }
}

void RandomInt::Push(int value, int n) { Insert(value, 0, n); }

void RandomInt::Insert(int value, int pos, int n) {
    // A position past the valid entries would leave a hole of stale values.
    if (pos > count) pos = count;
    if (pos < 0) pos = 0;
    if (pos > 4) return;
    for (int i = (count < 4 ? count : 4); i > pos; --i) history[i] = history[i - 1];
    history[pos] = value;
    if (localMayGrow(count, n)) ++count;
}
