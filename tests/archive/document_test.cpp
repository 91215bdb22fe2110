#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"
#include "support/archive_fixture.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

class TitleView : public CView {
public:
    void OnUpdate(CView*, std::intptr_t, std::intptr_t) override {}
    void OnTitleChanged() override { titles.push_back(GetDocument()->GetTitle()); }
    std::vector<std::wstring> titles;
};

// Boxes and beeps in the order they happen, answering boxes from a script.
class EventLog {
public:
    EventLog() {
        m_oldBox = kv::SetMessageBoxHandler([this](const std::wstring& text, unsigned type) {
            events.push_back(L"box " + std::to_wstring(type) + L" " + text);
            int r = answers.empty() ? IDOK : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
            return r;
        });
        m_oldBeep = kv::SetBeepHandler([this](unsigned type) { events.push_back(L"beep " + std::to_wstring(type)); });
    }
    ~EventLog() {
        kv::SetMessageBoxHandler(std::move(m_oldBox));
        kv::SetBeepHandler(std::move(m_oldBeep));
    }
    std::vector<std::wstring> events;
    std::vector<int> answers;

private:
    kv::MessageBoxHandler m_oldBox;
    kv::BeepHandler m_oldBeep;
};

// An archive as they come: named models, a compressed twenty-view set, opaque
// entries, a DIR, data laid out out of order with gaps between entries.
Bytes RealisticArchive() {
    kvtest::DbpfBuilder b;
    b.gap = 7;
    b.reverseData = true;
    b.Add(0x6534284A, 0x1ABE787D, 0x00000001, Bytes(300, 0x5C));
    b.Add(kTypeS3D, 0x1ABE787D, 0x00030001, kvtest::MakeRealisticS3D("Shed", 40));
    for (int h = 0; h < 20; ++h)
        b.Add(kTypeS3D, 0x1ABE787D, 0x00042000 + static_cast<std::uint32_t>(h / 4) * 0x100 + static_cast<std::uint32_t>(h % 4) * 0x10,
              kvtest::CompressEntry(kvtest::MakeRealisticS3D(h ? "view" : "0a1b2c3d_Hotel_UserModel_Z5S", 12 + h)));
    b.Add(0x856DDBAC, 0x46A006B0, 0x00000002, kvtest::CompressEntry(Bytes(500, 0x11)));
    b.AddDir();
    b.Add(kTypeS3D, 0x2BBE787D, 0x00000777, kvtest::MakeRealisticS3D("Fence", 8));
    return b.Build();
}

}  // namespace

TEST(DatDocument, TheModifiedMarkFollowsTheFlag) {
    CDATDoc doc;
    TitleView view;
    doc.AddView(&view);
    doc.SetTitle(L"Houses.dat");
    view.titles.clear();

    doc.SetModifiedFlag(true);
    doc.SetModifiedFlag(true);  // a second time adds no second mark
    EXPECT_EQ(doc.GetTitle(), L"Houses.dat*");
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.GetTitle(), L"Houses.dat");
    EXPECT_FALSE(doc.IsModified());
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.GetTitle(), L"Houses.dat");
    // The frames heard of each change of the title, and only of those.
    EXPECT_EQ(view.titles, (std::vector<std::wstring>{L"Houses.dat*", L"Houses.dat"}));

    // Clearing removes every trailing mark; a title that is not marked modified
    // keeps its stars.
    doc.SetModifiedFlag(true);
    doc.SetTitle(L"Odd**");
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.GetTitle(), L"Odd");
    doc.SetTitle(L"Star*");
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.GetTitle(), L"Star*");
    doc.SetTitle(L"");
    doc.SetModifiedFlag(true);
    EXPECT_EQ(doc.GetTitle(), L"*");
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.GetTitle(), L"");
}

TEST(DatDocument, SaveModifiedBeepsThenAsks) {
    const Bytes file = RealisticArchive();
    std::unique_ptr<CDATDoc> doc;
    {
        kvtest::MessageRecorder quiet;
        doc = kvtest::OpenArchive(file, "Beep.dat");
    }
    ASSERT_TRUE(doc);
    const std::string path = kv::WideToUtf8(doc->GetPathName());

    EventLog log;
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_TRUE(log.events.empty());  // nothing changed: no beep, no question

    doc->SetModifiedFlag(true);
    const std::wstring prompt = L"box " + std::to_wstring(MB_YESNOCANCEL) + L" Save changes to Beep.dat?";
    const std::wstring beep = L"beep " + std::to_wstring(MB_ICONEXCLAMATION);
    log.answers = {IDCANCEL, IDNO};
    EXPECT_FALSE(doc->SaveModified());
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_EQ(log.events, (std::vector<std::wstring>{beep, prompt, beep, prompt}));
    EXPECT_TRUE(doc->IsModified());

    // Yes saves: the image goes to disk and the mark goes away.
    doc->m_pBuffer[12] ^= 0xFF;  // a header byte nobody reads, to see the save happen
    log.events.clear();
    log.answers = {IDYES};
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_EQ(log.events, (std::vector<std::wstring>{beep, prompt}));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetTitle(), L"Beep.dat");
    EXPECT_EQ(kvtest::ReadFileBytes(path), kvtest::ImageOf(*doc));
    EXPECT_NE(kvtest::ReadFileBytes(path), file);
}

TEST(DatDocument, AnArchiveSavedWithoutEditsIsByteForByteTheSame) {
    const Bytes file = RealisticArchive();
    kvtest::MessageRecorder rec;
    auto doc = kvtest::OpenArchive(file, "Round.SC4Model");
    ASSERT_TRUE(doc);
    EXPECT_TRUE(rec.texts().empty());
    EXPECT_EQ(doc->m_nModels, 3u);
    EXPECT_EQ(doc->m_nCompressed, 21u);
    EXPECT_EQ(doc->m_pModels[1].nViews, 20);
    EXPECT_EQ(doc->m_pModels[1].szName, L"Hotel");

    // Save over the file it came from, and under a new name.
    const std::wstring same = doc->GetPathName();
    ASSERT_TRUE(doc->OnSaveDocument(same));
    EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(same)), file);
    const std::filesystem::path other = kv::PathFromWide(same).parent_path() / "Copy.SC4Model";
    ASSERT_TRUE(doc->OnSaveDocument(kv::WideFromPath(other)));
    EXPECT_EQ(kvtest::ReadFileBytes(other.string()), file);
    EXPECT_TRUE(rec.texts().empty());
}

TEST(DatDocument, AFailedSaveLeavesTheArchiveOnDiskAsItWas) {
    const Bytes file = RealisticArchive();
    kvtest::MessageRecorder rec;
    auto doc = kvtest::OpenArchive(file, "Keep.dat");
    ASSERT_TRUE(doc);
    doc->m_pBuffer[12] ^= 0xFF;
    doc->SetModifiedFlag(true);
    for (kv::FileOp op : {kv::FileOp::Write, kv::FileOp::Flush, kv::FileOp::Rename}) {
        kv::SetFileFaultHook([op](kv::FileOp o) { return o == op; });
        EXPECT_FALSE(doc->OnSaveDocument(doc->GetPathName()));
        kv::SetFileFaultHook(nullptr);
        EXPECT_EQ(kvtest::ReadFileBytes(kv::WideToUtf8(doc->GetPathName())), file);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(doc->GetTitle(), L"Keep.dat*");
    }
}
