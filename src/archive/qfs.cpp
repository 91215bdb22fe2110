#include "archive/qfs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "platform/message.h"
#include "platform/text.h"
#include "s3d/allocation_seam.h"

namespace {

inline void Copy8(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 8); }
inline void Copy16(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 16); }

// Repeats `len` bytes from `dist` back at `op`, as the format's byte-by-byte
// copy would, in strides that may write up to 15 bytes past the match; the
// caller leaves that much room. No stride reads a byte that the copy has not
// written yet: 8-byte strides need a distance of 8 or more, 16-byte ones 16,
// and the 16-byte strides of a long match 32 (one that half overlaps the
// stride before it waits for that store). Shorter distances repeat a period
// of the pattern that is 8 bytes or longer. The decoder's loop takes the
// matches of models, at most 16 bytes and no longer than their distance, in
// one stride of its own and leaves only the others here; out of line, so that
// this code's registers do not crowd the loop's.
[[gnu::noinline]] void CopyMatch(std::uint8_t* op, std::size_t dist, std::size_t len) {
    const std::uint8_t* from = op - dist;
    if (dist >= 16) [[likely]] {
        Copy16(op, from);
        if (len > 16) [[unlikely]] {
            if (dist >= 32) {
                for (std::size_t k = 16; k < len; k += 16) Copy16(op + k, from + k);
            } else {
                for (std::size_t k = 16; k < len; k += 8) Copy8(op + k, from + k);
            }
        }
    } else if (dist >= 8) {
        // Both 8-byte halves from the bytes before `op` alone: the second
        // is the pattern's last dist - 8 bytes followed by its first ones.
        // Reading the first half back would wait for its store.
        std::uint64_t first, last;
        std::memcpy(&first, from, 8);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&last, op - 8, 8);
            const unsigned tail = static_cast<unsigned>(dist - 8);
            const std::uint64_t second = ((last >> (8 * (8 - tail) - 8)) >> 8) | (first << (8 * tail));
            std::memcpy(op, &first, 8);
            std::memcpy(op + 8, &second, 8);
        } else {
            std::memcpy(op, &first, 8);
            Copy8(op + 8, from + 8);
        }
        for (std::size_t k = 16; k < len; k += 8) Copy8(op + k, from + k);
    } else if (dist == 1) {
        std::memset(op, *from, len);
    } else {
        // The first bytes one at a time up to a whole number of periods of 8
        // bytes or more, then strides from that many bytes back.
        static constexpr std::uint8_t kPeriod[8] = {0, 0, 8, 9, 8, 10, 12, 14};
        const std::size_t period = kPeriod[dist];
        const std::size_t head = std::min(len, period);
        for (std::size_t k = 0; k < head; ++k) op[k] = from[k];
        for (std::size_t k = period; k < len; k += 8) Copy8(op + k, op + k - period);
    }
}

// A match no longer than its distance nor than 16 bytes: one stride from
// `dist` back, whose first `dist` bytes, all the match needs, are written
// already, whatever the rest holds. Loaded whole before it is stored, since
// the two may overlap.
inline void Stride16(std::uint8_t* op, std::size_t dist) {
    std::uint8_t stride[16];
    std::memcpy(stride, op - dist, 16);
    std::memcpy(op, stride, 16);
}

// What a stride may write past the bytes it was asked for.
constexpr std::size_t kSlack = 16;

// Where a decode stands: the next stream byte and the output bytes written.
struct DecodeState {
    std::size_t in, written;
    bool done;  // the end code was taken, or the stream is damaged here
};

// One code taken with every bound checked: it copies only what the stream
// holds and the output has room for, and a match only from inside what is
// written. Serves the codes near either end of the buffers and any code the
// strided path leaves; out of line, like CopyMatch, for the loop's registers.
[[gnu::noinline]] DecodeState CarefulCode(const std::uint8_t* stream, std::size_t streamLength, std::uint8_t* dst, std::size_t size, DecodeState st) {
    std::size_t in = st.in, written = st.written;
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
    auto stop = [&] { return DecodeState{in, written, true}; };

    if (in >= streamLength) return stop();
    const std::uint8_t b0 = stream[in];
    if (b0 >= 0xFC) {
        ++in;
        if (written < size) literals(b0 & 3);
        return stop();
    }
    if (b0 >= 0xE0) {
        ++in;
        if (!literals(((b0 & 0x1Fu) << 2) + 4)) return stop();
        return {in, written, false};
    }
    const std::size_t codeLen = b0 < 0x80 ? 2 : b0 < 0xC0 ? 3 : 4;
    if (streamLength - in < codeLen) return stop();
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
    if (!literals(lit) || !match(len, dist)) return stop();
    return {in, written, false};
}

}  // namespace

