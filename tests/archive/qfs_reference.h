#pragma once
// Encoders and a decoder to hold the codec to, for tests, fuzz targets and
// benchmarks only.
//
// PlainQfsCompress is the format's encoder written out as plainly as it is
// described: tables cleared for every call, every candidate scanned byte by
// byte. BaselineQfsCompress and BaselineQfsDecompress are the codec as it
// stood before its search and its copies were made faster, kept verbatim so
// that the faster code can be compared with them byte for byte, warning for
// warning, and timed against them in the same run.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "archive/qfs.h"
#include "platform/message.h"
#include "platform/text.h"

namespace kvref {

// The encoder exactly as the format's reference describes it: tables of -1 at
// the start of every call, a greedy pass, at most 50 candidates, window
// 131072. Slow and plain on purpose; the real encoder must match it byte for
// byte.
inline std::vector<std::uint8_t> PlainQfsCompress(const std::vector<std::uint8_t>& in) {
    const std::size_t n = in.size();
    // The tables' memory is kept between calls: allocating and faulting in
    // 768 KB afresh was two fifths of a fuzzed round trip. Every entry a
    // call can read is filled with 0xFF bytes (-1) before it starts, as in
    // fresh tables: all of the head table, and the chain slots of positions
    // below n (a slot is read only for a position this call entered). One
    // memset each, as the sanitizers check a fill element by element.
    thread_local std::vector<std::int32_t> head(256 * 256), chain(0x20000);
    std::memset(head.data(), 0xFF, head.size() * sizeof(std::int32_t));
    std::memset(chain.data(), 0xFF, std::min(n, chain.size()) * sizeof(std::int32_t));
    std::vector<std::uint8_t> out = {0x10, 0xFB, static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                 static_cast<std::uint8_t>(n)};
    std::size_t lit = 0;
    auto flushRuns = [&](std::size_t upto) {
        while (upto - lit >= 4) {
            std::size_t run = std::min<std::size_t>((upto - lit) / 4 * 4, 112);
            out.push_back(static_cast<std::uint8_t>(0xE0 + (run / 4 - 1)));
            out.insert(out.end(), in.begin() + lit, in.begin() + lit + run);
            lit += run;
        }
    };
    for (std::size_t i = 0; n >= 2 && i <= n - 2; ++i) {
        const std::size_t pair = in[i] * 256u + in[i + 1];
        const std::int32_t prev = head[pair];
        chain[i % 0x20000] = prev;
        head[pair] = static_cast<std::int32_t>(i);
        if (i < lit) continue;
        std::size_t bestLen = 0, bestDist = 0;
        int compared = 0;
        for (std::int32_t c = prev; c >= 0; c = chain[static_cast<std::size_t>(c) % 0x20000]) {
            if (i - static_cast<std::size_t>(c) >= 0x20000 || compared == 50) break;
            std::size_t len = 0;
            while (len < 1028 && i + len < n && in[i + len] == in[static_cast<std::size_t>(c) + len]) ++len;
            ++compared;
            if (len > bestLen) {
                bestLen = len;
                bestDist = i - static_cast<std::size_t>(c);
            }
        }
        if (bestLen < 3 || (bestLen == 3 && bestDist > 1024) || (bestLen == 4 && bestDist > 16384)) continue;
        flushRuns(i);
        const std::size_t m = i - lit, d = bestDist - 1, L = bestLen;
        if (L <= 10 && bestDist <= 1024) {
            out.push_back(static_cast<std::uint8_t>(((d >> 8) << 5) + ((L - 3) << 2) + m));
            out.push_back(static_cast<std::uint8_t>(d & 0xFF));
        } else if (L <= 67 && bestDist <= 16384) {
            out.push_back(static_cast<std::uint8_t>(0x80 + (L - 4)));
            out.push_back(static_cast<std::uint8_t>((m << 6) + (d >> 8)));
            out.push_back(static_cast<std::uint8_t>(d & 0xFF));
        } else {
            out.push_back(static_cast<std::uint8_t>(0xC0 + ((d >> 16) << 4) + (((L - 5) >> 8) << 2) + m));
            out.push_back(static_cast<std::uint8_t>((d >> 8) & 0xFF));
            out.push_back(static_cast<std::uint8_t>(d & 0xFF));
            out.push_back(static_cast<std::uint8_t>((L - 5) & 0xFF));
        }
        out.insert(out.end(), in.begin() + lit, in.begin() + i);
        lit = i + L;
    }
    flushRuns(n);
    out.push_back(static_cast<std::uint8_t>(0xFC + (n - lit)));
    out.insert(out.end(), in.begin() + lit, in.end());
    return out;
}

inline std::optional<std::vector<std::uint8_t>> BaselineQfsDecompress(const std::uint8_t* stream, std::size_t& length) {
    const std::size_t streamLength = length;
    if (stream == nullptr || streamLength < 5) return std::nullopt;
    const std::size_t size = (static_cast<std::size_t>(stream[2]) << 16) | (static_cast<std::size_t>(stream[3]) << 8) | stream[4];
    length = size;

    std::vector<std::uint8_t> out;
    try {
        out.assign(size, 0);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(L"Insufficient memory.");
        return std::nullopt;
    }

    std::size_t in = (stream[0] & 1) ? 8 : 5;
    std::size_t written = 0;
    std::uint8_t* dst = out.data();

    // Copies up to n literals; false when the stream or the output ran out first.
    auto literals = [&](std::size_t n) {
        std::size_t can = std::min({n, streamLength - std::min(in, streamLength), size - written});
        if (can) std::memcpy(dst + written, stream + in, can);
        in += can;
        written += can;
        return can == n;
    };
    // A match copies byte by byte so that it may overlap what it produces.
    auto match = [&](std::size_t len, std::size_t dist) {
        if (dist > written) return false;
        std::size_t can = std::min(len, size - written);
        const std::uint8_t* from = dst + written - dist;
        if (dist >= can) {
            std::memcpy(dst + written, from, can);  // source and target do not overlap
        } else {
            for (std::size_t k = 0; k < can; ++k) dst[written + k] = from[k];
        }
        written += can;
        return can == len;
    };

    while (in < streamLength) {
        const std::uint8_t b0 = stream[in];
        if (b0 >= 0xFC) {
            ++in;
            if (written < size) literals(b0 & 3);
            break;
        }
        if (b0 >= 0xE0) {
            ++in;
            if (!literals(((b0 & 0x1Fu) << 2) + 4)) break;
            continue;
        }
        std::size_t codeLen = b0 < 0x80 ? 2 : b0 < 0xC0 ? 3 : 4;
        if (streamLength - in < codeLen) break;
        const std::uint8_t b1 = stream[in + 1];
        std::size_t lit, len, dist;
        if (b0 < 0x80) {
            lit = b0 & 3;
            len = ((b0 >> 2) & 7) + 3;
            dist = (static_cast<std::size_t>(b0 & 0x60) << 3) + b1 + 1;
        } else if (b0 < 0xC0) {
            const std::uint8_t b2 = stream[in + 2];
            lit = b1 >> 6;
            len = (b0 & 0x3F) + 4;
            dist = (static_cast<std::size_t>(b1 & 0x3F) << 8) + b2 + 1;
        } else {
            const std::uint8_t b2 = stream[in + 2], b3 = stream[in + 3];
            lit = b0 & 3;
            len = ((static_cast<std::size_t>(b0 >> 2) & 3) << 8) + b3 + 5;
            dist = (static_cast<std::size_t>(b0 & 0x10) << 12) + (static_cast<std::size_t>(b1) << 8) + b2 + 1;
        }
        in += codeLen;
        if (!literals(lit) || !match(len, dist)) break;
    }

    if (written != size)
        AfxMessageBox(kv::FormatW(L"Warning: bad length ? %d instead of %dn", static_cast<int>(written), static_cast<int>(size)));
    return out;
}

namespace detail {

// The search tables outlive a call so that small entries do not pay for
// clearing 768 KB each time. A position p of a call is stored as p + base,
// where base grows past every value an earlier call stored; anything below the
// current base reads as "no position", exactly as freshly cleared tables would.
struct BaselineQfsTables {
    static constexpr std::size_t kWindow = 0x20000;
    std::unique_ptr<std::uint32_t[]> head = std::make_unique<std::uint32_t[]>(256 * 256);
    std::unique_ptr<std::uint32_t[]> chain = std::make_unique<std::uint32_t[]>(kWindow);
    std::uint32_t base = 1;

