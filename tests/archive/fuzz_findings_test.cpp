// Inputs that once broke a parser or codec, kept byte for byte so that the
// fault stays mended. Each came from a fuzz target or from building its seeds
// under the sanitizers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archive/qfs.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using Bytes = std::vector<std::uint8_t>;

// An image of 5 to 7 bytes has no whole length field at offset 4; the reader
// took four bytes there all the same, past the end of the image.
TEST(FuzzFindings, AnImageTooShortForItsLengthFieldIsRefusedWithoutReadingPastIt) {
    const std::vector<Bytes> images = {
        {0x01, 0x41, 0x00, 0x80, 0x33},
        {0x01, 0x41, 0x00, 0x80, 0x33, 0x94},
        {'3', 'D', 'M', 'D', 0x14, 0x00, 0x00},
    };
    for (const Bytes& image : images) {
        // An exact-size copy, so that a read past it is a read past the heap block.
        auto exact = std::make_unique<std::uint8_t[]>(image.size());
        std::copy(image.begin(), image.end(), exact.get());
        _s3d_model model;
        EXPECT_EQ(ParseS3D(exact.get(), image.size(), model), -1);
        EXPECT_EQ(model.declaredLength, 0u);
    }

    // As an archive entry the model is refused and the archive opens.
    kvtest::DbpfBuilder b;
    b.Add(kTypeS3D, 1, 0x1000, images[1]);
    b.Add(kTypeS3D, 1, 0x2000, kvtest::MakeRealisticS3D("Fine"));
    kvtest::MessageRecorder rec;
    auto doc = kvtest::OpenArchive(b.Build());
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_nModels, 2u);
    EXPECT_EQ(doc->m_pModels[0].szName, L"");
    EXPECT_EQ(doc->m_pModels[1].szName, L"Fine");
    ASSERT_EQ(rec.texts().size(), 1u);
    EXPECT_EQ(rec.texts()[0].rfind(L"S3D Decoding Error!!!", 0), 0u);
}

// An empty input may come as a null pointer; the end code then copied zero
// bytes from it, which the library does not allow.
TEST(FuzzFindings, AnEmptyInputWithoutABufferCompressesToTheEmptyStream) {
    Bytes out(QfsMaxCompressedSize(0));
    std::int64_t length = 0;
    QfsCompress(nullptr, 0, out.data(), out.size(), length);
    ASSERT_EQ(length, 6);
    EXPECT_EQ(out, (Bytes{0x10, 0xFB, 0x00, 0x00, 0x00, 0xFC, 0x00}));
}
