// The host on Windows: the screen-saver window class, its window procedure
// and message loop, full screen or as the preview child of the display
// settings, and the 9x family's password hooks, loaded at run time (on the
// NT family they are never there).
#include <windows.h>

#include <cstdio>

#include "app/closerules.h"
#include "app/host.h"
#include "app/show.h"
#include "app/velmira.h"
#include "base/other.h"
#include "base/platform.h"
#include "base/trace.h"

namespace {

const char kClass[] = "WindowsScreenSaverClass";
// Asks the window to check the password (answered by the 9x hook).
const UINT kVerifyMessage = 0x8000;

typedef BOOL(WINAPI* LocalVerifyFn)(HWND);
typedef DWORD(WINAPI* LocalChangeFn)(LPCSTR, HWND, DWORD, LPVOID);

struct LocalState {
    HWND main = nullptr;
    FXMode mode = FX_MODE_FULL;
    FXCloseState cs;
    bool closing = false;
    bool checkingPwd = false;
    bool w95 = false;
    HMODULE pwdLib = nullptr;
    LocalVerifyFn verify = nullptr;
};
LocalState localState;

bool localFull() { return localState.mode == FX_MODE_FULL; }

// The window is to go: the loop ends and the show shuts down with the
// window still there; the host destroys it afterwards.
void localEnd(const char* why) {
    if (localState.closing) return;
    // The 9x family asks for the password first; a wrong one re-arms.
    if (localState.verify && !localState.cs.preview) {
        localState.checkingPwd = true;
        bool ok = SendMessageA(localState.main, kVerifyMessage, 0, 0) != 0;
        localState.checkingPwd = false;
        if (!ok) {
            POINT p;
            if (GetCursorPos(&p)) {
                localState.cs.origX = p.x;
                localState.cs.origY = p.y;
            }
            return;
        }
    }
    localState.closing = true;
    trc("host -> %s\n", why);
    PostQuitMessage(0);
}

void localInput(FXInput in, int x, int y, const char* why) {
    if (localState.closing || localState.checkingPwd) return;
    if (fxCloseRule(&localState.cs, in, x, y, fxGetTime())) localEnd(why);
}

void localInputAtCursor(FXInput in, const char* why) {
    POINT p = {localState.cs.origX, localState.cs.origY};
    GetCursorPos(&p);
    localInput(in, p.x, p.y, why);
}

LRESULT CALLBACK localProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SYSCOMMAND:
            // Full screen swallows the commands that would switch away.
            if (localFull()) {
                switch (wp & 0xFFF0) {
                    case SC_NEXTWINDOW:
                    case SC_PREVWINDOW:
                    case SC_CLOSE:
                    case SC_SCREENSAVE:
                        return 0;
                }
            }
            break;
        case WM_PAINT:
            // The render thread draws every pixel.
            ValidateRect(w, nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            if (localFull() && !localState.checkingPwd) {
                SetCursor(nullptr);
                return TRUE;
            }
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
            localInput(FX_IN_KEY, 0, 0, "a key was hit");
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            localInput(FX_IN_BUTTON, 0, 0, "a mouse button was pressed");
            break;
        case WM_MOUSEMOVE:
            localInputAtCursor(FX_IN_MOTION, "the mouse moved");
            break;
        case WM_ACTIVATE:
        case WM_ACTIVATEAPP:
        case WM_NCACTIVATE:
            // Only the loss of activation counts, as a move of the mouse would.
            if ((msg == WM_ACTIVATE ? LOWORD(wp) : wp) == 0)
                localInputAtCursor(FX_IN_FOCUS_LOST, "another window was activated");
            break;
        case WM_CLOSE:
            localInput(FX_IN_CLOSE_REQUEST, 0, 0, "asked to close");
            return 0;
        case WM_DESTROY:
            // A preview's window goes with its parent's.
            localState.main = nullptr;
            if (!localState.closing) {
                localState.closing = true;
                trc("host -> the window was destroyed\n");
            }
            PostQuitMessage(0);
            return 0;
        default:
            if (msg == kVerifyMessage) return localState.verify ? localState.verify(w) : 1;
            break;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

// The 9x family keeps its screen-saver password in a control-panel library
// when the user has asked for one.
void localLoadPasswordHooks() {
    localState.w95 = (GetVersion() & 0x80000000u) != 0;
    if (!localState.w95) return;
    HKEY key;
    DWORD use = 0, size = sizeof use, type = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    LONG r = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type, reinterpret_cast<BYTE*>(&use), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || size != sizeof use || !use) return;
    localState.pwdLib = LoadLibraryA("PASSWORD.CPL");
    if (localState.pwdLib)
        localState.verify = reinterpret_cast<LocalVerifyFn>(
            reinterpret_cast<void*>(GetProcAddress(localState.pwdLib, "VerifyScreenSavePwd")));
}

int localChangePassword(unsigned long window) {
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
    if (!owner || !IsWindow(owner)) owner = GetForegroundWindow();
    HMODULE mpr = LoadLibraryA("MPR.DLL");
    if (!mpr) return 0;
    auto change = reinterpret_cast<LocalChangeFn>(reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")));
    if (change) change("SCRSAVE", owner, 0, nullptr);
    FreeLibrary(mpr);
    return 0;
}

class LocalHost : public FXShowOutput {
public:
    explicit LocalHost(HWND win) : win_(win) {
        start.window = win;
        start.preview = localState.cs.preview;
    }
    ~LocalHost() {
        if (localState.main) DestroyWindow(localState.main);
        if (cursorHidden_) ShowCursor(TRUE);
    }
    // The desktop was captured at start-up, before the window covers it.
    void Shown() override {
        if (localFull()) {
            ShowCursor(FALSE);
            cursorHidden_ = true;
            SetWindowPos(win_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            SetForegroundWindow(win_);
            SetFocus(win_);
        } else {
            ShowWindow(win_, SW_SHOW);
        }
        UpdateWindow(win_);
    }
    int Run() override {
        localState.cs.started = true;
        localState.cs.startTime = velmira.run.startTime;
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        velmira.run.escapeHit = localState.cs.escapeHit;
        return 0;
    }

private:
    HWND win_;
    bool cursorHidden_ = false;
};

}  // namespace

int fxRunHost(const FXLaunch& l) {
    // Nothing to configure: the settings dialog has no page of ours.
    if (l.mode == FX_MODE_CONFIG) return 0;
    if (l.mode == FX_MODE_PASSWORD) return localChangePassword(l.window);
    localState = LocalState();
    HWND parent = nullptr;
    if (l.mode == FX_MODE_PREVIEW || (l.mode == FX_MODE_WINDOW && l.window)) {
        parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(l.window));
        if (!parent || !IsWindow(parent)) return 0;
        localState.mode = FX_MODE_PREVIEW;
        localState.cs.preview = true;
    }
    localLoadPasswordHooks();
    BOOL wasRunning = FALSE;
    if (localFull() && localState.w95) SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &wasRunning, 0);

    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_SAVEBITS | CS_PARENTDC;
    wc.lpfnWndProc = localProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(100));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClass;
    int status = 0;
    if (!RegisterClassA(&wc)) {
        fxPlatformMessageBox("", "RegisterClasses() failed");
    } else {
        int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        RECT r;
        if (parent && GetClientRect(parent, &r)) {
            w = r.right - r.left;
            h = r.bottom - r.top;
        }
        POINT p = {0, 0};
        GetCursorPos(&p);
        localState.cs.origX = p.x;
        localState.cs.origY = p.y;
        // Shown only after start-up, once the desktop has been captured.
        HWND win = parent ? CreateWindowExA(0, kClass, "SCREENSAVER", WS_CHILD, 0, 0, w, h, parent, nullptr, inst,
                                            nullptr)
                          : CreateWindowExA(WS_EX_TOPMOST, kClass, "SCREENSAVER", WS_POPUP, 0, 0, w, h, nullptr,
                                            nullptr, inst, nullptr);
        if (win) {
            localState.main = win;
            LocalHost host(win);
            status = fxRunShow(l, &host);
        } else {
            err("host -> the window could not be created (error %lu)\n", GetLastError());
        }
        UnregisterClassA(kClass, inst);
    }
    if (localFull() && localState.w95) SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &wasRunning, 0);
    if (localState.pwdLib) FreeLibrary(localState.pwdLib);
    return status;
}
