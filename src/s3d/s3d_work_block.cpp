#include "s3d/s3d_work_block.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// A store past the end of a list appends default blocks up to the position.
// Existing blocks may stand at any position, but an append of more defaults
// than a frame could ever name (frames name blocks in 16 bits) is no edit
// anyone makes; it is refused rather than let one call grow a list by up to
// two billion blocks.
constexpr std::size_t kMaxAppendedBlocks = 65536;

_s3d_vertex ToWork(const _s3dvert_vertex& s) {
    return {s.x, s.y, s.z, s.c0, s.c1, s.c2, s.c3, s.u, s.v, s.u2, s.v2};
}

_s3dvert_vertex ToModel(const _s3d_vertex& s) {
    return {s.x, s.y, s.z, s.c0, s.c1, s.c2, s.c3, s.u, s.v, s.u2, s.v2};
}

// The block at `nIndex`, appending default blocks up to it first when the
// list is shorter; the section's count then follows the list.
template <class Block>
bool CanReach(const _s3d_block_section<Block>& sec, int nIndex) {
    const std::size_t index = static_cast<std::size_t>(nIndex);
    return index < sec.blocks.size() || index - sec.blocks.size() < kMaxAppendedBlocks;
}

template <class Block>
Block& BlockAt(_s3d_block_section<Block>& sec, int nIndex) {
    const std::size_t index = static_cast<std::size_t>(nIndex);
    if (index >= sec.blocks.size()) {
        sec.blocks.resize(index + 1);
        sec.blockCount = static_cast<std::uint32_t>(sec.blocks.size());
    }
    return sec.blocks[index];
}

// A texture name's text: its stored bytes up to the first zero (a 255-byte
// name has none).
std::string NameText(const std::string& stored) { return stored.substr(0, stored.find('\0')); }

template <class Block>
const Block* FindBlock(const _s3d_block_section<Block>& sec, int nIndex) {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= sec.blocks.size()) return nullptr;
    return &sec.blocks[static_cast<std::size_t>(nIndex)];
}

}  // namespace

bool ExtractBlock(int nKind, int nIndex, const _s3d_model* pModel, _s3d_work_block* pBlock) {
    if (pModel == nullptr || pBlock == nullptr) return false;
    switch (nKind) {
    case S3D_BLOCK_VERT: {
        pBlock->vertices.clear();
        if (const _s3dvert_block* b = FindBlock(pModel->vert, nIndex)) {
            pBlock->format = b->format;
            pBlock->vertices.reserve(b->vertices.size());
            for (const _s3dvert_vertex& v : b->vertices) pBlock->vertices.push_back(ToWork(v));
        }
        break;
    }
    case S3D_BLOCK_INDX: {
        pBlock->indices.clear();
        if (const _s3dindx_block* b = FindBlock(pModel->indx, nIndex)) pBlock->indices = b->indices;
        break;
    }
    case S3D_BLOCK_MATS: {
        pBlock->textures.clear();
        if (const _sd3mat_mat* m = FindBlock(pModel->mats, nIndex)) {
            pBlock->materialFlags = m->flags;
            pBlock->materialSettings = m->settings;
            pBlock->textures.reserve(m->textures.size());
            for (const _s3dmat_texture& t : m->textures) {
                _s3d_material_elem& e = pBlock->textures.emplace_back();
                e.textureId = t.textureId;
                e.settings = t.settings;
                e.texWord1 = t.texWord1;
                e.texWord2 = t.texWord2;
                const auto begin = t.name.begin();
                e.storedName.emplace(begin, begin + t.nameLength);
                e.name = NameText(*e.storedName);
            }
        }
        break;
    }
    default:
        break;
    }
    return true;
}

