#include "base/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace file_io
{
namespace
{

error::Unexpected Failed(const std::string &path, int code, error::Kind kind = error::Kind::System)
{
    return error::Unexpected(error::Error::File(kind, path, code));
}

bool WriteAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DirectoryPart(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace

error::Result<std::string> ReadWholeFile(const std::string &path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return Failed(path, code, code == ENOENT || code == ENOTDIR ? error::Kind::NotFound : error::Kind::System);
    }
    const auto fail = [&](int code, error::Kind kind = error::Kind::System) {
        ::close(fd);
        return Failed(path, code, kind);
    };
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) return fail(EISDIR);
    // Room for the whole file plus one byte, so that a file of the size stat reported is read
    // without growing the buffer; files that grow meanwhile (or report no size) still work.
    constexpr std::size_t kChunk = 1 << 20;
    if (st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) > limit) return fail(EFBIG, error::Kind::TooLarge);
    std::size_t capacity = (st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0) + 1;
    std::size_t used = 0;
    std::string data;
    try {
        data.resize(capacity);
        for (;;) {
            if (used > limit) return fail(EFBIG, error::Kind::TooLarge); // it grew while being read
            if (used == capacity) {
                capacity += std::max(capacity / 2, kChunk);
                data.resize(capacity);
            }
            const ssize_t n = ::read(fd, data.data() + used, capacity - used);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(errno);
            }
            if (n == 0) break;
            used += static_cast<std::size_t>(n);
        }
    } catch (const std::bad_alloc &) {
        data = std::string();
        return fail(ENOMEM);
    }
    data.resize(used);
    ::close(fd);
    return data;
}

namespace
{

// Creates something new beside target under the name ".NAME.tmpPID-N" (RemoveStaleTemporaries
// knows that name); create returns -1 with errno set when it fails.
template <typename Create> int CreateTemporary(const std::string &target, std::string &tmpPath, Create create)
{
    static std::atomic<unsigned> counter { 0 };
    const std::string base = DirectoryPart(target) + "/." + FileNamePart(target) + ".tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = base + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
        const int result = create(tmpPath.c_str());
        if (result >= 0 || errno != EEXIST) return result;
    }
    errno = EEXIST;
    return -1;
}

// Opens a new file beside target for writing. O_EXCL with mode 0666 lets the umask apply
// without touching the process-wide umask (which other threads may rely on at the same time).
int OpenTemporary(const std::string &target, std::string &tmpPath)
{
    return CreateTemporary(
        target, tmpPath, [](const char *path) { return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
}

// A symlinked file is replaced where it really lives, so the link stays a link.
std::string ResolveTarget(const std::string &path)
{
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

void SyncDirectory(const std::string &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // best effort: the data itself is already on disk
        ::close(fd);
    }
}

} // namespace

AtomicFileWriter::~AtomicFileWriter()
{
    abort();
}

error::Result<void> AtomicFileWriter::open(const std::string &path)
{
    abort();
    m_path = path;
    m_target = ResolveTarget(path);
    m_code = 0;
    // The temporary file lives in the target's folder so the rename never crosses a file system.
    m_fd = OpenTemporary(m_target, m_tmp);
    if (m_fd < 0) return Failed(path, errno);
    // Keep the permissions (and, where allowed, the owner) of the file being replaced.
    struct stat old = {};
    if (::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(m_fd, old.st_mode & 07777);
        if (::fchown(m_fd, old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; the new file then belongs to us.
        }
    }
    return {};
}

bool AtomicFileWriter::write(std::string_view data)
{
    if (m_fd < 0) {
        if (m_code == 0) m_code = EBADF;
        return false;
    }
    if (m_code != 0) return false;
    if (!WriteAll(m_fd, data.data(), data.size())) m_code = errno;
    return m_code == 0;
}

error::Result<void> AtomicFileWriter::commit()
{
    if (m_fd < 0) return Failed(m_path, m_code != 0 ? m_code : EBADF);
    bool ok = m_code == 0 && ::fsync(m_fd) == 0;
    int code = m_code != 0 ? m_code : (ok ? 0 : errno);
    if (::close(m_fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    m_fd = -1;
    if (ok && ::rename(m_tmp.c_str(), m_target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(m_tmp.c_str());
        m_tmp.clear();
        m_code = code;
        return Failed(m_path, code);
    }
    m_tmp.clear();
    SyncDirectory(DirectoryPart(m_target));
    return {};
}

void AtomicFileWriter::abort()
{
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_tmp.c_str());
    m_tmp.clear();
}

error::Result<void> WriteFileAtomic(const std::string &path, const std::string &data)
{
    AtomicFileWriter writer;
    if (error::Result<void> opened = writer.open(path); !opened) return opened;
    writer.write(data);
    return writer.commit();
}

namespace
{

// The process id of a name OpenTemporary made (".NAME.tmpPID-N"), or 0.
pid_t TemporaryOwner(std::string_view name)
{
    const std::size_t tmp = name.rfind(".tmp");
    if (name.size() < 2 || name[0] != '.' || tmp == std::string_view::npos || tmp == 0) return 0;
    std::string_view rest = name.substr(tmp + 4);
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 9) return 0;
    const auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1))) return 0;
    return static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
}

} // namespace

