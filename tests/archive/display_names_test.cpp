#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using namespace kvtest;

TEST(DisplayNames, TwentyViewTrimming) {
    const struct {
        std::wstring in, out;
    } cases[] = {
        {L"Hotel_UserModel_Z5S", L"Hotel"},
        {L"0a1b2c3d_Hotel_UserModel_Z5S", L"Hotel"},
        {L"deadbeef_Hotel", L"deadbeef_Hotel"},
        {L"12345678_X", L"X"},
        {L"12345678_", L"12345678_"},
        {L"Hotel_usermodel_Z5S", L"Hotel_usermodel_Z5S"},
        {L"Hotel_UserModel_Z5s", L"Hotel_UserModel_Z5s"},
        {L"Hotel_UserModel_ZxS", L"Hotel_UserModel_ZxS"},
        {L"0a1b2c3d_UserModel_Z1S", L"0a1b2c3d"},
        {L"_UserModel_Z1S", L"_UserModel_Z1S"},
        {L"A_UserModel_Z1S", L"A"},
    };
    for (const auto& c : cases) EXPECT_EQ(TrimTwentyViewName(c.in), c.out) << std::string(c.in.begin(), c.in.end());
}

namespace {

void AddSet(DbpfBuilder& b, std::uint32_t group, std::uint32_t base, const std::string& name) {
    for (int h = 0; h < 20; ++h) {
        std::uint32_t instance = base + static_cast<std::uint32_t>(h / 4) * 0x100 + static_cast<std::uint32_t>(h % 4) * 0x10;
        b.Add(kTypeS3D, group, instance, MakeRealisticS3D(h == 0 ? name : "view", 4));
    }
}

}  // namespace

TEST(DisplayNames, DerivedOnLoad) {
    S3DBuilder noMaterials = RealisticS3D("none", 4);
    noMaterials.mats.clear();
    for (auto& mesh : noMaterials.meshes)
        for (auto& f : mesh.frames) f.mats = 0;
    S3DBuilder noTexture = RealisticS3D("none", 4);
    noTexture.mats[0].textures.clear();

    DbpfBuilder b;
    AddSet(b, 1, 0x10000, "0a1b2c3d_Hotel_UserModel_Z5S");
    b.Add(kTypeS3D, 2, 0x100, MakeRealisticS3D("0a1b2c3d_Hotel_UserModel_Z5S"));
    b.Add(kTypeS3D, 2, 0x200, CompressEntry(MakeRealisticS3D(std::string(120, 'n'))));
    b.Add(kTypeS3D, 2, 0x300, MakeRealisticS3D("Caf\xE9 \x80"));
    b.Add(kTypeS3D, 2, 0x400, noMaterials.Build());
    // A twenty-view base whose first material has no texture.
    for (int h = 0; h < 20; ++h)
        b.Add(kTypeS3D, 3, 0x20000 + static_cast<std::uint32_t>(h / 4) * 0x100 + static_cast<std::uint32_t>(h % 4) * 0x10,
              h == 0 ? noTexture.Build() : MakeRealisticS3D("view"));
    b.AddDir();

    MessageRecorder rec;
    auto doc = OpenArchive(b.Build());
    ASSERT_TRUE(doc);
    EXPECT_TRUE(rec.boxes().empty());
    ASSERT_EQ(doc->m_nModels, 6u);
    const std::wstring expected[] = {L"Hotel", L"0a1b2c3d_Hotel_UserModel_Z5S", std::wstring(99, L'n'), L"Caf\u00e9 \u20ac",
                                     L"", L""};
    for (std::uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(doc->m_pModels[i].szName, expected[i]) << "model " << i;
        EXPECT_EQ(std::wstring(doc->m_pModels[i].szStatus.data()), std::wstring(7, L'\u2013'));
    }
    EXPECT_EQ(doc->m_pModels[0].nViews, 20);
    EXPECT_EQ(doc->m_pModels[5].nViews, 20);
}
