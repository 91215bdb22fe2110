#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive/qfs.h"
#include "platform/text.h"
#include "qfs_corpus.h"
#include "qfs_reference.h"
#include "support/message_recorder.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Compress(const Bytes& in) {
    Bytes out(QfsMaxCompressedSize(in.size()));
    std::int64_t len = 0;
    QfsCompress(in.data(), in.size(), out.data(), out.size(), len);
    if (len < 0) return {};
    out.resize(static_cast<std::size_t>(len));
    return out;
}

struct Decoded {
    std::optional<Bytes> bytes;
    std::size_t length;
    std::vector<std::wstring> messages;
};

// Decodes from a heap block of exactly the stream's size, so that a read past
// its end is caught by the address sanitizer.
Decoded Decompress(const Bytes& stream) {
    auto exact = std::make_unique<std::uint8_t[]>(stream.size());
    std::copy(stream.begin(), stream.end(), exact.get());
    kvtest::MessageRecorder rec;
    Decoded d;
    d.length = stream.size();
    if (auto out = QfsDecompress(exact.get(), d.length)) d.bytes.emplace(out->begin(), out->end());
    d.messages = rec.texts();
    return d;
}

// The decoder writes what the decoder before its strided copies wrote: the
// same bytes, the same length and the same messages, damaged stream or not.
void ExpectLikeBaseline(const Bytes& stream) {
    Decoded now = Decompress(stream);
    Decoded before;
    {
        auto exact = std::make_unique<std::uint8_t[]>(stream.size());
        std::copy(stream.begin(), stream.end(), exact.get());
        kvtest::MessageRecorder rec;
        before.length = stream.size();
        before.bytes = kvref::BaselineQfsDecompress(exact.get(), before.length);
        before.messages = rec.texts();
    }
    ASSERT_EQ(now.bytes.has_value(), before.bytes.has_value());
    if (now.bytes) {
        ASSERT_TRUE(*now.bytes == *before.bytes);
    }
    ASSERT_EQ(now.length, before.length);
    ASSERT_EQ(now.messages, before.messages);
}

std::wstring LengthWarning(int written, int size) {
    return L"Warning: bad length ? " + std::to_wstring(written) + L" instead of " + std::to_wstring(size) + L"n";
}

// One code of a stream, as a reader of the format sees it.
struct Code {
    char kind;  // 'S' 2-byte, 'M' 3-byte, 'L' 4-byte match; 'R' literal run; 'E' end
    std::size_t literals, length, distance;
    bool operator==(const Code&) const = default;
};

std::vector<Code> Codes(const Bytes& s) {
    std::vector<Code> codes;
    std::size_t at = 5;
    while (at < s.size()) {
        const std::uint8_t b0 = s[at];
        Code c{};
        if (b0 < 0x80) {
            c = {'S', b0 & 3u, ((b0 >> 2) & 7u) + 3, ((b0 & 0x60u) << 3) + s[at + 1] + 1};
            at += 2;
        } else if (b0 < 0xC0) {
            c = {'M', std::size_t{s[at + 1]} >> 6, (b0 & 0x3Fu) + 4, ((s[at + 1] & 0x3Fu) << 8) + s[at + 2] + 1};
            at += 3;
        } else if (b0 < 0xE0) {
            c = {'L', b0 & 3u, ((b0 >> 2) & 3u) * 256 + s[at + 3] + 5, ((b0 & 0x10u) << 12) + (s[at + 1] << 8) + s[at + 2] + 1};
            at += 4;
        } else if (b0 < 0xFC) {
            c = {'R', ((b0 & 0x1Fu) << 2) + 4, 0, 0};
            at += 1;
        } else {
            c = {'E', b0 & 3u, 0, 0};
            at += 1;
        }
        at += c.literals;
        codes.push_back(c);
    }
    return codes;
}

Code LitRun(std::size_t n) { return {'R', n, 0, 0}; }
Code EndCode(std::size_t n) { return {'E', n, 0, 0}; }

