#pragma once
// Reading an S3D image ("3DMD" with the chunks HEAD, VERT, INDX, PRIM, MATS,
// ANIM, PROP, REGP) into an _s3d_model, and writing a model back to bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "s3d/s3d_model.h"

// Fills `model` from the image. The image is only read and not kept.
// Returns 1 when the image was read whole and -1 when it is refused: 4 bytes
// or fewer, a chunk tag missing or out of order, VERT before offset 20, a
// chunk too short for its header, a block or element that runs past its
// chunk's range, vertices of a format with no known size, or more material,
// animation, property and region records than a fixed 256 MiB of memory
// holds. Nothing outside a chunk's range is ever read, and a refused image
// leaves `model` exactly as it was. Running out of memory throws
// std::bad_alloc, again with `model` as it was.
int ParseS3D(const std::uint8_t* data, std::size_t length, _s3d_model& model);

// Writes `model` as an image into `out` (replacing its contents); the model
// is not changed. Returns false, with `out` empty, when the model cannot be
// written so that it reads back as written: a declared count that differs
// from the number of records held, a mesh whose frames differ in number from
// the animation's frame count, vertices of a format with no known size, or an
// image longer than 4 GB. Returns true with `out` empty when no buffer for
// the image could be allocated.
bool EncodeS3D(const _s3d_model& model, std::vector<std::uint8_t>& out);
