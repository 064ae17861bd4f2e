#include "image/picthead.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

bool fxPictSizeAllowed(int64_t w, int64_t h) {
    if (w < 1 || h < 1) return false;
    if (w > FX_PICT_MAX_SIDE || h > FX_PICT_MAX_SIDE) return false;
    return w * h <= FX_PICT_MAX_PIXELS;
}

namespace {

// Random access to the bytes being probed.
class Source {
public:
    virtual ~Source() {}
    // Copies up to n bytes from off; the count copied.
    virtual size_t ReadSome(uint64_t off, void* dst, size_t n) = 0;
    bool Read(uint64_t off, void* dst, size_t n) { return ReadSome(off, dst, n) == n; }
};

class MemorySource : public Source {
public:
    MemorySource(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    size_t ReadSome(uint64_t off, void* dst, size_t n) override {
        if (!p_ || off >= n_) return 0;
        if (n > n_ - off) n = static_cast<size_t>(n_ - off);
        memcpy(dst, p_ + off, n);
        return n;
    }

private:
    const uint8_t* p_;
    size_t n_;
};

// Reads through a window of the file, so that walking a stream byte by byte
// costs no seek per byte.
class FileSource : public Source {
public:
    explicit FileSource(FILE* f) : f_(f), start_(0), have_(0) {}
    size_t ReadSome(uint64_t off, void* dst, size_t n) override {
        if (!f_ || off > 0x7fffffffu) return 0;
        if (n <= 16 && (off < start_ || off + n > start_ + have_)) Fill(off);
        if (off >= start_ && off + n <= start_ + have_) {
            memcpy(dst, buf_ + (off - start_), n);
            return n;
        }
        if (n <= 16 && off >= start_ && off < start_ + have_) {  // at the end of the file
            size_t k = static_cast<size_t>(start_ + have_ - off);
            memcpy(dst, buf_ + (off - start_), k);
            return k;
        }
        if (fseek(f_, static_cast<long>(off), SEEK_SET) != 0) return 0;
        return fread(dst, 1, n, f_);
    }

private:
    void Fill(uint64_t off) {
        have_ = 0;
        start_ = off;
        if (fseek(f_, static_cast<long>(off), SEEK_SET) != 0) return;
        have_ = fread(buf_, 1, sizeof buf_, f_);
    }
    FILE* f_;
    uint64_t start_;
    size_t have_;
    uint8_t buf_[65536];
};

uint32_t localBe16(const uint8_t* b) { return (uint32_t(b[0]) << 8) | b[1]; }
uint32_t localLe16(const uint8_t* b) { return (uint32_t(b[1]) << 8) | b[0]; }
uint32_t localBe32(const uint8_t* b) {
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}
uint32_t localLe32(const uint8_t* b) {
    return (uint32_t(b[3]) << 24) | (uint32_t(b[2]) << 16) | (uint32_t(b[1]) << 8) | b[0];
}

FXPictProbe localSize(int64_t w, int64_t h, int64_t* ow, int64_t* oh) {
    *ow = w;
    *oh = h;
    return FX_PROBE_SIZE;
}

// A window over the source for scanning long runs byte by byte.
class Window {
public:
    explicit Window(Source& s) : s_(s), base_(0), n_(0) {}
    // The bytes from pos to the end of the window (at least one), refilling
    // the window at pos when pos lies outside it; false at the end.
    bool Span(uint64_t pos, const uint8_t** p, size_t* avail) {
        if (pos < base_ || pos >= base_ + n_) {
            base_ = pos;
            n_ = s_.ReadSome(pos, buf_, sizeof buf_);
        }
        if (pos >= base_ + n_) return false;
        *p = buf_ + (pos - base_);
        *avail = static_cast<size_t>(base_ + n_ - pos);
        return true;
    }
    int At(uint64_t pos) {
        const uint8_t* p;
        size_t avail;
        return Span(pos, &p, &avail) ? *p : -1;
    }

private:
    Source& s_;
    uint64_t base_;
    size_t n_;
    uint8_t buf_[4096];
};

// The next marker as the JPEG decoder finds it: bytes other than 0xFF are
// skipped, fill bytes 0xFF too, and 0xFF 0x00 is no marker. In image data
// (inScan) the restart markers belong to the data as well. -1 at the end.
int localNextMarker(Window& win, uint64_t* pos, bool inScan) {
    for (;;) {
        for (;;) {
            const uint8_t* p;
            size_t avail;
            if (!win.Span(*pos, &p, &avail)) return -1;
            const uint8_t* ff = static_cast<const uint8_t*>(memchr(p, 0xFF, avail));
            if (ff) {
                *pos += static_cast<uint64_t>(ff - p) + 1;
                break;
            }
            *pos += avail;
        }
        int c;
        do {
            c = win.At(*pos);
            if (c < 0) return -1;
            ++*pos;
        } while (c == 0xFF);
        if (c == 0) continue;
        if (inScan && c >= 0xD0 && c <= 0xD7) continue;
        return c;
    }
}

// Walks every marker segment of the whole stream. Besides the size of the
// first frame header it finds segments whose length runs past the end of
// the data: DevIL's reader loops for ever skipping one that ends right after
// its length field, and none of them can be decoded anyway.
FXPictProbe localJpeg(Source& s, int64_t* w, int64_t* h) {
    uint64_t pos = 2;
    bool found = false, inScan = false;
    int64_t fw = 0, fh = 0;
    Window win(s);
    for (;;) {
        int m = localNextMarker(win, &pos, inScan);
        if (m < 0 || m == 0xD9) break;  // the end: the decoder sees the end of the image
        inScan = false;
        if (m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7)) continue;  // no length
        uint8_t seg[7];
        size_t got = s.ReadSome(pos, seg, 2);
        if (got < 2) return FX_PROBE_DAMAGED;
        uint32_t len = localBe16(seg);
        if (len < 2) break;  // the decoder refuses it
        uint8_t last;
        if (!s.Read(pos + len - 1, &last, 1)) return FX_PROBE_DAMAGED;
        bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (sof && !found && s.Read(pos, seg, 7)) {
            found = true;
            fh = localBe16(seg + 3);
            fw = localBe16(seg + 5);
        }
        pos += len;
        if (m == 0xDA) inScan = true;
    }
    if (!found) return FX_PROBE_UNKNOWN;
    return localSize(fw, fh, w, h);
}

// Walks the chunks up to the end of the image data. A chunk that runs past
// the end of the data makes the PNG reader inside DevIL read (and check)
// gigabytes that are not there; none of them can be decoded anyway. Chunks
// after the image data are not read by the decoder and are not checked.
FXPictProbe localPng(Source& s, int64_t* w, int64_t* h) {
    uint8_t b[8];
    if (!s.Read(16, b, 8)) return FX_PROBE_UNKNOWN;
    int64_t pw = localBe32(b), ph = localBe32(b + 4);
    uint64_t pos = 8;
    bool data = false;
    for (int i = 0; i < (1 << 20); i++) {
        if (s.ReadSome(pos, b, 8) < 8) return data ? localSize(pw, ph, w, h) : FX_PROBE_DAMAGED;
        uint32_t len = localBe32(b);
        bool idat = memcmp(b + 4, "IDAT", 4) == 0;
        if (data && !idat) break;
        if (idat) data = true;
        if (memcmp(b + 4, "IEND", 4) == 0) break;
        uint8_t last;
        if (len > 0x7fffffffu || !s.Read(pos + 8 + uint64_t(len) + 3, &last, 1)) return FX_PROBE_DAMAGED;
        pos += 12 + uint64_t(len);
    }
    return localSize(pw, ph, w, h);
}

// Skips a run of GIF data sub-blocks (each a length byte and that many
// bytes, ended by a zero length); false when the data ends inside them.
bool localGifBlocks(Source& s, uint64_t* pos) {
    for (int i = 0; i < (1 << 22); i++) {
        uint8_t n;
        if (!s.Read(*pos, &n, 1)) return false;
        *pos += 1 + uint64_t(n);
        if (n == 0) return true;
    }
    return false;
}

// Walks a GIF's blocks. The decoder inside DevIL writes each image where its
// descriptor puts it, without checking that it lies inside the screen it
// allocated: a frame that does not fit, a bad code size, or a stream cut
// inside a block is refused before the decoder sees it.
FXPictProbe localGif(Source& s, int64_t* w, int64_t* h) {
    uint8_t b[13];
    if (!s.Read(0, b, 13)) return FX_PROBE_DAMAGED;
    int64_t sw = localLe16(b + 6), sh = localLe16(b + 8);
    uint64_t pos = 13;
    if (b[10] & 0x80) pos += 3u << ((b[10] & 7) + 1);
    bool image = false;
    for (int i = 0; i < (1 << 16); i++) {
        uint8_t intro;
        if (!s.Read(pos, &intro, 1)) return image ? localSize(sw, sh, w, h) : FX_PROBE_DAMAGED;
        if (intro == 0x3B) break;
        if (intro == 0x21) {
            pos += 2;
            if (!localGifBlocks(s, &pos)) return FX_PROBE_DAMAGED;
            continue;
        }
        if (intro != 0x2C) return FX_PROBE_DAMAGED;
        uint8_t d[11];
        if (!s.Read(pos + 1, d, 9)) return FX_PROBE_DAMAGED;
        int64_t left = localLe16(d), top = localLe16(d + 2), iw = localLe16(d + 4), ih = localLe16(d + 6);
        if (iw < 1 || ih < 1 || left + iw > sw || top + ih > sh) return FX_PROBE_DAMAGED;
        pos += 10;
        if (d[8] & 0x80) pos += 3u << ((d[8] & 7) + 1);
        uint8_t code;
        if (!s.Read(pos, &code, 1) || code < 2 || code > 8) return FX_PROBE_DAMAGED;
        pos += 1;
        if (!localGifBlocks(s, &pos)) return FX_PROBE_DAMAGED;
        image = true;
    }
    if (!image) return FX_PROBE_DAMAGED;
    return localSize(sw, sh, w, h);
}

// DevIL's PNM reader copies each word of a header, and of a plain (ASCII)
// raster, into a 180-byte buffer and writes past its end on a longer one.
// Its words run up to a blank, a line feed or a '#' and take every other
// byte on the way (tabs and carriage returns too). Words and comments here
// stay far below that.
const int kPnmMaxWord = 20;
const int kPnmMaxComment = 160;

bool localPnmDelimiter(int c) { return c == ' ' || c == '\n' || c == '#'; }
bool localPnmBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Moves *pos from a '#' to the line feed ending the comment (or the end);
// false when the comment is too long.
bool localPnmComment(Window& win, uint64_t* pos) {
    for (int k = 0;; ++k, ++*pos) {
        int c = win.At(*pos);
        if (c < 0 || c == '\n') return true;
        if (k > kPnmMaxComment) return false;
    }
}

// Moves *pos over delimiters, comments and the next word, counting the
// word's bytes in *run; false on a word or comment that is too long, and
// at the end of a plain raster.
bool localPnmSkipWord(Window& win, uint64_t* pos, int* run) {
    for (;;) {
        int c = win.At(*pos);
        if (c < 0) return true;
        if (c == '#') {
            if (!localPnmComment(win, pos)) return false;
        } else if (localPnmDelimiter(c)) {
            if (*run > 0) return true;
            ++*pos;
        } else {
            if (++*run > kPnmMaxWord) return false;
            ++*pos;
        }
    }
}

// P1 to P6: the header must be decimal numbers, blanks and comments only,
// with a maxval of 1 to 65535 (bitmaps have none); a plain raster is
// walked to its end for the length of its words.
FXPictProbe localPnm(Source& s, int kind, int64_t* w, int64_t* h) {
    Window win(s);
    uint64_t pos = 2;
    int c = win.At(pos);
    if (c < 0) return FX_PROBE_DAMAGED;
    if (c != '#' && !localPnmBlank(c)) return FX_PROBE_MALFORMED;  // "P61": no magic
    const int need = kind == 1 || kind == 4 ? 2 : 3;
    int64_t v[3] = {0, 0, 0};
    int run = 2;  // the magic starts the first word
    for (int got = 0; got < need;) {
        c = win.At(pos);
        if (c < 0) return FX_PROBE_DAMAGED;
        if (c == '#') {
            if (!localPnmComment(win, &pos)) return FX_PROBE_MALFORMED;
            run = 0;
            continue;
        }
        bool digit = c >= '0' && c <= '9';
        if (!digit && !localPnmBlank(c)) return FX_PROBE_MALFORMED;  // a sign, a letter or a control byte
        ++pos;
        if (localPnmDelimiter(c)) {
            run = 0;
            continue;
        }
        if (++run > kPnmMaxWord) return FX_PROBE_MALFORMED;
        if (!digit) continue;
        // Values far beyond any limit are not grown further.
        v[got] = std::min<int64_t>(v[got] * 10 + (c - '0'), int64_t(1) << 40);
        int next = win.At(pos);
        if (next < '0' || next > '9') ++got;
    }
    if (need == 3 && (v[2] < 1 || v[2] > 65535)) return FX_PROBE_MALFORMED;
    // The last word runs on to its delimiter, into a binary raster if need
    // be; a plain raster is words to its end.
    if (!localPnmSkipWord(win, &pos, &run)) return FX_PROBE_MALFORMED;
    while (kind <= 3 && win.At(pos) >= 0) {
        run = 0;
        if (!localPnmSkipWord(win, &pos, &run)) return FX_PROBE_MALFORMED;
    }
    return localSize(v[0], v[1], w, h);
}

bool localTgaPlausible(const uint8_t* t) {
    uint8_t cmap = t[1], type = t[2], bpp = t[16];
    if (cmap > 1) return false;
    bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11 || type == 32 ||
                  type == 33;
    bool bppOk = bpp == 8 || bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32;
    return typeOk && bppOk;
}

FXPictProbe localProbe(Source& s, int64_t* w, int64_t* h) {
    uint8_t b[32];
    memset(b, 0, sizeof b);
    // Short data still gets the checks that fit in it.
    size_t have = s.ReadSome(0, b, sizeof b);
    if (have >= 2 && b[0] == 0xFF && b[1] == 0xD8) return localJpeg(s, w, h);
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (have >= 8 && memcmp(b, kPng, 8) == 0) {
        if (have < 24 || memcmp(b + 12, "IHDR", 4) != 0) return FX_PROBE_UNKNOWN;
        return localPng(s, w, h);
    }
    if (have >= 2 && b[0] == 'B' && b[1] == 'M') {
        if (have < 26) return FX_PROBE_UNKNOWN;
        uint32_t hdr = localLe32(b + 14);
        if (hdr == 12) return localSize(localLe16(b + 18), localLe16(b + 20), w, h);
        int64_t bw = static_cast<int32_t>(localLe32(b + 18));
        int64_t bh = static_cast<int32_t>(localLe32(b + 22));
        // A negative height marks a top-down picture.
        return localSize(bw, bh < 0 ? -bh : bh, w, h);
    }
    // The decoder takes the signature in any letter case ("GIF87A" too).
    if (have >= 6 && strncasecmp(reinterpret_cast<const char*>(b), "GIF8", 4) == 0 && (b[4] == '7' || b[4] == '9') &&
        (b[5] == 'a' || b[5] == 'A'))
        return localGif(s, w, h);
    if (have >= 22 && memcmp(b, "8BPS", 4) == 0) return localSize(localBe32(b + 18), localBe32(b + 14), w, h);
    if (have >= 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6') return localPnm(s, b[1] - '0', w, h);
    if (have >= 12 && b[0] == 0x0A && (b[1] == 0 || (b[1] >= 2 && b[1] <= 5)) && b[2] <= 1) {
        int64_t x0 = localLe16(b + 4), y0 = localLe16(b + 6), x1 = localLe16(b + 8), y1 = localLe16(b + 10);
        return localSize(x1 - x0 + 1, y1 - y0 + 1, w, h);
    }
    if (have >= 18 && localTgaPlausible(b)) {
        if (!fxTgaMapSound(b)) return FX_PROBE_MALFORMED;
        return localSize(localLe16(b + 12), localLe16(b + 14), w, h);
    }
    return FX_PROBE_UNKNOWN;
}

}  // namespace

bool fxTgaMapSound(const uint8_t* head) {
    const uint8_t mapType = head[1], kind = head[2], bits = head[7];
    if (mapType > 1 || ((kind == 1 || kind == 9) && mapType != 1)) return false;
    return mapType == 0 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

FXPictProbe fxProbePictBytes(const uint8_t* p, size_t n, int64_t* w, int64_t* h) {
    int64_t dw = 0, dh = 0;
    if (!w) w = &dw;
    if (!h) h = &dh;
    MemorySource s(p, n);
    return localProbe(s, w, h);
}

FXPictProbe fxProbePictFile(FILE* f, int64_t* w, int64_t* h) {
    int64_t dw = 0, dh = 0;
    if (!w) w = &dw;
    if (!h) h = &dh;
    FileSource s(f);
    return localProbe(s, w, h);
}
