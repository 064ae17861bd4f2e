#include "image/devil.h"

#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string>

#include "base/trace.h"
#include "image/platform.h"

void* ilDLL = nullptr;
void* iluDLL = nullptr;

FXilInit pilInit = nullptr;
FXilShutDown pilShutDown = nullptr;
FXilEnable pilEnable = nullptr;
FXilDisable pilDisable = nullptr;
FXilSetInteger pilSetInteger = nullptr;
FXilGenImages pilGenImages = nullptr;
FXilDeleteImages pilDeleteImages = nullptr;
FXilBindImage pilBindImage = nullptr;
FXilGetInteger pilGetInteger = nullptr;
FXilLoadL pilLoadL = nullptr;
FXilLoadImage pilLoadImage = nullptr;
FXilSaveImage pilSaveImage = nullptr;
FXilCloneCurImage pilCloneCurImage = nullptr;
FXilConvertImage pilConvertImage = nullptr;
FXilCopyPixels pilCopyPixels = nullptr;
FXilSetPixels pilSetPixels = nullptr;
FXilGetData pilGetData = nullptr;
FXiluScale piluScale = nullptr;
FXiluImageParameter piluImageParameter = nullptr;
FXilTexImage pilTexImage = nullptr;

namespace {

std::string localIlName = fxPlatformDevilName();
std::string localIluName = fxPlatformIluName();

// Set once every entry point is in place; picture operations test it.
std::atomic<bool> localLoaded{false};
// The "not loaded" line is written once until the next load attempt.
std::atomic<bool> localMissingReported{false};

// Never destroyed, so canvases of static lifetime may still take it at exit.
std::recursive_mutex& localLock() {
    static std::recursive_mutex* m = new std::recursive_mutex;
    return *m;
}

// The entry points in the order they are fetched, with the library each
// comes from (false: DevIL, true: ILU).
// Function pointers and data pointers have the same size on every platform
// we build for; the slots are written with memcpy so no pointer is reached
// through a pointer of another type.
struct Entry {
    const char* name;
    void* slot;
    bool ilu;
};

template <typename T>
void* localSlot(T* p) {
    static_assert(sizeof(T) == sizeof(void*), "function pointer size");
    return p;
}

void localSetSlot(void* slot, void* value) { memcpy(slot, &value, sizeof value); }

const Entry kEntries[] = {
    {"ilInit", localSlot(&pilInit), false},
    {"ilShutDown", localSlot(&pilShutDown), false},
    {"ilEnable", localSlot(&pilEnable), false},
    {"ilDisable", localSlot(&pilDisable), false},
    {"ilSetInteger", localSlot(&pilSetInteger), false},
    {"ilGenImages", localSlot(&pilGenImages), false},
    {"ilDeleteImages", localSlot(&pilDeleteImages), false},
    {"ilBindImage", localSlot(&pilBindImage), false},
    {"ilGetInteger", localSlot(&pilGetInteger), false},
    {"ilLoadImage", localSlot(&pilLoadImage), false},
    {"ilLoadL", localSlot(&pilLoadL), false},
    {"ilSaveImage", localSlot(&pilSaveImage), false},
    {"ilCloneCurImage", localSlot(&pilCloneCurImage), false},
    {"ilConvertImage", localSlot(&pilConvertImage), false},
    {"ilCopyPixels", localSlot(&pilCopyPixels), false},
    {"ilSetPixels", localSlot(&pilSetPixels), false},
    {"ilGetData", localSlot(&pilGetData), false},
    {"iluScale", localSlot(&piluScale), true},
    {"iluImageParameter", localSlot(&piluImageParameter), true},
    {"ilTexImage", localSlot(&pilTexImage), false},
};

static_assert(sizeof(kEntries) / sizeof(kEntries[0]) == 20, "twenty entry points");

bool localLoad() {
    trc("loading devil\n");
    ilDLL = fxPlatformOpenLibrary(localIlName.c_str());
    if (!ilDLL) {
        err("failed to load devil.dll\n");
        return false;
    }
    iluDLL = fxPlatformOpenLibrary(localIluName.c_str());
    if (!iluDLL) {
        err("failed to load ilu.dll\n");
        fxPlatformCloseLibrary(ilDLL);
        ilDLL = nullptr;
        return false;
    }
    for (const Entry& e : kEntries) {
        void* p = fxPlatformLibrarySymbol(e.ilu ? iluDLL : ilDLL, e.name);
        if (!p) return false;
        localSetSlot(e.slot, p);
    }
    trc("loading ok\n");
    return true;
}

void localUnload() {
    trc("unload devil\n");
    if (ilDLL) {
        if (pilShutDown) pilShutDown();
        fxPlatformCloseLibrary(ilDLL);
        ilDLL = nullptr;
    }
    if (iluDLL) {
        fxPlatformCloseLibrary(iluDLL);
        iluDLL = nullptr;
    }
    for (const Entry& e : kEntries) localSetSlot(e.slot, nullptr);
}

}  // namespace

bool fxLoadDevil() {
    std::lock_guard<std::recursive_mutex> g(localLock());
    // A second load must not leak the first one's handles.
    if (localLoaded.load()) return true;
    localMissingReported.store(false);
    if (!localLoad()) {
        err("failed to load devil libraries\n");
        localUnload();
        return false;
    }
    pilInit();
    localLoaded.store(true);
    return true;
}

void fxUnloadDevil() {
    std::lock_guard<std::recursive_mutex> g(localLock());
    localLoaded.store(false);
    localUnload();
}

bool fxDevilLoaded() { return localLoaded.load(); }

bool fxDevilReady() {
    if (localLoaded.load()) return true;
    if (!localMissingReported.exchange(true)) err("devil libraries not loaded: pictures are not loaded or saved\n");
    return false;
}

bool localDetectTransFilename(const char* name) {
    if (!name) return false;
    for (const char* p = name; *p; p++) {
        static const char kTran[] = "tran";
        int i = 0;
        while (i < 4 && p[i] && tolower(static_cast<unsigned char>(p[i])) == kTran[i]) i++;
        if (i == 4) return true;
    }
    return false;
}

void fxSetDevilLibraryNames(const char* il, const char* ilu) {
    std::lock_guard<std::recursive_mutex> g(localLock());
    localIlName = il ? il : fxPlatformDevilName();
    localIluName = ilu ? ilu : fxPlatformIluName();
}

FXDevilLock::FXDevilLock() { localLock().lock(); }
FXDevilLock::~FXDevilLock() { localLock().unlock(); }
