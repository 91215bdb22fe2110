#include "s3d/s3d_model.h"

#include <algorithm>

_s3danim_mesh& _s3danim_mesh::operator=(const _s3danim_mesh& s) {
    if (this == &s) return *this;
    nameLength = s.nameLength;
    flags = s.flags;
    std::copy_n(s.name.begin(), s.nameLength, name.begin());
    frames = s.frames;
    return *this;
}

_s3dregp_block& _s3dregp_block::operator=(const _s3dregp_block& s) {
    if (this == &s) return *this;
    nameLength = s.nameLength;
    std::copy_n(s.name.begin(), s.nameLength, name.begin());
    transformCount = s.transformCount;
    transforms = s.transforms;
    return *this;
}

void FreeRawChunks(_s3d_model& m) {
    for (_s3d_chunk* c : {static_cast<_s3d_chunk*>(&m.head), static_cast<_s3d_chunk*>(&m.vert),
                          static_cast<_s3d_chunk*>(&m.indx), static_cast<_s3d_chunk*>(&m.prim),
                          static_cast<_s3d_chunk*>(&m.mats), static_cast<_s3d_chunk*>(&m.anim),
                          static_cast<_s3d_chunk*>(&m.prop), static_cast<_s3d_chunk*>(&m.regp)}) {
        c->raw.reset();
        c->length = 0;
    }
}

std::uint32_t S3DVertexSize(std::uint32_t format) {
    switch (format) {
    case kVertexFormatXyzColour: return 16;
    case kVertexFormatXyzUv: return 20;
    case kVertexFormatXyzColourUv: return 24;
    case kVertexFormatXyzUvUv2: return 28;
    case kVertexFormatXyzColourUvUv2: return 32;
    default: return 0;
    }
}

std::uint32_t S3DFormatForCode(std::uint16_t code) {
    switch (code) {
    case 1: return kVertexFormatXyzColour;
    case 2: return kVertexFormatXyzUv;
    case 3: return kVertexFormatXyzUvUv2;
    case 10: return kVertexFormatXyzColourUv;
    case 11: return kVertexFormatXyzColourUvUv2;
    default: return 0;
    }
}

std::uint16_t S3DCodeForFormat(std::uint32_t format) {
    switch (format) {
    case kVertexFormatXyzColour: return 1;
    case kVertexFormatXyzUv: return 2;
    case kVertexFormatXyzUvUv2: return 3;
    case kVertexFormatXyzColourUv: return 10;
    case kVertexFormatXyzColourUvUv2: return 11;
    default: return 0;
    }
}
