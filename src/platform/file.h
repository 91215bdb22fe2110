#pragma once
// Files as the documents see them: a file opened for reading with its name and
// 64-bit length, and a save that writes a temporary file beside the target and
// renames it over the target only once every byte is written and flushed, or
// writes the target in place where a new file could not stand in its stead.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace kv {

// Tests inject disk failures here: the hook answers true to make an operation fail.
enum class FileOp { OpenRead, Read, CreateTemp, Write, Flush, Rename, OpenInPlace, WriteInPlace };
using FileFaultHook = std::function<bool(FileOp op)>;
FileFaultHook SetFileFaultHook(FileFaultHook hook);

std::filesystem::path PathFromWide(const std::wstring& path);
std::wstring WideFromPath(const std::filesystem::path& path);

// True when `path` names a file that this user may not write over: one that
// nobody may write (what other systems call a read-only file), or one whose
// owner, group and mode keep this user out. A missing file is not read-only.
bool IsReadOnlyFile(const std::wstring& path);

// Which file a path named at one moment, and what it held then as far as the
// file system tells: another program that renames a file over it or rewrites
// it changes one of these.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtimeSec = 0, mtimeNsec = 0;
    bool valid = false;

    bool SameFile(const FileIdentity& o) const { return valid && o.valid && device == o.device && inode == o.inode; }
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file `path` names now (links followed); not valid when
// there is none.
FileIdentity IdentityOf(const std::wstring& path);

class CFile {
public:
    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Refuses, at once, anything but a regular file: a named pipe, a socket
    // or a device would otherwise wait for a writer, or read without end.
    bool OpenForRead(const std::wstring& path);
    std::uint64_t GetLength() const;
    // The file as it was when it was opened.
    const FileIdentity& GetIdentity() const { return m_identity; }
    // Reads up to n bytes; returns how many arrived (fewer at the end or on error).
    std::size_t Read(void* buffer, std::size_t n);
    // The name part of the path, extension included.
    std::wstring GetFileName() const;
    const std::wstring& GetFilePath() const { return m_path; }

private:
    int m_fd = -1;
    std::wstring m_path;
    FileIdentity m_identity;
};

// Writes a whole file. Normally the bytes go to a new file beside the target
// that takes the target's name once it is whole and flushed, so a failure at
// any step leaves the old file as it was. Where a new file cannot stand in
// the old one's place, the target itself is rewritten from its first byte:
// when it has other names (hard links) that must see the new contents, when
// no file can be made in its folder, when the new file could not keep the
// old one's owner and group, or when the file system refuses the rename (a
// sticky folder, a file mounted over). Before an in-place write touches the
// file, the room it needs on the disk is reserved.
class CSafeSaveFile {
public:
    // What went wrong, for the message; each names the step that failed.
    enum class Failure { None, AccessDenied, CannotCreate, CannotOpen, NoRoom, Write, Flush, Replace };

    CSafeSaveFile() = default;
    ~CSafeSaveFile();  // removes the temporary file unless Commit succeeded
    CSafeSaveFile(const CSafeSaveFile&) = delete;
    CSafeSaveFile& operator=(const CSafeSaveFile&) = delete;

    // False when neither a temporary file beside the target nor the target
    // itself can be opened for writing, or when the target is a file its user
    // could not have written (AccessDenied): a save never replaces such a file.
    bool Open(const std::wstring& target);
    bool AccessDenied() const { return m_failure == Failure::AccessDenied; }
    // Throws CFileException when the disk takes fewer bytes than given.
    void Write(const void* buffer, std::size_t n);
    // Flushes to disk and puts the new file in the target's place (or ends
    // the in-place write at the new length). False after a failure.
    bool Commit();

    Failure GetFailure() const { return m_failure; }
    // The system's reason for the failure (an errno value), 0 when none is known.
    int GetErrorCode() const { return m_error; }
    // Whether the target's own bytes had begun to change when a failure came:
    // then the file on disk may be incomplete.
    bool TargetTouched() const { return m_bTouched; }
    // Whether this save writes the target in place.
    bool InPlace() const { return m_bInPlace; }
    // The file at the target once Commit succeeded.
    const FileIdentity& GetIdentity() const { return m_identity; }

    std::wstring GetFileName() const;
    const std::wstring& GetFilePath() const { return m_target; }

private:
    void Discard();
    bool Fail(Failure f, int error);
    bool CreateTemp();
    bool KeepOwnership(unsigned owner, unsigned group, unsigned mode);
    bool OpenInPlace();
    bool WriteAt(int fd, const void* buffer, std::size_t n, std::uint64_t at, FileOp op);
    bool Reserve(std::uint64_t at, std::uint64_t n);
    bool NameTemp();
    bool CopyTempInPlace();
    bool FinishInPlace();

    int m_fd = -1;              // the temporary file, or the target when in place
    bool m_bInPlace = false;
    bool m_bUnnamed = false;    // the temporary file has no name until it is whole
    bool m_bTouched = false;
    Failure m_failure = Failure::None;
    int m_error = 0;
    std::uint64_t m_written = 0;
    std::wstring m_target;
    std::filesystem::path m_destination;  // the target with links resolved: what the save replaces
    std::filesystem::path m_temp;         // the temporary file's name, once it has one
    FileIdentity m_identity;
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
