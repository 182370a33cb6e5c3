#include "base/FileWrite.h"

#include "Fixtures.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nuvora;

namespace {

const QByteArray kOld = "COM=4\r\nLINGUA=Old\r\n";
const QByteArray kNew = "COM=7\r\nLINGUA=New\r\nFILE1=/a.mhx\r\n";

// The type, mode and owner of path itself (not what a link leads to); 0 when there is none.
struct stat look(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestFileWrite : public QObject {
    Q_OBJECT

private slots:
    // kind: what stands at the path before the write; expected: its type afterwards, or 0
    // when the write must be refused and the target left alone. A link's target may belong to
    // another user (uid gid): an administrator's save through it must not take the file over.
    void targets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("expected");
        QTest::newRow("nothing: created") << "none" << int(S_IFREG);
        QTest::newRow("regular file: replaced, mode kept") << "file" << int(S_IFREG);
        QTest::newRow("link to a file: still a link") << "link" << int(S_IFLNK);
        QTest::newRow("link to another user's file") << "link 65534 0" << int(S_IFLNK);
        QTest::newRow("link to another group's file") << "link 0 65534" << int(S_IFLNK);
        QTest::newRow("dangling link: target created") << "dangling" << int(S_IFLNK);
        QTest::newRow("character device: still a node") << "chardev" << int(S_IFCHR);
        QTest::newRow("fifo: still a fifo") << "fifo" << int(S_IFIFO);
        QTest::newRow("folder: refused") << "folder" << 0;
    }
    void targets()
    {
        QFETCH(QString, kind);
        QFETCH(int, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("out"), target = dir.filePath("target");
        const QByteArray name = QFile::encodeName(path);
        const QStringList owner = kind.split(' ').mid(1);
        kind = kind.section(' ', 0, 0);
        if (kind == "file")
            test::writeFile(path, kOld), ::chmod(name.constData(), 0604);
        if (kind == "link")
            test::writeFile(target, kOld);
        if (!owner.isEmpty() && ::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        const QByteArray targetName = QFile::encodeName(target);
        QVERIFY(owner.isEmpty() ||
                ::chown(targetName.constData(), owner[0].toUInt(), owner[1].toUInt()) == 0);
        if (kind == "link" || kind == "dangling")
            QVERIFY(QFile::link("target", path));
        // A private copy of /dev/null where we may make nodes; the real one otherwise.
        if (kind == "chardev" && ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QVERIFY(QFile::link("/dev/null", path));
        QVERIFY(kind != "fifo" || ::mkfifo(name.constData(), 0600) == 0);
        QVERIFY(kind != "folder" || QDir().mkpath(path + "/inside"));
        QByteArray fromFifo;
        std::thread reader;
        if (kind == "fifo")
            reader = std::thread([&] { fromFifo = test::readFile(path); });
        const WriteResult result = WriteWholeFile(path, kNew);
        if (reader.joinable())
            reader.join();

        QCOMPARE(result.ok, expected != 0);
        if (expected == 0) {
            QVERIFY(!result.reason.isEmpty() && QFileInfo(path + "/inside").isDir());
            return;
        }
        const mode_t type = look(path).st_mode & S_IFMT;
        QCOMPARE(kind == "chardev" && type == S_IFLNK ? int(S_IFCHR) : int(type), expected);
        if (kind != "chardev")
            QCOMPARE(kind == "fifo" ? fromFifo : test::readFile(path), kNew);
        QVERIFY(kind != "file" || (look(path).st_mode & 07777) == 0604);
        const QStringList owners{QString::number(look(target).st_uid),
                                 QString::number(look(target).st_gid)};
        QVERIFY(owner.isEmpty() || owner == owners);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 kind == "link" || kind == "dangling" ? 2 : 1); // no temporary file left
    }

    // A write smaller than the file buffer that never reaches the disk (a child limited to 8
    // bytes per file, SIGXFSZ ignored): the old file stays whole and the failure is a full
    // disk (61), not a success.
    void fullDiskKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("nuvora.ini");
        test::writeFile(path, kOld);
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{8, 8};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const WriteResult result = WriteWholeFile(path, kNew);
            ::_exit(result.ok ? 0 : result.error);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 61);
        QCOMPARE(test::readFile(path), kOld);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFileWrite)
#include "tst_filewrite.moc"