std::optional<QfsBytes> QfsDecompress(const std::uint8_t* stream, std::size_t& length) {
    const std::size_t streamLength = length;
    if (stream == nullptr || streamLength < 5) return std::nullopt;
    const std::size_t size = (static_cast<std::size_t>(stream[2]) << 16) | (static_cast<std::size_t>(stream[3]) << 8) | stream[4];
    length = size;

    QfsBytes out;
    try {
        kv::AllocationSeam::Count();
        out.resize(size);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(L"Insufficient memory.");
        return std::nullopt;
    }

    std::size_t in = (stream[0] & 1) ? 8 : 5;
    std::size_t written = 0;
    std::uint8_t* const dst = out.data();

    // The last stream byte at which a code, its literals and a 4-byte stride
    // of them lie inside the stream (none past the header in a stream of
    // fewer than 8 bytes), and for each match form the last output position
    // with room for its longest match, its literals and a stride's slack
    // (signed, so that a short output has none).
    const std::uint8_t* const ipLast = stream + std::max<std::size_t>(streamLength, 8) - 8;
    const std::ptrdiff_t outLast2 = static_cast<std::ptrdiff_t>(size) - static_cast<std::ptrdiff_t>(3 + 10 + kSlack);
    const std::ptrdiff_t outLast3 = static_cast<std::ptrdiff_t>(size) - static_cast<std::ptrdiff_t>(3 + 67 + kSlack);

    for (;;) {
        // Far from both ends a code is taken whole: its code bytes and
        // literals are read as one stride inside the stream, its copies may
        // write a stride's slack past their end because the output has room
        // for it, and its distance lies inside what is written. Any other
        // code (the end code, one near either end, a match reaching before
        // the output) is taken carefully. Each form has its own path, so
        // that each checks against its own longest match and the short ones
        // copy in one stride without testing their length. The next code is
        // found from a pointer, not from an index into the stream: finding
        // it is the chain every code waits on, and the pointer saves an
        // addition on it.
        const std::uint8_t* p = stream + in;
        while (p <= ipLast) {
            const std::size_t b0 = p[0];
            if (b0 < 0x80) {
                if (static_cast<std::ptrdiff_t>(written) > outLast2) break;
                const std::size_t lit = b0 & 3;
                const std::size_t len = ((b0 >> 2) & 7) + 3;
                const std::size_t dist = ((b0 & 0x60) << 3) + p[1] + 1;
                if (dist > written + lit) break;
                std::memcpy(dst + written, p + 2, 4);
                p += 2 + lit;
                written += lit;
                if (len <= dist) [[likely]] Stride16(dst + written, dist);
                else CopyMatch(dst + written, dist, len);
                written += len;
                continue;
            }
            std::size_t codeLen, lit, len, dist;
            if (b0 < 0xC0) {
                if (static_cast<std::ptrdiff_t>(written) > outLast3) break;
                const std::size_t b1 = p[1];
                lit = b1 >> 6;
                len = (b0 & 0x3F) + 4;
                dist = ((b1 & 0x3F) << 8) + p[2] + 1;
                if (dist > written + lit) break;
                std::memcpy(dst + written, p + 3, 4);
                p += 3 + lit;
                written += lit;
                if (len <= std::min<std::size_t>(dist, 16)) [[likely]] Stride16(dst + written, dist);
                else CopyMatch(dst + written, dist, len);
                written += len;
                continue;
            }
            if (b0 >= 0xE0) {
                if (b0 >= 0xFC) break;
                const std::size_t run = ((b0 & 0x1Fu) << 2) + 4;
                if (static_cast<std::size_t>(stream + streamLength - p) <= run + kSlack || size - written < run + kSlack) break;
                Copy16(dst + written, p + 1);
                for (std::size_t k = 16; k < run; k += 16) Copy16(dst + written + k, p + 1 + k);
                p += 1 + run;
                written += run;
                continue;
            }
            codeLen = 4;
            lit = b0 & 3;
            len = (((b0 >> 2) & 3) << 8) + p[3] + 5;
            dist = ((b0 & 0x10) << 12) + (static_cast<std::size_t>(p[1]) << 8) + p[2] + 1;
            if (size - written < lit + len + kSlack || dist > written + lit) break;
            std::memcpy(dst + written, p + codeLen, 4);
            p += codeLen + lit;
            written += lit;
            CopyMatch(dst + written, dist, len);
            written += len;
        }
        in = static_cast<std::size_t>(p - stream);
        const DecodeState st = CarefulCode(stream, streamLength, dst, size, {in, written, false});
        in = st.in;
        written = st.written;
        if (st.done) break;
    }

    if (written != size) {
        // The strides may have left bytes past the last one written; what a
        // short stream leaves unwritten reads as zero.
        std::memset(dst + written, 0, size - written);
        AfxMessageBox(kv::FormatW(L"Warning: bad length ? %d instead of %dn", static_cast<int>(written), static_cast<int>(size)));
    }
    return out;
}

