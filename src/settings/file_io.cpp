#include "settings/file_io.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace file_io {
namespace {

IoError MakeError(const std::string &path, int code)
{
    return IoError{path, std::strerror(code), code};
}

bool WriteAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
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
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

ReadResult ReadWholeFile(const std::string &path)
{
    ReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.missing = (errno == ENOENT || errno == ENOTDIR);
        result.error = MakeError(path, errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        result.error = MakeError(path, EISDIR);
        ::close(fd);
        return result;
    }
    if (st.st_size > 0)
        result.data.reserve(static_cast<std::size_t>(st.st_size));
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t used = 0;
    for (;;) {
        result.data.resize(used + kChunk);
        const ssize_t n = ::read(fd, result.data.data() + used, kChunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = MakeError(path, errno);
            result.data.clear();
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    result.data.resize(used);
    ::close(fd);
    result.ok = true;
    return result;
}

bool WriteFileAtomic(const std::string &path, const std::string &data, IoError *error)
{
    // The temporary file lives in the target's folder so the rename never crosses a file system.
    std::string tmp = DirectoryPart(path) + "/." + FileNamePart(path) + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        if (error)
            *error = MakeError(path, errno);
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = WriteAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        if (error)
            *error = MakeError(path, code);
    }
    return ok;
}

bool FileExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && DirectoryExists(path);
}

bool RemoveFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string JoinPath(const std::string &dir, const std::string &name)
{
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
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
    if (n <= 0)
        return ".";
    return DirectoryPart(std::string(buffer, static_cast<std::size_t>(n)));
}

} // namespace file_io
