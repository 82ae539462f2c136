#pragma once
// Whole-file reading and safe writing. A write goes to a temporary file in the same folder,
// is flushed to disk and renamed over the target, so the old file is either intact or fully
// replaced. Errors are values carrying the system's own reason.
#include "base/error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace file_io
{

// The file's bytes. Kind NotFound when it does not exist, TooLarge (code EFBIG) when it holds
// more than limit bytes (nothing is kept), System with the system's reason otherwise.
error::Result<std::string> ReadWholeFile(const std::string &path, std::size_t limit = SIZE_MAX);

// On failure the error names path and the reason, and any old file is intact.
error::Result<void> WriteFileAtomic(const std::string &path, const std::string &data);

// WriteFileAtomic for data given in parts, so that a large file never has to be held whole:
// open() creates the temporary file beside the target, write() appends to it, commit() flushes
// it to disk and renames it over the target. Until commit() succeeds the old file is intact;
// a writer destroyed (or abort()ed) before that removes its temporary file.
class AtomicFileWriter
{
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    error::Result<void> open(const std::string &path);
    // False once a write has failed; the failure is reported by commit().
    bool write(std::string_view data);
    error::Result<void> commit();
    void abort();
    bool isOpen() const { return m_fd >= 0; }

private:
    std::string m_path; // as given, for messages
    std::string m_target; // the file really replaced (a symlink's target)
    std::string m_tmp;
    int m_fd = -1;
    int m_code = 0; // errno of the first failed write
};

// Creates a new empty folder beside target, named as WriteFileAtomic names its temporary files,
// to be filled and then renamed over target; returns its path.
error::Result<std::string> MakeTemporaryDirectory(const std::string &target);
// Removes the files in dir, then dir itself; a dir holding a folder is left whole (false).
bool RemoveDirectoryOfFiles(const std::string &dir);
// Renames from to to unless something stands at to already (code EEXIST), and flushes both
// folders.
error::Result<void> RenameNoReplace(const std::string &from, const std::string &to);

// A process killed in the middle of WriteFileAtomic leaves its temporary file ".NAME.tmpPID-N"
// beside the target (the target itself is intact), one killed while filling a folder of
// MakeTemporaryDirectory that folder. Removes those in dir whose process no longer runs (a
// folder only when it holds no folder); returns how many were removed.
int RemoveStaleTemporaries(const std::string &dir);

bool FileExists(const std::string &path); // a regular file (or a symlink to one)
bool DirectoryExists(const std::string &path);
bool MakeDirectory(const std::string &path); // one level; true when it exists afterwards
bool MakeDirectories(const std::string &path); // with every missing parent
bool PathExists(const std::string &path); // anything stands there, even a dangling symlink
bool RemoveFile(const std::string &path);
std::string JoinPath(const std::string &dir, const std::string &name);
std::string FileNamePart(const std::string &path); // text after the last '/'
std::string ExecutableDir();

// The program a command names. A name with a slash is itself; a bare name is looked up in the
// folders of pathList (colon-separated, as $PATH; empty entries skipped), the first executable
// regular file winning. Empty when the name is empty or nothing is found.
std::string FindProgram(const std::string &name, std::string_view pathList);

} // namespace file_io
