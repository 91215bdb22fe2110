#include "archive/dat_doc.h"

#include <algorithm>
#include <new>

#include "archive/model_table.h"
#include "platform/binary_io.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/message.h"
#include "s3d/allocation_seam.h"

using kv::ByteReader;
using kv::ByteWriter;

bool IsCompressedData(std::span<const std::uint8_t> data) {
    return data.size() >= 6 && data[4] == 0x10 && data[5] == 0xFB;
}

std::uint32_t CDATDoc::IndexCount() const {
    return m_pBuffer.size() >= kHeaderSize ? ByteReader::LoadU32(&m_pBuffer[_dbpf_header::kCountAt]) : 0;
}

_dbpf_index_entry CDATDoc::IndexEntry(std::uint32_t row) const {
    ByteReader r(m_pBuffer.data(), m_pBuffer.size());
    r.seek(m_pIndex + static_cast<std::size_t>(row) * kIndexEntrySize);
    _dbpf_index_entry e;
    e.type = r.u32();
    e.group = r.u32();
    e.instance = r.u32();
    e.offset = r.u32();
    e.size = r.u32();
    return r.ok() ? e : _dbpf_index_entry{};
}

void CDATDoc::SetIndexEntry(std::uint32_t row, const _dbpf_index_entry& e) {
    std::size_t at = m_pIndex + static_cast<std::size_t>(row) * kIndexEntrySize;
    if (at + kIndexEntrySize > m_pBuffer.size()) return;
    std::uint8_t* p = m_pBuffer.data() + at;
    const EntryAddress from{ByteReader::LoadU32(p), ByteReader::LoadU32(p + 4), ByteReader::LoadU32(p + 8)};
    m_addresses.Move(row, from, {e.type, e.group, e.instance});
    ByteWriter::StoreU32(p, e.type);
    ByteWriter::StoreU32(p + 4, e.group);
    ByteWriter::StoreU32(p + 8, e.instance);
    ByteWriter::StoreU32(p + 12, e.offset);
    ByteWriter::StoreU32(p + 16, e.size);
}

std::span<const std::uint8_t> CDATDoc::EntryBytes(std::uint32_t row) const {
    if (HasPending(row)) return m_ppReplaced.Bytes(row);
    _dbpf_index_entry e = IndexEntry(row);
    if (static_cast<std::uint64_t>(e.offset) + e.size > m_pBuffer.size()) return {};
    return std::span<const std::uint8_t>(m_pBuffer.data() + e.offset, e.size);
}

const EntryAddressMap* CDATDoc::Addresses() const {
    const std::uint32_t count = IndexCount();
    if (m_addresses.Rows() == count) return &m_addresses;
    if (m_pIndex > m_pBuffer.size() || (m_pBuffer.size() - m_pIndex) / kIndexEntrySize < count) return nullptr;
    try {
        m_addresses.Build(std::span<const std::uint8_t>(m_pBuffer.data() + m_pIndex, m_pBuffer.size() - m_pIndex), count);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return &m_addresses;
}

bool CDATDoc::IsCompressed(std::uint32_t row) const { return IsCompressedData(EntryBytes(row)); }

void CDATDoc::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        // Entries stored at a new size wait outside the image; lay them out
        // first so that the index written always describes the bytes written.
        if ((AnyPending() || m_bDirStale) && !CommitReplacedEntries()) throw CUserException();
        ar.Write(m_pBuffer.data(), m_nFileSize);
        return;
    }

    const std::wstring name = ar.GetFileName();
    const std::uint64_t length = ar.GetLength();
    if (length == 0) {
        AfxMessageBox(name + L" is a zero-length file!!!");
        throw CUserException();
    }
    if (length >> 32) {
        AfxMessageBox(L"File " + name + L" is too large!!!");
        throw CUserException();
    }
    if (length < kHeaderSize) throw CArchiveException(CArchiveException::badIndex);

    m_nFileSize = static_cast<std::uint32_t>(length);
    try {
        kv::AllocationSeam::Count();
        m_pBuffer.resize(m_nFileSize);  // every byte is read from the file next
    } catch (const std::bad_alloc&) {
        m_pBuffer.clear();
        throw CMemoryException();
    }
    if (ar.Read(m_pBuffer.data(), m_nFileSize) != m_nFileSize) {
        AfxMessageBox(L"Error reading " + name);
        throw CUserException();
    }
    if (!ParseArchive(name, 0)) throw CArchiveException(CArchiveException::badIndex);
}