namespace {

constexpr std::size_t kWindow = 0x20000;  // positions a match may reach back
constexpr std::size_t kMask = kWindow - 1;
constexpr std::size_t kMaxLen = 1028;
constexpr std::uint32_t kMaxCandidates = 50;
constexpr unsigned kQuadBits = 16;
// A walk of the four-byte chain that meets more hash collisions than this
// hands the position to the plain walk, so that no input makes it slow.
constexpr int kMaxCollisions = 24;

inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline std::uint32_t QuadHash(std::uint32_t quad) { return (quad * 2654435761u) >> (32 - kQuadBits); }

// The number of leading bytes at which a and b agree, at most `limit`.
inline std::size_t MatchLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
    std::size_t len = 0;
    while (len + 8 <= limit) {
        const std::uint64_t x = Load64(a + len) ^ Load64(b + len);
        if (x) {
            if constexpr (std::endian::native == std::endian::little) return len + (static_cast<std::size_t>(std::countr_zero(x)) >> 3);
            else return len + (static_cast<std::size_t>(std::countl_zero(x)) >> 3);
        }
        len += 8;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
}

// The search tables outlive a call so that small entries do not pay for
// clearing them each time. A position p of a call is stored as p + base,
// where base grows past every value an earlier call stored; anything below the
// current base reads as "no position", exactly as freshly cleared tables would.
//
// Besides the pair table and its chain, which the search is defined by, each
// position keeps its rank among the positions of its pair (the pair's running
// count; only differences between positions of one call are ever used) and a
// chain of the positions whose first four bytes hash alike.
struct PairSlot {
    std::uint32_t head;   // latest position with this pair
    std::uint32_t count;  // positions with this pair entered so far
};
struct QuadLink {
    std::uint32_t next;  // previous position whose four bytes hash alike
    std::uint32_t rank;  // the pair's count when this position was entered
};

struct QfsTables {
    std::unique_ptr<PairSlot[]> pairs = std::make_unique<PairSlot[]>(256 * 256);
    std::unique_ptr<std::uint32_t[]> chain = std::make_unique<std::uint32_t[]>(kWindow);
    std::unique_ptr<std::uint32_t[]> quadHead = std::make_unique<std::uint32_t[]>(std::size_t{1} << kQuadBits);
    std::unique_ptr<QuadLink[]> quadChain = std::make_unique<QuadLink[]>(kWindow);
    std::uint32_t base = 1;

    void Begin(std::size_t n) {
        if (static_cast<std::uint64_t>(base) + n + 1 >= 0xFFFFFFFFu) {
            std::fill_n(pairs.get(), 256 * 256, PairSlot{});
            std::fill_n(chain.get(), kWindow, 0u);
            std::fill_n(quadHead.get(), std::size_t{1} << kQuadBits, 0u);
            std::fill_n(quadChain.get(), kWindow, QuadLink{});
            base = 1;
        }
    }
    void End(std::size_t n) { base += static_cast<std::uint32_t>(n) + 1; }
};

QfsTables* Tables() {
    thread_local std::unique_ptr<QfsTables> tables;
    if (!tables) tables = std::make_unique<QfsTables>();
    return tables.get();
}

struct Match {
    std::size_t length = 0, distance = 0;
};

// The search as the format defines it: the pair chain from the latest
// position with this pair, at most 50 candidates, all inside the window; the
// longest wins, the nearest among equals. A candidate that does not agree at
// the best length so far cannot beat it and is passed over without a scan.
inline Match PlainSearch(const std::uint8_t* src, std::size_t i, std::size_t maxLen, std::uint32_t stored,
                         const std::uint32_t* chain, std::uint32_t base) {
    Match best;
    for (std::uint32_t tries = 0; stored >= base && tries < kMaxCandidates && best.length < maxLen; ++tries) {
        const std::size_t c = stored - base;
        if (i - c >= kWindow) break;
        if (src[c + best.length] == src[i + best.length]) {
            const std::size_t len = MatchLength(src + c, src + i, maxLen);
            if (len > best.length) best = {len, i - c};
        }
        stored = chain[c & kMask];
    }
    return best;
}

}  // namespace

