#pragma once
// Whether the reader's tag scan finds every chunk of a written S3D image where
// the writer put it.
//
// The reader finds chunks by the last occurrence of each tag's four letters,
// not by the chunk lengths. The writer drops what the reader skipped (a longer
// HEAD, bytes after a chunk's last block), so bytes that stood apart can come
// to stand side by side and spell a tag; and a record may hold an earlier
// tag's letters in a later chunk. Such an image is what the format's writer
// writes, yet the reader takes it as another layout or refuses it. Only where
// the scan agrees with the writer's layout must a written image read back.
//
// Both the layout (followed by chunk lengths from HEAD) and the scan are
// written out here plainly, apart from the reader's own code.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvfuzz {

inline bool TagsStandWhereWritten(const std::vector<std::uint8_t>& img) {
    static const char* const kTags[] = {"VERT", "INDX", "PRIM", "MATS", "ANIM", "PROP", "REGP"};
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(img[at]) | static_cast<std::uint32_t>(img[at + 1]) << 8 |
               static_cast<std::uint32_t>(img[at + 2]) << 16 | static_cast<std::uint32_t>(img[at + 3]) << 24;
    };
    auto tagAt = [&](std::size_t at, const char* tag) {
        return at + 4 <= img.size() && img[at] == static_cast<std::uint8_t>(tag[0]) &&
               img[at + 1] == static_cast<std::uint8_t>(tag[1]) && img[at + 2] == static_cast<std::uint8_t>(tag[2]) &&
               img[at + 3] == static_cast<std::uint8_t>(tag[3]);
    };

    // The writer's layout: HEAD at 8, then the seven chunks one after another.
    if (img.size() < 16 || !tagAt(8, "HEAD")) return false;
    std::size_t pos = 8 + u32(12);
    std::size_t start[7];
    for (int k = 0; k < 7; ++k) {
        if (pos + 8 > img.size() || !tagAt(pos, kTags[k])) return false;
        start[k] = pos;
        const std::uint32_t length = u32(pos + 4);
        if (length < 8 || length > img.size() - pos) return false;
        pos += length;
    }
    if (pos != img.size()) return false;

    // The scan: the last offset from 8 on where each tag's letters stand
    // must be the chunk's own, so no tag may stand anywhere past its chunk's
    // start. One pass for all seven tags: seven passes were a fifth of the
    // archive target's time.
    for (std::size_t i = 8; i + 4 <= img.size(); ++i)
        for (int k = 0; k < 7; ++k)
            if (i > start[k] && tagAt(i, kTags[k])) return false;
    return true;
}

}  // namespace kvfuzz
