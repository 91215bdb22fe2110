#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/exceptions.h"
#include "platform/text.h"

namespace kv {

namespace {
FileFaultHook& Hook() {
    static FileFaultHook h;
    return h;
}
bool Injected(FileOp op) {
    auto& h = Hook();
    return h && h(op);
}

FileIdentity IdentityFromStat(const struct stat& st) {
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.mtimeSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    id.mtimeNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    id.valid = true;
    return id;
}
}  // namespace

FileFaultHook SetFileFaultHook(FileFaultHook hook) { return std::exchange(Hook(), std::move(hook)); }

std::filesystem::path PathFromWide(const std::wstring& path) { return std::filesystem::path(WideToUtf8(path)); }
std::wstring WideFromPath(const std::filesystem::path& path) { return Utf8ToWide(path.string()); }

FileIdentity IdentityOf(const std::wstring& path) {
    struct stat st {};
    if (::stat(PathFromWide(path).c_str(), &st) != 0) return {};
    return IdentityFromStat(st);
}

bool IsReadOnlyFile(const std::wstring& path) {
    const std::filesystem::path p = PathFromWide(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return false;
    // No write permission for anyone marks the file read-only for every user,
    // the superuser too; otherwise the user's own rights decide.
    if ((st.st_mode & 0222) == 0) return true;
    return ::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT;
}

CFile::~CFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool CFile::OpenForRead(const std::wstring& path) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_path = path;
    m_identity = {};
    if (Injected(FileOp::OpenRead)) return false;
    const std::filesystem::path p = PathFromWide(path);
    // Only a regular file is opened, and without waiting: open() on a named
    // pipe would wait for a writer for good, and a device may do worse.
    struct stat before {};
    if (::stat(p.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return false;
    m_fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) return false;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_identity = IdentityFromStat(st);
    return true;
}

std::uint64_t CFile::GetLength() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t CFile::Read(void* buffer, std::size_t n) {
    if (m_fd < 0) return 0;
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        if (Injected(FileOp::Read)) break;
        ssize_t got = ::read(m_fd, p + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::wstring CFile::GetFileName() const { return WideFromPath(PathFromWide(m_path).filename()); }

namespace {

// The errors with which a file system refuses to let a new file take an old
// one's name although the old one may be written: a sticky folder, a file
// mounted over, a name on another file system.
bool RenameRefused(int error) { return error == EPERM || error == EACCES || error == EBUSY || error == EXDEV; }

// An unnamed temporary file is given its name through /proc; without /proc it
// would have to stay unnamed, so then it gets a name from the start.
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

std::string TempPattern(const std::filesystem::path& target) {
    // The temporary name is 16 bytes longer than the target's; a name near
    // the file system's limit of 255 is shortened for it so that it still fits.
    std::string base = target.filename().string();
    if (base.size() > 200) base.resize(200);
    return (target.parent_path() / ("." + base + ".korvane-XXXXXX")).string();
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
    std::filesystem::path dir = target.parent_path();
    return dir.empty() ? std::filesystem::path(".") : dir;
}

}  // namespace

CSafeSaveFile::~CSafeSaveFile() { Discard(); }

void CSafeSaveFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_temp, ec);
        m_temp.clear();
    }
    m_bUnnamed = false;
}

bool CSafeSaveFile::Fail(Failure f, int error) {
    m_failure = f;
    m_error = error;
    return false;
}

bool CSafeSaveFile::Open(const std::wstring& target) {
    Discard();
    m_target = target;
    m_failure = Failure::None;
    m_error = 0;
    m_bInPlace = m_bTouched = false;
    m_written = 0;
    m_identity = {};
    std::filesystem::path t = PathFromWide(target);
    // Saving through a link replaces the file it names and keeps the link.
    std::error_code ec;
    if (std::filesystem::is_symlink(t, ec)) {
        std::filesystem::path resolved = std::filesystem::canonical(t, ec);
        if (!ec) t = resolved;
    }
    // The rename needs only the folder's permission, so the file's own is
    // asked here: a file its user could not write is never replaced.
    if (IsReadOnlyFile(WideFromPath(t))) return Fail(Failure::AccessDenied, EACCES);
    m_destination = t;

    struct stat old {};
    const bool exists = ::stat(t.c_str(), &old) == 0;
    // Only a regular file is written: in place, a named pipe would wait for
    // a reader; replaced, a folder or device would be lost.
    if (exists && !S_ISREG(old.st_mode)) return Fail(Failure::CannotOpen, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    // Other names of the file must see what is saved: a new file would leave
    // them the old contents.
    if (exists && old.st_nlink > 1) return OpenInPlace();
    if (!CreateTemp()) return exists ? OpenInPlace() : false;
    if (!exists) {
        ::fchmod(m_fd, 0644);
        return true;
    }
    if (KeepOwnership(old.st_uid, old.st_gid, old.st_mode)) return true;
    // A new file that cannot keep the old one's owner and group would hand the
    // archive to the saver: such a file is written where it is.
    Discard();
    return OpenInPlace();
}

bool CSafeSaveFile::CreateTemp() {
    if (Injected(FileOp::CreateTemp)) return Fail(Failure::CannotCreate, EACCES);
    // Unnamed until it is whole: a save that is killed part-way leaves nothing
    // behind in the folder.
    if (CanNameUnnamedFiles()) {
        const int fd = ::open(FolderOf(m_destination).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_fd = fd;
            m_bUnnamed = true;
            return true;
        }
        // A folder that refuses an unnamed file refuses a named one too;
        // a file system without unnamed files takes a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Fail(Failure::CannotCreate, errno);
    }
    std::string pattern = TempPattern(m_destination);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) return Fail(Failure::CannotCreate, errno);
    m_temp = name.data();
    return true;
}

bool CSafeSaveFile::KeepOwnership(unsigned owner, unsigned group, unsigned mode) {
    // The new file takes the place of the old one with its owner, group and
    // permissions: the superuser saving another user's archive leaves it that
    // user's. Owner first: a change of owner clears the set-id bits that the
    // mode then puts back.
    struct stat now {};
    if (::fstat(m_fd, &now) != 0) return false;
    if ((now.st_uid != owner || now.st_gid != group) && ::fchown(m_fd, owner, group) != 0) return false;
    return ::fchmod(m_fd, mode & 07777) == 0;
}

bool CSafeSaveFile::OpenInPlace() {
    m_bInPlace = true;
    if (Injected(FileOp::OpenInPlace)) return Fail(Failure::CannotOpen, EACCES);
    const int fd = ::open(m_destination.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(Failure::CannotOpen, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(Failure::CannotOpen, EINVAL);
    }
    m_fd = fd;
    m_failure = Failure::None;
    m_error = 0;
    return true;
}

bool CSafeSaveFile::Reserve(std::uint64_t at, std::uint64_t n) {
    // Bytes over the old length need room on the disk; asking for it before
    // the first byte is overwritten turns a full disk into a save that did
    // not happen rather than one that stopped half-way.
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return Fail(Failure::Write, errno);
    const std::uint64_t end = at + n, length = static_cast<std::uint64_t>(st.st_size);
    if (end <= length) return true;
    if (::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(length), static_cast<off_t>(end - length)) != 0) {
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) return Fail(Failure::NoRoom, errno);
        // A file system that cannot reserve is written all the same.
    }
    return true;
}

