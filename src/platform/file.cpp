#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
}  // namespace

FileFaultHook SetFileFaultHook(FileFaultHook hook) { return std::exchange(Hook(), std::move(hook)); }

std::filesystem::path PathFromWide(const std::wstring& path) { return std::filesystem::path(WideToUtf8(path)); }
std::wstring WideFromPath(const std::filesystem::path& path) { return Utf8ToWide(path.string()); }

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
    if (Injected(FileOp::OpenRead)) return false;
    m_fd = ::open(PathFromWide(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return false;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
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

CSafeSaveFile::~CSafeSaveFile() { Discard(); }

void CSafeSaveFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_temp, ec);
        m_temp.clear();
    }
}

bool CSafeSaveFile::Open(const std::wstring& target) {
    Discard();
    m_target = target;
    m_bAccessDenied = false;
    std::filesystem::path t = PathFromWide(target);
    // Saving through a link replaces the file it names and keeps the link.
    std::error_code ec;
    if (std::filesystem::is_symlink(t, ec)) {
        std::filesystem::path resolved = std::filesystem::canonical(t, ec);
        if (!ec) t = resolved;
    }
    // The rename needs only the folder's permission, so the file's own is
    // asked here: a file its user could not write is never replaced.
    if (IsReadOnlyFile(WideFromPath(t))) {
        m_bAccessDenied = true;
        return false;
    }
    if (Injected(FileOp::CreateTemp)) return false;
    m_destination = t;
    std::filesystem::path dir = t.parent_path();
    // The temporary name is 16 bytes longer than the target's; a name near
    // the file system's limit of 255 is shortened for it so that it still fits.
    std::string base = t.filename().string();
    if (base.size() > 200) base.resize(200);
    std::string pattern = (dir / ("." + base + ".korvane-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) return false;
    m_temp = name.data();
    // The new file takes the place of the old one with its owner, group and
    // permissions: the superuser saving another user's archive leaves it that
    // user's. An ordinary user cannot give a file away: the file is then the
    // saver's, in the old group when the saver belongs to it. Owner first: a
    // change of owner clears the set-id bits that the mode then puts back.
    struct stat st {};
    if (::stat(t.c_str(), &st) == 0) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            if (::fchown(m_fd, st.st_uid, st.st_gid) != 0) (void)::fchown(m_fd, static_cast<uid_t>(-1), st.st_gid);
        }
        ::fchmod(m_fd, st.st_mode & 07777);
    } else {
        ::fchmod(m_fd, 0644);
    }
    return true;
}

void CSafeSaveFile::Write(const void* buffer, std::size_t n) {
    if (m_fd < 0) throw CFileException();
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        if (Injected(FileOp::Write)) throw CFileException();
        ssize_t put = ::write(m_fd, p + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw CFileException();
        done += static_cast<std::size_t>(put);
    }
}

bool CSafeSaveFile::Commit() {
    if (m_fd < 0) return false;
    if (Injected(FileOp::Flush) || ::fsync(m_fd) != 0) return false;
    int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) return false;
    if (Injected(FileOp::Rename)) return false;
    if (::rename(m_temp.c_str(), m_destination.c_str()) != 0) return false;
    m_temp.clear();
    // Make the rename itself durable.
    const std::filesystem::path folder = m_destination.parent_path();
    int dfd = ::open(folder.empty() ? "." : folder.c_str(),
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

std::wstring CSafeSaveFile::GetFileName() const { return WideFromPath(PathFromWide(m_target).filename()); }

}  // namespace kv
