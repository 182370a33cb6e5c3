#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "Version.h"
#include "app/AboutBox.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "ui/MainWindow.h"
#include "ui/WidgetPrompter.h"

#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace nuvora;

// The window's frame: placement, the About box, message boxes, the shutdown.
class TestShell : public QObject {
    Q_OBJECT

private slots:
    void centring_data()
    {
        QTest::addColumn<double>("screen");
        QTest::addColumn<double>("window");
        QTest::addColumn<int>("offset");
        QTest::newRow("even difference") << 1000.0 << 400.0 << 300;
        QTest::newRow("odd difference, remainder dropped") << 1003.0 << 0.0 << 501;
        QTest::newRow("-3 gives -1, towards zero") << 0.0 << 3.0 << -1;
        QTest::newRow("2.5 rounds to even 2") << 2.5 << 0.0 << 1;
        QTest::newRow("3.5 rounds to even 4") << 3.5 << 0.0 << 2;
        QTest::newRow("-3.5 rounds to -4") << 0.0 << 3.5 << -2;
        QTest::newRow("2.6 rounds up") << 2.6 << 0.0 << 1;
        QTest::newRow("window larger than screen") << 9600.0 << 12001.0 << -1200;
        QTest::newRow("twips of a 1920 screen") << 28800.0 << 5055.0 << 11872;
    }
    void centring()
    {
        QFETCH(double, screen);
        QFETCH(double, window);
        QFETCH(int, offset);
        QCOMPARE(centredOffset(screen, window), offset);
    }