bool CSafeSaveFile::WriteAt(int fd, const void* buffer, std::size_t n, std::uint64_t at, FileOp op) {
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        if (Injected(op)) return Fail(Failure::Write, EIO);
        if (op == FileOp::WriteInPlace) m_bTouched = true;
        ssize_t put = ::pwrite(fd, p + done, n - done, static_cast<off_t>(at + done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return Fail(Failure::Write, errno);
        if (put == 0) return Fail(Failure::Write, ENOSPC);
        done += static_cast<std::size_t>(put);
    }
    return true;
}

void CSafeSaveFile::Write(const void* buffer, std::size_t n) {
    if (m_fd < 0) throw CFileException();
    if (m_bInPlace) {
        if (!Reserve(m_written, n) || !WriteAt(m_fd, buffer, n, m_written, FileOp::WriteInPlace)) throw CFileException();
    } else if (!WriteAt(m_fd, buffer, n, m_written, FileOp::Write)) {
        throw CFileException();
    }
    m_written += n;
}

bool CSafeSaveFile::NameTemp() {
    const std::string proc = "/proc/self/fd/" + std::to_string(m_fd);
    const std::string pattern = TempPattern(m_destination);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = pattern;
        for (std::size_t k = name.size() - 6; k < name.size(); ++k)
            name[k] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[random() % 62];
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_temp = name;
            m_bUnnamed = false;
            return true;
        }
        if (errno != EEXIST) return Fail(Failure::Replace, errno);
    }
    return Fail(Failure::Replace, EEXIST);
}

