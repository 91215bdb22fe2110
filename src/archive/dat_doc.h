#pragma once
// One open package archive: the whole file as one image in memory, its index,
// the table of listed models and the entries waiting for the next commit.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/address_map.h"
#include "archive/dbpf.h"
#include "archive/pending_entries.h"
#include "platform/byte_image.h"
#include "platform/document.h"

struct _s3d_model;

// Update hints: the model's index in m_pModels travels as the numeric hint.
constexpr std::intptr_t HINT_MODEL_ROW = 9;
constexpr std::intptr_t HINT_MODEL_CHANGES = 10;

constexpr wchar_t kUnchangedMark = L'\u2013';

// One row of the model table.
struct _dat_model {
    std::int32_t nRow = 0;    // index row of the model's (base) S3D entry
    std::int32_t nViews = 0;  // 1 or 20 once the table is built
    std::wstring szName;      // at most 99 characters
    std::array<wchar_t, 8> szStatus{};  // seven change marks and a terminating 0
};

class CDATDoc : public CDocument {
public:
    CDATDoc() = default;
    ~CDATDoc() override = default;

    void Serialize(CArchive& ar) override;
    void SetModifiedFlag(bool modified = true) override;
    bool OnNewDocument() override;
    bool SaveModified() override;

    // Validates the image; mode 0 also builds the model table (load), mode 1
    // only refreshes the derived fields (after a commit). `name` is what its
    // message names.
    bool ParseArchive(const std::wstring& name, int mode);

    // Entry load and store.
    std::unique_ptr<_s3d_model> LoadModel(std::uint32_t row, bool& compressed, std::uint32_t& size);
    bool StoreModel(std::uint32_t row, std::unique_ptr<_s3d_model> model, bool compressed, std::uint32_t size);

    // Lays pending replacements out in a new image; rewrites the DIR records.
    bool CommitReplacedEntries();
    bool RebuildDirectory();

    // --- model edits (defined in src/edits/) ---
    // frame, measure, scale, move, rotate, flip, re-orient:
    // (src/edits/edit_frame.h has the shared helpers and _model_dimensions.)
    // The index row of view nView (0 to 19: zoom nView / 4, rotation nView % 4)
    // of the twenty-view model whose base entry is at nBaseRow; -1 when none.
    int FindViewRow(int nBaseRow, int nView) const;
    // Words the change marks of model nModel into g_szChangesText.
    void FormatChanges(int nModel) const;
    // Each edit returns false when it fails, after its message (or the load's
    // or store's); arguments outside an edit's contract (a model index outside
    // the table, a turn count other than 1 to 3) are refused silently.
    bool MeasureModel(int nModel, struct _model_dimensions* pResult);
    bool ScaleModel(int nRow, int nScaleWhat, bool bUseRatio, int nNumerator, int nDenominator, bool bSwapXZ,
                    double dFactor);
    bool MoveModel(int nRow, int nRotation, float fOffsetX, float fOffsetY, float fOffsetZ);
    bool RotateModel(int nRow, int nTurns, double dAngle);
    bool FlipModel(int nRow, int nMode, bool bReverseTriangles);
    bool ReorientModel(int nModel, int nTurns);
    // (end of frame edits)
    // merge, transparency, texture replacement:
    // Appends model nSrcModel of pSrcDoc (may be this document) to every entry
    // of model nModel; all source copies are loaded before the first target
    // entry, so a model merged into itself gets its content as it was.
    bool MergeModel(int nModel, CDATDoc* pSrcDoc, int nSrcModel);
    // Sets (bSet) or removes transparency in every material block of the entry
    // at index row nRow, one report line per block. *pbChanged / *pbNoAction
    // are only ever set to 1. The entry is stored only when a block changed.
    bool SetTransparency(int nRow, bool bSet, int nDepthFunc, std::wstring& strReport, int* pbChanged, int* pbNoAction);
    // Replaces the first texture ID of every material block of the entry by
    // the two eight-character ID masks, one report line per block.
    // *pbChanged / *pbUnchanged are only ever set to 1.
    bool ReplaceTexture(int nRow, std::wstring strFind, std::wstring strReplace, std::wstring& strReport, int* pbChanged,
                        int* pbUnchanged);
    // (end of material edits)

    // --- reading the image ---
    std::uint32_t IndexCount() const;
    _dbpf_index_entry IndexEntry(std::uint32_t row) const;
    void SetIndexEntry(std::uint32_t row, const _dbpf_index_entry& entry);
    // The bytes an entry holds now: its pending replacement when it has one,
    // else its data in the image. Empty when the data lies outside the image.
    std::span<const std::uint8_t> EntryBytes(std::uint32_t row) const;
    bool IsCompressed(std::uint32_t row) const;
    bool HasPending(std::uint32_t row) const { return m_ppReplaced.Has(row); }
    bool AnyPending() const { return m_ppReplaced.Any(); }
    // The entry's bytes in the image are also another entry's, the header's
    // or the index's, so it is never written in place.
    bool IsShared(std::uint32_t row) const { return row < m_vShared.size() && m_vShared[row]; }
    // Gives every entry laid over the index a pending copy of its bytes, so
    // that writing the index changes no entry; false after "Insufficient
    // memory!!!". Whoever writes the live image's index calls it first.
    bool DetachIndexOverlaps();

    // --- the document's state ---
    kv::ByteImage m_pBuffer;  // the archive image, m_nFileSize bytes
    std::size_t m_pIndex = 0;             // offset of the first index entry in the image
    std::uint32_t m_nFileSize = 0;
    std::uint32_t m_nModels = 0;
    std::uint32_t m_nCompressed = 0;
    std::int32_t m_nDirRow = -1;
    std::vector<_dat_model> m_pModels;                                // m_nModels rows
    PendingEntries m_ppReplaced;                                      // one slot per index row
    // A compressed entry was stored in place with another uncompressed size,
    // so the DIR needs rewriting at the next commit.
    bool m_bDirStale = false;
    // Entries stored since the archive was opened. A command that stops
    // part-way compares it to tell whether it left the archive changed.
    std::uint64_t m_nStores = 0;

private:
    // Finds entries whose bytes overlap another entry's, the header or the
    // index; false when there is no memory for the tables.
    bool FindSharedEntries(std::uint32_t count);

    // Gives a DIR that shares its bytes a pending copy of its own; false
    // after "Insufficient memory!!!".
    bool DetachSharedDir();
    // Gives the entry a pending copy of its bytes unless it has one already;
    // false after "Insufficient memory!!!".
    bool DetachEntry(std::uint32_t row);

    std::vector<char> m_vShared;     // per index row, from the last validation
    std::vector<char> m_vOverIndex;  // per index row: its bytes overlap the index
    bool m_bOverIndex = false;       // some entry over the index still has no copy of its own
    // Index rows by address, kept in step with the index: built on load,
    // moved along by SetIndexEntry, untouched by a commit (which keeps every
    // address and the order of the rows).
    mutable EntryAddressMap m_addresses;
    // The map for the current index, built first when the document never
    // went through a load; null when there is no memory for it.
    const EntryAddressMap* Addresses() const;

    void GroupModels();
    void DeriveDisplayName(_dat_model& model);
};

// Drops the decorations a twenty-view set's texture names carry.
std::wstring TrimTwentyViewName(std::wstring name);

// True when an entry's stored bytes are QFS compressed: at least 6 bytes with
// the signature 0x10, 0xFB at offsets 4 and 5.
bool IsCompressedData(std::span<const std::uint8_t> data);
