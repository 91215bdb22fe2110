// A whole archive opened from any bytes, the way the application opens a
// file: validation, grouping, display names. Then every entry of the index is
// loaded, every model that loads is stored back and the pending entries are
// committed. An archive that commits must open again with the same model list.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "fuzz_support.h"
#include "s3d/s3d_format.h"
#include "s3d_layout.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"

namespace {

// The longest input of the main run (its -max_len in scripts/fuzz.sh).
constexpr std::size_t kShortArchive = 4096;

// The bytes live in an anonymous in-memory file that the document opens by
// its /proc path, so every input goes through the real file layer without
// touching the disk.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("korvane-fuzz.dat", MFD_CLOEXEC)) {
        if (m_fd < 0) ::kvfuzz::Broken("memfd_create", __FILE__, __LINE__);
        m_path = kv::Utf8ToWide("/proc/self/fd/" + std::to_string(m_fd));
    }
    const std::wstring& Fill(const std::uint8_t* data, std::size_t size) {
        FUZZ_CHECK(::ftruncate(m_fd, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            ssize_t put = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(put > 0);
            done += static_cast<std::size_t>(put);
        }
        return m_path;
    }

private:
    int m_fd;
    std::wstring m_path;
};

void CheckModelTable(const CDATDoc& doc) {
    FUZZ_CHECK(doc.m_nModels == doc.m_pModels.size());
    const std::uint32_t count = doc.IndexCount();
    std::uint32_t s3dRows = 0;
    for (std::uint32_t row = 0; row < count; ++row)
        if (doc.IndexEntry(row).type == kTypeS3D) ++s3dRows;
    std::uint32_t views = 0;
    for (const _dat_model& m : doc.m_pModels) {
        FUZZ_CHECK(m.nRow >= 0 && static_cast<std::uint32_t>(m.nRow) < count);
        FUZZ_CHECK(doc.IndexEntry(static_cast<std::uint32_t>(m.nRow)).type == kTypeS3D);
        FUZZ_CHECK(m.nViews == 1 || m.nViews == 20);
        FUZZ_CHECK(m.szName.size() <= 99);
        for (int k = 0; k < 7; ++k) FUZZ_CHECK(m.szStatus[k] == kUnchangedMark);
        FUZZ_CHECK(m.szStatus[7] == 0);
        views += static_cast<std::uint32_t>(m.nViews);
    }
    // Every S3D entry is listed once, alone or as one view of a set.
    FUZZ_CHECK(views == s3dRows);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kvfuzz::QuietMessages();
    static MemoryFile file;

    // A compressed entry declares the size it expands to, up to 16 MB, and a
    // mutated one mostly declares far more than its stream holds: the time
    // then goes into clearing the rest and scanning it for tags. In inputs
    // of the main run, at most kShortArchive bytes, every QFS stream start
    // (10 FB) is held to below 16 KB, past any model of the seeds; longer
    // inputs, which the second run gives, keep what they declare.
    std::vector<std::uint8_t> bytes(data, data + size);
    if (size <= kShortArchive)
        for (std::size_t k = 0; k + 3 < size; ++k)
            if (bytes[k] == 0x10 && bytes[k + 1] == 0xFB) {
                bytes[k + 2] = 0;
                bytes[k + 3] &= 0x3F;
            }
    data = bytes.data();

    CDATDoc doc;
    if (!doc.OnOpenDocument(file.Fill(data, size))) return 0;
    FUZZ_CHECK(doc.m_nFileSize == size);
    FUZZ_CHECK(doc.m_pBuffer.size() == size);
    CheckModelTable(doc);

    const std::uint32_t count = doc.IndexCount();
    std::vector<bool> mustLoad(count, false);
    for (std::uint32_t row = 0; row < count; ++row) {
        bool compressed = false;
        std::uint32_t entrySize = 0;
        std::unique_ptr<_s3d_model> model = doc.LoadModel(row, compressed, entrySize);
        if (!model) continue;
        FUZZ_CHECK(entrySize == doc.IndexEntry(row).size);
        // A written image whose tag letters stand elsewhere than its chunks
        // need not read back (see s3d_layout.h).
        std::vector<std::uint8_t> image;
        const bool readsBack = EncodeS3D(*model, image) && kvfuzz::TagsStandWhereWritten(image);
        mustLoad[row] = doc.StoreModel(row, std::move(model), compressed, entrySize) && readsBack;
    }
    const bool pending = doc.AnyPending();
    if (!doc.CommitReplacedEntries() || !pending) return 0;
    FUZZ_CHECK(!doc.AnyPending());
    FUZZ_CHECK(doc.m_pBuffer.size() == doc.m_nFileSize);

    // What a save would write now must open again, list the same models
    // under the same names, and give back every model that was stored.
    CDATDoc again;
    FUZZ_CHECK(again.OnOpenDocument(file.Fill(doc.m_pBuffer.data(), doc.m_pBuffer.size())));
    CheckModelTable(again);
    FUZZ_CHECK(again.m_nModels == doc.m_nModels);
    for (std::uint32_t k = 0; k < doc.m_nModels; ++k) {
        FUZZ_CHECK(again.m_pModels[k].nRow == doc.m_pModels[k].nRow);
        FUZZ_CHECK(again.m_pModels[k].nViews == doc.m_pModels[k].nViews);
        FUZZ_CHECK(again.m_pModels[k].szName == doc.m_pModels[k].szName);
    }
    for (std::uint32_t row = 0; row < count; ++row) {
        if (!mustLoad[row]) continue;
        bool compressed = false;
        std::uint32_t entrySize = 0;
        FUZZ_CHECK(again.LoadModel(row, compressed, entrySize) != nullptr);
    }
    return 0;
}
