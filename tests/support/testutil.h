// Small helpers shared by the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "base/trace.h"

namespace fxtest {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/fxtest-XXXXXX";
        const char* d = mkdtemp(tmpl);
        path_ = d ? d : "/tmp";
    }
    ~TempDir() {
        if (path_ != "/tmp") (void)!system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Everything a stream gives until its end.
inline std::string Drain(FILE* f) {
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
}

inline std::string ReadFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "";
    std::string s = Drain(f);
    fclose(f);
    return s;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// The bytes of a stream from its start.
inline std::string StreamBytes(FILE* f) {
    rewind(f);
    return Drain(f);
}

// A temporary stream holding the bytes, positioned at its start.
inline FILE* StreamWith(const std::string& bytes) {
    FILE* f = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
    return f;
}

// Little-endian 32-bit values, then raw bytes: the stored forms' encoding.
inline std::string Le32(std::initializer_list<int32_t> vs, const std::string& tail = "") {
    std::string s;
    for (int32_t v : vs)
        for (int i = 0; i < 4; ++i) s += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 255);
    return s + tail;
}

// A program's exit status and its output (stdout and stderr together).
struct ToolRun {
    int status;
    std::string out;
};

inline ToolRun RunTool(const std::string& program, const std::string& args) {
    ToolRun r{-1, ""};
    FILE* p = popen((program + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    r.out = Drain(p);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) n++;
    return n;
}

// Collects the trace log written between its construction and Stop().
class TraceCapture {
public:
    explicit TraceCapture(const TempDir& dir) : path_(dir.File("trace.log")) {
        fxCloseTraces();
        fxOpenTraces(path_.c_str());
    }
    ~TraceCapture() { fxCloseTraces(); }
    std::string Stop() {
        fxCloseTraces();
        return ReadFile(path_);
    }

private:
    std::string path_;
};

}  // namespace fxtest

// The thread sanitizer cannot follow a thread cancelled inside one of its
// interceptors (the forced-termination path); tests of that path skip there.
#if defined(__SANITIZE_THREAD__)
#define FX_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FX_UNDER_TSAN 1
#endif
#endif
#ifndef FX_UNDER_TSAN
#define FX_UNDER_TSAN 0
#endif
