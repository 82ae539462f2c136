// The main window's writes on a failing disk: the exit sequence, named files and the link page
// on a full or read-only file system, a config folder removed while the program runs, and the
// temporary files a killed run left behind. The user is told which file failed and why, the
// old files stay intact and the buffers stay in memory.
#include "app/frm_main.h"
#include "base/file_io.h"
#include "support/window_test.h"

#include <QAction>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

QString reason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// The home folder of a TempHome turned into a small tmpfs for the life of the object.
class SmallDisk
{
public:
    SmallDisk(const TempHome &home, const char *options)
        : m_path(home.paths().home)
    {
        m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options) == 0;
        if (!m_mounted) m_why = std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    const char *why() const { return m_why.c_str(); }
    bool makeReadOnly() { return ::mount(nullptr, m_path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    std::string m_path;
    bool m_mounted = false;
    std::string m_why;
};

// Names in a folder other than the given ones.
QStringList strangers(const std::string &dir, const QStringList &known)
{
    QStringList names;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        if (!known.contains(name)) names << name;
    }
    return names;
}

// About size bytes of short lines: long lines are slow in the editor.
std::string manyLines(std::size_t size, char c)
{
    std::string text;
    while (text.size() < size)
        text += std::string(78, c) + "\r\n";
    return text;
}

const QStringList kConfigFiles { "set.ini", "set2.ini", "lanzo.ini", "edit.txt", "list.txt" };

} // namespace

#define MOUNT_OR_SKIP(disk)                                                                                            \
    if (!(disk).mounted()) QSKIP(qPrintable(QStringLiteral("cannot mount a small file system: ") + (disk).why()))

class TstReliabilityDisk : public WindowTest
{
    Q_OBJECT
private slots:
    void exitOnFullDisk();
    void exitOnReadOnlyDisk();
    void namedFileOnFullDisk();
    void linkPageOnFullDisk();
    void configFolderRemovedWhileRunning();
    void staleTemporariesGoAtStart();
};

void TstReliabilityDisk::exitOnFullDisk()
{
    SmallDisk disk(home, "size=64k");
    MOUNT_OR_SKIP(disk);
    const app_paths::AppPaths &p = home.paths();
    std::filesystem::create_directories(p.configDir);
    writeBytes(p.workFile, "old work");
    Session s(home);
    const std::string big = manyLines(100 * 1024, 'w');
    s.main()->setSourceText(big, true);
    s.main()->setUrlListItems({ "kept item" });
    s.prompts.closeAnswers = { false };

    QVERIFY(!s.close());
    QVERIFY(s.main()->isVisible());
    QCOMPARE(s.prompts.closeQuestions.size(), 1);
    const QString message = s.prompts.closeQuestions.first();
    QVERIFY2(message.contains(QStringLiteral("/config/edit.txt：") + reason(ENOSPC)), qPrintable(message));
    QCOMPARE(message.count(QStringLiteral("/config/")), 1); // the small files still fitted
    QCOMPARE(bytes(readBytes(p.workFile)), QByteArray("old work"));
    QCOMPARE(bytes(readBytes(p.listFile)), QByteArray("kept item\r\n"));
    QCOMPARE(bytes(s.main()->sourceText()), bytes(big));
    QCOMPARE(s.main()->urlListItems(), func_token::StringList { "kept item" });
    QCOMPARE(strangers(p.configDir, kConfigFiles), QStringList());

    // With room again, the next close goes through without a question.
    s.main()->setSourceText("fits now", true);
    s.prompts.clearRecord();
    QVERIFY(s.close());
    QVERIFY(s.prompts.closeQuestions.isEmpty());
    QCOMPARE(bytes(readBytes(p.workFile)), QByteArray("fits now"));
}

void TstReliabilityDisk::exitOnReadOnlyDisk()
{
    SmallDisk disk(home, "size=1m");
    MOUNT_OR_SKIP(disk);
    Session s(home);
    s.main()->setSourceText("text", true);
    QVERIFY(disk.makeReadOnly());
    s.prompts.closeAnswers = { false, true };

    QVERIFY(!s.close());
    QCOMPARE(s.prompts.closeQuestions.size(), 1);
    const QString message = s.prompts.closeQuestions.first();
    for (const QString &file : kConfigFiles)
        QVERIFY2(message.contains(QStringLiteral("/config/") + file + QStringLiteral("：") + reason(EROFS)),
            qPrintable(message));
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("text"));
    // Answering the second question with "close anyway" ends the program.
    QVERIFY(s.close());
}

