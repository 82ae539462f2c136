#include "base/file_io.h"

#include "support/settings_temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using testsettings::Entries;
using testsettings::TempDir;

std::string Read(const std::string &path)
{
    const auto r = file_io::ReadWholeFile(path);
    EXPECT_TRUE(r) << path << ": " << r.error().reason();
    return r.value_or("");
}

// A file size limit makes write() fail half-way (EFBIG), like a full disk would; the old limit
// comes back when the scope ends.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool set() const { return m_set; }

private:
    rlimit m_saved {};
    void (*m_oldHandler)(int);
    bool m_set = false;
};

mode_t ModeOf(const std::string &path)
{
    struct stat st = {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(FileIo, WritesAndReplacesExactBytes)
{
    TempDir dir;
    const std::string path = dir / "edit.txt";
    std::string big(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 % 251);
    const std::string contents[] = { "first\r\n", std::string("a\0b\r\n\x83\x41", 7), "", big, "last" };
    for (const std::string &data : contents) {
        const auto written = file_io::WriteFileAtomic(path, data);
        ASSERT_TRUE(written) << written.error().reason();
        EXPECT_EQ(Read(path), data);
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string> { "edit.txt" }) << "no temporary file may stay";
    }
}

TEST(FileIo, KeepsModeAndLinks)
{
    TempDir dir;
    const std::string path = dir / "set.ini";
    const mode_t oldMask = ::umask(022);
    ASSERT_TRUE(file_io::WriteFileAtomic(path, "one"));
    EXPECT_EQ(ModeOf(path), 0644u) << "a new file gets 0666 less the umask";
    ::chmod(path.c_str(), 0600);
    ASSERT_TRUE(file_io::WriteFileAtomic(path, "two"));
    EXPECT_EQ(ModeOf(path), 0600u) << "a replaced file keeps its mode";
    ::umask(oldMask);

    // Writing through a symlink replaces the file it points to and leaves the link a link.
    const std::string link = dir / "link.ini";
    ASSERT_EQ(::symlink("set.ini", link.c_str()), 0);
    ASSERT_TRUE(file_io::WriteFileAtomic(link, "three"));
    struct stat st = {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Read(path), "three");
}

TEST(FileIo, FailedWritesNameTheFileAndKeepTheOldOne)
{
    TempDir dir;
    const std::string blocker = dir / "plain";
    ASSERT_TRUE(file_io::WriteFileAtomic(blocker, "old"));
    const struct {
        std::string path;
        int code;
    } cases[] = {
        { blocker + "/x.txt", ENOTDIR }, { dir / "missing/x.txt", ENOENT },
        { dir.path(), EISDIR }, // a folder cannot be replaced by a file
    };
    for (const auto &c : cases) {
        const auto written = file_io::WriteFileAtomic(c.path, "new");
        ASSERT_FALSE(written) << c.path;
        EXPECT_EQ(written.error().path, c.path);
        EXPECT_EQ(written.error().code, c.code) << c.path;
        EXPECT_EQ(written.error().reason(), std::strerror(c.code));
    }
    EXPECT_EQ(Read(blocker), "old");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string> { "plain" });
}

TEST(FileIo, WriteCutShortLeavesTheOldFile)
{
    TempDir dir;
    const std::string path = dir / "list.txt";
    ASSERT_TRUE(file_io::WriteFileAtomic(path, "old contents"));

    const auto written = [&] {
        const FileSizeLimit limit(4096);
        EXPECT_TRUE(limit.set());
        return file_io::WriteFileAtomic(path, std::string(100000, 'x'));
    }();

    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, EFBIG);
    EXPECT_EQ(written.error().path, path);
    EXPECT_EQ(Read(path), "old contents");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string> { "list.txt" });
}

TEST(FileIo, FullDiskLeavesTheOldFile)
{
    TempDir dir;
    const std::string mnt = dir / "small";
    ASSERT_TRUE(file_io::MakeDirectory(mnt));
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    const std::string path = mnt + "/edit.txt";
    ASSERT_TRUE(file_io::WriteFileAtomic(path, std::string(20000, 'a')));
    const auto written = file_io::WriteFileAtomic(path, std::string(200000, 'b'));
    const std::string after = Read(path);
    const auto entries = Entries(mnt);
    ::umount2(mnt.c_str(), MNT_DETACH);

    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, ENOSPC);
    EXPECT_EQ(written.error().reason(), std::strerror(ENOSPC));
    EXPECT_EQ(after, std::string(20000, 'a'));
    EXPECT_EQ(entries, std::vector<std::string> { "edit.txt" });
}

// The writer that takes its data in parts: only a successful commit replaces the old file.
struct PartsCase {
    const char *name;
    std::vector<std::string> parts;
    enum { Commit, Abort, Destroy } end;
};

void PrintTo(const PartsCase &c, std::ostream *os)
{
    *os << c.name;
}

class StreamedWriter : public ::testing::TestWithParam<PartsCase>
{
};

