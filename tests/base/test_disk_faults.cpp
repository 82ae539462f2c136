// Writes on failing disks: a full or read-only file system, no inode left, and a writer killed
// at random moments. The target must always hold either its complete old or its complete new
// content, and the failure must name the file and the system's reason.
#include "base/file_io.h"

#include "support/settings_temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using testsettings::Entries;
using testsettings::TempDir;

// A small tmpfs mounted on a folder of its own for the life of the object.
class SmallFileSystem
{
public:
    SmallFileSystem(const TempDir &dir, const char *options)
        : m_path(dir / "fs")
    {
        if (!file_io::MakeDirectory(m_path)) return;
        if (::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options) == 0)
            m_mounted = true;
        else
            m_why = std::strerror(errno);
    }
    ~SmallFileSystem()
    {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    const std::string &why() const { return m_why; }
    std::string operator/(const std::string &name) const { return m_path + "/" + name; }
    const std::string &path() const { return m_path; }
    bool makeReadOnly() { return ::mount(nullptr, m_path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    std::string m_path;
    bool m_mounted = false;
    std::string m_why = "cannot create the mount point";
};

struct DiskCase {
    const char *name;
    const char *options; // mount options of the tmpfs
    std::size_t oldSize; // 0: no file there before
    std::size_t newSize;
    bool readOnly;
    int code;
};

void PrintTo(const DiskCase &c, std::ostream *os)
{
    *os << c.name;
}

class FailingDisk : public ::testing::TestWithParam<DiskCase>
{
};

// Both ways of writing, the whole content at once and in parts (as the link page is written),
// fail alike and leave the old file.
TEST_P(FailingDisk, KeepsTheOldFileAndNamesTheReason)
{
    const DiskCase &c = GetParam();
    const std::string newData(c.newSize, 'n');
    const auto writeParts = [&newData](const std::string &path) {
        file_io::AtomicFileWriter writer;
        error::Result<void> done = writer.open(path);
        if (!done) return done;
        for (std::size_t at = 0; at < newData.size(); at += 4096)
            writer.write(std::string_view(newData).substr(at, 4096));
        return writer.commit();
    };
    const std::function<error::Result<void>(const std::string &)> writers[] = {
        [&newData](const std::string &path) { return file_io::WriteFileAtomic(path, newData); },
        writeParts,
    };
    for (const auto &write : writers) {
        TempDir dir;
        SmallFileSystem fs(dir, c.options);
        if (!fs.mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << fs.why();
        const std::string path = fs / "edit.txt";
        const std::string oldData(c.oldSize, 'o');
        if (c.oldSize > 0) {
            ASSERT_TRUE(file_io::WriteFileAtomic(path, oldData));
        }
        if (c.readOnly) {
            ASSERT_TRUE(fs.makeReadOnly());
        }

        const auto written = write(path);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().path, path);
        EXPECT_EQ(written.error().code, c.code) << written.error().reason();
        EXPECT_EQ(written.error().reason(), std::strerror(c.code));
        if (c.oldSize > 0) {
            EXPECT_EQ(file_io::ReadWholeFile(path).value_or("unreadable"), oldData);
            EXPECT_EQ(Entries(fs.path()), std::vector<std::string> { "edit.txt" }) << "no temporary file stays";
        } else {
            EXPECT_EQ(Entries(fs.path()), std::vector<std::string> {});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tmpfs, FailingDisk,
    ::testing::Values(DiskCase { "NewFileDoesNotFit", "size=64k", 0, 200 * 1024, false, ENOSPC },
        // The old file stays until the new one is complete, so both must fit at once.
        DiskCase { "OldAndNewDoNotFitTogether", "size=64k", 40 * 1024, 30 * 1024, false, ENOSPC },
        DiskCase { "NoInodeForTheTemporaryFile", "size=1m,nr_inodes=2", 10, 10, false, ENOSPC },
        DiskCase { "ReadOnlyFileSystem", "size=64k", 1000, 10, true, EROFS }),
    [](const auto &info) { return std::string(info.param.name); });

// Content whose every byte depends on its version, so a mixture or a cut is always noticed.
std::string Version(int v, std::size_t size)
{
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(v) * 7) % 251);
    return data;
}

TEST(KilledWriter, LeavesTheOldOrTheNewFileNeverAPart)
{
    TempDir dir;
    const std::string path = dir / "list.txt";
    constexpr std::size_t kSize = 1 << 20;
    constexpr int kVersions = 4;
    std::vector<std::string> versions;
    for (int v = 0; v < kVersions; ++v)
        versions.push_back(Version(v, kSize));
    ASSERT_TRUE(file_io::WriteFileAtomic(path, versions[0]));

    std::mt19937 random(12345);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    int kills = 0, replaced = 0, leftovers = 0;
    std::string last = versions[0];
    while (kills < 150 && std::chrono::steady_clock::now() < deadline) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The child rewrites the file in a loop until it is killed.
            for (int v = 1;; v = v % (kVersions - 1) + 1)
                static_cast<void>(file_io::WriteFileAtomic(path, versions[static_cast<std::size_t>(v)]));
        }
        ::usleep(static_cast<useconds_t>(random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ++kills;

        const auto r = file_io::ReadWholeFile(path);
        ASSERT_TRUE(r) << r.error().reason();
        ASSERT_TRUE(std::find(versions.begin(), versions.end(), *r) != versions.end())
            << "after kill " << kills << " the file holds " << r->size() << " bytes of no version";
        if (*r != last) ++replaced;
        last = *r;

        // At most the one write in flight leaves its temporary file, and it goes at the next start.
        std::vector<std::string> names = Entries(dir.path());
        names.erase(std::remove(names.begin(), names.end(), "list.txt"), names.end());
        ASSERT_LE(names.size(), 1u);
        leftovers += static_cast<int>(names.size());
        EXPECT_EQ(file_io::RemoveStaleTemporaries(dir.path()), static_cast<int>(names.size()));
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string> { "list.txt" });
    }
    EXPECT_GE(kills, 20);
    EXPECT_GT(replaced, 0) << "the writer never got a write through: the test proves nothing";
    EXPECT_GT(leftovers, 0) << "no kill hit a write in flight: the test proves nothing";
    RecordProperty("kills", kills);
    RecordProperty("replaced", replaced);
    RecordProperty("leftovers", leftovers);
}

TEST(StaleTemporaries, OnlyThoseOfDeadWritersGo)
{
    TempDir dir;
    // The id of a process that has surely ended.
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    const std::string deadId = std::to_string(dead);
    const std::string ownId = std::to_string(::getpid());

    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        { ".edit.txt.tmp" + deadId + "-0", true },
        { ".set.ini.tmp" + deadId + "-17", true },
        { ".a.tmp.b.tmp" + deadId + "-3", true }, // the last ".tmp" counts
        { ".edit.txt.tmp" + ownId + "-0", false }, // a write of this process may be in flight
        { ".edit.txt.tmp1-0", false }, // process 1 always runs
        { "edit.txt.tmp" + deadId + "-0", false }, // not a hidden name
        { ".edit.txt.tmp" + deadId, false },
        { ".edit.txt.tmp" + deadId + "-", false },
        { ".edit.txt.tmp-5", false },
        { ".edit.txt.tmp" + deadId + "-0x", false },
        { ".edit.txt.tmp99999999999999999999-0", false }, // no process has such an id
        { "edit.txt", false },
        { ".tmp" + deadId + "-0", false },
    };
    for (const auto &c : cases)
        ASSERT_TRUE(file_io::WriteFileAtomic(dir / c.name, "x")) << c.name;
    // A half-filled folder goes with its files; one holding a folder is not ours and stays.
    const std::string nested = dir / (".dir.tmp" + deadId + "-2");
    ASSERT_TRUE(file_io::MakeDirectories(nested + "/inner") && file_io::WriteFileAtomic(nested + "/a", "x"));
    ASSERT_TRUE(file_io::MakeDirectory(dir / (".table.tmp" + deadId + "-1")));

    int expected = 1;
    for (const auto &c : cases)
        expected += c.removed;
    EXPECT_EQ(file_io::RemoveStaleTemporaries(dir.path()), expected);
    for (const auto &c : cases)
        EXPECT_EQ(file_io::PathExists(dir / c.name), !c.removed) << c.name;
    EXPECT_TRUE(file_io::FileExists(nested + "/a"));
    EXPECT_EQ(file_io::RemoveStaleTemporaries(dir / "missing"), 0);
}

} // namespace