    void Begin(std::size_t n) {
        if (static_cast<std::uint64_t>(base) + n + 1 >= 0xFFFFFFFFu) {
            std::fill_n(head.get(), 256 * 256, 0u);
            std::fill_n(chain.get(), kWindow, 0u);
            base = 1;
        }
    }
    void End(std::size_t n) { base += static_cast<std::uint32_t>(n) + 1; }
};

inline BaselineQfsTables* BaselineTables() {
    thread_local std::unique_ptr<BaselineQfsTables> tables;
    if (!tables) tables = std::make_unique<BaselineQfsTables>();
    return tables.get();
}

}  // namespace detail

using detail::BaselineQfsTables;
using detail::BaselineTables;

inline void BaselineQfsCompress(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t capacity, std::int64_t& length) {
    length = -1;
    if (dst == nullptr || n > kQfsMaxInput) return;
    BaselineQfsTables* t;
    try {
        t = BaselineTables();
    } catch (const std::bad_alloc&) {
        return;
    }
    constexpr std::size_t kWindow = BaselineQfsTables::kWindow;
    constexpr std::size_t kMask = kWindow - 1;
    constexpr std::size_t kMaxLen = 1028;
    constexpr int kMaxCandidates = 50;

    t->Begin(n);
    const std::uint32_t base = t->base;
    std::uint32_t* head = t->head.get();
    std::uint32_t* chain = t->chain.get();

    std::size_t out = 0;
    bool overflow = false;
    auto room = [&](std::size_t k) {
        if (capacity - out < k) overflow = true;
        return !overflow;
    };
    auto flushRuns = [&](std::size_t& lit, std::size_t upto) {
        while (upto - lit >= 4) {
            std::size_t run = std::min<std::size_t>((upto - lit) & ~std::size_t{3}, 112);
            if (!room(run + 1)) return;
            dst[out++] = static_cast<std::uint8_t>(0xE0 + (run / 4 - 1));
            std::memcpy(dst + out, src + lit, run);
            out += run;
            lit += run;
        }
    };

    if (!room(5)) {
        t->End(0);
        return;
    }
    dst[out++] = 0x10;
    dst[out++] = 0xFB;
    dst[out++] = static_cast<std::uint8_t>(n >> 16);
    dst[out++] = static_cast<std::uint8_t>(n >> 8);
    dst[out++] = static_cast<std::uint8_t>(n);

    std::size_t lit = 0;
    for (std::size_t i = 0; i + 1 < n && !overflow; ++i) {
        const std::size_t pair = (static_cast<std::size_t>(src[i]) << 8) | src[i + 1];
        const std::uint32_t prevStored = head[pair];
        chain[i & kMask] = prevStored;
        head[pair] = static_cast<std::uint32_t>(i) + base;
        if (i < lit) continue;

        std::size_t bestLen = 0, bestDist = 0;
        const std::size_t maxLen = std::min(kMaxLen, n - i);
        std::uint32_t stored = prevStored;
        for (int tries = 0; stored >= base && tries < kMaxCandidates && bestLen < maxLen; ++tries) {
            const std::size_t c = stored - base;
            if (i - c >= kWindow) break;
            // Only a candidate that also matches at bestLen can be longer; the
            // others are passed over without a scan (they still count as
            // compared), so the choice is the one the full scan would make.
            if (src[c + bestLen] == src[i + bestLen]) {
                std::size_t len = 0;
                while (len < maxLen && src[i + len] == src[c + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestDist = i - c;
                }
            }
            stored = chain[c & kMask];
        }

        if (bestLen < 3 || (bestLen == 3 && bestDist > 1024) || (bestLen == 4 && bestDist > 16384)) continue;

        flushRuns(lit, i);
        const std::size_t m = i - lit;
        const std::size_t d = bestDist - 1, L = bestLen;
        if (L <= 10 && bestDist <= 1024) {
            if (!room(2 + m)) break;
            dst[out++] = static_cast<std::uint8_t>(((d >> 8) << 5) + ((L - 3) << 2) + m);
            dst[out++] = static_cast<std::uint8_t>(d & 0xFF);
        } else if (L <= 67 && bestDist <= 16384) {
            if (!room(3 + m)) break;
            dst[out++] = static_cast<std::uint8_t>(0x80 + (L - 4));
            dst[out++] = static_cast<std::uint8_t>((m << 6) + (d >> 8));
            dst[out++] = static_cast<std::uint8_t>(d & 0xFF);
        } else {
            if (!room(4 + m)) break;
            dst[out++] = static_cast<std::uint8_t>(0xC0 + ((d >> 16) << 4) + (((L - 5) >> 8) << 2) + m);
            dst[out++] = static_cast<std::uint8_t>((d >> 8) & 0xFF);
            dst[out++] = static_cast<std::uint8_t>(d & 0xFF);
            dst[out++] = static_cast<std::uint8_t>((L - 5) & 0xFF);
        }
        std::memcpy(dst + out, src + lit, m);
        out += m;
        lit = i + L;
    }
    t->End(n);
    if (overflow) return;

    flushRuns(lit, n);
    if (overflow) return;
    const std::size_t r = n - lit;
    if (!room(1 + r)) return;
    dst[out++] = static_cast<std::uint8_t>(0xFC + r);
    // An empty input may come without any buffer at all.
    if (r) std::memcpy(dst + out, src + lit, r);
    out += r;
    lit += r;
    if (lit != n) return;
    length = static_cast<std::int64_t>(out);
}

}  // namespace kvref