bool CDATDoc::ParseArchive(const std::wstring& name, int mode) {
    if (m_pBuffer.size() < kHeaderSize || m_pBuffer.size() != m_nFileSize) return false;
    ByteReader h(m_pBuffer.data(), kHeaderSize);
    _dbpf_header hd;
    hd.magic = h.u32();
    hd.majorVersion = h.u32();
    hd.minorVersion = h.u32();
    h.seek(_dbpf_header::kIndexMajorAt);
    hd.indexMajorVersion = h.u32();
    hd.indexEntryCount = h.u32();
    hd.indexOffset = h.u32();
    hd.indexSize = h.u32();
    if (hd.magic != kDbpfMagic || hd.majorVersion != 1 || hd.minorVersion != 0 || hd.indexMajorVersion != 7) return false;
    if (static_cast<std::uint64_t>(hd.indexEntryCount) * kIndexEntrySize != hd.indexSize) return false;
    if (static_cast<std::uint64_t>(hd.indexOffset) + hd.indexSize != m_nFileSize) return false;

    if (mode == 0) m_nModels = 0;
    m_nCompressed = 0;
    m_nDirRow = -1;
    m_pIndex = hd.indexOffset;
    const std::uint32_t count = hd.indexEntryCount;

    // An entry must lie wholly inside the image: everything after this point
    // reads entry bytes at the offsets the index gives. An empty entry reads
    // nothing, wherever its offset points.
    for (std::uint32_t row = 0; row < count; ++row) {
        if (HasPending(row)) continue;
        _dbpf_index_entry e = IndexEntry(row);
        if (e.size != 0 && static_cast<std::uint64_t>(e.offset) + e.size > m_nFileSize) return false;
    }
    // A commit lays every entry out in bytes of its own and clears the
    // tables itself, so only a loaded image is searched for shared bytes.
    if (mode == 0 && !FindSharedEntries(count)) return false;

    // The S3D entries in index order, each with its group and instance: the
    // model table before its sets are grouped.
    std::vector<std::int32_t> s3dRows;
    std::vector<ModelKey> keys;
    if (mode == 0) {
        try {
            kv::AllocationSeam::Count();
            m_pModels.clear();
            s3dRows.reserve(count);
            keys.reserve(count);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    for (std::uint32_t row = 0; row < count; ++row) {
        _dbpf_index_entry e = IndexEntry(row);
        if (e.type == kTypeS3D && mode == 0) {
            s3dRows.push_back(static_cast<std::int32_t>(row));
            keys.push_back({e.group, e.instance});
        }
        if (e.type == kTypeDir) m_nDirRow = static_cast<std::int32_t>(row);
        if (IsCompressed(row)) ++m_nCompressed;
    }

    std::uint32_t expected = m_nDirRow < 0 ? 0 : IndexEntry(static_cast<std::uint32_t>(m_nDirRow)).size / kDirRecordSize;
    if (m_nCompressed != expected) {
        AfxMessageBox(L"The Direrctory (DIR) File for " + name +
                      L" appears outdated!\r\n\r\nPlease fix this archive using the Reader.");
        return false;
    }
    if (mode == 1) return true;

    const std::vector<GroupedModel> grouped = GroupTwentyViewSetKeys(keys);
    try {
        kv::AllocationSeam::Count();
        m_pModels.reserve(grouped.size());
        for (const GroupedModel& g : grouped) {
            _dat_model& m = m_pModels.emplace_back();
            m.nRow = s3dRows[g.key];
            m.nViews = g.nViews;
        }
        m_ppReplaced.Reset(count);
        m_addresses.Build(std::span<const std::uint8_t>(m_pBuffer.data() + m_pIndex, m_pBuffer.size() - m_pIndex), count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_nModels = static_cast<std::uint32_t>(m_pModels.size());
    for (_dat_model& m : m_pModels) {
        DeriveDisplayName(m);
        m.szStatus.fill(kUnchangedMark);
        m.szStatus[7] = 0;
    }
    return true;
}

bool CDATDoc::FindSharedEntries(std::uint32_t count) {
    struct Range {
        std::uint64_t begin, end;
        std::uint32_t row;
    };
    try {
        kv::AllocationSeam::Count();
        m_vShared.assign(count, 0);
        m_vOverIndex.assign(count, 0);
        m_bOverIndex = false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Two entries share bytes when, in offset order, one begins before the
    // furthest end of those before it; the sweep remembers the range that
    // reaches furthest. An index nearly always lists its entries in the
    // order of their data, so the rows are swept as they come, and only an
    // index that lists them out of order has its ranges sorted first.
    Range reach{};
    bool any = false;
    auto sweep = [&](const Range& r) {
        if (any && r.begin < reach.end) {
            m_vShared[r.row] = 1;
            m_vShared[reach.row] = 1;
        }
        if (!any || r.end > reach.end) reach = r;
        any = true;
    };
    const std::uint64_t indexBegin = m_pIndex, indexEnd = m_pIndex + static_cast<std::uint64_t>(count) * kIndexEntrySize;
    bool inOrder = true;
    std::uint64_t lastBegin = 0;
    for (std::uint32_t row = 0; row < count; ++row) {
        if (HasPending(row)) continue;
        const _dbpf_index_entry e = IndexEntry(row);
        if (e.size == 0) continue;
        const std::uint64_t begin = e.offset, end = begin + e.size;
        // Data laid over the header or the index shares its bytes with them:
        // it is never written in place, and it takes its bytes along before
        // the index is written.
        if (begin < kHeaderSize) m_vShared[row] = 1;
        if (begin < indexEnd && indexBegin < end) m_vShared[row] = m_vOverIndex[row] = m_bOverIndex = 1;
        // What the sweep marked before it met a range out of order is
        // shared all the same; the sorted sweep below marks the rest.
        if (begin < lastBegin) inOrder = false;
        lastBegin = begin;
        if (inOrder) sweep({begin, end, row});
    }
    if (inOrder) return true;

    std::vector<Range> ranges;
    try {
        ranges.reserve(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::uint32_t row = 0; row < count; ++row) {
        if (HasPending(row)) continue;
        const _dbpf_index_entry e = IndexEntry(row);
        if (e.size != 0) ranges.push_back({e.offset, static_cast<std::uint64_t>(e.offset) + e.size, row});
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.begin < b.begin; });
    any = false;
    for (const Range& r : ranges) sweep(r);
    return true;
}

bool CDATDoc::DetachIndexOverlaps() {
    // Every store at a new size asks, so an archive without such entries
    // (nearly all of them) answers at once.
    if (!m_bOverIndex) return true;
    for (std::uint32_t row = 0; row < m_vOverIndex.size(); ++row)
        if (m_vOverIndex[row] && !DetachEntry(row)) return false;
    m_bOverIndex = false;
    return true;
}

bool CDATDoc::DetachEntry(std::uint32_t row) {
    if (HasPending(row)) return true;
    try {
        kv::AllocationSeam::Count();
        m_ppReplaced.Set(row, EntryBytes(row));
    } catch (const std::exception&) {
        AfxMessageBox(L"Insufficient memory!!!");
        return false;
    }
    return true;
}

void CDATDoc::SetModifiedFlag(bool modified) {
    if (modified && !IsModified()) {
        SetTitle(GetTitle() + L"*");
    } else if (!modified && IsModified()) {
        std::wstring t = GetTitle();
        while (!t.empty() && t.back() == L'*') t.pop_back();
        SetTitle(t);
    }
    CDocument::SetModifiedFlag(modified);
}

bool CDATDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

bool CDATDoc::SaveModified() {
    if (IsModified()) MessageBeep(MB_ICONEXCLAMATION);
    return CDocument::SaveModified();
}
