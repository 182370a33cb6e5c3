// nuvora-cli ports as a user runs it: the aliases and the USB item's choice.
#include "CliTest.h"

#include <QDir>

using namespace nuvora;

class TestCliPorts : public QObject {
    Q_OBJECT

private slots:
    // In a fresh user folder; BYID holds usb-FTDI_A1 -> /dev/null, the program folder COM3 ->
    // a missing file, COM8 -> /dev/full, COM12 -> /dev/null and a README, SYSFS an FTDI
    // adapter on ttyUSB3 (COM8). `before` and `after`: the user's aliases. A `says` that ends a
    // line ends the output.
    void alias_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on stdout, or stderr when failed
        QTest::addColumn<QString>("after");
        using L = QStringList;
        const auto row = [](const char *name, const QString &before, const L &args, int status,
                            const QString &says, const QString &after = {}) {
            QTest::newRow(name) << before << args << status << says << after;
        };
        row("stable name preferred", "", {"--alias", "7", "/dev/null"}, 0,
            "COM7 -> BYID/usb-FTDI_A1", "COM7=BYID/usb-FTDI_A1");
        row("replaced", "COM7=/dev/zero", {"--alias", "7", "/dev/full"}, 0,
            "COM7 -> /dev/full (HOME/ports/COM7), was -> /dev/zero", "COM7=/dev/full");
        row("program folder wins", "", {"--alias", "8", "/dev/zero"}, 0,
            "warning: FOLDER/ports/COM8 wins", "COM8=/dev/zero");
        row("removed", "COM7=/dev/zero COM9=/dev/null", {"--unalias", "7"}, 0,
            "COM7: alias removed", "COM9=/dev/null");
        row("none to remove", "", {"--unalias", "7"}, 4, "no alias");
        row("no such device", "", {"--alias", "7", "/dev/nowhere"}, 4, "no device /dev/nowhere");
        row("not a number", "", {"--unalias", "/dev/null"}, 2, "'/dev/null' is not a port number");
        row("stray argument", "", {"COM3"}, 2,
            "error: unknown argument 'COM3'\ntry 'nuvora-cli ports --help'\n");
        row("aliases listed by number, a missing target marked", "COM2=/dev/zero", {}, 0,
            "Aliases in FOLDER/ports:\n  COM3     -> FOLDER/gone  (missing: the port will not "
            "open)\n  COM8     -> /dev/full\n  COM12    -> /dev/null\n\nAliases in HOME/ports:\n"
            "  COM2     -> /dev/zero\n\nUSB item",
            "COM2=/dev/zero");
        row("USB item: no adapter", "", {"--sysfs", "BYID"}, 0,
            "USB item: no FTDI adapter found (the window would say \"USB port not available\").\n");
        row("USB item: the adapter's device", "", {"--sysfs", "SYSFS", "--folder", "BYID"}, 0,
            "\nUSB item: COM8 (/dev/ttyUSB3)\n");
        row("USB item: an alias of its number wins", "", {"--sysfs", "SYSFS"}, 0,
            "USB item: COM8 (FOLDER/ports/COM8)\nwarning: FOLDER/ports/COM8 leads to /dev/full, "
            "not to the adapter's /dev/ttyUSB3\n");
    }
    void alias()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QString, after);
        QTemporaryDir config, byId, folder, sysfs;
        const QString user = config.filePath("Nuvora");
        const auto fill = [&](QString text) {
            return text.replace("BYID", byId.path())
                .replace("FOLDER", folder.path())
                .replace("HOME", user)
                .replace("SYSFS", sysfs.path());
        };
        test::layOutUsbSerial(sysfs.path(), "ftdi_sio", {"ttyUSB3"});
        QVERIFY(QFile::link("/dev/null", byId.filePath("usb-FTDI_A1")));
        for (const auto &[n, target] : {std::pair{8, "/dev/full"}, {12, "/dev/null"}, {3, "gone"}})
            QVERIFY(test::linkPort(folder.path(), n, QDir(folder.path()).filePath(target)));
        test::writeFile(folder.filePath("ports/README"), "not a port");
        for (const QString &alias : before.split(' ', Qt::SkipEmptyParts))
            QVERIFY(test::linkPort(user, alias.mid(3, 1).toInt(), alias.mid(5)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        for (QString &a : args)
            a = fill(a);
        const auto r = test::runProgram(
            QStringList{test::cli(), "ports", "--by-id", byId.path(), "--folder", folder.path()} +
                args,
            env);
        QCOMPARE(r.status, status);
        const QByteArray shown = status ? r.err : r.out, part = fill(says).toUtf8();
        QVERIFY2(part.endsWith('\n') ? shown.endsWith(part) : shown.contains(part), shown);
        QStringList left;
        for (const QFileInfo &link : QDir(user + "/ports").entryInfoList(QDir::System))
            left << link.fileName() + '=' + link.symLinkTarget();
        QCOMPARE(left.join(' '), fill(after));
    }
};

QTEST_GUILESS_MAIN(TestCliPorts)
#include "tst_cli_ports.moc"
