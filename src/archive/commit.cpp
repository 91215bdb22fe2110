#include <algorithm>
#include <new>

#include "archive/dat_doc.h"
#include "platform/binary_io.h"
#include "platform/message.h"
#include "s3d/allocation_seam.h"

using kv::ByteWriter;

namespace {
// Bytes 6 to 8 of a compressed entry, big-endian; bytes a damaged entry lacks count as 0.
std::uint32_t UncompressedSize(std::span<const std::uint8_t> bytes) {
    std::uint32_t v = 0;
    for (std::size_t k = 6; k < 9; ++k) v = (v << 8) | (k < bytes.size() ? bytes[k] : 0u);
    return v;
}
}  // namespace

bool CDATDoc::CommitReplacedEntries() {
    const std::uint32_t count = IndexCount();
    if (count == 0) return true;

    const std::uint64_t indexSize = static_cast<std::uint64_t>(count) * kIndexEntrySize;
    std::uint64_t total = kHeaderSize + indexSize;
    for (std::uint32_t row = 0; row < count; ++row) total += IndexEntry(row).size;
    if (!AnyPending()) {
        if (!m_bDirStale) return true;
        // A DIR that shares its bytes is rewritten in a copy of its own, which
        // then needs the layout below like any pending entry.
        if (!DetachSharedDir()) return false;
        if (!AnyPending()) {
            m_bDirStale = false;
            RebuildDirectory();
            return true;
        }
    }
    // The header's offsets are 32-bit: an image past that could not be described.
    if (total > 0xFFFFFFFFu) {
        AfxMessageBox(L"Insufficient memory!!!");
        return false;
    }

    kv::ByteImage image;
    try {
        // Uninitialised: every byte is written below.
        kv::AllocationSeam::Count();
        image.resize(static_cast<std::size_t>(total));
    } catch (const std::bad_alloc&) {
        AfxMessageBox(L"Insufficient memory!!!");
        return false;
    }

    std::copy_n(m_pBuffer.begin(), kHeaderSize, image.begin());
    std::uint32_t write = kHeaderSize;
    std::vector<_dbpf_index_entry> index(count);
    for (std::uint32_t row = 0; row < count; ++row) {
        _dbpf_index_entry e = IndexEntry(row);
        std::span<const std::uint8_t> bytes = EntryBytes(row);
        // Validation keeps every entry inside the image and a pending entry's
        // size equal to its bytes; an entry that still disagrees is written
        // with what it holds, zero-filled to its index size.
        const std::size_t have = std::min<std::size_t>(bytes.size(), e.size);
        std::copy_n(bytes.begin(), have, image.begin() + write);
        std::fill_n(image.begin() + write + have, e.size - have, 0);
        e.offset = write;
        index[row] = e;
        write += e.size;
    }
    for (std::uint32_t row = 0; row < count; ++row) {
        std::uint8_t* p = image.data() + write + static_cast<std::size_t>(row) * kIndexEntrySize;
        ByteWriter::StoreU32(p, index[row].type);
        ByteWriter::StoreU32(p + 4, index[row].group);
        ByteWriter::StoreU32(p + 8, index[row].instance);
        ByteWriter::StoreU32(p + 12, index[row].offset);
        ByteWriter::StoreU32(p + 16, index[row].size);
    }
    ByteWriter::StoreU32(image.data() + _dbpf_header::kIndexOffsetAt, write);

    m_pBuffer = std::move(image);
    m_ppReplaced.Clear();
    m_nFileSize = static_cast<std::uint32_t>(write + indexSize);
    m_pIndex = write;

    // Every entry has bytes of its own in the new layout.
    m_vShared.assign(count, 0);
    m_vOverIndex.assign(count, 0);
    m_bOverIndex = false;
    m_bDirStale = false;
    RebuildDirectory();

    if (!ParseArchive(GetTitle(), 1)) {
        AfxMessageBox(GetTitle() + L" appears corrupted!\nIt is suggested that you don't save this file");
        return false;
    }
    return true;
}

bool CDATDoc::DetachSharedDir() {
    if (m_nDirRow < 0) return true;
    const auto dirRow = static_cast<std::uint32_t>(m_nDirRow);
    // A DIR whose bytes other entries, the header or the index share gets a
    // place of its own (laid out by the next commit) before its records are
    // rewritten, so that nothing else is written through it.
    return !IsShared(dirRow) || DetachEntry(dirRow);
}

bool CDATDoc::RebuildDirectory() {
    if (m_nDirRow < 0) return true;
    m_pIndex = kv::ByteReader::LoadU32(&m_pBuffer[_dbpf_header::kIndexOffsetAt]);

    const std::uint32_t count = IndexCount();
    const auto dirRow = static_cast<std::uint32_t>(m_nDirRow);
    const _dbpf_index_entry dir = IndexEntry(dirRow);
    if (!DetachSharedDir()) return false;
    // An empty DIR may point anywhere: it has room for no record.
    const bool inImage = static_cast<std::uint64_t>(dir.offset) + dir.size <= m_pBuffer.size();
    std::uint8_t* records = HasPending(dirRow) ? m_ppReplaced.Bytes(dirRow).data()
                            : inImage          ? m_pBuffer.data() + dir.offset
                                               : nullptr;
    const std::size_t room = HasPending(dirRow) ? m_ppReplaced.Bytes(dirRow).size() : inImage ? dir.size : 0;
    std::uint32_t written = 0;
    bool ok = true;
    for (std::uint32_t row = 0; row < count && ok; ++row) {
        _dbpf_index_entry e = IndexEntry(row);
        if (e.type == kTypeDir) continue;
        std::span<const std::uint8_t> bytes = EntryBytes(row);
        if (!IsCompressedData(bytes)) continue;
        if (written == m_nCompressed) {
            ok = false;
            break;
        }
        // Validation made room for m_nCompressed records.
        const std::size_t at = static_cast<std::size_t>(written) * kDirRecordSize;
        if (at + kDirRecordSize > room) {
            ok = false;
            break;
        }
        std::uint8_t* p = records + at;
        ByteWriter::StoreU32(p, e.type);
        ByteWriter::StoreU32(p + 4, e.group);
        ByteWriter::StoreU32(p + 8, e.instance);
        ByteWriter::StoreU32(p + 12, UncompressedSize(bytes));
        ++written;
    }
    if (ok && written == m_nCompressed) return true;
    AfxMessageBox(L"Unable to rebuild the Directory (DIR) File for " + GetTitle() +
                  L"!\r\n\r\nPlease fix this archive using the Reader.");
    return false;
}
