#include <new>

#include "archive/dat_doc.h"
#include "archive/qfs.h"
#include "platform/binary_io.h"
#include "platform/internal_errors.h"
#include "platform/message.h"
#include "platform/text.h"
#include "s3d/allocation_seam.h"
#include "s3d/s3d_format.h"
#include "s3d/s3d_model.h"

std::unique_ptr<_s3d_model> CDATDoc::LoadModel(std::uint32_t row, bool& compressed, std::uint32_t& size) {
    const _dbpf_index_entry e = IndexEntry(row);
    // A pending entry is read from its new bytes, which its index size describes.
    const std::span<const std::uint8_t> bytes = EntryBytes(row);
    compressed = IsCompressedData(bytes);
    size = e.size;

    std::optional<QfsBytes> expanded;
    std::span<const std::uint8_t> image = bytes;
    if (compressed) {
        std::size_t length = bytes.size() - 4;
        expanded = QfsDecompress(bytes.data() + 4, length);
        if (!expanded) {
            AfxMessageBox(L"Decompression Error!!!");
            return nullptr;
        }
        image = *expanded;
    }

    std::unique_ptr<_s3d_model> model;
    try {
        kv::AllocationSeam::Count();
        model = std::make_unique<_s3d_model>();
    } catch (const std::bad_alloc&) {
        AfxMessageBox(L"INVALID S3D HANDLE!!!");
        return nullptr;
    }
    // A model the reader cannot take whole is never edited, or it would be
    // written back without what the reader skipped.
    int parsed;
    try {
        parsed = ParseS3D(image.data(), image.size(), *model);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(L"Insufficient memory!!!");
        return nullptr;
    }
    if (parsed != 1) {
        AfxMessageBox(kv::FormatW(L"S3D Decoding Error!!!\n\nThe model %#08x %#08x %#08x is damaged and is left as it is.",
                                  e.type, e.group, e.instance));
        return nullptr;
    }
    return model;
}

bool CDATDoc::StoreModel(std::uint32_t row, std::unique_ptr<_s3d_model> model, bool compressed, std::uint32_t size) {
    if (!model) {
        AfxMessageBox(L"S3D Encoding Error!!!");
        return false;
    }
    std::vector<std::uint8_t> encoded;
    bool encodedOk;
    try {
        encodedOk = EncodeS3D(*model, encoded);
    } catch (const std::bad_alloc&) {
        encodedOk = false;
    }
    model.reset();
    if (!encodedOk) {
        AfxMessageBox(L"S3D Encoding Error!!!");
        return false;
    }
    if (encoded.empty()) {
        kv::ShowInternalError(kv::InternalError::kStoreEncodedNothing);
        return false;
    }

    std::vector<std::uint8_t> stored;
    if (compressed) {
        // Room for the worst the encoder can write, so that no model is too
        // incompressible to store.
        try {
            kv::AllocationSeam::Count();
            stored.assign(4 + QfsMaxCompressedSize(encoded.size()), 0);
        } catch (const std::bad_alloc&) {
            AfxMessageBox(L"Insufficient memory!!!");
            return false;
        }
        std::int64_t length = -1;
        QfsCompress(encoded.data(), encoded.size(), stored.data() + 4, stored.size() - 4, length);
        if (length < 0) {
            AfxMessageBox(L"Compression Error!!!");
            return false;
        }
        stored.resize(static_cast<std::size_t>(length) + 4);
        kv::ByteWriter::StoreU32(stored.data(), static_cast<std::uint32_t>(stored.size()));
    } else {
        stored = std::move(encoded);
    }

    _dbpf_index_entry e = IndexEntry(row);
    // Whether an entry is compressed is told by its bytes 4 and 5 alone, which
    // in a plain model are the low bytes of its length. A plain model whose
    // length makes them read 10 FB would open as a compressed entry (and the
    // DIR would no longer count the compressed entries right), so it is not
    // stored. A compressed one always carries them.
    if (!compressed && IsCompressedData(stored)) {
        AfxMessageBox(kv::FormatW(L"S3D Encoding Error!!!\n\nThe model %#08x %#08x %#08x would be stored as %u bytes, "
                                  L"which the archive would take for a compressed entry; it is left as it is.",
                                  e.type, e.group, e.instance, static_cast<unsigned>(stored.size())));
        return false;
    }
    const bool inPlace = !HasPending(row) && !IsShared(row) && stored.size() == size && size == e.size &&
                         static_cast<std::uint64_t>(e.offset) + e.size <= m_pBuffer.size();
    if (inPlace) {
        std::uint8_t* at = m_pBuffer.data() + e.offset;
        // The DIR keeps each compressed entry's uncompressed size; a store in
        // place that changes it leaves the DIR to be rewritten at the commit.
        if (compressed && (at[6] != stored[6] || at[7] != stored[7] || at[8] != stored[8])) m_bDirStale = true;
        std::copy(stored.begin(), stored.end(), at);
        ++m_nStores;
        return true;
    }

    // The new size goes into the index, so entries laid over the index take
    // their bytes along first.
    if (!DetachIndexOverlaps()) return false;
    try {
        kv::AllocationSeam::Count();
        m_ppReplaced.Set(row, stored);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(L"Insufficient memory!!!");
        return false;
    }
    e.size = static_cast<std::uint32_t>(stored.size());
    SetIndexEntry(row, e);
    ++m_nStores;
    return true;
}
