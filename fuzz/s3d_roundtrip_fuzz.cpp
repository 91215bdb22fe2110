// The S3D reader on any bytes, then the writer and a second read: whatever
// the reader accepts, the writer writes; where the tag scan finds the written
// chunks where the writer put them, the reader takes the image back and
// writing that again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "s3d_layout.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvfuzz::QuietMessages();
    _s3d_model model;
    model.declaredLength = 0xC0FFEE;  // a refused image must leave the model as it was
    const int parsed = ParseS3D(data, size, model);
    if (parsed != 1) {
        FUZZ_CHECK(parsed == -1);
        FUZZ_CHECK(model.declaredLength == 0xC0FFEE);
        FUZZ_CHECK(model.vert.blocks.empty() && !model.vert.raw);
        return 0;
    }
    FUZZ_CHECK(model.imageSize == size);

    std::vector<std::uint8_t> first;
    FUZZ_CHECK(EncodeS3D(model, first));
    FUZZ_CHECK(first.size() >= 20);

    _s3d_model again;
    if (!kvfuzz::TagsStandWhereWritten(first)) {
        // Letters of a tag where the writer put none: read whatever the scan
        // makes of it, safely.
        ParseS3D(first.data(), first.size(), again);
        return 0;
    }
    FUZZ_CHECK(ParseS3D(first.data(), first.size(), again) == 1);
    FUZZ_CHECK(again.declaredLength == first.size());
    FUZZ_CHECK(again.vert.blocks.size() == model.vert.blocks.size());
    FUZZ_CHECK(again.mats.blocks.size() == model.mats.blocks.size());
    FUZZ_CHECK(again.anim.meshes.size() == model.anim.meshes.size());

    std::vector<std::uint8_t> second;
    FUZZ_CHECK(EncodeS3D(again, second));
    FUZZ_CHECK(second == first);
    return 0;
}
