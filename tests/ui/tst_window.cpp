#include "Version.h"
#include "WindowFixture.h"
#include "app/Startup.h"
#include "ui/StatusLamps.h"
#include "ui/WidgetPrompter.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

using namespace nuvora;

// The real window in a program folder holding Alpha (20 lines) and Beta (25 lines) and COM1 to
// COM4 that never open: start-up, captions, the About box, message boxes, the shutdown.
class TestWindow : public QObject, test::WindowFixture {
    Q_OBJECT

    // The captions of the checked Com or Language items: "COM&2", "&USB", "Beta", "" for none.
    QString checked(const QString &menu) const
    {
        QStringList on;
        for (QAction *a : action(menu)->menu()->actions())
            if (a->isChecked())
                on << a->text();
        return on.join(QLatin1Char(','));
    }

private slots:
    void init()
    {
        freshFolder();
        deadPorts();
        writeInFolder(QStringLiteral("Alpha.lng"), test::languageFile(QStringLiteral("Alpha"), 20));
        writeInFolder(QStringLiteral("Beta.lng"), test::languageFile(QStringLiteral("Beta"), 25));
        makeWindow();
    }

    void firstStart()
    {
        QVERIFY(m_window->Form_Load());
        QCOMPARE(iniText(), settingsText(1, QString()));
        QCOMPARE(checked("mnuCom"), QString());
        QCOMPARE(checked("mnuLingue"), "Alpha");
        QCOMPARE(QDir::currentPath(), QDir(m_folder).canonicalPath());
        // Captions in the chosen language before the window is first shown.
        QCOMPARE(action("mnuFile")->text(), QStringLiteral("Alpha 1"));
        QCOMPARE(action("smnuFile0")->text(), QStringLiteral("Alpha 2"));
        QCOMPARE(action("mnuLingue")->text(), QStringLiteral("Alpha 4"));
        QCOMPARE(start()->text(), QStringLiteral("Alpha 6"));
        // No file: the banner hidden with its bare prefix, Start off, no recent files.
        QVERIFY(banner()->isHidden());
        QCOMPARE(banner()->text(), QStringLiteral("File:  "));
        QVERIFY(!start()->isEnabled());
        for (int k = 1; k <= 4; ++k)
            QVERIFY(!action(QStringLiteral("fileM%1").arg(k))->isVisible());
        QCOMPARE(m_window->lamps()->lampTag(0), 1);
        // The port is opened last: its failure is the one box, and start-up still completes.
        QCOMPARE(m_prompter.boxes,
                 (QList<test::Box>{{"Com Not Avaible!Please select a NEW com", 16, "Error Com"}}));
        QVERIFY(m_events.isEmpty());
    }