bool CSafeSaveFile::FinishInPlace() {
    // The old file may have been longer; it ends where the new bytes end.
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return Fail(Failure::Flush, errno);
    if (static_cast<std::uint64_t>(st.st_size) != m_written) {
        m_bTouched = true;
        if (::ftruncate(m_fd, static_cast<off_t>(m_written)) != 0) return Fail(Failure::Write, errno);
    }
    if (Injected(FileOp::Flush)) return Fail(Failure::Flush, EIO);
    if (::fsync(m_fd) != 0 || ::fstat(m_fd, &st) != 0) return Fail(Failure::Flush, errno);
    m_identity = IdentityFromStat(st);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) return Fail(Failure::Flush, errno);
    return true;
}

bool CSafeSaveFile::CopyTempInPlace() {
    // The whole new archive is in the temporary file; it is copied over the
    // target, which keeps its name, links and owner.
    const int source = std::exchange(m_fd, -1);
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
    const std::uint64_t length = m_written;
    bool ok = OpenInPlace() && Reserve(0, length);
    std::vector<char> chunk(std::size_t{1} << 20);
    for (std::uint64_t at = 0; ok && at < length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), length - at));
        const ssize_t got = ::pread(source, chunk.data(), want, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = Fail(Failure::Write, got < 0 ? errno : EIO);
            break;
        }
        ok = WriteAt(m_fd, chunk.data(), static_cast<std::size_t>(got), at, FileOp::WriteInPlace);
        at += static_cast<std::uint64_t>(got);
    }
    ::close(source);
    return ok && FinishInPlace();
}

bool CSafeSaveFile::Commit() {
    if (m_fd < 0) return m_failure == Failure::None ? Fail(Failure::Write, EBADF) : false;
    if (m_bInPlace) return FinishInPlace();
    if (Injected(FileOp::Flush)) return Fail(Failure::Flush, EIO);
    if (::fsync(m_fd) != 0) return Fail(Failure::Flush, errno);
    if (m_bUnnamed && !NameTemp()) return false;
    if (Injected(FileOp::Rename)) return Fail(Failure::Replace, EIO);
    if (::rename(m_temp.c_str(), m_destination.c_str()) != 0) {
        const int error = errno;
        if (RenameRefused(error) && !IsReadOnlyFile(WideFromPath(m_destination))) return CopyTempInPlace();
        return Fail(Failure::Replace, error);
    }
    m_temp.clear();
    struct stat st {};
    if (::fstat(m_fd, &st) == 0) m_identity = IdentityFromStat(st);
    ::close(std::exchange(m_fd, -1));
    // Make the rename itself durable.
    int dfd = ::open(FolderOf(m_destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

std::wstring CSafeSaveFile::GetFileName() const { return WideFromPath(PathFromWide(m_target).filename()); }

}  // namespace kv
