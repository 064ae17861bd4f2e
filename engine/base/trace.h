// The trace log: one text file per process, written from any thread. Every
// message is flushed at once so the log survives a crash.
#pragma once

#if defined(__GNUC__)
#define FX_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define FX_PRINTF(a, b)
#endif

bool fxOpenTraces(const char* path);
bool fxTracesOpened();
void trc(const char* fmt, ...) FX_PRINTF(1, 2);
void trc1(const char* fmt, ...) FX_PRINTF(1, 2);
void err(const char* fmt, ...) FX_PRINTF(1, 2);
// Logs like err, then shows the message to the user; returns the box's answer.
int errmsg(const char* fmt, ...) FX_PRINTF(1, 2);
// Errors this thread has reported so far (counted with the log closed too):
// a loader compares it before and after reading a record to name the record
// whose damage its readers reported.
int fxThreadErrors();
// Runs load, a reader of package record id, and names the record in the log
// when the load failed or its readers reported errors: "KIND record ID is
// damaged", "… or a record it names is damaged" where the record refers to
// others. Returns what load returned.
template <class Load>
bool fxLoadNamingDamage(const char* kind, int id, bool namesOthers, Load load) {
    const int errors = fxThreadErrors();
    const bool ok = load();
    if (!ok || fxThreadErrors() != errors)
        err("%s record %d %sis damaged%s\n", kind, id, namesOthers ? "or a record it names " : "",
            ok ? "" : ": not loaded");
    return ok;
}
void fxCloseTraces();
void fxCloseTracesFile();