    void savedSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("com");
        QTest::addColumn<QString>("language");
        const QString alpha = "Alpha", beta = "Beta";
        const QStringList files{"/img/a&b.mhx", "/img/c.mhx"};
        QTest::newRow("COM2 Beta") << settingsText(2, beta, files) << "COM&2" << beta;
        QTest::newRow("removed language") << settingsText(4, "Gamma") << "COM&4" << alpha;
        QTest::newRow("COM12: USB") << settingsText(12, beta) << "&USB" << beta;
        QTest::newRow("COM=0: no mark") << settingsText(0, beta) << "" << beta;
    }
    void savedSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, com);
        QFETCH(QString, language);
        writeInFolder(QStringLiteral("nuvora.ini"), content);
        QVERIFY(m_window->Form_Load());
        QCOMPARE(checked("mnuCom"), com);
        QCOMPARE(checked("mnuLingue"), language);
        QCOMPARE(m_state->LanguageName, language);
        QCOMPARE(action("mnuFile")->text(), language + QStringLiteral(" 1"));
        // Only a reset port is saved: a removed language's name stays until the next change.
        QCOMPARE(iniText(), QByteArray(content).replace("COM=0", "COM=1"));
        for (int k = 1; k <= 4; ++k) {
            const QString file = m_state->RecentFiles[size_t(k - 1)];
            QCOMPARE(action(QStringLiteral("fileM%1").arg(k))->isVisible(), !file.isEmpty());
            QCOMPARE(action(QStringLiteral("fileM%1").arg(k))->text(),
                     QString(file).replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
    }

    void noLanguageFile()
    {
        QVERIFY(QFile::remove(inFolder(QStringLiteral("Alpha.lng"))));
        QVERIFY(QFile::remove(inFolder(QStringLiteral("Beta.lng"))));
        QVERIFY(!m_window->Form_Load());
        QCOMPARE(m_prompter.boxes,
                 (QList<test::Box>{{"File missing! Reinstall program", 16, "Error"}}));
        QCOMPARE(m_events, QStringList{"end"}); // no host beside us
        QVERIFY(!QFile::exists(inFolder(QStringLiteral("nuvora.ini"))));
    }

    void centredAndLaidOut()
    {
        QVERIFY(m_window->Form_Load());
        const QScreen *screen = m_window->screen();
        const double k = 15.0 * 96.0 / screen->logicalDotsPerInch();
        const QSize frame = m_window->frameGeometry().size();
        const int top = centredOffset(screen->geometry().height() * k, frame.height() * k);
        const int left = centredOffset(screen->geometry().width() * k, frame.width() * k);
        QCOMPARE(m_window->pos(),
                 QPoint(m_window->px(left), m_window->px(top)) + screen->geometry().topLeft());
        QVERIFY(m_window->pos().x() > 0 && m_window->pos().y() > 0);
        // The offscreen screen has 96 dpi: 15 twips to the pixel.
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_window->centralWidget()->width(), 329);
        QCOMPARE(m_window->centralWidget()->height() + m_window->statusBar()->height(), 124);
    }

    void languageSwitchKeepsBanner()
    {
        writeInFolder(QStringLiteral("image.mhx"), "S20800000001020304ED\r\n");
        m_prompter.chooseFile(inFolder(QStringLiteral("image.mhx")));
        QVERIFY(m_window->Form_Load());
        action("smnuFile0")->trigger();
        QVERIFY(!banner()->isHidden());
        action("smnuLingue1")->trigger(); // Alpha (20 lines) -> Beta (25)
        QCOMPARE(checked("mnuLingue"), "Beta");
        QCOMPARE(action("mnuFile")->text(), QStringLiteral("Beta 1"));
        QCOMPARE(start()->text(), QStringLiteral("Beta 6"));
        QCOMPARE(banner()->text(), QStringLiteral("File:  image.mhx"));
        QVERIFY(iniText().contains("LINGUA=Beta\r\n"));
        // Back to the shorter file: refused; the tick stays on Beta.
        action("smnuLingue0")->trigger();
        QCOMPARE(m_prompter.boxes.last(), (test::Box{"Check file message!", 48, "Wrong file"}));
        QCOMPARE(checked("mnuLingue"), "Beta");
    }

    void emptyStartCaption()
    {
        writeInFolder("Alpha.lng", test::languageFile("Alpha", 20, 6));
        QVERIFY(m_window->Form_Load());
        QCOMPARE(start()->text(), QString());
    }
    void aboutBoxAndClose()
    {
        // Our icon file keeps its odd extension: it is read by its content.
        QImage picture(32, 32, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(inFolder(QStringLiteral("VURUVEVI.ROD")), "BMP"));
        test::writeFile(hostFile(), "#!/bin/sh\n");
        QFile::setPermissions(hostFile(), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(m_window->Form_Load());
        QVERIFY(!m_window->windowIcon().isNull());
        m_window->show();
        action("mnuAbo")->trigger();
        QPointer<AboutBox> first = m_window->aboutBox();
        QVERIFY(first && first->isVisible() && first->isWindow() && !first->isModal());
        QCOMPARE(first->titleLabel()->text(), QStringLiteral("Nuvora"));
        const QString version = versionText(kVersionMajor, kVersionMinor, kVersionRevision);
        QCOMPARE(first->versionLabel()->text(), version);
        QVERIFY(!first->iconLabel()->pixmap().isNull());
        // A second click while open: the same box, its texts unchanged.
        first->versionLabel()->setText(QStringLiteral("marked"));
        action("mnuAbo")->trigger();
        QCOMPARE(m_window->aboutBox(), first.data());
        QCOMPARE(first->versionLabel()->text(), QStringLiteral("marked"));
        int boxes = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            boxes += w->objectName() == QStringLiteral("FrmInfo");
        QCOMPARE(boxes, 1);
        // Closing deletes it; the next opening fills a new box.
        QVERIFY(first->close());
        QTRY_VERIFY(!first);
        action("mnuAbo")->trigger();
        QCOMPARE(m_window->aboutBox()->versionLabel()->text(), version);
        QVERIFY(m_prompter.boxes.size() == 1); // the port's, nothing from the box
        m_window->close();
        QCOMPARE(m_events, (QStringList{"host " + hostFile(), "end"}));
    }

    void aboutBoxIcon()
    {
        QVERIFY(!AboutBox(test::sourceDataDir()).iconLabel()->pixmap().isNull());
        writeInFolder(QStringLiteral("VURUVEVI.ROD"), "not a picture"); // empty, no message
        QVERIFY(AboutBox(m_folder).iconLabel()->pixmap().isNull());
    }

    void centring_data()
    {
        QTest::addColumn<double>("screen");
        QTest::addColumn<double>("window");
        QTest::addColumn<int>("offset");
        QTest::newRow("even difference") << 1000.0 << 400.0 << 300;
        QTest::newRow("odd difference, remainder dropped") << 1003.0 << 0.0 << 501;
        QTest::newRow("-3 gives -1, towards zero") << 0.0 << 3.0 << -1;
        QTest::newRow("3.5 rounds to 4") << 3.5 << 0.0 << 2;
        QTest::newRow("-3.5 rounds to -4") << 0.0 << 3.5 << -2;
        QTest::newRow("3.6 rounds up") << 3.6 << 0.0 << 2;
        QTest::newRow("twips of a 1920 screen") << 28800.0 << 5055.0 << 11872;
    }
    void centring()
    {
        QFETCH(double, screen);
        QFETCH(double, window);
        QFETCH(int, offset);
        QCOMPARE(centredOffset(screen, window), offset);
    }

    // Small conversions, each row computed from the product function.
    void conversions_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QVariant &got, const QString &expected) {
            QTest::newRow(name) << got.toString() << expected;
        };
        row("twips: 25.5 rounds up", twipsToPixels(255, 144), "26");
        row("version: revision 10", versionText(1, 0, 10), "Rev. 1.0.Beta10");
        row("version: revision 0", versionText(1, 0, 0), "Rev. 1.0.0");
        row("filter: load dialog", qtFileFilter("Fujitsu S-file (*.mhx)|*.mhx"),
            "Fujitsu S-file (*.mhx)");
        row("filter: patterns added", qtFileFilter("Images|*.mhx;*.s28"), "Images (*.mhx *.s28)");
        row("filter: two entries", qtFileFilter("S (*.mhx)|*.mhx|All|*.*"), "S (*.mhx);;All (*.*)");
        row("host: ordinary", hostPath("/opt/duvo/nuvora"), "/opt/duvo/DUVODORUVI.EXE");
        row("host: root, doubled separator", hostPath("/"), "//DUVODORUVI.EXE");
        row("host: one below root", hostPath("/nuvora"), "//DUVODORUVI.EXE");
        row("host: trailing separator", hostPath("/opt/duvo/nuvora/"), "/opt/duvo/DUVODORUVI.EXE");
    }
    void conversions()
    {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
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
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            seen = QStringList{QString::number(box->icon()), box->windowTitle(), box->text()};
            box->accept();
        });
        WidgetPrompter().message(QStringLiteral("Not available\rPlease select"), style, title);
        QCOMPARE(seen,
                 (QStringList{QString::number(icon), shownTitle, "Not available\nPlease select"}));
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
        QTest::addColumn<QByteArray>("host"); // empty: no host file; a script is executable
        QTest::addColumn<bool>("started");
        QTest::newRow("host present") << true << QByteArray("#!/bin/sh\n") << true;
        QTest::newRow("host missing") << true << QByteArray() << false;
        QTest::newRow("host not executable") << true << QByteArray("data") << false;
        QTest::newRow("port fails to close") << false << QByteArray("#!/bin/sh\n") << false;
    }
    void shutdown()
    {
        QFETCH(bool, portCloses);
        QFETCH(QByteArray, host);
        QFETCH(bool, started);
        if (!host.isEmpty()) {
            test::writeFile(hostFile(), host);
            const auto exe = host.startsWith("#!") ? QFile::ExeOwner : QFile::ReadOwner;
            QFile::setPermissions(hostFile(), QFile::ReadOwner | exe);
        }
        ShutdownActions actions = recordedShutdown();
        actions.closePort = [&] { return portCloses; };
        Form_Unload(m_folder, actions);
        QCOMPARE(m_events,
                 (started ? QStringList{"host " + hostFile(), "end"} : QStringList{"end"}));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