bool StoreBlock(_s3d_model* pModel, int nKind, int nIndex, const _s3d_work_block* pBlock) {
    if (pModel == nullptr || pBlock == nullptr) return false;
    if (nKind != S3D_BLOCK_VERT && nKind != S3D_BLOCK_INDX && nKind != S3D_BLOCK_MATS) return true;
    if (nIndex < 0) return false;

    constexpr std::size_t kMax16 = std::numeric_limits<std::uint16_t>::max();
    constexpr std::size_t kMax8 = std::numeric_limits<std::uint8_t>::max();

    switch (nKind) {
    case S3D_BLOCK_VERT: {
        // The count is 16 bits; a block it cannot describe is not stored.
        if (pBlock->vertices.size() > kMax16 || !CanReach(pModel->vert, nIndex)) return false;
        _s3dvert_block& b = BlockAt(pModel->vert, nIndex);
        b.vertices.clear();
        b.format = pBlock->format;
        b.vertexCount = static_cast<std::uint16_t>(pBlock->vertices.size());
        b.vertices.reserve(pBlock->vertices.size());
        for (const _s3d_vertex& v : pBlock->vertices) b.vertices.push_back(ToModel(v));
        break;
    }
    case S3D_BLOCK_INDX: {
        if (pBlock->indices.size() > kMax16 || !CanReach(pModel->indx, nIndex)) return false;
        _s3dindx_block& b = BlockAt(pModel->indx, nIndex);
        b.indices = pBlock->indices;
        b.indexCount = static_cast<std::uint16_t>(b.indices.size());
        break;
    }
    case S3D_BLOCK_MATS: {
        if (pBlock->textures.size() > kMax8 || !CanReach(pModel->mats, nIndex)) return false;
        _sd3mat_mat& m = BlockAt(pModel->mats, nIndex);
        m.textures.clear();
        m.textureCount = static_cast<std::uint8_t>(pBlock->textures.size());
        m.flags = pBlock->materialFlags;
        m.settings = pBlock->materialSettings;
        m.textures.reserve(pBlock->textures.size());
        for (const _s3d_material_elem& e : pBlock->textures) {
            _s3dmat_texture& t = m.textures.emplace_back();
            t.textureId = e.textureId;
            t.settings = e.settings;
            t.texWord1 = e.texWord1;
            t.texWord2 = e.texWord2;
            if (e.storedName && e.storedName->size() <= t.name.size() && NameText(*e.storedName) == e.name) {
                // The name field as the file held it: a name without its zero,
                // or with bytes after it, stays as it was.
                std::memcpy(t.name.data(), e.storedName->data(), e.storedName->size());
                t.nameLength = static_cast<std::uint8_t>(e.storedName->size());
                continue;
            }
            // A new name is stored with a counted zero byte; cutting it to 254
            // keeps that length within the 8-bit field.
            const std::size_t n = std::min(e.name.size(), kMaxStoredTextureName);
            std::memcpy(t.name.data(), e.name.data(), n);
            t.nameLength = static_cast<std::uint8_t>(n + 1);
        }
        break;
    }
    default:
        break;
    }
    return true;
}

bool AppendS3DModel(_s3d_model* pTarget, const _s3d_model* pSource) {
    if (pTarget == nullptr || pSource == nullptr || pTarget == pSource) return false;
    _s3d_model& t = *pTarget;
    const _s3d_model& s = *pSource;

    // The lists' real lengths, not the counts: the copies land at their source
    // position plus these.
    const std::size_t lv = t.vert.blocks.size();
    const std::size_t li = t.indx.blocks.size();
    const std::size_t lp = t.prim.blocks.size();
    const std::size_t lm = t.mats.blocks.size();

    // Everything that would make the target unreadable as written is checked
    // before anything is appended, so a refused append leaves it untouched.
    constexpr std::size_t kMax16 = std::numeric_limits<std::uint16_t>::max();
    if (t.anim.meshes.size() + s.anim.meshes.size() > kMax16) return false;
    if (!s.anim.meshes.empty()) {
        // The reader takes the target's frameCount frames of every mesh.
        if (s.anim.frameCount != t.anim.frameCount) return false;
        for (const _s3danim_mesh& mesh : s.anim.meshes) {
            if (mesh.frames.size() != t.anim.frameCount) return false;
            for (const _s3danim_frame& f : mesh.frames) {
                if (f.vertBlock + lv > kMax16 || f.indxBlock + li > kMax16 || f.primBlock + lp > kMax16 ||
                    f.matsBlock + lm > kMax16)
                    return false;
            }
        }
    }

    t.anim.meshes.reserve(t.anim.meshes.size() + s.anim.meshes.size());
    for (const _s3danim_mesh& mesh : s.anim.meshes) {
        _s3danim_mesh& copy = t.anim.meshes.emplace_back();
        copy = mesh;
        for (_s3danim_frame& f : copy.frames) {
            f.vertBlock = static_cast<std::uint16_t>(f.vertBlock + lv);
            f.indxBlock = static_cast<std::uint16_t>(f.indxBlock + li);
            f.primBlock = static_cast<std::uint16_t>(f.primBlock + lp);
            f.matsBlock = static_cast<std::uint16_t>(f.matsBlock + lm);
        }
    }
    t.mats.blocks.insert(t.mats.blocks.end(), s.mats.blocks.begin(), s.mats.blocks.end());
    t.prim.blocks.insert(t.prim.blocks.end(), s.prim.blocks.begin(), s.prim.blocks.end());
    t.indx.blocks.insert(t.indx.blocks.end(), s.indx.blocks.begin(), s.indx.blocks.end());
    t.vert.blocks.insert(t.vert.blocks.end(), s.vert.blocks.begin(), s.vert.blocks.end());

    t.vert.blockCount = static_cast<std::uint32_t>(t.vert.blocks.size());
    t.indx.blockCount = static_cast<std::uint32_t>(t.indx.blocks.size());
    t.prim.blockCount = static_cast<std::uint32_t>(t.prim.blocks.size());
    t.mats.blockCount = static_cast<std::uint32_t>(t.mats.blocks.size());
    t.anim.meshCount = static_cast<std::uint16_t>(t.anim.meshes.size());
    return true;
}