void TstReliabilityDisk::namedFileOnFullDisk()
{
    SmallDisk disk(home, "size=64k");
    MOUNT_OR_SKIP(disk);
    const std::string doc = home.path("doc.txt");
    writeBytes(doc, "old named text");
    Session s(home);
    s.prompts.openFiles = { QString::fromStdString(doc) };
    s.action("mnuOpen")->trigger();
    QCOMPARE(s.main()->currentFileName(), QString::fromStdString(doc));
    const std::string big = manyLines(100 * 1024, 'n');
    s.main()->setSourceText(big, true);

    const struct {
        const char *command;
        std::string target;
    } attempts[] = { { "mnuSave", doc }, { "mnuSaveAs", home.path("copy.txt") } };
    for (const auto &a : attempts) {
        s.prompts.clearRecord();
        s.prompts.saveFiles = { QString::fromStdString(a.target) };
        s.action(a.command)->trigger();
        QCOMPARE(s.prompts.errors.size(), 1);
        const QString error = s.prompts.errors.first();
        QVERIFY2(error.contains(QString::fromStdString(a.target) + QStringLiteral("：") + reason(ENOSPC)),
            qPrintable(error));
        // Still the same file, still modified, the text still in memory.
        QCOMPARE(s.main()->currentFileName(), QString::fromStdString(doc));
        QVERIFY(s.main()->isModified());
        QCOMPARE(bytes(s.main()->sourceText()), bytes(big));
    }
    QCOMPARE(bytes(readBytes(doc)), QByteArray("old named text"));
    QVERIFY(!fileExists(home.path("copy.txt")));
    QCOMPARE(strangers(home.paths().home, { "config", "doc.txt" }), QStringList());
}

void TstReliabilityDisk::linkPageOnFullDisk()
{
    SmallDisk disk(home, "size=64k");
    MOUNT_OR_SKIP(disk);
    Session s(home);
    const func_token::StringList items(3000, "http://example.com/a/long/path/item.html");
    s.main()->setUrlListItems(items);
    const std::string page = home.path("link.html");
    s.prompts.saveFiles = { QString::fromStdString(page) };
    s.action("mnuLinkPage")->trigger();
    QCOMPARE(s.prompts.errors.size(), 1);
    QVERIFY2(s.prompts.errors.first().contains(QString::fromStdString(page) + QStringLiteral("：") + reason(ENOSPC)),
        qPrintable(s.prompts.errors.first()));
    QVERIFY(!fileExists(page));
    QCOMPARE(s.main()->urlListItems(), items);
}

void TstReliabilityDisk::configFolderRemovedWhileRunning()
{
    const app_paths::AppPaths &p = home.paths();
    Session s(home);
    s.main()->setSourceText("text", true);
    s.main()->setUrlListItems({ "item" });
    std::filesystem::remove_all(p.configDir);

    QVERIFY(s.close()); // the exit makes the folder again
    QVERIFY(s.prompts.closeQuestions.isEmpty());
    QCOMPARE(bytes(readBytes(p.workFile)), QByteArray("text"));
    QCOMPARE(bytes(readBytes(p.listFile)), QByteArray("item\r\n"));
    for (const QString &file : kConfigFiles)
        QVERIFY2(fileExists(p.configDir + "/" + file.toStdString()), qPrintable(file));
}

void TstReliabilityDisk::staleTemporariesGoAtStart()
{
    const app_paths::AppPaths &p = home.paths();
    std::filesystem::create_directories(p.configDir);
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    QVERIFY(dead > 0);
    ::waitpid(dead, nullptr, 0);
    const std::string stale = p.configDir + "/.edit.txt.tmp" + std::to_string(dead) + "-0";
    const std::string live = p.configDir + "/.list.txt.tmp" + std::to_string(::getpid()) + "-9";
    writeBytes(stale, "half a write");
    writeBytes(live, "a write in flight");
    writeBytes(p.workFile, "work");

    Session s(home);
    QVERIFY(!fileExists(stale));
    QVERIFY(fileExists(live));
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("work"));
}

QTEST_MAIN(TstReliabilityDisk)
#include "test_frm_main_disk_faults.moc"