bool RemoveDirectoryOfFiles(const std::string &dir)
{
    std::vector<std::string> files;
    if (DIR *d = ::opendir(dir.c_str())) {
        bool onlyFiles = true;
        while (const dirent *entry = ::readdir(d)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = JoinPath(dir, entry->d_name);
            struct stat st = {};
            onlyFiles = onlyFiles && ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
            files.push_back(path);
        }
        ::closedir(d);
        if (!onlyFiles) return false;
    }
    for (const std::string &path : files)
        ::unlink(path.c_str());
    return ::rmdir(dir.c_str()) == 0;
}

error::Result<std::string> MakeTemporaryDirectory(const std::string &target)
{
    std::string tmpPath;
    if (CreateTemporary(target, tmpPath, [](const char *path) { return ::mkdir(path, 0777); }) != 0)
        return Failed(target, errno);
    return tmpPath;
}

error::Result<void> RenameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        // File systems without the flag: a check first, which leaves a short race.
        if (errno != EINVAL && errno != ENOSYS) return Failed(to, errno);
        if (PathExists(to)) return Failed(to, EEXIST);
        if (::rename(from.c_str(), to.c_str()) != 0) return Failed(to, errno);
    }
    SyncDirectory(DirectoryPart(from));
    SyncDirectory(DirectoryPart(to));
    return {};
}

int RemoveStaleTemporaries(const std::string &dir)
{
    DIR *d = ::opendir(dir.c_str());
    if (!d) return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(d)) {
        const pid_t owner = TemporaryOwner(entry->d_name);
        // A process that still runs (or that we may not signal) may be writing it right now.
        if (owner <= 0 || owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        const std::string path = JoinPath(dir, entry->d_name);
        struct stat st = {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        if (S_ISREG(st.st_mode) ? ::unlink(path.c_str()) == 0 : S_ISDIR(st.st_mode) && RemoveDirectoryOfFiles(path))
            ++removed;
    }
    ::closedir(d);
    return removed;
}

bool FileExists(const std::string &path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string &path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && DirectoryExists(path);
}

bool MakeDirectories(const std::string &path)
{
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    const auto slash = path.find_last_not_of('/');
    const auto parentEnd = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
    if (parentEnd != std::string::npos && parentEnd > 0 && !MakeDirectories(path.substr(0, parentEnd))) return false;
    return MakeDirectory(path);
}

bool PathExists(const std::string &path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string JoinPath(const std::string &dir, const std::string &name)
{
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string FileNamePart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExecutableDir()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    return DirectoryPart(std::string(buffer, static_cast<std::size_t>(n)));
}

std::string FindProgram(const std::string &name, std::string_view pathList)
{
    if (name.empty() || name.find('/') != std::string::npos) return name;
    while (!pathList.empty()) {
        const std::size_t colon = pathList.find(':');
        const std::string_view dir = pathList.substr(0, colon);
        pathList = colon == std::string_view::npos ? std::string_view() : pathList.substr(colon + 1);
        if (dir.empty()) continue;
        const std::string candidate = JoinPath(std::string(dir), name);
        if (FileExists(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

} // namespace file_io