void QfsCompress(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t capacity, std::int64_t& length) {
    length = -1;
    if (dst == nullptr || n > kQfsMaxInput) return;
    QfsTables* t;
    try {
        t = Tables();
    } catch (const std::bad_alloc&) {
        return;
    }

    t->Begin(n);
    const std::uint32_t base = t->base;
    PairSlot* const pairs = t->pairs.get();
    std::uint32_t* const chain = t->chain.get();
    std::uint32_t* const quadHead = t->quadHead.get();
    QuadLink* const quadChain = t->quadChain.get();

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
        PairSlot& slot = pairs[pair];
        const std::uint32_t prevStored = slot.head;
        const std::uint32_t myRank = slot.count++;
        slot.head = static_cast<std::uint32_t>(i) + base;
        chain[i & kMask] = prevStored;
        const bool quad = i + 4 <= n;
        std::uint32_t quadStored = 0;
        std::uint32_t key = 0;
        if (quad) {
            key = Load32(src + i);
            const std::uint32_t h = QuadHash(key);
            quadStored = quadHead[h];
            quadChain[i & kMask] = {quadStored, myRank};
            quadHead[h] = static_cast<std::uint32_t>(i) + base;
        }

        const std::size_t maxLen = std::min(kMaxLen, n - i);
        Match best;
        bool plain = !quad;
        if (quad) {
            // The candidates that agree in four bytes or more are exactly the
            // positions of the four-byte chain that share the key; being of
            // the same pair, each one's distance in pair positions is a
            // difference of ranks, so "one of the 50 nearest" is a test and
            // the first that fails it ends the walk.
            int collisions = 0;
            std::uint32_t stored = quadStored;
            while (stored >= base) {
                const std::size_t c = stored - base;
                if (i - c >= kWindow) break;
                const QuadLink link = quadChain[c & kMask];
                if (Load32(src + c) != key) {
                    if (++collisions > kMaxCollisions) {
                        plain = true;
                        break;
                    }
                } else {
                    if (myRank - link.rank > kMaxCandidates) break;
                    if (best.length == 0 || src[c + best.length] == src[i + best.length]) {
                        const std::size_t len = 4 + MatchLength(src + c + 4, src + i + 4, maxLen - 4);
                        if (len > best.length) {
                            best = {len, i - c};
                            if (len == maxLen) break;
                        }
                    }
                }
                stored = link.next;
            }
            if (!plain && best.length == 0) {
                // No candidate agrees in four bytes, so the best is the
                // nearest that agrees in three, and it only counts within
                // 1024 bytes: the pair chain from the nearest pair position
                // settles it.
                std::uint32_t s = prevStored;
                for (std::uint32_t tries = 0; s >= base && tries < kMaxCandidates; ++tries) {
                    const std::size_t c = s - base;
                    if (i - c > 1024) break;
                    if (src[c + 2] == src[i + 2]) {
                        best = {3, i - c};
                        break;
                    }
                    s = chain[c & kMask];
                }
            }
        }
        if (plain) best = PlainSearch(src, i, maxLen, prevStored, chain, base);

        const std::size_t bestLen = best.length, bestDist = best.distance;
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

        // The positions the match covers are entered without a search.
        const std::size_t covered = std::min(lit, n - 1);
        for (std::size_t j = i + 1; j < covered; ++j) {
            const std::size_t pairJ = (static_cast<std::size_t>(src[j]) << 8) | src[j + 1];
            PairSlot& slotJ = pairs[pairJ];
            chain[j & kMask] = slotJ.head;
            const std::uint32_t rankJ = slotJ.count++;
            slotJ.head = static_cast<std::uint32_t>(j) + base;
            if (j + 4 <= n) {
                const std::uint32_t h = QuadHash(Load32(src + j));
                quadChain[j & kMask] = {quadHead[h], rankJ};
                quadHead[h] = static_cast<std::uint32_t>(j) + base;
            }
        }
        i = covered - 1;
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