// Bytes below 0x80 in which no pair of neighbours repeats (a de Bruijn sequence
// over 128 symbols), so they give the encoder nothing to match.
Bytes Unrepeating(std::size_t n) {
    constexpr int k = 128;
    std::vector<int> a(2 * 2 + 1, 0);
    Bytes seq;
    // Lyndon-word construction of the order-2 sequence.
    std::function<void(int, int)> db = [&](int t, int p) {
        if (t > 2) {
            if (2 % p == 0)
                for (int j = 1; j <= p; ++j) seq.push_back(static_cast<std::uint8_t>(a[j]));
        } else {
            a[t] = a[t - p];
            db(t + 1, p);
            for (int j = a[t - p] + 1; j < k; ++j) {
                a[t] = j;
                db(t + 1, t);
            }
        }
    };
    db(1, 1);
    seq.push_back(seq[0]);  // close the cycle: every one of the 16384 pairs once
    EXPECT_LE(n, seq.size());
    seq.resize(n);
    return seq;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(QfsCompress, WritesTheseStreamsExactly) {
    struct Case {
        const char* name;
        Bytes input, stream;
    };
    const std::vector<Case> cases = {
        {"empty", {}, {0x10, 0xFB, 0, 0, 0, 0xFC}},
        {"abc", {'a', 'b', 'c'}, {0x10, 0xFB, 0, 0, 3, 0xFF, 'a', 'b', 'c'}},
        {"abcd", {'a', 'b', 'c', 'd'}, {0x10, 0xFB, 0, 0, 4, 0xE0, 'a', 'b', 'c', 'd', 0xFC}},
        {"ten a", Bytes(10, 'a'), {0x10, 0xFB, 0, 0, 10, 0x19, 0x00, 'a', 0xFC}},
        // The longest match of each form, and the first one too long for it.
        {"eleven a", Bytes(11, 'a'), {0x10, 0xFB, 0, 0, 11, 0x1D, 0x00, 'a', 0xFC}},
        {"twelve a", Bytes(12, 'a'), {0x10, 0xFB, 0, 0, 12, 0x87, 0x40, 0x00, 'a', 0xFC}},
        {"68 a", Bytes(68, 'a'), {0x10, 0xFB, 0, 0, 68, 0xBF, 0x40, 0x00, 'a', 0xFC}},
        {"69 a", Bytes(69, 'a'), {0x10, 0xFB, 0, 0, 69, 0xC1, 0x00, 0x00, 0x3F, 'a', 0xFC}},
        {"1029 a", Bytes(1029, 'a'), {0x10, 0xFB, 0, 0x04, 0x05, 0xCD, 0x00, 0x00, 0xFF, 'a', 0xFC}},
        {"1030 a", Bytes(1030, 'a'), {0x10, 0xFB, 0, 0x04, 0x06, 0xCD, 0x00, 0x00, 0xFF, 'a', 0xFD, 'a'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Compress(c.input), c.stream);
        Decoded d = Decompress(c.stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(*d.bytes, c.input);
        EXPECT_EQ(d.length, c.input.size());
        EXPECT_TRUE(d.messages.empty());
    }
}

// Short matches pay only when near: length 3 up to distance 1024, length 4 up
// to 16384; a match that is too far stays literal.
TEST(QfsCompress, UsesShortMatchesOnlyWithinTheirReach) {
    const Bytes P3 = {0xA1, 0xA2, 0xA3}, P4 = {0xA1, 0xA2, 0xA3, 0xA4}, P5 = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    struct Case {
        const char* name;
        Bytes input;
        std::vector<Code> codes;
    };
    const std::vector<Case> cases = {
        {"3 at 1024", Cat({P3, Unrepeating(1021), P3}),
         {LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(16), {'S', 0, 3, 1024}, EndCode(0)}},
        {"3 at 1025", Cat({P3, Unrepeating(1022), P3}),
         {LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(20), EndCode(0)}},
        {"4 at 1025", Cat({P4, Unrepeating(1021), P4}),
         {LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(112), LitRun(16), {'M', 1, 4, 1025}, EndCode(0)}},
        {"4 at 16385", Cat({P4, Unrepeating(16381), P4}), {}},
        {"5 at 16385", Cat({P5, Unrepeating(16380), P5}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes stream = Compress(c.input);
        EXPECT_EQ(stream, kvref::PlainQfsCompress(c.input));
        std::vector<Code> codes = Codes(stream);
        if (!c.codes.empty()) {
            EXPECT_EQ(codes, c.codes);
        } else {
            // Long inputs: look only at the matches.
            std::vector<Code> matches;
            for (const Code& k : codes)
                if (k.kind != 'R' && k.kind != 'E') matches.push_back(k);
            if (c.input.size() == 4 + 16381 + 4) EXPECT_TRUE(matches.empty());
            else EXPECT_EQ(matches, (std::vector<Code>{{'L', 1, 5, 16385}}));
        }
        Decoded d = Decompress(stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(*d.bytes, c.input);
    }
}

// Pending literals before a match leave as runs of whole fours, at most 112
// each; the last 0 to 3 ride in the match code.
TEST(QfsCompress, SplitsPendingLiteralsIntoRunsAndTheMatchCode) {
    const Bytes P = {0xB1, 0xB2, 0xB3, 0xB4};
    struct Case {
        std::size_t pending;
        std::vector<Code> codes;
    };
    const std::vector<Case> cases = {
        {111, {LitRun(108), {'S', 3, 4, 111}, EndCode(0)}},
        {112, {LitRun(112), {'S', 0, 4, 112}, EndCode(0)}},
        {113, {LitRun(112), {'S', 1, 4, 113}, EndCode(0)}},
        {114, {LitRun(112), {'S', 2, 4, 114}, EndCode(0)}},
        {115, {LitRun(112), {'S', 3, 4, 115}, EndCode(0)}},
        {116, {LitRun(112), LitRun(4), {'S', 0, 4, 116}, EndCode(0)}},
        {117, {LitRun(112), LitRun(4), {'S', 1, 4, 117}, EndCode(0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pending);
        Bytes input = Cat({P, Unrepeating(c.pending - 4), P});
        Bytes stream = Compress(input);
        EXPECT_EQ(Codes(stream), c.codes);
        EXPECT_EQ(stream, kvref::PlainQfsCompress(input));
        Decoded d = Decompress(stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(*d.bytes, input);
    }
}

// Among equally long candidates the nearest wins; only the 50 nearest are
// looked at, and nothing 131072 or more bytes back.
TEST(QfsCompress, SearchesTheFiftyNearestCandidatesInsideTheWindow) {
    const Bytes longer = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8};
    for (int count : {48, 49, 50, 60}) {
        SCOPED_TRACE(count);
        // The long match sits behind `count` shorter ones sharing its first
        // three bytes; the bytes that follow each decoy occur nowhere else.
        Bytes input = longer;
        for (int k = 0; k < count; ++k) {
            Bytes decoy = {0xC1, 0xC2, 0xC3, static_cast<std::uint8_t>(0x10 + k), static_cast<std::uint8_t>(0x50 + k)};
            input.insert(input.end(), decoy.begin(), decoy.end());
        }
        input.insert(input.end(), longer.begin(), longer.end());
        Bytes stream = Compress(input);
        EXPECT_EQ(stream, kvref::PlainQfsCompress(input));
        bool foundLong = false;
        for (const Code& c : Codes(stream)) foundLong |= c.length == 8;
        EXPECT_EQ(foundLong, count < 50);
    }

    Bytes noise = kvtest::RandomBytes(0x20000 + 64, 7);
    for (std::size_t dist : {std::size_t{0x1FFFF}, std::size_t{0x20000}}) {
        SCOPED_TRACE(dist);
        Bytes input = noise;
        std::copy_n(input.begin() + 10, 40, input.begin() + 10 + dist);
        input.resize(10 + dist + 40);
        Bytes stream = Compress(input);
        EXPECT_EQ(stream, kvref::PlainQfsCompress(input));
        bool found = false;
        for (const Code& c : Codes(stream)) found |= c.distance == 0x1FFFF && c.length >= 40;
        EXPECT_EQ(found, dist == 0x1FFFF);
        Decoded dd = Decompress(stream);
        ASSERT_TRUE(dd.bytes);
        EXPECT_EQ(*dd.bytes, input);
    }
}

TEST(QfsCompress, MatchesTheReferenceAndRoundTripsOnModelsAndNoise) {
    std::vector<Bytes> inputs;
    for (std::size_t n : {1, 2, 3, 5, 17, 200, 4096, 70000, 300000}) inputs.push_back(kvtest::ModelLikeData(n, n));
    for (std::uint32_t alphabet : {1u, 2u, 4u, 16u, 256u})
        for (std::size_t n : {1, 7, 113, 5000, 150000}) inputs.push_back(kvtest::RandomBytes(n, n * alphabet, alphabet));
    for (const Bytes& in : inputs) {
        SCOPED_TRACE(testing::Message() << "size " << in.size());
        Bytes stream = Compress(in);
        ASSERT_EQ(stream, kvref::PlainQfsCompress(in));
        EXPECT_LE(stream.size(), QfsMaxCompressedSize(in.size()));
        Decoded d = Decompress(stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(*d.bytes, in);
        EXPECT_TRUE(d.messages.empty());
    }
    // Model data is what the codec is for: it should pay off there.
    Bytes model = kvtest::ModelLikeData(300000);
    EXPECT_LT(Compress(model).size(), model.size() / 2);
}

// The encoder keeps its search tables between calls; what an earlier call left
// in them must never change what a later call writes.
TEST(QfsCompress, EveryCallWritesWhatAFreshCallWould) {
    const Bytes longFirst = kvtest::ModelLikeData(400000, 3);
    // A short input made of pieces of the long one: stale positions would find
    // plenty of "matches" in it.
    Bytes shortAfter(longFirst.begin() + 1000, longFirst.begin() + 1600);
    Bytes repeated = Cat({shortAfter, shortAfter});

    Bytes fresh, freshRepeated;
    std::thread([&] {
        fresh = Compress(shortAfter);
        freshRepeated = Compress(repeated);
    }).join();
    ASSERT_EQ(fresh, kvref::PlainQfsCompress(shortAfter));

    Compress(longFirst);
    EXPECT_EQ(Compress(shortAfter), fresh);
    Compress(longFirst);
    EXPECT_EQ(Compress(repeated), freshRepeated);
    EXPECT_EQ(Compress(shortAfter), fresh);
    EXPECT_EQ(Compress({}), (Bytes{0x10, 0xFB, 0, 0, 0, 0xFC}));
    EXPECT_EQ(Compress(Bytes(10, 'a')), (Bytes{0x10, 0xFB, 0, 0, 10, 0x19, 0x00, 'a', 0xFC}));

    // A mixed sequence of calls, each checked against fresh tables.
    for (int k = 0; k < 30; ++k) {
        Bytes in = k % 3 == 0 ? kvtest::ModelLikeData(100 + k * 997, k) : kvtest::RandomBytes(50 + k * 131, k, 4);
        ASSERT_EQ(Compress(in), kvref::PlainQfsCompress(in)) << "call " << k;
    }
}

TEST(QfsCompress, NeverExceedsItsBoundAndRefusesTooLittleRoom) {
    std::vector<Bytes> inputs;
    for (std::size_t n = 0; n <= 500; ++n) inputs.push_back(kvtest::RandomBytes(n, n));
    inputs.push_back(kvtest::RandomBytes(100000, 11));
    inputs.push_back(kvtest::ModelLikeData(20000));
    bool boundReached = false;
    for (const Bytes& in : inputs) {
        SCOPED_TRACE(testing::Message() << "size " << in.size());
        const std::size_t bound = QfsMaxCompressedSize(in.size());
        ASSERT_EQ(bound, in.size() + in.size() / 112 + 7);
        Bytes exact = kvref::PlainQfsCompress(in);
        ASSERT_LE(exact.size(), bound);
        boundReached |= exact.size() == bound;

        // Room for exactly the stream suffices; one byte less is refused, and
        // nothing is written past the room given.
        for (std::size_t room : {bound, exact.size(), exact.size() - 1, std::size_t{4}, std::size_t{0}}) {
            Bytes dst(room + 16, 0xEE);
            std::int64_t len = 12345;
            QfsCompress(in.data(), in.size(), dst.data(), room, len);
            if (room >= exact.size()) {
                ASSERT_EQ(len, static_cast<std::int64_t>(exact.size()));
                EXPECT_TRUE(std::equal(exact.begin(), exact.end(), dst.begin()));
            } else {
                EXPECT_EQ(len, -1);
            }
            EXPECT_TRUE(std::all_of(dst.begin() + static_cast<std::ptrdiff_t>(room), dst.end(), [](std::uint8_t b) { return b == 0xEE; }));
        }
    }
    EXPECT_TRUE(boundReached);
}

TEST(QfsCompress, RefusesInputsItsSizeFieldCannotHoldAndAMissingDestination) {
    std::int64_t len = 0;
    Bytes in(std::size_t{1} << 24, 0);
    Bytes dst(QfsMaxCompressedSize(in.size()));
    QfsCompress(in.data(), in.size(), dst.data(), dst.size(), len);
    EXPECT_EQ(len, -1);

    len = 0;
    QfsCompress(in.data(), 10, nullptr, 100, len);
    EXPECT_EQ(len, -1);

    // The largest input that fits still goes through.
    in.resize(in.size() - 1);
    in[123456] = 7;
    QfsCompress(in.data(), in.size(), dst.data(), dst.size(), len);
    ASSERT_GT(len, 0);
    EXPECT_EQ(dst[2], 0xFF);
    EXPECT_EQ(dst[3], 0xFF);
    EXPECT_EQ(dst[4], 0xFF);
    std::size_t sl = static_cast<std::size_t>(len);
    auto out = QfsDecompress(dst.data(), sl);
    ASSERT_TRUE(out);
    EXPECT_EQ(sl, in.size());
    EXPECT_TRUE(std::ranges::equal(*out, in));
}

TEST(QfsDecompress, ExpandsOverlappingMatchesAndTheLongHeader) {
    struct Case {
        const char* name;
        Bytes stream, output;
    };
    const std::vector<Case> cases = {
        {"distance 1 length 9", {0x10, 0xFB, 0, 0, 10, 0x19, 0x00, 'a', 0xFC}, Bytes(10, 'a')},
        {"no end code", {0x10, 0xFB, 0, 0, 4, 0xE0, 'a', 'b', 'c', 'd'}, {'a', 'b', 'c', 'd'}},
        {"header only, nothing to expand", {0x10, 0xFB, 0, 0, 0}, {}},
        {"8-byte header", {0x11, 0xFB, 0, 0, 3, 0xAA, 0xBB, 0xCC, 0xFF, 'a', 'b', 'c'}, {'a', 'b', 'c'}},
        {"end code after the last byte keeps its literals out", {0x10, 0xFB, 0, 0, 4, 0xE0, 'a', 'b', 'c', 'd', 0xFF, 'x', 'y', 'z'}, {'a', 'b', 'c', 'd'}},
        {"3-byte match", {0x10, 0xFB, 0, 0, 9, 0x81, 0x40, 0x00, 'q', 0xFF, 'r', 's', 't'}, {'q', 'q', 'q', 'q', 'q', 'q', 'r', 's', 't'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = Decompress(c.stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(*d.bytes, c.output);
        EXPECT_EQ(d.length, c.output.size());
        EXPECT_TRUE(d.messages.empty());
    }
}

// A damaged stream stops inside the stream, the output and the bytes already
// written; the output keeps the header's size, and the length warning says
// how many bytes were written.
TEST(QfsDecompress, DamagedStreamsStopSafelyWithTheLengthWarning) {
    struct Case {
        const char* name;
        Bytes stream, output;
        int written;
    };
    const std::vector<Case> cases = {
        {"end code too early", {0x10, 0xFB, 0, 0, 10, 0xFD, 'a'}, {'a', 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1},
        {"header only", {0x10, 0xFB, 0, 0, 7}, Bytes(7, 0), 0},
        {"long header cut short", {0x11, 0xFB, 0, 0, 3, 0xAA}, Bytes(3, 0), 0},
        {"match before the start", {0x10, 0xFB, 0, 0, 8, 0x00, 0x05}, Bytes(8, 0), 0},
        {"match past what is written", {0x10, 0xFB, 0, 0, 8, 0x02, 0x02, 'a', 'b'}, {'a', 'b', 0, 0, 0, 0, 0, 0}, 2},
        {"3-byte match before the start", {0x10, 0xFB, 0, 0, 8, 0x80, 0x00, 0x00}, Bytes(8, 0), 0},
        {"4-byte match far before the start", {0x10, 0xFB, 0, 0, 8, 0xD1, 0xFF, 0xFF, 0x00, 'z'}, {'z', 0, 0, 0, 0, 0, 0, 0}, 1},
        {"literal run past the stream", {0x10, 0xFB, 0, 0, 8, 0xE1, 'a', 'b'}, {'a', 'b', 0, 0, 0, 0, 0, 0}, 2},
        {"match literals past the stream", {0x10, 0xFB, 0, 0, 8, 0x03, 0x00, 'a'}, {'a', 0, 0, 0, 0, 0, 0, 0}, 1},
        {"code bytes cut short", {0x10, 0xFB, 0, 0, 8, 0xE0, 'a', 'b', 'c', 'd', 0xC0, 0x00}, {'a', 'b', 'c', 'd', 0, 0, 0, 0}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = Decompress(c.stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(*d.bytes, c.output);
        EXPECT_EQ(d.length, c.output.size());
        EXPECT_EQ(d.messages, (std::vector<std::wstring>{LengthWarning(c.written, static_cast<int>(c.output.size()))}));
        ExpectLikeBaseline(c.stream);
    }
}

// More bytes than the header promises: the output stops at its size, no
// byte lands past it, and since the output is full there is nothing to warn of.
TEST(QfsDecompress, StopsAtTheDeclaredSize) {
    const std::vector<Bytes> streams = {
        {0x10, 0xFB, 0, 0, 2, 0xE0, 'a', 'b', 'c', 'd'},
        {0x10, 0xFB, 0, 0, 2, 0xFB, 'a', 'b'},
        {0x10, 0xFB, 0, 0, 2, 0x1D, 0x00, 'a'},
        {0x10, 0xFB, 0, 0, 2, 0xCD, 0x00, 0x00, 0xFF, 'a'},
        {0x10, 0xFB, 0, 0, 2, 0xFF, 'a', 'b', 'c'},
    };
    for (const Bytes& s : streams) {
        Decoded d = Decompress(s);
        ASSERT_TRUE(d.bytes);
        EXPECT_EQ(d.bytes->size(), 2u);
        EXPECT_EQ((*d.bytes)[0], 'a');
        EXPECT_TRUE(d.messages.empty());
    }
}

TEST(QfsDecompress, RefusesStreamsShorterThanTheirHeader) {
    for (std::size_t n = 0; n < 5; ++n) {
        Bytes s = Bytes{0x10, 0xFB, 0, 0, 5}; s.resize(n);
        Decoded d = Decompress(s);
        EXPECT_FALSE(d.bytes);
        EXPECT_TRUE(d.messages.empty());
    }
}

// Every cut of a real stream and many random corruptions decode without a
// fault; whatever comes out has the header's size.
TEST(QfsDecompress, SurvivesCutAndCorruptedStreams) {
    const Bytes original = kvtest::ModelLikeData(6000, 5);
    const Bytes stream = Compress(original);
    for (std::size_t cut = 5; cut < stream.size(); ++cut) {
        Bytes s(stream.begin(), stream.begin() + cut);
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(s)) << "cut " << cut;
        Decoded d = Decompress(s);
        ASSERT_TRUE(d.bytes);
        ASSERT_EQ(d.bytes->size(), original.size());
        for (std::size_t k = 0; k < original.size(); ++k)
            ASSERT_TRUE((*d.bytes)[k] == original[k] || (*d.bytes)[k] == 0) << "cut " << cut << " byte " << k;
        if (*d.bytes != original) {
            ASSERT_EQ(d.messages.size(), 1u) << "cut " << cut;
            EXPECT_EQ(d.messages[0].rfind(L"Warning: bad length ? ", 0), 0u);
        }
    }

    kvtest::SplitMix rng(99);
    for (int round = 0; round < 3000; ++round) {
        Bytes s = stream;
        const int flips = 1 + static_cast<int>(rng.Below(8));
        for (int f = 0; f < flips; ++f) s[5 + rng.Below(static_cast<std::uint32_t>(s.size() - 5))] = static_cast<std::uint8_t>(rng.Next());
        if (rng.Below(4) == 0) s[0] |= 1;
        if (rng.Below(4) == 0) s.resize(5 + rng.Below(static_cast<std::uint32_t>(s.size() - 5)));
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(s)) << "round " << round;
        Decoded d = Decompress(s);
        ASSERT_TRUE(d.bytes);
        ASSERT_EQ(d.bytes->size(), (std::size_t{s[2]} << 16) | (std::size_t{s[3]} << 8) | s[4]);
        ASSERT_LE(d.messages.size(), 1u);
    }
    for (int round = 0; round < 500; ++round) {
        Bytes s = kvtest::RandomBytes(5 + rng.Below(3000), 1000 + round);
        s[0] = 0x10;
        s[1] = 0xFB;
        s[2] = 0;
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(s)) << "random " << round;
        Decoded d = Decompress(s);
        ASSERT_TRUE(d.bytes);
        ASSERT_EQ(d.length, (std::size_t{s[3]} << 8) | s[4]);
    }
}

TEST(QfsCompress, MatchesThePlainEncoderOnTwentyViewModelSets) {
    // Sets of every kind, from entries of a few hundred bytes to towers of a
    // few hundred kilobytes.
    const std::vector<Bytes> images = kvtest::ModelShapedSets(8, 9);
    std::size_t smallest = images[0].size(), largest = 0;
    for (std::size_t k = 0; k < images.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "image " << k << ", " << images[k].size() << " bytes");
        smallest = std::min(smallest, images[k].size());
        largest = std::max(largest, images[k].size());
        const Bytes stream = Compress(images[k]);
        ASSERT_TRUE(stream == kvref::PlainQfsCompress(images[k]));
        Decoded d = Decompress(stream);
        ASSERT_TRUE(d.bytes);
        EXPECT_TRUE(*d.bytes == images[k]);
    }
    EXPECT_LT(smallest, 1000u);
    EXPECT_GT(largest, 100000u);
}

// The faster search must find the very candidates of the plain walk where its
// shortcuts do not apply: many positions whose first four bytes differ but
// hash alike, and a three-byte repeat behind 49 or 50 positions that share
// only its first two bytes.
TEST(QfsCompress, FindsThePlainWalksCandidatesThroughCollisionsAndPairOnlyDecoys) {
    // Four-byte groups that the encoder's multiplicative hash sends to one
    // bucket (if the hash changes, this input still has to match the plain
    // encoder; it only stops crowding one bucket).
    std::vector<std::uint32_t> colliding;
    const std::uint32_t bucket = (0x01020304u * 2654435761u) >> 16;
    for (std::uint32_t q = 0x01020304u; colliding.size() < 200; ++q)
        if (((q * 2654435761u) >> 16) == bucket) colliding.push_back(q);
    auto quadBytes = [](std::uint32_t q) {
        return Bytes{static_cast<std::uint8_t>(q), static_cast<std::uint8_t>(q >> 8), static_cast<std::uint8_t>(q >> 16),
                     static_cast<std::uint8_t>(q >> 24)};
    };
    for (std::size_t between : {10u, 30u, 100u, 199u}) {
        SCOPED_TRACE(between);
        Bytes input;
        for (int round = 0; round < 3; ++round)
            for (std::size_t k = 0; k <= between; ++k) {
                Bytes q = quadBytes(colliding[k]);
                input.insert(input.end(), q.begin(), q.end());
                input.push_back(static_cast<std::uint8_t>(round * 7 + k));
            }
        ASSERT_EQ(Compress(input), kvref::PlainQfsCompress(input));
    }

    const Bytes P3 = {0xA1, 0xA2, 0xA3};
    for (int decoys : {48, 49, 50, 51}) {
        SCOPED_TRACE(decoys);
        Bytes input = Cat({P3, {0x01}});
        for (int k = 0; k < decoys; ++k) input.insert(input.end(), {0xA1, 0xA2, static_cast<std::uint8_t>(0x10 + k), static_cast<std::uint8_t>(0x60 + k)});
        input.insert(input.end(), P3.begin(), P3.end());
        input.push_back(0x03);
        const Bytes stream = Compress(input);
        ASSERT_EQ(stream, kvref::PlainQfsCompress(input));
        bool found = false;
        for (const Code& c : Codes(stream)) found |= c.length == 3 && c.distance == 4 + 4 * static_cast<std::size_t>(decoys);
        EXPECT_EQ(found, decoys < 50);
    }
}

namespace {

// Writes codes by hand: every form, at the distance and length asked, with
// the literal bytes it carries.
struct StreamWriter {
    Bytes s{0x10, 0xFB, 0, 0, 0};
    std::size_t produced = 0;

    void Run(const Bytes& bytes) {  // a multiple of 4, at most 112
        s.push_back(static_cast<std::uint8_t>(0xE0 + bytes.size() / 4 - 1));
        s.insert(s.end(), bytes.begin(), bytes.end());
        produced += bytes.size();
    }
    void Match(const Bytes& lit, std::size_t len, std::size_t dist) {
        const std::size_t m = lit.size(), d = dist - 1;
        if (len <= 10 && dist <= 1024) {
            s.push_back(static_cast<std::uint8_t>(((d >> 8) << 5) + ((len - 3) << 2) + m));
            s.push_back(static_cast<std::uint8_t>(d));
        } else if (len >= 4 && len <= 67 && dist <= 16384) {
            s.insert(s.end(), {static_cast<std::uint8_t>(0x80 + (len - 4)), static_cast<std::uint8_t>((m << 6) + (d >> 8)),
                               static_cast<std::uint8_t>(d)});
        } else {
            s.insert(s.end(), {static_cast<std::uint8_t>(0xC0 + ((d >> 16) << 4) + (((len - 5) >> 8) << 2) + m),
                               static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(len - 5)});
        }
        s.insert(s.end(), lit.begin(), lit.end());
        produced += m + len;
    }
    void End(const Bytes& lit) {
        s.push_back(static_cast<std::uint8_t>(0xFC + lit.size()));
        s.insert(s.end(), lit.begin(), lit.end());
        produced += lit.size();
    }
    Bytes Finish(std::size_t declared) {
        Bytes out = s;
        out[2] = static_cast<std::uint8_t>(declared >> 16);
        out[3] = static_cast<std::uint8_t>(declared >> 8);
        out[4] = static_cast<std::uint8_t>(declared);
        return out;
    }
};

}  // namespace

// Matches of every short distance and of lengths on both sides of each stride
// size, far from the ends and right at the end of the output, expand as the
// byte-by-byte copy does; a header size one short or one long of what the
// codes produce stops or warns exactly as before.
TEST(QfsDecompress, ExpandsEveryDistanceAndLengthAsTheByteCopyDoes) {
    const Bytes prefix = kvtest::RandomBytes(112, 5);
    for (std::size_t dist : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 12u, 15u, 16u, 17u, 24u, 31u, 32u, 33u, 48u, 100u, 1024u, 1025u}) {
        for (std::size_t len : {3u, 4u, 7u, 8u, 9u, 10u, 11u, 15u, 16u, 17u, 23u, 24u, 25u, 31u, 32u, 33u, 40u, 67u, 68u, 200u, 1028u}) {
            if (len == 3 && dist > 1024) continue;
            SCOPED_TRACE(testing::Message() << "distance " << dist << " length " << len);
            for (bool atEnd : {false, true}) {
                StreamWriter w;
                Bytes before;
                while (before.size() < dist) before.insert(before.end(), prefix.begin(), prefix.end());
                for (std::size_t at = 0; at < before.size(); at += 112)
                    w.Run(Bytes(before.begin() + at, before.begin() + std::min(before.size(), at + 112)));
                w.Match({0x5A, 0xA5}, len, dist);
                if (!atEnd) {
                    w.Match({}, 5, 3);
                    w.Run(Bytes(prefix.begin(), prefix.begin() + 40));
                }
                w.End({0x11});
                // The expected output, copied one byte at a time.
                Bytes expect = before;
                expect.insert(expect.end(), {0x5A, 0xA5});
                for (std::size_t k = 0; k < len; ++k) expect.push_back(expect[expect.size() - dist]);
                if (!atEnd) {
                    for (std::size_t k = 0; k < 5; ++k) expect.push_back(expect[expect.size() - 3]);
                    expect.insert(expect.end(), prefix.begin(), prefix.begin() + 40);
                }
                expect.push_back(0x11);
                ASSERT_EQ(expect.size(), w.produced);

                Decoded d = Decompress(w.Finish(expect.size()));
                ASSERT_TRUE(d.bytes);
                ASSERT_TRUE(*d.bytes == expect);
                EXPECT_TRUE(d.messages.empty());
                for (std::size_t declared : {expect.size() - 1, expect.size() + 1, expect.size() - len})
                    ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(w.Finish(declared))) << "declared " << declared;
            }
        }
    }
}

// Streams of random codes of every form, whole and damaged: the decoder
// agrees with the one before its strided copies on every one.
TEST(QfsDecompress, AgreesWithTheBaselineOnRandomCodeSequences) {
    kvtest::SplitMix rng(4242);
    for (int round = 0; round < 400; ++round) {
        StreamWriter w;
        auto bytes = [&](std::size_t n) { return kvtest::RandomBytes(n, rng.Next(), 1 + rng.Below(256)); };
        w.Run(bytes(4 + 4 * rng.Below(28)));
        const std::size_t codes = 1 + rng.Below(200);
        for (std::size_t k = 0; k < codes; ++k) {
            const std::uint32_t kind = rng.Below(8);
            if (kind == 0) {
                w.Run(bytes(4 + 4 * rng.Below(28)));
                continue;
            }
            Bytes lit = bytes(rng.Below(4));
            const std::size_t reach = w.produced + lit.size();
            std::size_t len, dist;
            if (kind <= 4) {
                len = 3 + rng.Below(8);
                dist = 1 + rng.Below(static_cast<std::uint32_t>(std::min<std::size_t>(reach, rng.Below(2) ? 1024 : 20)));
            } else if (kind <= 6) {
                len = 11 + rng.Below(57);
                dist = 1 + rng.Below(static_cast<std::uint32_t>(std::min<std::size_t>(reach, rng.Below(2) ? 16384 : 40)));
            } else {
                len = 68 + rng.Below(961);
                dist = 1 + rng.Below(static_cast<std::uint32_t>(std::min<std::size_t>(reach, 131072)));
            }
            w.Match(lit, len, dist);
        }
        w.End(bytes(rng.Below(4)));
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << w.produced << " bytes");
        const Bytes whole = w.Finish(w.produced);
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(whole));
        Decoded d = Decompress(whole);
        ASSERT_TRUE(d.messages.empty());
        // Damaged: a wrong size, a cut, a changed byte.
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(w.Finish(rng.Below(static_cast<std::uint32_t>(w.produced + 64)))));
        Bytes cut(whole.begin(), whole.begin() + 5 + rng.Below(static_cast<std::uint32_t>(whole.size() - 5)));
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(cut));
        Bytes changed = whole;
        changed[5 + rng.Below(static_cast<std::uint32_t>(whole.size() - 5))] = static_cast<std::uint8_t>(rng.Next());
        ASSERT_NO_FATAL_FAILURE(ExpectLikeBaseline(changed));
    }
}