TEST_P(StreamedWriter, ReplacesTheFileOnlyOnCommit)
{
    const PartsCase &c = GetParam();
    TempDir dir;
    const std::string path = dir / "link.html";
    ASSERT_TRUE(file_io::WriteFileAtomic(path, "old"));
    std::string whole;
    {
        file_io::AtomicFileWriter writer;
        const auto opened = writer.open(path);
        ASSERT_TRUE(opened) << opened.error().reason();
        for (const std::string &part : c.parts) {
            EXPECT_TRUE(writer.write(part));
            whole += part;
        }
        EXPECT_EQ(Read(path), "old") << "nothing shows before the commit";
        if (c.end == PartsCase::Commit) {
            const auto committed = writer.commit();
            ASSERT_TRUE(committed) << committed.error().reason();
            EXPECT_FALSE(writer.write("more")) << "a committed writer takes nothing more";
        } else if (c.end == PartsCase::Abort) {
            writer.abort();
        }
    }
    EXPECT_EQ(Read(path), c.end == PartsCase::Commit ? whole : std::string("old"));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string> { "link.html" }) << "no temporary file may stay";
}

INSTANTIATE_TEST_SUITE_P(Table, StreamedWriter,
    ::testing::Values(PartsCase { "SeveralParts", { "<html>", "", std::string("a\0b", 3), std::string(1 << 20, 'x') },
                          PartsCase::Commit },
        PartsCase { "NoPartIsAnEmptyFile", {}, PartsCase::Commit },
        PartsCase { "AbortKeepsTheOldFile", { "new", "er" }, PartsCase::Abort },
        PartsCase { "DestroyedWithoutCommitKeepsTheOldFile", { "new" }, PartsCase::Destroy }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FileIo, StreamedWriteCutShortFailsAtCommit)
{
    TempDir dir;
    const std::string path = dir / "link.html";
    ASSERT_TRUE(file_io::WriteFileAtomic(path, "old contents"));
    file_io::AtomicFileWriter writer;
    ASSERT_TRUE(writer.open(path));
    auto limit = std::make_unique<FileSizeLimit>(4096);
    ASSERT_TRUE(limit->set());
    const bool first = writer.write(std::string(3000, 'x'));
    const bool second = writer.write(std::string(3000, 'y'));
    const bool third = writer.write("z"); // after a failure nothing more is written
    const auto committed = writer.commit();
    limit.reset();

    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_FALSE(third);
    ASSERT_FALSE(committed);
    EXPECT_EQ(committed.error().code, EFBIG);
    EXPECT_EQ(committed.error().path, path);
    EXPECT_EQ(Read(path), "old contents");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string> { "link.html" });
}

TEST(FileIo, ReadFailures)
{
    TempDir dir;
    ASSERT_TRUE(file_io::WriteFileAtomic(dir / "file", ""));
    const struct {
        std::string path;
        bool missing;
        int code;
    } cases[] = {
        { dir / "none.txt", true, ENOENT },
        { dir / "file/below", true, ENOTDIR },
        { dir.path(), false, EISDIR },
    };
    for (const auto &c : cases) {
        const auto r = file_io::ReadWholeFile(c.path);
        ASSERT_FALSE(r) << c.path;
        EXPECT_EQ(r.error().kind == error::Kind::NotFound, c.missing) << c.path;
        EXPECT_EQ(r.error().code, c.code) << c.path;
        EXPECT_EQ(r.error().path, c.path);
    }
    const auto empty = file_io::ReadWholeFile(dir / "file");
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, "");
}

TEST(FileIo, DirectoriesAndPathParts)
{
    TempDir dir;
    EXPECT_TRUE(file_io::MakeDirectories(dir / "a/b/c/"));
    EXPECT_TRUE(file_io::DirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(file_io::MakeDirectories(dir / "a/b")); // already there
    ASSERT_TRUE(file_io::WriteFileAtomic(dir / "f", "x"));
    EXPECT_FALSE(file_io::MakeDirectories(dir / "f/sub"));
    EXPECT_FALSE(file_io::MakeDirectory(dir / "f"));
    EXPECT_TRUE(file_io::FileExists(dir / "f"));
    EXPECT_FALSE(file_io::FileExists(dir / "a"));
    EXPECT_TRUE(file_io::PathExists(dir / "a"));
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(file_io::PathExists(dir / "dangling"));
    EXPECT_FALSE(file_io::FileExists(dir / "dangling"));
    EXPECT_TRUE(file_io::RemoveFile(dir / "f"));
    EXPECT_TRUE(file_io::RemoveFile(dir / "f")) << "a file already gone counts as removed";

    EXPECT_EQ(file_io::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(file_io::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(file_io::JoinPath("", "b"), "b");
    EXPECT_EQ(file_io::FileNamePart("/x/y.tbl"), "y.tbl");
    EXPECT_EQ(file_io::FileNamePart("y.tbl"), "y.tbl");
    EXPECT_TRUE(file_io::DirectoryExists(file_io::ExecutableDir()));
}

TEST(FileIo, FindProgramLooksUpBareNamesInPath)
{
    TempDir dir;
    for (const char *sub : { "a", "b", "c/tool" })
        ASSERT_TRUE(file_io::MakeDirectories(dir / sub));
    ASSERT_TRUE(file_io::WriteFileAtomic(dir / "a/tool", "") && file_io::WriteFileAtomic(dir / "b/tool", ""));
    ASSERT_EQ(::chmod((dir / "b/tool").c_str(), 0755), 0); // a/tool is not executable, c/tool a folder
    EXPECT_EQ(file_io::FindProgram("tool", "::" + dir / "a:" + dir / "c:" + dir / "b"), dir / "b/tool");
    EXPECT_EQ(file_io::FindProgram("tool", dir / "a"), "");
    EXPECT_EQ(file_io::FindProgram("", dir / "b"), "");
    EXPECT_EQ(file_io::FindProgram("./tool", dir / "b"), "./tool"); // a name with a slash stands as it is
}

} // namespace
