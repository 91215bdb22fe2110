#pragma once
// Grouping the S3D entries of an archive into models: twenty entries that share
// a group, with instances base + zoom * 0x100 + rotation * 0x10 (zoom 0..4,
// rotation 0..3, base with its low twelve bits clear), list as one model.

#include <cstdint>
#include <span>
#include <vector>

struct ModelKey {
    std::uint32_t group = 0;
    std::uint32_t instance = 0;
};

// The instance of view h (0..19) of a set whose base has instance `base`.
constexpr std::uint32_t ViewInstance(std::uint32_t base, int h) {
    return base + static_cast<std::uint32_t>(h / 4) * 0x100 + static_cast<std::uint32_t>(h % 4) * 0x10;
}

// One row that stays in a grouped table: the position in `keys` of its entry
// and its number of views (1 or 20).
struct GroupedModel {
    std::uint32_t key = 0;
    std::int32_t nViews = 1;
};

// keys[k] is the group and instance of the k-th S3D entry in index order.
// Returns the rows of the model table, in table order: every complete set is
// one row with nViews 20 at its base's place, its other views left out; every
// other entry is a row with nViews 1. A repeated group and instance resolves
// to the earliest row still in the table, as a scan from the top would find
// it. An archive's open builds its model table from these, so that it never
// holds a full model row for every view of every set.
std::vector<GroupedModel> GroupTwentyViewSetKeys(std::span<const ModelKey> keys);
