#pragma once
// Files as the documents see them: a file opened for reading with its name and
// 64-bit length, and a save that writes a temporary file beside the target and
// renames it over the target only once every byte is written and flushed.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace kv {

// Tests inject disk failures here: the hook answers true to make an operation fail.
enum class FileOp { OpenRead, Read, CreateTemp, Write, Flush, Rename };
using FileFaultHook = std::function<bool(FileOp op)>;
FileFaultHook SetFileFaultHook(FileFaultHook hook);

std::filesystem::path PathFromWide(const std::wstring& path);
std::wstring WideFromPath(const std::filesystem::path& path);

// True when `path` names a file that this user may not write over: one that
// nobody may write (what other systems call a read-only file), or one whose
// owner, group and mode keep this user out. A missing file is not read-only.
bool IsReadOnlyFile(const std::wstring& path);

class CFile {
public:
    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool OpenForRead(const std::wstring& path);
    std::uint64_t GetLength() const;
    // Reads up to n bytes; returns how many arrived (fewer at the end or on error).
    std::size_t Read(void* buffer, std::size_t n);
    // The name part of the path, extension included.
    std::wstring GetFileName() const;
    const std::wstring& GetFilePath() const { return m_path; }

private:
    int m_fd = -1;
    std::wstring m_path;
};

class CSafeSaveFile {
public:
    CSafeSaveFile() = default;
    ~CSafeSaveFile();  // removes the temporary file unless Commit succeeded
    CSafeSaveFile(const CSafeSaveFile&) = delete;
    CSafeSaveFile& operator=(const CSafeSaveFile&) = delete;

    // False when no temporary file can be made beside the target, or when the
    // target is a file its user could not have written (AccessDenied): a save
    // never replaces such a file.
    bool Open(const std::wstring& target);
    bool AccessDenied() const { return m_bAccessDenied; }
    // Throws CFileException when the disk takes fewer bytes than given.
    void Write(const void* buffer, std::size_t n);
    // Flushes to disk, then renames over the target. False leaves the target untouched.
    bool Commit();
    std::wstring GetFileName() const;
    const std::wstring& GetFilePath() const { return m_target; }

private:
    void Discard();

    int m_fd = -1;
    bool m_bAccessDenied = false;
    std::wstring m_target;
    std::filesystem::path m_destination;  // the target with links resolved: what the rename replaces
    std::filesystem::path m_temp;
};

}  // namespace kv

// The stream a document serialises through: loading reads a CFile, storing
// writes a CSafeSaveFile.
class CArchive {
public:
    explicit CArchive(kv::CFile& source) : m_source(&source) {}
    explicit CArchive(kv::CSafeSaveFile& target) : m_target(&target) {}

    bool IsLoading() const { return m_source != nullptr; }
    bool IsStoring() const { return m_target != nullptr; }
    std::uint64_t GetLength() const { return m_source ? m_source->GetLength() : 0; }
    std::wstring GetFileName() const { return m_source ? m_source->GetFileName() : m_target->GetFileName(); }
    std::size_t Read(void* buffer, std::size_t n) { return m_source ? m_source->Read(buffer, n) : 0; }
    void Write(const void* buffer, std::size_t n) { m_target->Write(buffer, n); }

private:
    kv::CFile* m_source = nullptr;
    kv::CSafeSaveFile* m_target = nullptr;
};
