/* Stands in for the display settings' preview box: a plain magenta window
 * at a given place, the screen saver started in it with /p, the window
 * destroyed after a while and the time the preview then takes to end.
 *
 *   preview_host SCR X Y W H SECONDS LIMIT_MS
 *
 * Prints what happened. Exit status: 0 the preview ended within LIMIT_MS
 * of its window's end; 1 bad arguments or it could not be started; 2 it
 * ended while its window was still there; 3 it outlived the limit and was
 * killed; 4 it had no visible child window filling the host's. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static LRESULT CALLBACK host_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, msg, wp, lp);
}

/* The preview's window: a visible child of the host's, of the preview's
 * process, as large as the host's client area. */
static int has_preview_child(HWND host, DWORD pid) {
    RECT want, got;
    GetClientRect(host, &want);
    for (HWND c = GetWindow(host, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(c, &owner);
        if (owner != pid || !IsWindowVisible(c) || !GetClientRect(c, &got)) continue;
        printf("preview_host: the preview's child window is %ldx%ld\n", got.right, got.bottom);
        if (got.right == want.right && got.bottom == want.bottom) return 1;
    }
    return 0;
}

/* A whole number in [lo, hi], or -1. */
static long number(const char *s, long lo, long hi) {
    char *end;
    long v = strtol(s, &end, 10);
    return end == s || *end || v < lo || v > hi ? -1 : v;
}

/* Pumps this thread's messages (the preview's window sends some to its
 * parent's) until ms have passed or the process has ended; 1 when it has. */
static int pump(HANDLE proc, DWORD ms) {
    ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (WaitForSingleObject(proc, 0) == WAIT_OBJECT_0) return 1;
        ULONGLONG now = GetTickCount64();
        if (now >= end) return 0;
        DWORD r = MsgWaitForMultipleObjects(1, &proc, FALSE, (DWORD)(end - now), QS_ALLINPUT);
        if (r == WAIT_FAILED) return 0;
    }
}

int main(int argc, char **argv) {
    long x, y, w, h, secs, limit;
    if (argc != 8 || (x = number(argv[2], 0, 100000)) < 0 || (y = number(argv[3], 0, 100000)) < 0 ||
        (w = number(argv[4], 1, 100000)) < 0 || (h = number(argv[5], 1, 100000)) < 0 ||
        (secs = number(argv[6], 0, 3600)) < 0 || (limit = number(argv[7], 0, 3600000)) < 0) {
        fprintf(stderr, "usage: preview_host SCR X Y W H SECONDS LIMIT_MS\n");
        return 1;
    }
    HINSTANCE inst = GetModuleHandleA(NULL);
    WNDCLASSA wc = {0};
    wc.lpfnWndProc = host_proc;
    wc.hInstance = inst;
    wc.hbrBackground = CreateSolidBrush(RGB(255, 0, 255));
    wc.lpszClassName = "VelmiraPreviewHost";
    if (!RegisterClassA(&wc)) {
        fprintf(stderr, "preview_host: RegisterClass failed (%lu)\n", GetLastError());
        return 1;
    }
    HWND win = CreateWindowExA(0, wc.lpszClassName, "preview host", WS_POPUP | WS_VISIBLE, (int)x, (int)y, (int)w,
                               (int)h, NULL, NULL, inst, NULL);
    if (!win) {
        fprintf(stderr, "preview_host: CreateWindow failed (%lu)\n", GetLastError());
        return 1;
    }
    UpdateWindow(win);

    char cmd[MAX_PATH + 64];
    if (snprintf(cmd, sizeof cmd, "\"%s\" /p %llu", argv[1], (unsigned long long)(ULONG_PTR)win) >= (int)sizeof cmd) {
        fprintf(stderr, "preview_host: too long a path\n");
        return 1;
    }
    STARTUPINFOA si = {0};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(argv[1], cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "preview_host: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    printf("preview_host: started %s\n", cmd);
    fflush(stdout);

    DWORD code = 0;
    if (pump(pi.hProcess, (DWORD)secs * 1000)) {
        GetExitCodeProcess(pi.hProcess, &code);
        printf("preview_host: the preview ended while its window was there (exit code %lu)\n", code);
        return 2;
    }
    if (!has_preview_child(win, pi.dwProcessId)) {
        TerminateProcess(pi.hProcess, 1);
        printf("preview_host: no visible child window of the preview fills the window\n");
        return 4;
    }
    fflush(stdout);
    ULONGLONG t0 = GetTickCount64();
    DestroyWindow(win);
    int ended = pump(pi.hProcess, (DWORD)limit);
    ULONGLONG ms = GetTickCount64() - t0;
    if (!ended) {
        TerminateProcess(pi.hProcess, 1);
        printf("preview_host: the preview still ran %llu ms after its window's end; killed\n", ms);
        return 3;
    }
    GetExitCodeProcess(pi.hProcess, &code);
    printf("preview_host: the preview ended %llu ms after its window (exit code %lu)\n", ms, code);
    return 0;
}
