#include "gifdec.h"

#include <cstring>

#include "image/picthead.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n, pos;
    bool Byte(uint8_t* b) {
        if (pos >= n) return false;
        *b = p[pos++];
        return true;
    }
};

int Le16(const uint8_t* b) { return b[0] | b[1] << 8; }

// The image data's sub-blocks joined into one run of bytes.
bool localBlocks(Reader* r, std::vector<uint8_t>* out) {
    for (;;) {
        uint8_t len;
        if (!r->Byte(&len)) return false;
        if (len == 0) return true;
        if (len > r->n - r->pos) return false;
        out->insert(out->end(), r->p + r->pos, r->p + r->pos + len);
        r->pos += len;
    }
}

// Variable-length LZW codes, least significant bit first, into palette
// indices. Every code must name an existing entry (or the next one).
bool localLzw(const std::vector<uint8_t>& data, int minSize, size_t want, std::vector<uint8_t>* out) {
    const int clear = 1 << minSize, end = clear + 1;
    uint16_t prefix[4096];
    uint8_t suffix[4096], first[4096];
    for (int i = 0; i < clear; ++i) {
        prefix[i] = 0xffff;
        suffix[i] = static_cast<uint8_t>(i);
        first[i] = static_cast<uint8_t>(i);
    }
    int size = minSize + 1, next = clear + 2, prev = -1;
    uint32_t bits = 0;
    int nbits = 0;
    size_t at = 0;
    uint8_t stack[4096];
    out->clear();
    out->reserve(want);
    while (out->size() < want) {
        while (nbits < size) {
            if (at >= data.size()) return false;  // the stream ends before the picture
            bits |= static_cast<uint32_t>(data[at++]) << nbits;
            nbits += 8;
        }
        int code = static_cast<int>(bits & ((1u << size) - 1));
        bits >>= size;
        nbits -= size;
        if (code == clear) {
            size = minSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end) break;
        int emit;
        if (code < next && (code < clear || code > end)) {
            emit = code;
        } else if (code == next && prev >= 0) {
            emit = prev;  // the entry being made: prev's string plus its own first byte
        } else {
            return false;
        }
        int k = 0;
        for (int c = emit; c != 0xffff; c = prefix[c]) {
            if (k >= 4096) return false;
            stack[k++] = suffix[c];
        }
        if (code == next) {
            // Shift in the first byte of prev's string at the end.
            if (k >= 4095) return false;
            memmove(stack + 1, stack, static_cast<size_t>(k));
            stack[0] = first[prev];
            ++k;
        }
        while (k > 0 && out->size() < want) out->push_back(stack[--k]);
        if (prev >= 0 && next < 4096) {
            prefix[next] = static_cast<uint16_t>(prev);
            suffix[next] = first[code == next ? prev : code];
            first[next] = first[prev];
            ++next;
            if (next == (1 << size) && size < 12) ++size;
        }
        prev = code;
    }
    return out->size() == want;
}

}  // namespace

bool fxDecodeGif(const uint8_t* p, size_t n, std::vector<uint32_t>* rgba, int* w, int* h) {
    Reader r{p, n, 0};
    if (n < 13 || memcmp(p, "GIF", 3) != 0) return false;
    const int sw = Le16(p + 6), sh = Le16(p + 8);
    if (!fxPictSizeAllowed(sw, sh)) return false;
    r.pos = 13;
    uint32_t global[256] = {}, local[256];
    int globalCount = 0;
    if (p[10] & 0x80) {
        globalCount = 2 << (p[10] & 7);
        if (static_cast<size_t>(globalCount) * 3 > n - r.pos) return false;
        for (int i = 0; i < globalCount; ++i, r.pos += 3)
            global[i] = 0xff000000u | p[r.pos] | p[r.pos + 1] << 8 | static_cast<uint32_t>(p[r.pos + 2]) << 16;
    }
    int transparent = -1;
    for (int guard = 0; guard < 65536; ++guard) {
        uint8_t intro;
        if (!r.Byte(&intro) || intro == 0x3B) return false;  // no frame at all
        if (intro == 0x21) {
            uint8_t label;
            if (!r.Byte(&label)) return false;
            // Graphic control: its flags and transparent index.
            if (label == 0xF9 && n - r.pos >= 6 && p[r.pos] == 4 && (p[r.pos + 1] & 1)) transparent = p[r.pos + 4];
            std::vector<uint8_t> skip;
            if (!localBlocks(&r, &skip)) return false;
            continue;
        }
        if (intro != 0x2C || n - r.pos < 9) return false;
        const uint8_t* d = p + r.pos;
        const int left = Le16(d), top = Le16(d + 2), fw = Le16(d + 4), fh = Le16(d + 6);
        const uint8_t flags = d[8];
        r.pos += 9;
        if (fw < 1 || fh < 1 || left + fw > sw || top + fh > sh) return false;
        const uint32_t* palette = global;
        int count = globalCount;
        if (flags & 0x80) {
            count = 2 << (flags & 7);
            if (static_cast<size_t>(count) * 3 > n - r.pos) return false;
            for (int i = 0; i < count; ++i, r.pos += 3)
                local[i] = 0xff000000u | p[r.pos] | p[r.pos + 1] << 8 | static_cast<uint32_t>(p[r.pos + 2]) << 16;
            palette = local;
        }
        if (count == 0) return false;
        uint8_t minSize;
        if (!r.Byte(&minSize) || minSize < 2 || minSize > 8) return false;
        std::vector<uint8_t> data, idx;
        if (!localBlocks(&r, &data)) return false;
        if (!localLzw(data, minSize, static_cast<size_t>(fw) * fh, &idx)) return false;
        rgba->assign(static_cast<size_t>(sw) * sh, 0u);
        // Interlaced frames store rows in four passes.
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        std::vector<int> order;
        if (flags & 0x40) {
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < fh; y += kStep[pass]) order.push_back(y);
        } else {
            for (int y = 0; y < fh; ++y) order.push_back(y);
        }
        for (int row = 0; row < fh; ++row) {
            uint32_t* dst = rgba->data() + static_cast<size_t>(top + order[row]) * sw + left;
            const uint8_t* src = idx.data() + static_cast<size_t>(row) * fw;
            for (int x = 0; x < fw; ++x) {
                int i = src[x];
                // An index past the palette is damage, not a colour.
                if (i >= count) return false;
                dst[x] = i == transparent ? 0u : palette[i];
            }
        }
        *w = sw;
        *h = sh;
        return true;
    }
    return false;
}