    void twips_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("client width at 96 dpi") << 4935.0 << 96.0 << 329;
        QTest::newRow("lamp panel at 144 dpi: 25.5 rounds up") << 255.0 << 144.0 << 26;
        QTest::newRow("client width at 120 dpi") << 4935.0 << 120.0 << 411;
    }
    void twips()
    {
        QFETCH(double, twips);
        QFETCH(double, dpi);
        QFETCH(int, pixels);
        QCOMPARE(twipsToPixels(twips, dpi), pixels);
    }

    void versionText_data()
    {
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("text");
        QTest::newRow("revision 10") << 10 << "Rev. 1.0.Beta10";
        QTest::newRow("revision 0") << 0 << "Rev. 1.0.0";
    }
    void versionText()
    {
        QFETCH(int, revision);
        QFETCH(QString, text);
        QCOMPARE(nuvora::versionText(1, 0, revision), text);
    }

    void aboutBoxOnce()
    {
        QTemporaryDir folder;
        AppState state;
        test::RecordingPrompter prompter;
        MainWindow window(state, prompter, folder.path());
        QAction *about = window.findChild<QAction *>(QStringLiteral("mnuAbo"));
        about->trigger();
        QPointer<AboutBox> first = window.aboutBox();
        QVERIFY(first && first->isVisible() && first->isWindow() && !first->isModal());
        QCOMPARE(first->titleLabel()->text(), QStringLiteral("Nuvora"));
        const QString version = nuvora::versionText(kVersionMajor, kVersionMinor, kVersionRevision);
        QCOMPARE(first->versionLabel()->text(), version);
        QVERIFY(first->iconLabel()->pixmap().isNull()); // no icon file: empty, no message
        // A second click while open: the same box, its texts unchanged.
        first->versionLabel()->setText(QStringLiteral("marked"));
        about->trigger();
        QCOMPARE(window.aboutBox(), first.data());
        QCOMPARE(first->versionLabel()->text(), QStringLiteral("marked"));
        int boxes = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            boxes += w->objectName() == QStringLiteral("FrmInfo");
        QCOMPARE(boxes, 1);
        // Closing deletes it; the next opening fills a new box.
        QVERIFY(first->close());
        QTRY_VERIFY(!first);
        about->trigger();
        QVERIFY(window.aboutBox());
        QCOMPARE(window.aboutBox()->versionLabel()->text(), version);
        QVERIFY(prompter.boxes.isEmpty());
    }

    void aboutBoxIcon()
    {
        // The shipped icon is read by its content, whatever its extension says.
        QImageReader reader(test::sourceDataDir() + QStringLiteral("/VURUVEVI.ROD"));
        const QImage icon = reader.read();
        QVERIFY2(!icon.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(icon.size(), QSize(32, 32));
        QVERIFY(icon.hasAlphaChannel());
        QVERIFY(!AboutBox(test::sourceDataDir()).iconLabel()->pixmap().isNull());
        QTemporaryDir folder;
        test::writeFile(folder.filePath(QStringLiteral("VURUVEVI.ROD")), "not a picture");
        QVERIFY(AboutBox(folder.path()).iconLabel()->pixmap().isNull());
    }

    void fileFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("load dialog") << "Fujitsu S-file (*.mhx)|*.mhx"
                                     << "Fujitsu S-file (*.mhx)";
        QTest::newRow("patterns added") << "Images|*.mhx;*.s28"
                                        << "Images (*.mhx *.s28)";
        QTest::newRow("two entries") << "S (*.mhx)|*.mhx|All|*.*"
                                     << "S (*.mhx);;All (*.*)";
    }
    void fileFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(qtFileFilter(filter), qt);
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("shownTitle");
        QTest::newRow("16") << 16 << "Error Com" << int(QMessageBox::Critical) << "Error Com";
        QTest::newRow("48") << 48 << "Wrong file" << int(QMessageBox::Warning) << "Wrong file";
        QTest::newRow("64, no title") << 64 << "" << int(QMessageBox::Information) << "Nuvora";
    }
    void messageBoxes()
    {
        QFETCH(int, style);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(QString, shownTitle);
        int seenIcon = -1;
        QString seenTitle, seenText;
        QTimer::singleShot(0, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seenIcon = box->icon();
                seenTitle = box->windowTitle();
                seenText = box->text();
                box->accept();
            }
        });
        WidgetPrompter().message(QStringLiteral("USB port not available\rPlease select"), style,
                                 title);
        QCOMPARE(seenIcon, icon);
        QCOMPARE(seenTitle, shownTitle);
        QCOMPARE(seenText, QStringLiteral("USB port not available\nPlease select"));
    }

    void hostPath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("host");
        QTest::newRow("ordinary") << "/opt/duvo/nuvora"
                                  << "/opt/duvo/DUVODORUVI.EXE";
        QTest::newRow("root: doubled separator") << "/"
                                                 << "//DUVODORUVI.EXE";
        QTest::newRow("one below root") << "/nuvora"
                                        << "//DUVODORUVI.EXE";
        QTest::newRow("trailing separator") << "/opt/duvo/nuvora/"
                                            << "/opt/duvo/DUVODORUVI.EXE";
    }
    void hostPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, host);
        QCOMPARE(nuvora::hostPath(folder), host);
    }

    void hostReallyStarts()
    {
        // The production start: detached, in the host's own folder, without waiting for it.
        QTemporaryDir root;
        const QString host = root.filePath(kHostProgram);
        test::writeFile(host, "#!/bin/sh\npwd > started.txt\n");
        QFile::setPermissions(host, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(systemShutdownActions().startHost(host));
        const QString marker = root.filePath(QStringLiteral("started.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(test::readFile(marker).endsWith('\n'), 10000);
        QCOMPARE(QString::fromLocal8Bit(test::readFile(marker)).trimmed(),
                 QDir(root.path()).canonicalPath());
    }

    void shutdown_data()
    {
        QTest::addColumn<bool>("portCloses");
        QTest::addColumn<QByteArray>("host"); // empty: no host file
        QTest::addColumn<bool>("executable");
        QTest::addColumn<bool>("started");
        QTest::newRow("host present") << true << QByteArray("#!/bin/sh\n") << true << true;
        QTest::newRow("host missing") << true << QByteArray() << false << false;
        QTest::newRow("host not executable") << true << QByteArray("data") << false << false;
        QTest::newRow("port fails to close") << false << QByteArray("#!/bin/sh\n") << true << false;
    }
    void shutdown()
    {
        QFETCH(bool, portCloses);
        QFETCH(QByteArray, host);
        QFETCH(bool, executable);
        QFETCH(bool, started);
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("tool"));
        QVERIFY(QDir().mkpath(program));
        const QString hostFile = root.filePath(kHostProgram);
        if (!host.isEmpty()) {
            test::writeFile(hostFile, host);
            QFile::setPermissions(
                hostFile, QFile::ReadOwner | (executable ? QFile::ExeOwner : QFile::Permissions()));
        }
        QStringList events;
        ShutdownActions actions;
        actions.closePort = [&] {
            events << QStringLiteral("close");
            return portCloses;
        };
        actions.startHost = [&](const QString &path) {
            events << QStringLiteral("start ") + path;
            return true;
        };
        actions.endProcess = [&] { events << QStringLiteral("end"); };
        const QString before = QDir::currentPath();
        Form_Unload(program, actions);
        QDir::setCurrent(before);
        QStringList expected{QStringLiteral("close"), QStringLiteral("end")};
        if (started)
            expected.insert(1, "start " + QDir(root.path()).absolutePath() + '/' + kHostProgram);
        QCOMPARE(events, expected);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
